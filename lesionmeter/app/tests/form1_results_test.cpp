// Keeping the results of the window: "Save 2" appends rows to the file named in the pink box,
// "Show marks" draws the marks over the photograph (never into it), "Save marks" and "Load marks"
// keep and replay the clicks, a too-large photograph is reduced when the user says yes, and the
// command line runs a whole analysis whose row equals lesionmeter-cli's.

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <vector>

#include "imaging/image_file.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/results_row.hpp"
#include "testdata/qt_test_support.hpp"
#include "window_test_support.hpp"

using namespace lesionmeter;
using namespace lesionmeter::app;
using namespace lesionmeter::app::test;

namespace {

QString readText(const QString& path) { return QString::fromUtf8(morph::testdata::fileBytes(path)); }

// The window program run to its end in `home`, which is also its home folder.
morph::testdata::ProgramRun runWindow(const QString& home, const QStringList& arguments) {
    return morph::testdata::runProgram(QStringLiteral(LESIONMETER_WINDOW_PATH), arguments,
                                       {{QStringLiteral("HOME"), home}}, home);
}


// The rows of a results file without its header, each with the date and time cell removed.
QStringList rowsWithoutDate(const QString& text) {
    QStringList rows = text.split('\n', Qt::SkipEmptyParts);
    if (!rows.isEmpty()) rows.removeFirst();
    for (QString& row : rows) {
        QStringList cells = row.split(',');
        if (cells.size() > 1) cells.removeAt(1);
        row = cells.join(',');
    }
    return rows;
}

}  // namespace

class Form1ResultsTest : public QObject {
    Q_OBJECT

private slots:
    void save2AppendsARowToThePinkBoxsFileEveryPress() {
        WindowFixture fx(3);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.text(9)->isEnabled());
        QVERIFY(!f.text(9)->isReadOnly());
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        clickReferenceMarks(f);
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        QVERIFY(!f.command(4)->isEnabled());  // described: disabled until LINE
        clickOption(f.option(4));
        QVERIFY(f.command(4)->isEnabled());
        QTest::mouseClick(f.command(3), Qt::LeftButton);
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        const QStringList lines = readText(fx.homeFile("10esult.txt")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString::fromStdString(resultsHeader()));
        QVERIFY(lines[1].startsWith(QStringLiteral("lesion.jpg,")));
        const QStringList cells = lines[2].split(',');
        QCOMPARE(cells.size(), 30);
        QCOMPARE(cells[3], QString::number(fx.session->lastRunSeed().value()));
        QCOMPARE(cells[4], QStringLiteral("6"));
        QCOMPARE(cells[22].toDouble(), fx.session->fractalResults().outlineDimension);
        QVERIFY(cells[28].isEmpty());  // no "axis" yet

        // The user types another name into the pink box; an unwritable one gives a message and
        // the session carries on.
        f.text(9)->clear();
        QTest::keyClicks(f.text(9), QStringLiteral("c:\\mine.csv"));
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QCOMPARE(readText(fx.homeFile("mine.csv")).count('\n'), 2);
        f.text(9)->clear();
        QTest::keyClicks(f.text(9), QStringLiteral("c:\\no folder\\r.csv"));
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY2(fx.messages[0].contains(QStringLiteral("c:\\no folder\\r.csv")), qPrintable(fx.messages[0]));
        QCOMPARE(fx.session->state().outCount, int16_t(8));
        QCOMPARE(readText(fx.homeFile("10esult.txt")).count('\n'), 3);
    }

    void showMarksDrawsOverTheViewOnly() {
        WindowFixture fx(3);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.showMarks()->isChecked());
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        const imaging::Image photo = imaging::loadImageFile(referencePhoto().toStdString());
        clickReferenceMarks(f);
        const auto& r = morph::testdata::lesionReference();
        const QPoint in(r.in[1].x, r.in[1].y), out(r.out[0].x, r.out[0].y);
        QVERIFY(f.marksOverlay()->isVisible());
        QImage shot = f.picture(1)->grab().toImage();
        // A yellow "+" on the IN sample, a blue ring beside the OUT sample.
        const QColor atIn = shot.pixelColor(in);
        QVERIFY2(atIn.red() > 200 && atIn.green() > 180 && atIn.blue() < 80, qPrintable(atIn.name()));
        const QColor ring = shot.pixelColor(out + QPoint(4, 0));
        QVERIFY2(ring.blue() > 150 && ring.red() < 120, qPrintable(ring.name()));
        // The measured pixels are the photograph's.
        for (auto [x, y] : r.in) QCOMPARE(fx.session->pictures().photo.point(float(x), float(y)), photo.at(x, y));
        QCOMPARE(fx.session->state().inRed[2], float(imaging::splitColour(photo.at(in.x(), in.y())).red));

        f.showMarks()->click();
        QVERIFY(!f.showMarks()->isChecked());
        QVERIFY(!f.marksOverlay()->isVisible());
        shot = f.picture(1)->grab().toImage();
        QCOMPARE(shot.pixel(in), ui::toQRgb(photo.at(in.x(), in.y())));
        // Unticked, the marks still follow the clicks, ready to be shown again.
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(int(static_cast<MarksOverlay*>(f.marksOverlay())->marks().out.size()), 9);
        f.showMarks()->click();
        QVERIFY(f.marksOverlay()->isVisible());
    }

    void saveMarksAndLoadMarksRepeatTheClicks() {
        QTemporaryDir folder;
        const QString marksFile = folder.filePath(QStringLiteral("lesion.marks.json"));
        QString suggested;
        QString rgbLines;
        std::vector<std::string> texts;
        {
            WindowFixture fx(3);
            Form1& f = *fx.form;
            f.setMarksFileHandler([&](bool save, const QString& s) {
                suggested = s;
                return save ? marksFile : QString();
            });
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            f.check1()->setChecked(true);  // RGB output lines, to compare
            QVERIFY(loadThroughChooser(f, referencePhoto()));
            clickReferenceMarks(f);
            QTest::mouseClick(f.command(5), Qt::LeftButton);
            QTest::mouseClick(f.saveMarks(), Qt::LeftButton);
            QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
            // Offered beside the photograph, where lesionmeter-cli looks for it.
            QCOMPARE(suggested, QFileInfo(referencePhoto()).absolutePath() + "/lesion.marks.json");
            QCOMPARE(readText(marksFile).toStdString(), marksText(marksOf(*fx.session)));
            QCOMPARE(readMarks(marksFile.toStdString()).seed, fx.session->lastRunSeed());
            for (int n : {1, 2, 3, 4, 10, 11, 12}) texts.push_back(*lesionmeter::app::sessionText(*fx.session, n));
            fx.session->end();
            rgbLines = readText(fx.homeFile("RGBa.txt"));
        }
        WindowFixture fx(99);
        Form1& f = *fx.form;
        f.setMarksFileHandler([&](bool save, const QString&) { return save ? QString() : marksFile; });
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.check1()->setChecked(true);
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        QTest::mouseClick(f.loadMarks(), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QCOMPARE(fx.session->state().inCount, int16_t(6));
        QCOMPARE(fx.session->state().outCount, int16_t(8));
        QVERIFY(f.option(2)->isChecked());
        QCOMPARE(f.picture(3)->shownLines(), QStringList{QStringLiteral(" 8 ")});
        QCOMPARE(int(static_cast<MarksOverlay*>(f.marksOverlay())->marks().in.size()), 6);
        // The next "Calc + Draw" repeats the saved one.
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        std::vector<std::string> replayed;
        for (int n : {1, 2, 3, 4, 10, 11, 12}) replayed.push_back(*lesionmeter::app::sessionText(*fx.session, n));
        QVERIFY(replayed == texts);
        fx.session->end();
        QCOMPARE(readText(fx.homeFile("RGBa.txt")), rgbLines);

        // Marks of another photograph are refused with a message; the session stays.
        Marks other = readMarks(marksFile.toStdString());
        other.photo = "other.jpg";
        writeMarks(marksFile.toStdString(), other);
        QTest::mouseClick(f.loadMarks(), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY(fx.messages[0].contains(QStringLiteral("other.jpg")));
    }

    void aTooLargePhotographIsReducedWhenTheUserSaysYes() {
        QTemporaryDir folder;
        const QString big = folder.filePath(QStringLiteral("big.bmp"));
        imaging::Image image(640, 480, imaging::rgbColour(200, 150, 120));
        for (int y = 100; y < 300; ++y)
            for (int x = 200; x < 400; ++x) image.at(x, y) = imaging::rgbColour(90, 50, 40);
        imaging::saveBmp(image, big.toStdString());
        WindowFixture fx(3);
        Form1& f = *fx.form;
        QStringList questions;
        bool answer = false;
        f.hooks().ask = [&](const QString& q) {
            questions << q;
            return answer;
        };
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(loadThroughChooser(f, big));
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(QStringLiteral("640 x 480")), qPrintable(questions[0]));
        QCOMPARE(fx.session->pictures().photo.width(), 640);
        QCOMPARE(f.windowTitle(), QStringLiteral("Morphex 5.9c3"));
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        clickOption(f.option(2));
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        QTRY_COMPARE(fx.messages.size(), 1);  // refused as before
        QVERIFY(fx.messages[0].contains(QStringLiteral("640 x 480")));

        answer = true;
        QVERIFY(loadThroughChooser(f, big));
        QCOMPARE(questions.size(), 2);
        QCOMPARE(fx.session->pictures().photo.width(), 500);
        QCOMPARE(fx.session->pictures().photo.height(), 375);
        QCOMPARE(f.picture(1)->size(), QSize(500, 375));
        QVERIFY2(f.windowTitle().contains(QStringLiteral("scale 0.78125")), qPrintable(f.windowTitle()));
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(234, 156));
        clickOption(f.option(2));
        QTest::mouseClick(f.picture(1), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 1);
        clickOption(f.option(4));
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        const QStringList lines = readText(fx.homeFile("10esult.txt")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1].split(',')[2], QStringLiteral("0.78125"));
    }

    void theCommandLineAnalysisSavesTheCliRowTwice() {
        QTemporaryDir home;
        const QString marks = home.filePath(QStringLiteral("lesion.marks.json"));
        Marks m;
        m.photo = "lesion.jpg";
        for (auto [x, y] : morph::testdata::lesionReference().in) m.in.push_back({float(x), float(y)});
        for (auto [x, y] : morph::testdata::lesionReference().out) m.out.push_back({float(x), float(y)});
        m.centre = MarkPosition{160, 120};
        writeMarks(marks.toStdString(), m);
        // A screenshot never replaces an existing picture: one name a run.
        const QString shots[2] = {home.filePath(QStringLiteral("shot0.png")), home.filePath(QStringLiteral("shot1.png"))};
        for (int run = 0; run < 2; ++run) {
            const morph::testdata::ProgramRun window = runWindow(
                home.path(), {"--open", referencePhoto(), "--marks", marks, "--seed", "4242", "--analyse",
                              "--screenshot", shots[run]});
            QVERIFY2(window.status == 0, window.err.constData());
        }
        QVERIFY(!QImage(shots[0]).isNull());
        QVERIFY(!QImage(shots[1]).isNull());
        const QString saved = readText(home.filePath(QStringLiteral("10esult.txt")));
        QCOMPARE(saved.split('\n', Qt::SkipEmptyParts).first(), QString::fromStdString(resultsHeader()));
        const QStringList rows = rowsWithoutDate(saved);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], rows[1]);

        const QString csv = home.filePath(QStringLiteral("cli.csv"));
        const morph::testdata::ProgramRun cli = morph::testdata::runProgram(
            QStringLiteral(LESIONMETER_CLI_PATH), {referencePhoto(), "--marks", marks, "--seed", "4242", "--csv", csv},
            {}, home.path());
        QVERIFY2(cli.status == 0, cli.err.constData());
        const QStringList cliRows = rowsWithoutDate(readText(csv));
        QCOMPARE(cliRows.size(), 1);
        // Value for value: every cell but the date and time.
        QCOMPARE(cliRows[0], rows[0]);
        QVERIFY(rows[0].split(',')[28].toDouble() > 100);  // the centroid was measured
    }

    // --plots-screenshot after --analyse: "Fit plots" of FRD1 and the four profiles, not blank.
    void theCommandLineAnalysisSavesThePlots() {
        QTemporaryDir home;
        const QString marks = home.filePath(QStringLiteral("lesion.marks.json"));
        Marks m;
        m.photo = "lesion.jpg";
        for (auto [x, y] : morph::testdata::lesionReference().in) m.in.push_back({float(x), float(y)});
        for (auto [x, y] : morph::testdata::lesionReference().out) m.out.push_back({float(x), float(y)});
        m.centre = MarkPosition{160, 120};
        writeMarks(marks.toStdString(), m);
        const QString plots = home.filePath(QStringLiteral("plots.png"));
        const morph::testdata::ProgramRun window =
            runWindow(home.path(), {"--open", referencePhoto(), "--marks", marks, "--seed", "4242", "--analyse",
                                    "--plots-screenshot", plots});
        QVERIFY2(window.status == 0, window.err.constData());
        const QImage shot(plots);
        QVERIFY(shot.width() >= 600 && shot.height() >= 400);
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
    }

    // A screenshot never replaces the photograph or the marks file: refused with status 2 before
    // anything is loaded, and the file stays as it was.
    void aScreenshotNeverReplacesAnInput() {
        QTemporaryDir home;
        const QString marks = home.filePath(QStringLiteral("lesion.marks.json"));
        Marks m;
        m.photo = "lesion.jpg";
        m.centre = MarkPosition{160, 120};
        writeMarks(marks.toStdString(), m);
        const QString marksText = readText(marks);
        // A copy: the reference photograph itself is not put at risk.
        const QString photo = home.filePath(QStringLiteral("lesion.jpg"));
        QVERIFY(QFile::copy(referencePhoto(), photo));
        for (const QStringList& arguments : {QStringList{"--open", photo, "--marks", marks, "--screenshot", marks},
                                             QStringList{"--open", photo, "--plots-screenshot", photo}}) {
            const morph::testdata::ProgramRun window = runWindow(home.path(), arguments);
            QCOMPARE(window.status, 2);
            const QByteArray& errors = window.err;
            // Each input is named as what it is.
            const QByteArray kind = arguments.back() == marks ? "marks file" : "photograph";
            const QByteArray said = "lesionmeter: " + arguments[arguments.size() - 2].toUtf8() + ' ' +
                                    arguments.back().toUtf8() + " is the input " + kind + ' ' +
                                    arguments.back().toUtf8() + " itself; choose another file\n";
            QVERIFY2(errors == said || errors.endsWith('\n' + said), errors.constData());
        }
        QCOMPARE(readText(marks), marksText);
        QCOMPARE(QImage(photo), QImage(referencePhoto()));
    }
};

QTEST_MAIN(Form1ResultsTest)
#include "form1_results_test.moc"
