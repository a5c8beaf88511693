// What the window writes never replaces the user's files: "save1", "Save 2", the marks file and
// the plot export refuse a photograph (and any existing picture the session did not write),
// "save1" asks before it replaces any other existing file and "loadcal" deletes only the file
// "save1" wrote; "Save 2" refuses a row whose samples changed after "Calc + Draw", and input
// during "Calc + Draw" is ignored.

#include <QFile>
#include <QTest>

#include "imaging/exif_orientation.hpp"
#include "imaging/image_file.hpp"
#include "testdata/exif_jpeg.hpp"
#include "testdata/qt_test_support.hpp"
#include "window_test_support.hpp"

using namespace lesionmeter;
using namespace lesionmeter::app;
using namespace lesionmeter::app::test;

namespace {

using morph::testdata::fileBytes;

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) qFatal("cannot write");
}

// Replaces the text of a box as the user types it.
void typeInto(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}


// The reference photograph loaded, its samples clicked, "Calc + Draw" and LINE pressed.
void analyseToLine(WindowFixture& fx) {
    Form1& f = *fx.form;
    if (!QTest::qWaitForWindowExposed(&f)) qFatal("window not exposed");
    if (!loadThroughChooser(f, referencePhoto())) qFatal("photograph not loaded");
    clickReferenceMarks(f);
    QTest::mouseClick(f.command(5), Qt::LeftButton);
    clickOption(f.option(4));
}

// A small photograph (JPEG or BMP by `format`) of the user's, whatever its file name says.
QByteArray writePhoto(const QString& path, const char* format) {
    QImage photo(40, 30, QImage::Format_RGB32);
    photo.fill(qRgb(190, 140, 120));
    if (!photo.save(path, format)) qFatal("cannot write %s", qPrintable(path));
    return fileBytes(path);
}

}  // namespace

class Form1OutputsTest : public QObject {
    Q_OBJECT

private slots:
    // "x.jpg" open, and the user's own picture "xU.bmp" beside it (where save1 writes): refused
    // without a question and left as it was, also by "loadcal", which reads it but does not
    // delete it.
    void save1RefusesAnExistingPictureAndLoadcalKeepsIt() {
        WindowFixture fx(3);
        analyseToLine(fx);
        Form1& f = *fx.form;
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        const QString outline = fx.homeFile(QStringLiteral("lesionU.bmp"));
        QCOMPARE(f.text(22)->text(), QStringLiteral("c:\\lesionU.bmp"));
        const QByteArray photo = writePhoto(outline, "BMP");
        QTest::mouseClick(f.command(9), Qt::LeftButton);
        QVERIFY(fx.questions.isEmpty());
        QCOMPARE(fx.messages.size(), 1);
        QVERIFY2(fx.messages[0].contains(QStringLiteral("is an existing BMP picture; it is not replaced")),
                 qPrintable(fx.messages[0]));
        QCOMPARE(fileBytes(outline), photo);

        fx.messages.clear();
        QTest::mouseClick(f.command(8), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QCOMPARE(fileBytes(outline), photo);  // read, not deleted
        QVERIFY(fx.session->save2Enabled());
    }

    // Any other existing file is replaced only when the user says yes; the file "save1" wrote is
    // replaced again without a question, and "loadcal" consumes it.
    void save1AsksBeforeReplacingAnotherFile() {
        WindowFixture fx(3);
        analyseToLine(fx);
        Form1& f = *fx.form;
        const QString outline = fx.homeFile(QStringLiteral("lesionU.bmp"));
        writeBytes(outline, "my notes, not an outline\n");
        QTest::mouseClick(f.command(9), Qt::LeftButton);
        QCOMPARE(fx.questions.size(), 1);
        QVERIFY2(fx.questions[0].contains(QStringLiteral("c:\\lesionU.bmp")), qPrintable(fx.questions[0]));
        QCOMPARE(fx.messages.size(), 1);  // "no": refused, with the reason
        QVERIFY2(fx.messages[0].contains(QStringLiteral("already exists")), qPrintable(fx.messages[0]));
        QCOMPARE(fileBytes(outline), QByteArray("my notes, not an outline\n"));

        fx.messages.clear();
        fx.answer = true;
        QTest::mouseClick(f.command(9), Qt::LeftButton);
        QCOMPARE(fx.questions.size(), 2);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QCOMPARE(QString::fromStdString(imaging::pictureFormatOf(outline.toStdString())), QStringLiteral("BMP"));
        QTest::mouseClick(f.command(9), Qt::LeftButton);  // its own file: no question
        QCOMPARE(fx.questions.size(), 2);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QTest::mouseClick(f.command(8), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QVERIFY(!QFile::exists(outline));
    }

    // The photograph itself, or another photograph, named as the Save 2 file, the marks file or
    // the plot export: refused, the file unchanged.
    void outputsNamedAsAPhotographAreRefused() {
        WindowFixture fx(3);
        QTemporaryDir folder;
        const QString other = folder.filePath(QStringLiteral("victim.jpg"));
        const QByteArray otherBytes = writePhoto(other, "JPG");
        const QString input = folder.filePath(QStringLiteral("lesion.jpg"));
        QVERIFY(QFile::copy(referencePhoto(), input));
        const QByteArray inputBytes = fileBytes(input);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(loadThroughChooser(f, input));
        clickReferenceMarks(f);
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        clickOption(f.option(4));
        QTest::mouseClick(f.command(3), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));

        typeInto(f.text(9), other);
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        typeInto(f.text(9), input);
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QString answer;
        f.setMarksFileHandler([&answer](bool, const QString&) { return answer; });
        answer = other;
        QTest::mouseClick(f.saveMarks(), Qt::LeftButton);
        answer = input;
        QTest::mouseClick(f.saveMarks(), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 4);
        QVERIFY2(fx.messages[0].startsWith(QStringLiteral("Save 2 file ") + other +
                                           QStringLiteral(" is a JPEG picture, not a results file")),
                 qPrintable(fx.messages[0]));
        QVERIFY2(fx.messages[1].contains(QStringLiteral(" is the input photograph ")), qPrintable(fx.messages[1]));
        QVERIFY2(fx.messages[2].contains(QStringLiteral(" is a JPEG picture, not a marks file")),
                 qPrintable(fx.messages[2]));
        QVERIFY2(fx.messages[3].contains(QStringLiteral(" is the input photograph ")), qPrintable(fx.messages[3]));
        QVERIFY_THROWS_EXCEPTION(imaging::RunError, f.fitPlots().exportTo(other, false));
        QCOMPARE(fileBytes(other), otherBytes);
        QCOMPARE(fileBytes(input), inputBytes);
        QVERIFY(!QFile::exists(fx.homeFile(QStringLiteral("10esult.txt"))));
    }

    // An OUT click after "Calc + Draw": "Save 2" refuses (its row would pair the new positions
    // with the old means) until "Calc + Draw" is pressed again.
    void save2RefusesSamplesChangedSinceCalcAndDraw() {
        WindowFixture fx(3);
        analyseToLine(fx);
        Form1& f = *fx.form;
        const QString results = fx.homeFile(QStringLiteral("10esult.txt"));
        clickAt(f, QPoint(12, 12), Qt::LeftButton);  // "OUT" is still selected
        QCOMPARE(fx.session->state().outCount, int16_t(9));
        QVERIFY(f.command(4)->isEnabled());
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QCOMPARE(fx.messages, QStringList{QStringLiteral("samples changed since Calc + Draw; press Calc + Draw again")});
        QVERIFY(!QFile::exists(results));
        // The centre moved, or a class started anew: the same.
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        clickOption(f.option(4));
        clickAt(f, QPoint(160, 120), Qt::RightButton);
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 2);
        QVERIFY(!QFile::exists(results));
        // Measured again: the row is written, with the nine OUT positions.
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        clickOption(f.option(4));
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QCOMPARE(fx.messages.size(), 2);
        const QList<QByteArray> lines = fileBytes(results).split('\n');
        QCOMPARE(lines.size(), 3);  // header, row, the empty rest after the last line end
        QCOMPARE(lines[1].split(',').value(6), QByteArray("9"));
    }

    // Clicks on the photograph, on "IN" and typing while "Calc + Draw" searches are dropped.
    void inputDuringCalcAndDrawIsIgnored() {
        WindowFixture fx(3);
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        clickReferenceMarks(f);
        const QString resultsName = f.text(9)->text();
        int beepsWithInput = 0;
        f.hooks().soundBeep = [&] {
            // The beeps sound inside "Calc + Draw": the user clicks and types meanwhile.
            ++beepsWithInput;
            clickAt(f, QPoint(20, 20), Qt::LeftButton);
            clickAt(f, QPoint(100, 100), Qt::RightButton);
            clickOption(f.option(1));
            f.text(9)->setFocus();
            QTest::keyClicks(f.text(9), QStringLiteral("x"));
        };
        QTest::mouseClick(f.command(5), Qt::LeftButton);
        QCOMPARE(beepsWithInput, 2);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        QCOMPARE(fx.session->state().inCount, int16_t(6));
        QCOMPARE(fx.session->state().outCount, int16_t(8));
        QVERIFY(f.option(2)->isChecked());
        QCOMPARE(f.text(9)->text(), resultsName);
        QVERIFY(!fx.session->samplesChangedSinceCalc());
        f.hooks().soundBeep = [] {};
        clickOption(f.option(4));
        QTest::mouseClick(f.command(4), Qt::LeftButton);
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
    }

    // A JPEG whose EXIF orientation is 8: the status line below the marks controls says what
    // that means for positions, the photograph keeps its stored pixels (320 x 240, not turned);
    // the plain photograph loaded next clears the warning.
    void aTurnedJpegShowsItsOrientationInTheStatusLine() {
        WindowFixture fx(3);
        QTemporaryDir folder;
        const QByteArray bytes = fileBytes(referencePhoto());
        const morph::testdata::ByteString turned = morph::testdata::withSegment(
            morph::testdata::ByteString(bytes.begin(), bytes.end()), morph::testdata::orientationSegment(8, true));
        const QString path = folder.filePath(QStringLiteral("turned.jpg"));
        writeBytes(path, QByteArray(reinterpret_cast<const char*>(turned.data()), qsizetype(turned.size())));
        Form1& f = *fx.form;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.statusLine()->text(), QString());
        QVERIFY(loadThroughChooser(f, path));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.join('\n')));
        const QString warning = QString::fromStdString(imaging::exifOrientationWarning(8));
        QVERIFY(warning.contains(QStringLiteral("turned 90 degrees counter-clockwise")));
        QCOMPARE(f.statusLine()->text(), warning);
        QVERIFY(f.statusLine()->isVisible());
        QCOMPARE(fx.session->pictures().photo.width(), 320);
        QCOMPARE(fx.session->pictures().photo.height(), 240);
        const imaging::Image plain = imaging::loadImageFile(referencePhoto().toStdString());
        QVERIFY(fx.session->pictures().photo.picture().pixels == plain.pixels);
        QVERIFY(loadThroughChooser(f, referencePhoto()));
        QCOMPARE(f.statusLine()->text(), QString());
    }
};

QTEST_MAIN(Form1OutputsTest)
#include "form1_outputs_test.moc"
