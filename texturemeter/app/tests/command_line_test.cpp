// The program's command line: --open selects a photo, --corner/--run act as the user would,
// --screenshot writes the window as a PNG and exits; failures give a non-zero status.

#include <QProcess>
#include <QtTest>

#include "window_test_support.hpp"

using namespace texturemeter::window::testing;

namespace {
struct Outcome {
    int status = -1;
    QByteArray errors;
};

Outcome runProgram(const QStringList& arguments) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TEXTUREMETER_PROGRAM), arguments);
    if (!p.waitForFinished(120000)) return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError()};
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
        QVERIFY2(o.status == 0, o.errors.constData());
        const QImage shot(png);
        QCOMPARE(shot.size(), QSize(822, 608));
        // Picture1's place shows the photo's top-left pixels (behind a 1-pixel frame).
        const QImage photoImage(photo);
        const QRgb a = shot.pixel(10, 10), b = photoImage.pixel(9, 9);
        QVERIFY(std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3);
    }

    void runFromTheCommandLineWritesTheResults() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString results = dir.filePath(QStringLiteral("out.txt"));
        const QString png = dir.filePath(QStringLiteral("after.png"));
        const Outcome o = runProgram({"--open", photo, "--corner", "20,30", "--run", "A", "--press", "P-1",
                                      "--results", results, "--screenshot", png});
        QVERIFY2(o.status == 0, o.errors.constData());
        QFile f(results);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.count("\r\n"), 3);
        QVERIFY(text.contains("\r\nPskin.jpg, 2.531328 ,"));  // column 2 of the reference run
        QVERIFY(QFile::exists(png));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("skinh.bmp"))));
    }

    void failuresGiveANonZeroStatus() {
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("x.png"));
        Outcome o = runProgram({"--open", dir.filePath(QStringLiteral("missing.jpg")), "--screenshot", png});
        QCOMPARE(o.status, 1);
        QVERIFY(o.errors.contains("missing.jpg"));
        o = runProgram({"--run", "Z"});
        QCOMPARE(o.status, 2);
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        o = runProgram({"--open", photo, "--run", "A", "--results", dir.filePath(QStringLiteral("no/dir/r.txt")),
                        "--screenshot", png});
        QCOMPARE(o.status, 1);
        QVERIFY(o.errors.contains("r.txt"));
    }
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
