// The program's command line: --open selects a photo, --corner/--run act as the user would,
// --screenshot writes the window as a PNG and exits; failures give a non-zero status.

#include <QtTest>

#include <clocale>

#include "imaging/exif_orientation.hpp"
#include "testdata/exif_jpeg.hpp"
#include "testdata/locale.hpp"
#include "testdata/qt_test_support.hpp"
#include "window_test_support.hpp"

using namespace texturemeter::window::testing;

namespace {
using Outcome = morph::testdata::ProgramRun;
using morph::testdata::fileBytes;

// The window program (or `program`) run to its end, under `locale` when one is given.
Outcome runProgram(const QStringList& arguments, const QString& locale = {},
                   const QString& program = QStringLiteral(TEXTUREMETER_PROGRAM)) {
    std::vector<std::pair<QString, QString>> environment;
    if (!locale.isEmpty()) environment = {{QStringLiteral("LC_ALL"), locale}, {QStringLiteral("LANG"), locale}};
    return morph::testdata::runProgram(program, arguments, environment);
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void screenshotOfTheWindowWithAPhoto() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString png = dir.filePath(QStringLiteral("window.png"));
        const Outcome o = runProgram({"--open", photo, "--screenshot", png});
        QVERIFY2(o.status == 0, o.err.constData());
        const QImage shot(png);
        QCOMPARE(shot.size(), QSize(822, 608));
        // Picture1's place shows the photo's top-left pixels (behind a 1-pixel frame).
        const QImage photoImage(photo);
        const QRgb a = shot.pixel(10, 10), b = photoImage.pixel(9, 9);
        QVERIFY(std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3);
    }

    void plotsScreenshotAfterARun() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString png = dir.filePath(QStringLiteral("plots.png"));
        const Outcome o = runProgram({"--open", photo, "--run", "A", "--results", dir.filePath(QStringLiteral("r.txt")),
                                      "--plots-screenshot", png});
        QVERIFY2(o.status == 0, o.err.constData());
        const QImage shot(png);
        QVERIFY(shot.width() >= 600 && shot.height() >= 400);
        // Not blank: many distinct colours (points, lines, bars, text).
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
        // Without a writable file the program says so and fails.
        const Outcome bad = runProgram({"--open", photo, "--plots-screenshot", dir.filePath(QStringLiteral("no/x.png"))});
        QCOMPARE(bad.status, 1);
        QVERIFY(bad.err.contains("cannot write"));
    }

    void runFromTheCommandLineWritesTheResults() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString results = dir.filePath(QStringLiteral("out.txt"));
        const QString png = dir.filePath(QStringLiteral("after.png"));
        const Outcome o = runProgram({"--open", photo, "--corner", "20,30", "--run", "A", "--press", "P-1",
                                      "--results", results, "--screenshot", png});
        QVERIFY2(o.status == 0, o.err.constData());
        QFile f(results);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.count("\r\n"), 3);
        QVERIFY(text.contains("\r\nPskin.jpg, 2.531328 ,"));  // column 2 of the reference run
        QVERIFY(QFile::exists(png));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("skinh.bmp"))));
    }

    // The results file of a seeded run is the same byte for byte under a decimal-comma locale,
    // and it is what texturemeter-cli writes for the photo with the same seed.
    void aSeededRunWritesTheSameBytesInEveryLocale() {
        QVERIFY2(morph::testdata::hasLocale(morph::testdata::kGermanLocale), "the locale de_DE.UTF-8 is missing (scripts/setup.sh makes it available)");
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Hautprobe_ü_皮膚.jpg"));
        QByteArray files[2];
        const QString locales[2] = {QStringLiteral("C"), QStringLiteral("de_DE.UTF-8")};
        for (int i = 0; i < 2; ++i) {
            const QString results = dir.filePath(QStringLiteral("results-%1.txt").arg(i));
            const QString png = dir.filePath(QStringLiteral("window-%1.png").arg(i));
            const Outcome o = runProgram({"--open", photo, "--run", "A", "--seed", "7", "--results", results,
                                          "--screenshot", png},
                                         locales[i]);
            QVERIFY2(o.status == 0, o.err.constData());
            QVERIFY(QFile::exists(png));
            files[i] = fileBytes(results);
        }
        QCOMPARE(files[0].count("\r\n"), 3);
        QVERIFY(files[0].contains("\r\nHautprobe_ü_皮膚.jpg, "));
        QCOMPARE(files[1], files[0]);

        const QString cliResults = dir.filePath(QStringLiteral("cli.txt"));
        const Outcome cli = runProgram({"--seed", "7", "--output", cliResults, photo}, QStringLiteral("C"),
                                       QStringLiteral(TEXTUREMETER_CLI_PROGRAM));
        QVERIFY2(cli.status == 0, cli.err.constData());
        QCOMPARE(fileBytes(cliResults), files[0]);

        // Another seed gives another run.
        const QString other = dir.filePath(QStringLiteral("seed8.txt"));
        const Outcome o = runProgram({"--open", photo, "--run", "A", "--seed", "8", "--results", other,
                                      "--screenshot", dir.filePath(QStringLiteral("w.png"))});
        QVERIFY2(o.status == 0, o.err.constData());
        QVERIFY(fileBytes(other) != files[0]);
    }

    void aSeedIsAWholeNumber() {
        QTemporaryDir dir;
        for (const char* seed : {"x", "-1", "1.5", "1,5", "18446744073709551616"}) {
            const Outcome o = runProgram({"--seed", seed, "--screenshot", dir.filePath(QStringLiteral("x.png"))});
            QCOMPARE(o.status, 2);
            QVERIFY2(o.err.contains("--seed"), o.err.constData());
        }
        const Outcome o = runProgram({"--corner", "1.5,2", "--open", copyPhoto(referencePhoto(), dir.path(), "p.jpg"),
                                      "--screenshot", dir.filePath(QStringLiteral("x.png"))});
        QCOMPARE(o.status, 2);
        QVERIFY2(o.err.contains("--corner"), o.err.constData());
    }

    void failuresGiveANonZeroStatus() {
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("x.png"));
        Outcome o = runProgram({"--open", dir.filePath(QStringLiteral("missing.jpg")), "--screenshot", png});
        QCOMPARE(o.status, 1);
        QVERIFY(o.err.contains("missing.jpg"));
        o = runProgram({"--run", "Z"});
        QCOMPARE(o.status, 2);
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        // The first run wrote x.png, and a screenshot never replaces an existing picture: a new name.
        o = runProgram({"--open", photo, "--run", "A", "--results", dir.filePath(QStringLiteral("no/dir/r.txt")),
                        "--screenshot", dir.filePath(QStringLiteral("x2.png"))});
        QCOMPARE(o.status, 1);
        QVERIFY(o.err.contains("r.txt"));
    }

    // A screenshot never replaces the photograph or an existing picture: refused with status 2
    // before anything is done (no results file), and the file stays as it was.
    void aScreenshotNeverReplacesAPicture() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QByteArray photoBytes = fileBytes(photo);
        const QString results = dir.filePath(QStringLiteral("r.txt"));
        Outcome o = runProgram({"--open", photo, "--run", "A", "--results", results, "--screenshot", photo});
        QCOMPARE(o.status, 2);
        // The last line said (the toolkit may say something of its own first).
        const auto saidLast = [](const QByteArray& errors, const QByteArray& line) {
            return errors == line || errors.endsWith('\n' + line);
        };
        QVERIFY2(saidLast(o.err, "texturemeter: --screenshot " + photo.toUtf8() + " is the input photograph " +
                                        photo.toUtf8() + " itself; choose another file\n"),
                 o.err.constData());
        QCOMPARE(fileBytes(photo), photoBytes);
        QVERIFY(!QFile::exists(results));

        const QString other = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("other.jpg"));
        o = runProgram({"--open", photo, "--plots-screenshot", other});
        QCOMPARE(o.status, 2);
        QVERIFY2(saidLast(o.err, "texturemeter: --plots-screenshot " + other.toUtf8() +
                                        " is an existing JPEG picture; it is not replaced\n"),
                 o.err.constData());
        QCOMPARE(fileBytes(other), photoBytes);

        // A second screenshot under the name of the first is refused too.
        const QString png = dir.filePath(QStringLiteral("w.png"));
        o = runProgram({"--open", photo, "--screenshot", png});
        QVERIFY2(o.status == 0, o.err.constData());
        const QByteArray first = fileBytes(png);
        o = runProgram({"--screenshot", png});
        QCOMPARE(o.status, 2);
        QVERIFY2(o.err.contains("is an existing PNG picture; it is not replaced"), o.err.constData());
        QCOMPARE(fileBytes(png), first);

        // Nor the square file the window reads, named as what it is.
        const QString square = dir.filePath(QStringLiteral("Pskin.square.json"));
        QFile squareFile(square);
        QVERIFY(squareFile.open(QIODevice::WriteOnly));
        squareFile.write("{}");
        squareFile.close();
        o = runProgram({"--open", photo, "--square", square, "--screenshot", square});
        QCOMPARE(o.status, 2);
        QVERIFY2(saidLast(o.err, "texturemeter: --screenshot " + square.toUtf8() + " is the input square file " +
                                        square.toUtf8() + " itself; choose another file\n"),
                 o.err.constData());
        QCOMPARE(fileBytes(square), QByteArray("{}"));
    }

    // x = 5000: a square entirely outside the photograph ends the program with status 2 and
    // texturemeter-cli's message before any run; the results file is not even created. The tool
    // refuses the same square with the same words.
    void aCornerOutsideThePhotographEndsTheProgram() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString results = dir.filePath(QStringLiteral("r.txt"));
        const Outcome o = runProgram({"--open", photo, "--corner", "5000,5000", "--run", "A", "--results", results,
                                      "--screenshot", dir.filePath(QStringLiteral("x.png"))});
        QCOMPARE(o.status, 2);
        const QByteArray message =
            "the square x 5000 y 5000 side 200 (pixels 5000..5200, 5000..5200) lies entirely outside the "
            "photograph (400 x 300)";
        QVERIFY2(o.err.contains("\ntexturemeter: --corner 5000,5000: " + message + "\n") ||
                     o.err.startsWith("texturemeter: --corner 5000,5000: " + message + "\n"),
                 o.err.constData());
        QVERIFY(!QFile::exists(results));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.png"))));
        const Outcome cli = runProgram({"--x", "5000", "--y", "5000", "--output", results, photo}, {},
                                       QStringLiteral(TEXTUREMETER_CLI_PROGRAM));
        QVERIFY(cli.status != 0);
        // The same refusal, the square named by the tool's options.
        QVERIFY2(cli.err.contains("the square --x 5000 --y 5000 --side 200 (pixels 5000..5200, 5000..5200) lies "
                                  "entirely outside the photograph (400 x 300)"),
                 cli.err.constData());

        // Reaching past an edge is only a warning: the run goes on.
        const Outcome edge = runProgram({"--open", photo, "--corner", "300,200", "--run", "A", "--results", results,
                                         "--screenshot", dir.filePath(QStringLiteral("edge.png"))});
        QVERIFY2(edge.status == 0, edge.err.constData());
        QCOMPARE(fileBytes(results).count("\r\n"), 3);
        QVERIFY2(edge.err.contains("texturemeter: the square x 300 y 200 side 200"), edge.err.constData());
    }

    // A JPEG whose EXIF orientation is 3: without a user the status line's warning goes to stderr;
    // the run goes on, on the stored pixels (the same row as the plain photograph's).
    void aTurnedJpegIsSaidOnStderr() {
        QTemporaryDir dir;
        const QString plain = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QByteArray bytes = fileBytes(plain);
        const morph::testdata::ByteString turned = morph::testdata::withSegment(
            morph::testdata::ByteString(bytes.begin(), bytes.end()), morph::testdata::orientationSegment(3));
        const QString photo = dir.filePath(QStringLiteral("Pskin3.jpg"));
        QFile out(photo);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(turned.data()), qint64(turned.size()));
        out.close();
        QByteArray rows[2];
        int k = 0;
        for (const QString& p : {plain, photo}) {
            const QString results = dir.filePath(QStringLiteral("r%1.txt").arg(k));
            const Outcome o = runProgram({"--open", p, "--run", "A", "--seed", "3", "--results", results, "--screenshot",
                                          dir.filePath(QStringLiteral("s%1.png").arg(k))});
            QVERIFY2(o.status == 0, o.err.constData());
            const bool said = o.err.contains(
                QByteArray("texturemeter: ") + QByteArray::fromStdString(imaging::exifOrientationWarning(3)) + "\n");
            QCOMPARE(said, k == 1);
            const QByteArray row = fileBytes(results).split('\n').value(1);
            rows[k++] = row.mid(row.indexOf(','));  // the numbers, without the name
        }
        QCOMPARE(rows[1], rows[0]);
    }
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
