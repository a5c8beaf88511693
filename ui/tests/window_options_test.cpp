// What both windows share outside their controls: the error box, the question box and the beep
// (UserHooks), the command line (--open or IMAGE, --seed, --screenshot, --plots-screenshot), the
// refusal of screenshot names before any work and the writing of the screenshots.

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "testdata/qt_test_support.hpp"
#include "ui/user_hooks.hpp"
#include "ui/window_options.hpp"

using namespace ui;
using morph::testdata::closeMessageBoxWithMouse;
using morph::testdata::SeenMessageBox;

namespace {

// A command line of a window that adds one option of its own (--corner), as texturemeter does.
struct Line {
    WindowCommandLine line{QStringLiteral("testwindow"), QStringLiteral("Test window"),
                           QStringLiteral("Start with this photo selected."), QStringLiteral("Fixed seed.")};
    QCommandLineOption corner{QStringLiteral("corner"), QStringLiteral("Click at X,Y."), QStringLiteral("X,Y")};
    bool process(QStringList arguments) {
        line.addOption(corner);
        arguments.prepend(QStringLiteral("testwindow"));
        return line.process(arguments);
    }
};

QString writePng(const QString& name) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    if (!image.save(name, "PNG")) qFatal("cannot write %s", qPrintable(name));
    return name;
}

}  // namespace

class WindowOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void unsetHooksDoNothingAndAnswerNo() {
        const UserHooks hooks;
        hooks.error(QStringLiteral("x"));
        hooks.beep();
        QVERIFY(!hooks.yes(QStringLiteral("?")));
    }

    void hooksCallWhatIsSet() {
        UserHooks hooks;
        QStringList said;
        int beeps = 0;
        hooks.reportError = [&](const QString& m) { said << m; };
        hooks.ask = [&](const QString& q) { return q == QLatin1String("yes?"); };
        hooks.soundBeep = [&] { ++beeps; };
        hooks.error(QStringLiteral("Type mismatch"));
        hooks.beep();
        hooks.beep();
        QCOMPARE(said, QStringList{QStringLiteral("Type mismatch")});
        QCOMPARE(beeps, 2);
        QVERIFY(hooks.yes(QStringLiteral("yes?")));
        QVERIFY(!hooks.yes(QStringLiteral("no?")));
    }

    // A run-time error shows the critical box, captioned with the window's caption.
    void theErrorBoxIsTheCriticalBoxWithTheCaption() {
        QWidget window;
        window.show();
        const UserHooks hooks = interactiveHooks(&window, QStringLiteral("Morphex 5.9c3"));
        const SeenMessageBox seen = closeMessageBoxWithMouse([&] { hooks.error(QStringLiteral("Division by zero")); }, QMessageBox::Ok);
        QCOMPARE(seen.title, QStringLiteral("Morphex 5.9c3"));
        QCOMPARE(seen.text, QStringLiteral("Division by zero"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
    }

    void theQuestionBoxAnswersWhatTheUserPressed() {
        QWidget window;
        window.show();
        const UserHooks hooks = interactiveHooks(&window, QStringLiteral("Morphex 5.9c3"));
        bool answer = false;
        SeenMessageBox seen = closeMessageBoxWithMouse([&] { answer = hooks.yes(QStringLiteral("Reduce it?")); }, QMessageBox::Yes);
        QVERIFY(answer);
        QCOMPARE(seen.text, QStringLiteral("Reduce it?"));
        QCOMPARE(seen.icon, QMessageBox::Question);
        seen = closeMessageBoxWithMouse([&] { answer = hooks.yes(QStringLiteral("Reduce it?")); }, QMessageBox::No);
        QVERIFY(!answer);
        QVERIFY(hooks.soundBeep);
    }

    // Without a user: every message counts as a failure, every question is answered no.
    void unattendedHooksCountMessagesAndAnswerNo() {
        int failures = 0;
        const UserHooks hooks = unattendedHooks(QStringLiteral("testwindow"), failures);
        hooks.error(QStringLiteral("first"));
        hooks.error(QStringLiteral("second"));
        hooks.beep();
        QCOMPARE(failures, 2);
        QVERIFY(!hooks.yes(QStringLiteral("Reduce it?")));
    }

    void openTakesTheOptionOrOneImageAlone() {
        Line a;
        QVERIFY(a.process({QStringLiteral("--open"), QStringLiteral("a.jpg")}));
        QCOMPARE(a.line.options().open, QStringLiteral("a.jpg"));
        Line b;
        QVERIFY(b.process({QStringLiteral("b.jpg"), QStringLiteral("--corner"), QStringLiteral("3,4")}));
        QCOMPARE(b.line.options().open, QStringLiteral("b.jpg"));
        QCOMPARE(b.line.parser().value(b.corner), QStringLiteral("3,4"));
        Line none;
        QVERIFY(none.process({}));
        QVERIFY(none.line.options().open.isEmpty());
        QVERIFY(!none.line.options().seed);
        QVERIFY(!none.line.options().writesScreenshots());
    }

    void twoImagesOrAnImageBesideOpenAreRefused() {
        Line a;
        QVERIFY(!a.process({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
        Line b;
        QVERIFY(!b.process({QStringLiteral("--open"), QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
    }

    void seedTakesTheWholeUnsignedRange() {
        Line zero;
        QVERIFY(zero.process({QStringLiteral("--seed"), QStringLiteral("0")}));
        QCOMPARE(*zero.line.options().seed, uint64_t{0});
        Line top;
        QVERIFY(top.process({QStringLiteral("--seed"), QStringLiteral("18446744073709551615")}));
        QCOMPARE(*top.line.options().seed, uint64_t{18446744073709551615u});
        for (const char* wrong : {"18446744073709551616", "-1", "1.5", "x", ""}) {
            Line line;
            QVERIFY2(!line.process({QStringLiteral("--seed"), QString::fromLatin1(wrong)}), wrong);
        }
    }

    void screenshotsMakeTheRunUnattended() {
        Line a;
        QVERIFY(a.process({QStringLiteral("--screenshot"), QStringLiteral("w.png")}));
        QCOMPARE(a.line.options().screenshot, QStringLiteral("w.png"));
        QVERIFY(a.line.options().writesScreenshots());
        Line b;
        QVERIFY(b.process({QStringLiteral("--plots-screenshot"), QStringLiteral("p.png")}));
        QCOMPARE(b.line.options().plotsScreenshot, QStringLiteral("p.png"));
        QVERIFY(b.line.options().writesScreenshots());
    }

    // --help lists --open first, the window's own options next, then the shared ones.
    void helpListsOpenTheWindowsOwnOptionsThenTheSharedOnes() {
        Line line;
        QVERIFY(line.process({}));
        const QString help = line.line.parser().helpText();
        const qsizetype open = help.indexOf(QLatin1String("--open <IMAGE>"));
        const qsizetype corner = help.indexOf(QLatin1String("--corner <X,Y>"));
        const qsizetype seed = help.indexOf(QLatin1String("--seed <N>"));
        const qsizetype screenshot = help.indexOf(QLatin1String("--screenshot <FILE.png>"));
        const qsizetype plots = help.indexOf(QLatin1String("--plots-screenshot <FILE.png>"));
        QVERIFY2(open >= 0 && open < corner && corner < seed && seed < screenshot && screenshot < plots,
                 qPrintable(help));
        QVERIFY2(help.contains(QLatin1String("Start with this photo selected (as --open).")), qPrintable(help));
    }

    // A screenshot never replaces the photograph, a marks file or an existing picture.
    void screenshotNamesAreRefusedBeforeAnyWork() {
        QTemporaryDir dir;
        const QString photo = writePng(dir.filePath(QStringLiteral("photo.png")));
        const QString marks = dir.filePath(QStringLiteral("a.marks.json"));
        QFile file(marks);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const std::vector<imaging::InputFile> inputs{photo.toStdString(), {marks.toStdString(), "marks file"}};
        const auto allowed = [&](const QString& screenshot, const QString& plots) {
            WindowOptions options;
            options.screenshot = screenshot;
            options.plotsScreenshot = plots;
            return checkScreenshotNames(QStringLiteral("testwindow"), options, inputs);
        };
        QVERIFY(allowed({}, {}));
        QVERIFY(allowed(dir.filePath(QStringLiteral("new.png")), dir.filePath(QStringLiteral("new2.png"))));
        QVERIFY(!allowed(photo, {}));
        QVERIFY(!allowed({}, photo));
        QVERIFY(!allowed(marks, {}));
        const QString old = writePng(dir.filePath(QStringLiteral("old.png")));
        QVERIFY(!allowed(old, {}));
        QVERIFY(!allowed({}, old));
        // A file that is not a picture (an old text) is no photograph: it may be replaced.
        const QString text = dir.filePath(QStringLiteral("notes.txt"));
        QFile notes(text);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("notes");
        notes.close();
        QVERIFY(allowed(text, {}));
    }

    void screenshotsAreThePicturesOfTheWindows() {
        QTemporaryDir dir;
        QWidget window;
        window.setFixedSize(120, 80);
        window.show();
        QWidget plots;
        plots.setFixedSize(60, 50);
        int opened = 0;
        const auto openPlots = [&]() -> QWidget& {
            ++opened;
            plots.show();
            return plots;
        };
        WindowOptions options;
        options.screenshot = dir.filePath(QStringLiteral("w.png"));
        QVERIFY(writeScreenshots(QStringLiteral("testwindow"), options, window, openPlots));
        QCOMPARE(opened, 0);
        QCOMPARE(QImage(options.screenshot).size(), window.grab().size());
        options.plotsScreenshot = dir.filePath(QStringLiteral("p.png"));
        QVERIFY(writeScreenshots(QStringLiteral("testwindow"), options, window, openPlots));
        QCOMPARE(opened, 1);
        QCOMPARE(QImage(options.plotsScreenshot).size(), plots.grab().size());
        // A folder that does not exist: the picture cannot be written.
        options.screenshot = dir.filePath(QStringLiteral("no/w.png"));
        QVERIFY(!writeScreenshots(QStringLiteral("testwindow"), options, window, openPlots));
        QCOMPARE(opened, 2);
    }
};

QTEST_MAIN(WindowOptionsTest)
#include "window_options_test.moc"
