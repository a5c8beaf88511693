// texturemeter: the texture analyzer's window.
//   texturemeter [--open IMAGE] [--corner X,Y] [--run A|B|C] [--press P-1|P-2|P-3]
//                [--results FILE] [--screenshot FILE.png]
// --open starts with the photo selected; --corner clicks Picture1 there; --run presses a run
// button; --press presses a small picture button afterwards; --results replaces the results file
// name in Text5; --screenshot writes a picture of the window after all that and exits (status 1
// if anything failed on the way).

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#include "form1.hpp"

using texturemeter::window::Form1;

namespace {

struct Options {
    QString open;
    QString corner;
    QString run;
    QString press;
    QString results;
    QString screenshot;
};

bool parseOptions(QApplication& app, Options& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Texture analyzer window"));
    parser.addHelpOption();
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Start with this photo selected."),
                                  QStringLiteral("IMAGE"));
    const QCommandLineOption corner(QStringLiteral("corner"), QStringLiteral("Click Picture1 at X,Y."),
                                    QStringLiteral("X,Y"));
    const QCommandLineOption run(QStringLiteral("run"), QStringLiteral("Press a run button: A, B or C."),
                                 QStringLiteral("VARIANT"));
    const QCommandLineOption press(QStringLiteral("press"), QStringLiteral("Press P-1, P-2 or P-3 at the end."),
                                   QStringLiteral("BUTTON"));
    const QCommandLineOption results(QStringLiteral("results"), QStringLiteral("Results file name (Text5)."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write a picture of the window to FILE.png and exit."),
                                        QStringLiteral("FILE.png"));
    parser.addOptions({open, corner, run, press, results, screenshot});
    parser.process(app);
    options = {parser.value(open),  parser.value(corner),  parser.value(run).toUpper(),
               parser.value(press).toUpper(), parser.value(results), parser.value(screenshot)};
    if (!options.press.isEmpty() && !QStringList{"P-1", "P-2", "P-3"}.contains(options.press)) {
        std::fprintf(stderr, "texturemeter: --press takes P-1, P-2 or P-3\n");
        return false;
    }
    if (!options.run.isEmpty() && options.run != QLatin1String("A") && options.run != QLatin1String("B") &&
        options.run != QLatin1String("C")) {
        std::fprintf(stderr, "texturemeter: --run takes A, B or C\n");
        return false;
    }
    if (!options.run.isEmpty() && options.open.isEmpty()) {
        std::fprintf(stderr, "texturemeter: --run needs --open IMAGE\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("texturemeter"));
    Options options;
    if (!parseOptions(app, options)) return 2;

    Form1 form;
    bool failed = false;
    const bool unattended = !options.screenshot.isEmpty();
    if (unattended) {
        // Without a user to read message boxes, errors go to stderr.
        form.reportError = [&failed](const QString& message) {
            failed = true;
            std::fprintf(stderr, "texturemeter: %s\n", message.toLocal8Bit().constData());
        };
        form.soundBeep = [] {};
    }
    if (!options.results.isEmpty()) form.Text5->setText(options.results);
    form.show();

    if (!options.open.isEmpty() && form.openImage(options.open)) {
        if (!options.corner.isEmpty()) {
            const QStringList xy = options.corner.split(QLatin1Char(','));
            bool okX = false, okY = false;
            const int x = xy.value(0).toInt(&okX);
            const int y = xy.value(1).toInt(&okY);
            if (xy.size() != 2 || !okX || !okY) {
                std::fprintf(stderr, "texturemeter: --corner takes X,Y\n");
                return 2;
            }
            form.clickPicture1(x, y);
        }
        if (!options.run.isEmpty()) form.pressRunButton(options.run.at(0).toLatin1());
        if (options.press == QLatin1String("P-1")) form.Command1->click();
        if (options.press == QLatin1String("P-2")) form.Command5->click();
        if (options.press == QLatin1String("P-3")) form.Command4->click();
    } else if (!options.open.isEmpty()) {
        failed = true;
    }

    if (unattended) {
        QApplication::processEvents();
        const bool saved = form.grab().save(options.screenshot, "PNG");
        if (!saved) std::fprintf(stderr, "texturemeter: cannot write %s\n", options.screenshot.toLocal8Bit().constData());
        return saved && !failed ? 0 : 1;
    }
    return app.exec();
}
