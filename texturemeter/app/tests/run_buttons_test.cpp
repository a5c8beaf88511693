// The three run buttons pressed in the window: the results file, the status words as they are
// shown, the derived images kept in memory (never on disk), the beep, and the pictures the run
// leaves.

#include <QtTest>

#include "imaging/random.hpp"
#include "window_test_support.hpp"

using namespace texturemeter;
using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {

const QString kHeader = QStringLiteral(
    "NAME,Monochrome--FR-AVE,FR-Standard deviation,FR-Standard deviation/FR-AVE,hesian--FR-AVE,"
    "FR-Standard deviation,FR-Standard deviation/FR-AVE,FR tatal, Line-, dot-, Curve-,line fr dim,"
    "Standard deviation of color tone,Standard deviation of color tone distribution");

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// The reference results of the independent implementation for one run.
const nlohmann::json& referenceRun(int x, int y, int side, const std::string& variant) {
    for (const nlohmann::json& run : morph::testdata::texturemeterReferenceRuns()) {
        if (run.at("x") == x && run.at("y") == y && run.at("side") == side && run.at("variant") == variant)
            return run;
    }
    qFatal("no reference run");
}

bool closeTo(double got, double want, double relative) {
    return std::abs(got - want) <= relative * std::max(1.0, std::abs(want));
}

// One photo in a temporary folder, selected in the window, with the results file and a
// pre-existing "d.bmp" file beside it.
struct RunFixture {
    QTemporaryDir dir;
    imaging::FastRandom random{std::uint64_t(7)};
    Form1 form{&random};
    ReportedErrors errors;
    QStringList statuses;          // the status words as the window announced them
    QStringList picture8AtStatus;  // what Picture8 showed at that moment
    QStringList derivedSeenAt;     // the derived images on disk at each status word
    int beeps = 0;
    QString results;
    QByteArray dBefore;

    RunFixture(const QString& photo, const QString& name) {
        copyPhoto(photo, dir.path(), name);
        errors.attach(form);
        form.hooks().soundBeep = [this] { ++beeps; };
        QObject::connect(&form, &Form1::statusShown, [this](const QString& word) {
            statuses << word;
            picture8AtStatus << form.Picture8->shownLines().join(QLatin1Char('|'));
            QString present;
            const std::pair<QLineEdit*, char> derived[] = {{form.Text11, 'h'}, {form.Text13, 'a'}, {form.Text14, 'b'},
                                                           {form.Text15, 'c'}, {form.Text16, 'd'}, {form.Text18, 'e'}};
            for (const auto& [box, letter] : derived)
                if (box != form.Text16 && QFile::exists(box->text())) present += QLatin1Char(letter);
            derivedSeenAt << present;
        });
        showForm(form);
        goToFolder(form, dir.path());
        if (!clickFile(form, name)) qFatal("photo not listed");
        results = dir.filePath(QStringLiteral("results.txt"));
        form.Text5->setText(results);
        QFile d(form.Text16->text());
        if (!d.open(QIODevice::WriteOnly)) qFatal("cannot create d.bmp");
        dBefore = "not a picture, and must stay as it is";
        d.write(dBefore);
    }
    QStringList derivedFive() const {
        return {form.Text11->text(), form.Text13->text(), form.Text14->text(), form.Text15->text(),
                form.Text18->text()};
    }
    QList<QByteArray> resultLines() const {
        QList<QByteArray> lines = readAll(results).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }
};

// Compares the result row and S1 with the reference run; column 12 must be one of the values
// the outline stage can give.
void checkAgainstReference(const QList<QByteArray>& lines, const QString& name, const nlohmann::json& reference) {
    const QList<QByteArray> row = lines[1].chopped(1).split(',');
    QCOMPARE(row.size(), 14);
    QCOMPARE(QString::fromUtf8(row[0]), name);
    const nlohmann::json& columns = reference.at("columns");
    for (int column = 2; column <= 14; ++column) {
        const QByteArray field = row[column - 1];
        const nlohmann::json& want = columns.at(std::to_string(column));
        if (want.is_null()) {
            QVERIFY2(field.isEmpty(), field.constData());
            continue;
        }
        QVERIFY2(field.startsWith(' ') && field.endsWith(' '), field.constData());
        bool ok = false;
        const double got = field.trimmed().toDouble(&ok);
        QVERIFY2(ok, field.constData());
        if (want.contains("value")) {
            const bool single = column == 2 || column == 5 || column == 14;
            QVERIFY2(closeTo(got, want.at("value").get<double>(), single ? 1e-6 : 1e-12),
                     qPrintable(QStringLiteral("column %1: %2").arg(column).arg(got, 0, 'g', 17)));
        } else {
            bool possible = false;
            for (const nlohmann::json& p : want.at("possible_values")) possible |= closeTo(got, p.get<double>(), 1e-12);
            QVERIFY2(possible, qPrintable(QStringLiteral("column 12: %1").arg(got, 0, 'g', 17)));
        }
    }
    const QList<QByteArray> sampling = lines[2].chopped(1).split(',');
    QCOMPARE(sampling.size(), 12);
    QVERIFY(closeTo(sampling[0].trimmed().toDouble(), reference.at("sampling").at("S1").at("value").get<double>(), 1e-12));
}

}  // namespace

class RunButtonsTest : public QObject {
    Q_OBJECT
private slots:
    // "Start(A)" on the bundled sample: results file, status words in order, no derived image
    // written, "d.bmp" left alone, one beep at the end.
    void startAOnTheSample() {
        RunFixture f(samplePhoto(), QStringLiteral("Psample.jpg"));
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        const QStringList expected{"Start", QStringLiteral(u"白黒変化"), QStringLiteral(u"ヘシアン"), QStringLiteral(u"白黒全体"), "line", "dot", "curve", "END"};
        QCOMPARE(f.statuses, expected);
        // Each word was on the screen alone, right after its Cls.
        QCOMPARE(f.picture8AtStatus, expected);
        QCOMPARE(f.form.Picture8->shownLines(), QStringList{"END"});
        // The derived images are frozen in memory: none of them is on disk at any status word.
        QCOMPARE(f.derivedSeenAt, (QStringList{"", "", "", "", "", "", "", ""}));
        for (const QString& derived : f.derivedFive()) QVERIFY2(!QFile::exists(derived), qPrintable(derived));
        QCOMPARE(readAll(f.form.Text16->text()), f.dBefore);
        QCOMPARE(f.beeps, 1);

        const QByteArray file = readAll(f.results);
        QVERIFY(file.startsWith(kHeader.toUtf8() + "\r\n"));
        QCOMPARE(file.count("\r\n"), 3);
        QCOMPARE(file.count('\n'), 3);
        const QList<QByteArray> lines = f.resultLines();
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith("Psample.jpg,"));
        QCOMPARE(lines[1].count(','), 13);
        QVERIFY(lines[1].contains(", ,") || lines[1].contains(",,"));
        QCOMPARE(lines[2].count(','), 11);
        // The run took the side from Text12 and left its extents in Text8/Text9.
        QCOMPARE(f.form.session().regionSide, int16_t(200));
        QCOMPARE(f.form.Text8->text(), QStringLiteral("200"));
        QCOMPARE(f.form.Text9->text(), QStringLiteral("200"));
    }

    // Start(A) at a clicked corner gives the reference numbers; Picture2 and Picture3 show the
    // monochrome and Hessian images the run left, Picture7 is cleared.
    void startAAtAClickedCornerMatchesTheReference() {
        RunFixture f(referencePhoto(), QStringLiteral("skin_texture.jpg"));
        clickPhotoPixel(f.form, 20, 30);
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        checkAgainstReference(f.resultLines(), QStringLiteral("skin_texture.jpg"), referenceRun(20, 30, 200, "A"));

        const QImage mono = f.form.Picture2->shownImage();
        QCOMPARE(mono.size(), QSize(201, 201));
        const QRgb m = mono.pixel(100, 100);
        QVERIFY(qRed(m) == qGreen(m) && qGreen(m) == qBlue(m));
        QVERIFY(m != qRgb(255, 255, 255));
        QCOMPARE(m, toQRgb(f.form.session().monochromeImage.pointAt(100, 100)));
        QCOMPARE(f.form.Picture3->shownImage().size(), QSize(201, 201));
        QVERIFY(!f.form.Picture3->isVisible());  // hidden by the click until P-1
        QTest::mouseClick(f.form.Command1, Qt::LeftButton);
        QVERIFY(f.form.Picture3->isVisible());
        const QImage hessian = f.form.Picture3->grab().toImage();
        QCOMPARE(hessian.pixel(50, 50), toQRgb(f.form.session().hessianImage.pointAt(49, 49)));  // 1-pixel frame
        bool picture7Blank = true;
        const QImage drawings = f.form.Picture7->shownImage();
        for (int y = 0; y < drawings.height(); ++y)
            for (int x = 0; x < drawings.width(); ++x) picture7Blank &= drawings.pixel(x, y) == qRgb(255, 255, 255);
        QVERIFY(picture7Blank);
    }

    // Every status word is really painted: Picture8 shows dark text pixels at each word.
    void statusWordsArePainted() {
        RunFixture f(referencePhoto(), QStringLiteral("skin_texture.jpg"));
        QList<int> darkPixels;
        QObject::connect(&f.form, &Form1::statusShown, [&] {
            const QImage shown = f.form.Picture8->grab().toImage();
            int dark = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x) dark += qGray(shown.pixel(x, y)) < 100;
            darkPixels << dark;
        });
        QTest::mouseClick(f.form.Command6, Qt::LeftButton);
        QCOMPARE(darkPixels.size(), 8);
        for (int dark : darkPixels) QVERIFY(dark > 5);
    }

    // What the user types or clicks while a run goes on is dropped, not acted on afterwards.
    void inputDuringARunIsDropped() {
        RunFixture f(referencePhoto(), QStringLiteral("skin_texture.jpg"));
        int finished = 0;
        QObject::connect(&f.form, &Form1::runFinished, [&] { ++finished; });
        QObject::connect(&f.form, &Form1::statusShown, [&](const QString& word) {
            if (word != QLatin1String("line")) return;
            f.form.Text12->setFocus();
            QCoreApplication::postEvent(f.form.Text12, new QKeyEvent(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, "9"));
            const QPointF centre = QRectF(f.form.Command3->rect()).center();
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(f.form.Command3,
                                            new QMouseEvent(type, centre, f.form.Command3->mapToGlobal(centre),
                                                            Qt::LeftButton, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                                            Qt::NoModifier));
        });
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(finished, 1);
        QCOMPARE(f.beeps, 1);
        QCOMPARE(f.form.Text12->text(), QStringLiteral("200"));
        // Afterwards the window takes input again.
        QTest::keyClick(f.form.Text12, Qt::Key_End);
        QTest::keyClick(f.form.Text12, Qt::Key_Backspace);
        QCOMPARE(f.form.Text12->text(), QStringLiteral("20"));
    }

    void startBShowsTheJapaneseStageLabels() {
        RunFixture f(referencePhoto(), QStringLiteral("skin_texture.jpg"));
        clickPhotoPixel(f.form, 20, 30);
        QTest::mouseClick(f.form.Command6, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        const QStringList expected{"Start", QStringLiteral(u"白黒変化"), QStringLiteral(u"ヘシアン"), QStringLiteral(u"白黒全体"), QStringLiteral(u"直線"), QStringLiteral(u"点"), QStringLiteral(u"曲線"), "END"};
        QCOMPARE(f.statuses, expected);
        QCOMPARE(f.picture8AtStatus, expected);
        checkAgainstReference(f.resultLines(), QStringLiteral("skin_texture.jpg"), referenceRun(20, 30, 200, "B"));
        for (const QString& derived : f.derivedFive()) QVERIFY(!QFile::exists(derived));
        QCOMPARE(f.beeps, 1);
    }

    void startCNormalizes() {
        RunFixture f(referencePhoto(), QStringLiteral("skin_texture.jpg"));
        clickPhotoPixel(f.form, 20, 30);
        QTest::mouseClick(f.form.Command7, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        QCOMPARE(f.statuses.value(4), QStringLiteral(u"直線"));
        checkAgainstReference(f.resultLines(), QStringLiteral("skin_texture.jpg"), referenceRun(20, 30, 200, "C"));
    }

    // A second run rewrites the file: only its own three lines remain.
    void secondRunRewritesTheFile() {
        RunFixture f(referencePhoto(), QStringLiteral("skin_texture.jpg"));
        copyPhoto(referencePhoto(), f.dir.path(), QStringLiteral("other.jpg"));
        f.form.File1->refresh();
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QVERIFY(clickFile(f.form, QStringLiteral("other.jpg")));
        f.form.Text12->setText(QStringLiteral("150"));
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        const QList<QByteArray> lines = f.resultLines();
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith("other.jpg,"));
        QCOMPARE(f.form.Picture2->shownImage().size(), QSize(151, 151));
        QCOMPARE(f.beeps, 2);
    }
};

QTEST_MAIN(RunButtonsTest)
#include "run_buttons_test.moc"
