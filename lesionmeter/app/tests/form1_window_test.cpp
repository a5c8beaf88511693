// The window's controls as it opens (containers, places, captions, default texts, colours,
// hidden and disabled states), the chooser, a photograph larger than Picture1, the messages of
// failing commands, and the exact texts of an analysis of the reference lesion photograph.

#include <QFile>
#include <QFontInfo>
#include <QMessageBox>
#include <QTimer>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTest>

#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "testdata/qt_test_support.hpp"
#include "window_test_support.hpp"

using namespace lesionmeter;
using namespace lesionmeter::app;
using namespace lesionmeter::app::test;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A control's container: the window, or the panel named.
QString containerOf(QWidget* w, Form1& form) {
    QWidget* parent = w->parentWidget();
    return parent == &form ? QStringLiteral("window") : parent->objectName();
}

// The colour painted inside a box, away from its text.
QColor fillOf(QWidget* w) {
    const QImage shot = w->grab().toImage();
    return shot.pixelColor(shot.width() - 3, shot.height() / 2);
}

}  // namespace

class Form1WindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsSitWhereTheLayoutPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("caption");
        const struct {
            const char* name;
            const char* container;
            QRect place;
            const char* caption;
        } rows[] = {
            {"Picture1View", "window", {8, 8, 353, 305}, ""},
            {"Picture2", "window", {360, 8, 313, 305}, ""},
            {"Picture12", "window", {360, 8, 313, 305}, ""},
            {"Picture13", "window", {360, 8, 313, 305}, ""},
            {"Picture16", "window", {8, 456, 321, 65}, ""},
            {"Picture17", "window", {336, 456, 329, 65}, ""},
            {"Picture15", "window", {8, 528, 321, 65}, ""},
            {"Picture18", "window", {336, 528, 329, 65}, ""},
            {"Picture3", "window", {208, 344, 25, 17}, ""},
            {"Picture4", "window", {208, 360, 25, 17}, ""},
            {"Picture6", "window", {400, 320, 57, 17}, ""},
            {"Picture7", "window", {400, 344, 57, 17}, ""},
            {"Picture8", "window", {400, 360, 57, 17}, ""},
            {"Picture9", "window", {16, 344, 57, 17}, ""},
            {"Picture14", "window", {432, 320, 169, 65}, ""},
            {"Picture5", "window", {80, 336, 121, 41}, ""},
            {"Picture10", "window", {400, 256, 273, 113}, ""},
            {"Picture11", "window", {240, 344, 57, 33}, ""},
            {"Text1", "window", {248, 320, 33, 18}, ""},
            {"Text2", "window", {216, 319, 33, 18}, ""},
            {"Text3", "window", {280, 319, 33, 18}, ""},
            {"Text4", "window", {312, 320, 33, 18}, ""},
            {"Text12", "window", {344, 320, 33, 18}, ""},
            {"Text5", "window", {80, 320, 137, 18}, "c:\\oval02a.jpg"},
            {"Text6", "window", {480, 344, 177, 18}, "c:\\outpic.bmp"},
            {"Text21", "window", {440, 600, 89, 18}, ""},
            {"Text22", "window", {536, 600, 81, 18}, ""},
            {"Text13", "window", {512, 376, 89, 18}, "c:\\RGBa.txt"},
            {"Text9", "window", {600, 376, 81, 18}, "c:\\10esult.txt"},
            {"Text7", "window", {440, 376, 73, 18}, ""},
            {"Text14", "window", {16, 376, 57, 18}, ""},
            {"Text15", "window", {80, 376, 49, 18}, ""},
            {"Text10", "window", {280, 160, 89, 18}, ""},
            {"Text11", "window", {280, 184, 89, 18}, ""},
            {"Text16", "window", {8, 600, 57, 18}, ""},
            {"Text17", "window", {64, 600, 49, 18}, ""},
            {"Text18", "window", {112, 600, 49, 18}, ""},
            {"Text19", "window", {160, 600, 57, 18}, ""},
            {"Text20", "window", {384, 600, 57, 18}, ""},
            {"Command1", "window", {8, 320, 73, 17}, "File"},
            {"Command2", "window", {8, 360, 73, 17}, "END"},
            {"Command3", "window", {560, 320, 81, 17}, "Fractal calc"},
            {"Command4", "window", {480, 320, 73, 17}, "Save 2"},
            {"Command5", "Picture5", {56, 0, 57, 33}, "Calc + Draw"},
            {"Command6", "window", {616, 600, 49, 20}, "axis"},
            {"Command7", "window", {136, 376, 73, 20}, "Information"},
            {"Command8", "window", {320, 381, 57, 17}, "loadcal"},
            {"Command9", "window", {248, 381, 57, 17}, "save1"},
            {"Option1", "Picture5", {8, 0, 81, 17}, "IN"},
            {"Option2", "Picture5", {8, 24, 73, 12}, "OUT"},
            {"Option3", "Picture11", {0, 0, 49, 12}, "B+W"},
            {"Option4", "Picture11", {0, 16, 49, 17}, "LINE"},
            {"Option5", "Frame1", {0, 16, 41, 12}, "nar"},
            {"Option6", "Frame1", {40, 16, 49, 12}, "wide"},
            {"Option7", "Frame1", {8, 32, 41, 17}, "put"},
            {"Frame1", "window", {304, 344, 97, 33}, "Eraser"},
            {"Check1", "window", {264, 600, 81, 12}, "RGB output "},
            {"Label1", "window", {400, 376, 33, 17}, "FRD1"},
            {"Label2", "window", {352, 600, 49, 17}, "FRD2"},
            {"FitPlots", "window", {584, 428, 81, 20}, "Fit plots"},
            {"Drive1", "Picture10", {0, 0, 153, 20}, ""},
            {"Dir1", "Picture10", {0, 16, 153, 90}, ""},
            {"File1", "Picture10", {152, 0, 121, 114}, ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString(r.name) << QString(r.container) << r.place << QString::fromUtf8(r.caption);
    }

    void controlsSitWhereTheLayoutPutsThem() {
        QFETCH(QString, name);
        QFETCH(QString, container);
        QFETCH(QRect, place);
        QFETCH(QString, caption);
        WindowFixture fx(1);
        auto* w = fx.form->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(containerOf(w, *fx.form), container);
        QCOMPARE(w->geometry(), place);
        QString shown;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
        if (auto* t = qobject_cast<QLineEdit*>(w)) shown = t->text();
        if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) shown = g->title();
        QCOMPARE(shown, caption);
    }

    void opensWithTheLayoutsStates() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.windowTitle(), QStringLiteral("Morphex 5.9c3"));
        const char* hidden[] = {"Picture12", "Picture13", "Picture14", "Picture15", "Picture16", "Picture17",
                                "Picture18", "Picture10", "Text21", "Text22", "Text10", "Text11", "Text16",
                                "Text17", "Text18", "Text19", "Text20", "Command6", "Option7", "Check1", "Label2"};
        for (const char* name : hidden) QVERIFY2(!f.findChild<QWidget*>(name)->isVisibleTo(&f), name);
        const char* shown[] = {"Picture1View", "Picture2", "Picture3", "Picture4", "Picture5", "Picture6",
                               "Picture7", "Picture8", "Picture9", "Picture11", "Text1", "Text5", "Text6",
                               "Text7", "Text9", "Text13", "Text14", "Text15", "Command1", "Command2",
                               "Command3", "Command4", "Command5", "Command7", "Command8", "Command9",
                               "Option1", "Option6", "Frame1", "Label1"};
        for (const char* name : shown) QVERIFY2(f.findChild<QWidget*>(name)->isVisibleTo(&f), name);
        const char* disabled[] = {"Picture3", "Picture4", "Text1", "Text2", "Text3", "Text4",
                                  "Text12", "Text13", "Text7", "Command4"};
        for (const char* name : disabled) QVERIFY2(!f.findChild<QWidget*>(name)->isEnabled(), name);
        // The pink results-file box of "Save 2" is editable.
        for (const char* name : {"Text5", "Text6", "Text9", "Text14", "Text15", "Command1", "Command3", "Command5"})
            QVERIFY2(f.findChild<QWidget*>(name)->isEnabled(), name);
        QVERIFY(f.option(1)->isChecked() && f.option(3)->isChecked() && f.option(5)->isChecked());
        QVERIFY(!f.check1()->isChecked());
        QCOMPARE(stackOf(f), (Stack{true, false, false, false}));
        VERIFY_FOLLOWS_SESSION(f);
        // Background colours 0x00BBGGRR of the layout.
        QCOMPARE(fillOf(f.text(5)), QColor(0xFF, 0xE0, 0xC0));
        QCOMPARE(fillOf(f.text(6)), QColor(0xC0, 0xFF, 0xFF));
        QCOMPARE(fillOf(f.text(9)), QColor(0xFF, 0xC0, 0xFF));
        QCOMPARE(fillOf(f.text(7)), QColor(0xFF, 0xFF, 0xC0));
        QCOMPARE(fillOf(f.picture(2)), QColor(Qt::white));
        // Japanese texts need a CJK font.
        QVERIFY2(QFontInfo(f.text(10)->font()).family().contains("Noto Sans CJK"),
                 qPrintable(QFontInfo(f.text(10)->font()).family()));
        // The RGB output file named by Text13 was opened at start-up.
        QVERIFY(QFile::exists(fx.homeFile("RGBa.txt")));
        QVERIFY(fx.session->rgbOutputOpen());
        QVERIFY(fx.messages.isEmpty());
        // "Save 2" does nothing, even once enabled by LINE.
        clickOption(f.option(4));
        QVERIFY(f.command(4)->isEnabled());
        const QString before = f.text(7)->text();
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QCOMPARE(stackOf(f), (Stack{false, true, false, true}));
        QCOMPARE(f.text(7)->text(), before);
    }

    void aStartUpFailureIsShownOnceTheWindowIsUp() {
        // The RGB output file cannot be created: its folder does not exist.
        QTemporaryDir base;
        const QByteArray previousHome = qgetenv("HOME");
        qputenv("HOME", QDir(base.path()).filePath("missing").toLocal8Bit());
        imaging::FastRandom random(1);
        LesionSession session(random);
        Form1 form(session);
        QStringList messages;
        form.hooks().reportError = [&](const QString& m) { messages << m; };
        form.show();
        QTRY_COMPARE(messages.size(), 1);
        QVERIFY2(messages.front().contains("RGBa.txt"), qPrintable(messages.front()));
        QVERIFY(form.isVisible());
        QVERIFY(!session.rgbOutputOpen());
        qputenv("HOME", previousHome);
    }

    void chooserListsDrivesFoldersAndEveryFile() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QDir work(fx.work.path());
        QVERIFY(work.mkdir("sub"));
        for (const char* name : {"a.jpg", "b.txt", "noext"}) {
            QFile file(work.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QTest::mouseClick(f.command(1), Qt::LeftButton);
        QVERIFY(f.picture(10)->isVisibleTo(&f));
        ui::FileChooser* c = f.chooser();
        QVERIFY(c->drive1()->findText("/") >= 0);
        // Every other entry is the root of a mounted volume ("/" is the file-system root even where,
        // as in a chroot, it is no mount point of its own).
        for (int i = 0; i < c->drive1()->count(); ++i) {
            const QString root = c->drive1()->itemText(i);
            if (root != "/") QCOMPARE(QDir::cleanPath(QStorageInfo(root).rootPath()), root);
        }
        // The chooser opens in the working folder; going up and back lists it afresh.
        QCOMPARE(c->folder(), QDir::cleanPath(work.absolutePath()));
        const QString parent = QFileInfo(c->folder()).path();
        const auto entry = [c](const QString& path) -> QListWidgetItem* {
            for (int i = 0; i < c->dir1()->count(); ++i)
                if (c->dir1()->item(i)->data(Qt::UserRole).toString() == path) return c->dir1()->item(i);
            return nullptr;
        };
        // Up one folder and back down with clicks in Dir1.
        QVERIFY(clickListItem(c->dir1(), entry(parent)));
        QCOMPARE(c->folder(), parent);
        QVERIFY(clickListItem(c->dir1(), entry(QDir::cleanPath(work.absolutePath()))));
        QCOMPARE(c->folder(), QDir::cleanPath(work.absolutePath()));
        QStringList files;
        for (int i = 0; i < c->file1()->count(); ++i) files << c->file1()->item(i)->text();
        QCOMPARE(files, (QStringList{"a.jpg", "b.txt", "noext"}));
        QStringList folders;
        for (int i = 0; i < c->dir1()->count(); ++i) folders << c->dir1()->item(i)->text().trimmed();
        QVERIFY(folders.contains("sub"));
        const QString shot = qEnvironmentVariable("LESIONMETER_CHOOSER_SCREENSHOT");
        if (!shot.isEmpty()) QVERIFY(f.grab().save(shot, "PNG"));
        QCOMPARE(folders.front(), QStringLiteral("/"));
    }

    // A mouse position with fractions (high-resolution screens) samples the pixel under the pointer.
    void fractionalClickSamplesThePixelUnderThePointer() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        const QPointF at(100.75, 120.5);
        QMouseEvent press(QEvent::MouseButtonPress, at, f.picture(1)->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.picture(1), &press);
        QCOMPARE(int(fx.session->state().inCount), 1);
        QCOMPARE(fx.session->state().inX[1], 100.0f);
        QCOMPARE(fx.session->state().inY[1], 120.0f);
    }

    void the51stSampleIsRefusedAndTheFiftyStay() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        for (int k = 0; k < 51; ++k)
            QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(100 + k, 100));
        QCOMPARE(fx.messages.size(), 1);
        QCOMPARE(int(fx.session->state().inCount), 50);
        QCOMPARE(fx.session->state().inX[50], 149.0f);
        QVERIFY(f.isVisible());
        QCOMPARE(fx.session->pictures().sampleCount.printedLines(), std::vector<std::string>{imaging::printForm(50)});
    }

    void typedTextsStayAndReachTheSession() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.text(14)->clear();
        QTest::keyClicks(f.text(14), "12.5");
        QCOMPARE(qs(fx.session->texts().centroidX), QStringLiteral("12.5"));
        // Later commands bring the controls in line with the session and keep the typed text.
        QTest::mouseClick(f.command(7), Qt::LeftButton);
        QCOMPARE(f.text(14)->text(), QStringLiteral("12.5"));
    }

    void aFileThatIsNoPictureGivesAMessage() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QFile broken(QDir(fx.work.path()).filePath("broken.jpg"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture");
        broken.close();
        QVERIFY(loadThroughChooser(f, broken.fileName()));
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY2(fx.messages.front().contains("broken.jpg"), qPrintable(fx.messages.front()));
        QVERIFY(f.isVisible());
        // The window carries on: a real photograph loads afterwards.
        fx.messages.clear();
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        QVERIFY(fx.messages.isEmpty());
        QCOMPARE(f.picture(1)->size(), QSize(320, 240));
    }

    void calcAndDrawWithoutSamplesIsRefused() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(160, 120));
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 1);
        QCOMPARE(fx.beeps, 0);
        QVERIFY(f.text(10)->text().isEmpty());
        QCOMPARE(int(fx.session->state().inCount), 1);
        QVERIFY(f.isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A refused "Calc + Draw" shows its message box after the window takes input again, so that
    // the user can close it with the mouse.
    void aRefusedCalcAndDrawMessageCanBeClosedByTheUser() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(160, 120));
        f.hooks().reportError = [&f](const QString& m) { ui::showErrorBox(&f, QStringLiteral("Morphex 5.9c3"), m); };
        const morph::testdata::SeenMessageBox seen =
            morph::testdata::closeMessageBoxWithMouse([&] { QTest::mouseClick(f.command(5), Qt::LeftButton); });
        QVERIFY2(seen.text.contains(QStringLiteral("\"OUT\"")), qPrintable(seen.text));
        // Both windows show a run-time error in the same box: the critical one.
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QVERIFY(!seen.clickWasEaten);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The window takes clicks again: a sample is recorded.
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(150, 110));
        QCOMPARE(int(fx.session->state().inCount), 2);
    }

    void aLargerPhotographScrollsAndClicksMapToItsPixels() {
        WindowFixture fx(1);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        imaging::Image big(600, 450);
        for (int y = 0; y < 450; ++y)
            for (int x = 0; x < 600; ++x) big.at(x, y) = imaging::rgbColour(x % 256, y % 256, (x / 256) * 100 + (y / 256) * 10);
        const QString file = QDir(fx.work.path()).filePath("big.bmp");
        imaging::saveBmp(big, file.toStdString());
        QVERIFY(loadThroughChooser(f, file));
        QVERIFY(fx.messages.isEmpty());
        QCOMPARE(f.picture(1)->size(), QSize(600, 450));
        QScrollArea* view = f.picture1View();
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
        QVERIFY(view->verticalScrollBar()->maximum() > 0);
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        const QPoint inView(200, 200);
        const QPoint pixel = inView + QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
        QVERIFY(pixel.x() > 353 && pixel.y() > 305);
        // The photograph lies under the point of the view, moved by the scrolling.
        QCOMPARE(view->viewport()->childAt(inView), static_cast<QWidget*>(f.picture(1)));
        const QPoint inPicture = f.picture(1)->mapFrom(view->viewport(), inView);
        QCOMPARE(inPicture, pixel);
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, inPicture);
        QCOMPARE(int(fx.session->state().inCount), 1);
        QCOMPARE(fx.session->state().inX[1], float(pixel.x()));
        QCOMPARE(fx.session->state().inY[1], float(pixel.y()));
        QCOMPARE(f.text(3)->text(), QString::number(pixel.x() % 256));
        QCOMPARE(f.text(2)->text(), QString::number(pixel.y() % 256));
        QCOMPARE(f.text(1)->text(), QString::number((pixel.x() / 256) * 100 + (pixel.y() / 256) * 10));
    }

    // The reference analysis of the lesion photograph: the sample means and the strip dimensions
    // depend only on the photograph and the clicks, so their texts are exact.
    void referencePhotographGivesTheReferenceTexts() {
        const morph::testdata::LesionReference& reference = morph::testdata::lesionReference();
        WindowFixture fx(reference.seed);
        Form1& f = *fx.form;
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        for (auto [x, y] : reference.in) QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        clickOption(f.option(2));
        for (auto [x, y] : reference.out) QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        QTest::mouseClick(f.picture(1), Qt::RightButton, Qt::NoModifier, QPoint(reference.centre.x, reference.centre.y));
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QCOMPARE(f.text(10)->text(), qs(reference.inMeansText));
        QCOMPARE(f.text(11)->text(), qs(reference.outMeansText));
        clickOption(f.option(4));
        QTest::mouseClick(f.command(3), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        // Picture16, Picture15, Picture17, Picture18 and their mean, from the reference results.
        for (int i = 0; i < 4; ++i) QCOMPARE(f.text(16 + i)->text(), qs(imaging::numberText(reference.strips[i])));
        QCOMPARE(f.text(20)->text(), qs(imaging::numberText(reference.frd2)));
    }
};

QTEST_MAIN(Form1WindowTest)
#include "form1_window_test.moc"
