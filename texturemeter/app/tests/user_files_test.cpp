// A run in the window leaves the user's files alone: its derived pictures stay in memory (the
// derived-name boxes only name them), so skinh.bmp .. skine.bmp beside Pskin.jpg, or the BMP
// photo hhhh.bmp beside hhhh.jpg, are untouched; a results file named as a photograph is refused.
// A square entirely outside the photograph is refused with texturemeter-cli's message and the
// corner kept; one that reaches past an edge is taken with the tool's warning in the status line.

#include <QDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/exif_orientation.hpp"
#include "imaging/random.hpp"
#include "testdata/exif_jpeg.hpp"
#include "testdata/qt_test_support.hpp"
#include "texturemeter/square_placement.hpp"
#include "window_test_support.hpp"

using namespace texturemeter;
using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {

using morph::testdata::fileBytes;

// A small BMP picture of the user's, each with its own colour.
QByteArray writeUserPicture(const QString& path, int shade) {
    QImage picture(24, 16, QImage::Format_RGB32);
    picture.fill(qRgb(shade, 255 - shade, 90));
    if (!picture.save(path, "BMP")) qFatal("cannot write %s", qPrintable(path));
    return fileBytes(path);
}

// Every file of the folder with its bytes.
QMap<QString, QByteArray> folderContents(const QString& folder) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) files[name] = fileBytes(QDir(folder).filePath(name));
    return files;
}

// The window over a fixed generator with `name` selected from `folder`.
struct Window {
    imaging::FastRandom random{std::uint64_t(7)};
    Form1 form{&random};
    ReportedErrors errors;
    QStringList statuses;
    int beeps = 0;
    Window(const QString& folder, const QString& name) {
        errors.attach(form);
        form.hooks().soundBeep = [this] { ++beeps; };
        QObject::connect(&form, &Form1::statusShown, [this](const QString& word) { statuses << word; });
        showForm(form);
        goToFolder(form, folder);
        if (!clickFile(form, name)) qFatal("%s not listed", qPrintable(name));
    }
};

}  // namespace

class UserFilesTest : public QObject {
    Q_OBJECT
private slots:
    // The user's skinh.bmp .. skine.bmp beside Pskin.jpg: after Start(A), Start(B) and Start (C)
    // every file of the folder is as it was, and only the results file is new. The numbers are
    // those of a run that froze its pictures through files (the same pixels).
    void theUsersDerivedNamedPicturesStayAsTheyWere() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        int shade = 10;
        for (const char* letter : {"h", "a", "b", "c", "d", "e"})
            writeUserPicture(dir.filePath(QStringLiteral("skin%1.bmp").arg(QLatin1String(letter))), shade += 30);
        QTemporaryDir elsewhere;
        const QString results = elsewhere.filePath(QStringLiteral("results.txt"));
        const QMap<QString, QByteArray> before = folderContents(dir.path());

        Window w(dir.path(), QStringLiteral("Pskin.jpg"));
        // The boxes still show the derived names beside the photograph.
        QCOMPARE(w.form.Text11->text(), dir.path() + QStringLiteral("/skinh.bmp"));
        QCOMPARE(w.form.Text18->text(), dir.path() + QStringLiteral("/skine.bmp"));
        w.form.Text5->setText(results);
        clickPhotoPixel(w.form, 20, 30);
        QByteArray firstRun;
        for (QPushButton* button : {w.form.Command3, static_cast<QPushButton*>(w.form.Command6), w.form.Command7}) {
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
            QCOMPARE(folderContents(dir.path()), before);
            if (firstRun.isEmpty()) firstRun = fileBytes(results);
        }
        QCOMPARE(w.beeps, 3);

        // The same run with its pictures frozen through files, in a folder of its own.
        QTemporaryDir other;
        copyPhoto(referencePhoto(), other.path(), QStringLiteral("Pskin.jpg"));
        imaging::FastRandom random(std::uint64_t(7));
        TextureSession session(random);
        session.selectImage(other.path().toStdString(), "Pskin.jpg");
        session.pressPhoto(20, 30, "200");
        RunTexts texts;
        texts.resultsName = other.filePath(QStringLiteral("through-files.txt")).toStdString();
        session.run(Variant::A, texts, nullptr, FreezeStrategy::ThroughFiles);
        QCOMPARE(firstRun, fileBytes(QString::fromStdString(texts.resultsName)));
        QCOMPARE(firstRun.count("\r\n"), 3);
    }

    // hhhh.jpg selected beside the BMP photograph hhhh.bmp, which is its Hessian image's derived
    // name: the run leaves the BMP photograph as it was.
    void aBmpPhotoNamedAsADerivedPictureStays() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("hhhh.jpg"));
        const QString bmp = dir.filePath(QStringLiteral("hhhh.bmp"));
        const QByteArray photo = writeUserPicture(bmp, 77);
        Window w(dir.path(), QStringLiteral("hhhh.jpg"));
        QCOMPARE(w.form.Text11->text(), bmp);
        w.form.Text5->setText(dir.filePath(QStringLiteral("results.txt")));
        QTest::mouseClick(w.form.Command3, Qt::LeftButton);
        QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
        QCOMPARE(fileBytes(bmp), photo);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    }

    // "Output File" naming another photograph or the photograph itself: refused before the run
    // starts, no status word, the file unchanged.
    void aResultsFileNamedAsAPhotographIsRefused() {
        QTemporaryDir dir;
        const QString input = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString victim = copyPhoto(samplePhoto(), dir.path(), QStringLiteral("other.JPG"));
        const QByteArray inputBytes = fileBytes(input), victimBytes = fileBytes(victim);
        Window w(dir.path(), QStringLiteral("Pskin.jpg"));
        w.form.Text5->setText(victim);
        QTest::mouseClick(w.form.Command3, Qt::LeftButton);
        w.form.Text5->setText(dir.path() + QStringLiteral("/./Pskin.jpg"));
        QTest::mouseClick(w.form.Command7, Qt::LeftButton);
        QCOMPARE(w.errors.messages.size(), 2);
        QCOMPARE(w.errors.messages[0], QStringLiteral("results file (Output File, Text5) ") + victim +
                                           QStringLiteral(" is a JPEG picture, not a results file; it is not replaced"));
        QVERIFY2(w.errors.messages[1].contains(QStringLiteral(" is the input photograph ")),
                 qPrintable(w.errors.messages[1]));
        QVERIFY(w.statuses.isEmpty());
        QCOMPARE(w.beeps, 0);
        QCOMPARE(fileBytes(victim), victimBytes);
        QCOMPARE(fileBytes(input), inputBytes);
        // The plot export of this window refuses it too.
        QVERIFY_THROWS_EXCEPTION(imaging::RunError, w.form.fitPlots().exportTo(victim, false));
        QCOMPARE(fileBytes(victim), victimBytes);
    }

    // "Output File" naming the photograph's square file beside it (what "Save square" writes and
    // "Load square" reads): refused before the run, the square kept.
    void aResultsFileNamedAsTheSquareFileIsRefused() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString square = dir.filePath(QStringLiteral("Pskin.square.json"));
        QFile file(square);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"format\": \"texturemeter-square\"}\n");
        file.close();
        const QByteArray squareBytes = fileBytes(square);
        Window w(dir.path(), QStringLiteral("Pskin.jpg"));
        w.form.Text5->setText(square);
        QTest::mouseClick(w.form.Command3, Qt::LeftButton);
        QCOMPARE(w.errors.messages.size(), 1);
        QVERIFY2(w.errors.messages[0].contains(QStringLiteral(" is the input square file ") + square),
                 qPrintable(w.errors.messages[0]));
        QVERIFY(w.statuses.isEmpty());
        QCOMPARE(fileBytes(square), squareBytes);
    }

    // x = 5000 on the 400 x 300 photograph: texturemeter-cli's refusal, the corner of the click
    // before it kept, nothing drawn or run; beside the photograph but inside Picture1 the same.
    void aClickEntirelyOutsideThePhotographKeepsTheCorner() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        Window w(dir.path(), QStringLiteral("Pskin.jpg"));
        clickPhotoPixel(w.form, 20, 30);
        const QImage boxed = w.form.Picture1->shownImage();
        w.form.clickPicture1(5000, 5000);
        clickPhotoPixel(w.form, 402, 350);  // beside the photograph, on Picture1
        QCOMPARE(w.errors.messages.size(), 2);
        QString expected;
        try {
            squareOverhang(5000, 5000, 200, 400, 300, TextureSession::kSquareWords);
        } catch (const imaging::RunError& e) {
            expected = QString::fromUtf8(e.what());
        }
        QVERIFY(expected.contains(QStringLiteral("lies entirely outside the photograph (400 x 300)")));
        QCOMPARE(w.errors.messages[0], expected);
        QVERIFY(w.errors.messages[1].startsWith(QStringLiteral("the square x 402 y 350 side 200")));
        QCOMPARE(w.form.Text20->text(), QStringLiteral("20"));
        QCOMPARE(w.form.Text21->text(), QStringLiteral("30"));
        QCOMPARE(w.form.session().regionX, int16_t(20));
        QCOMPARE(w.form.session().regionY, int16_t(30));
        QCOMPARE(w.form.Picture1->shownImage(), boxed);
        QCOMPARE(w.form.statusLine->text(), QString());
    }

    // A square reaching past the right and bottom edges: taken, with the tool's warning in the
    // status line; the run measures it and keeps the warning; a square inside clears it.
    void aSquareReachingPastAnEdgeIsTakenWithTheWarning() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        Window w(dir.path(), QStringLiteral("Pskin.jpg"));
        w.form.Text5->setText(dir.filePath(QStringLiteral("results.txt")));
        clickPhotoPixel(w.form, 300, 200);
        QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
        const QString warning = QString::fromStdString(squareOverhang(300, 200, 200, 400, 300, TextureSession::kSquareWords).value());
        QVERIFY(warning.contains(QStringLiteral("101 pixels past the right edge and 101 pixels past the bottom edge")));
        QCOMPARE(w.form.statusLine->text(), warning);
        QVERIFY(w.form.statusLine->isVisible());
        QTest::mouseClick(w.form.Command3, Qt::LeftButton);
        QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
        QCOMPARE(w.beeps, 1);
        QCOMPARE(w.form.statusLine->text(), warning);
        clickPhotoPixel(w.form, 10, 10);
        QCOMPARE(w.form.statusLine->text(), QString());
        // A side typed after the click that makes the square reach past an edge: the run says so.
        clickPhotoPixel(w.form, 100, 50);
        QCOMPARE(w.form.statusLine->text(), QString());
        w.form.Text12->setText(QStringLiteral("250"));
        QTest::mouseClick(w.form.Command3, Qt::LeftButton);
        QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
        QCOMPARE(w.form.statusLine->text(), QString::fromStdString(squareOverhang(100, 50, 250, 400, 300, TextureSession::kSquareWords).value()));
        QCOMPARE(w.beeps, 2);
    }

    // A JPEG whose EXIF orientation is 6: the status line says what that means for positions;
    // the pixels shown and measured are the stored ones (400 x 300, not turned). The plain
    // photograph selected next clears the warning.
    void aTurnedJpegShowsItsOrientationInTheStatusLine() {
        QTemporaryDir dir;
        const QString plain = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QByteArray bytes = fileBytes(plain);
        const morph::testdata::ByteString turned = morph::testdata::withSegment(
            morph::testdata::ByteString(bytes.begin(), bytes.end()), morph::testdata::orientationSegment(6));
        QFile out(dir.filePath(QStringLiteral("Pturned.jpg")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(reinterpret_cast<const char*>(turned.data()), qint64(turned.size())), qint64(turned.size()));
        out.close();
        Window w(dir.path(), QStringLiteral("Pturned.jpg"));
        QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
        const QString warning = QString::fromStdString(imaging::exifOrientationWarning(6));
        QVERIFY(warning.startsWith(QStringLiteral("EXIF orientation 6: ")));
        QCOMPARE(w.form.statusLine->text(), warning);
        QCOMPARE(w.form.Text2->text(), QStringLiteral("300"));  // the stored height
        QCOMPARE(w.form.Text3->text(), QStringLiteral("400"));
        const QImage stored = w.form.Picture1->shownImage();
        clickPhotoPixel(w.form, 350, 250);  // a corner near the stored edge: both warnings
        QCOMPARE(w.form.statusLine->text(),
                 warning + QLatin1Char('\n') + QString::fromStdString(squareOverhang(350, 250, 200, 400, 300, TextureSession::kSquareWords).value()));
        QVERIFY(clickFile(w.form, QStringLiteral("Pskin.jpg")));
        QCOMPARE(w.form.statusLine->text(), QString());
        QCOMPARE(w.form.Picture1->shownImage().copy(0, 0, 400, 300), stored.copy(0, 0, 400, 300));
    }
};

QTEST_MAIN(UserFilesTest)
#include "user_files_test.moc"
