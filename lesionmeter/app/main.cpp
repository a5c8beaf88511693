// lesionmeter: the lesion analyzer's window.
// Usage: lesionmeter [--open IMAGE | IMAGE] [--fit] [--marks FILE] [--seed N] [--analyse] [--screenshot FILE.png]
//                   [--plots-screenshot FILE.png]
//   --open IMAGE        loads the photograph as "File" and a click in the chooser would
//   IMAGE               the same (as a file manager's "Open with" passes it)
//   --fit               reduces a photograph too large for "Calc + Draw" to fit, without asking
//   --marks FILE        loads a marks file as "Load marks" would
//   --seed N            seeds every "Calc + Draw" as lesionmeter-cli --seed N does (repeatable runs)
//   --analyse           presses "Calc + Draw", LINE, "Fractal calc", "axis" and "Save 2", then ends
//   --screenshot FILE   writes a picture of the window after the steps above and ends
//   --plots-screenshot FILE   opens "Fit plots" from its button after the steps above, writes a
//                             picture of it and ends
//   --help, --version   need no display

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

#include "form1.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "ui/application.hpp"

int main(int argc, char** argv) {
    const auto app = ui::makeApplication(argc, argv, QStringLiteral("lesionmeter"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lesion analyzer window"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("Load the photograph IMAGE (as --open)."),
                                 QStringLiteral("[IMAGE]"));
    const QCommandLineOption openOption(QStringList{"open"}, QStringLiteral("Load the photograph IMAGE."),
                                        QStringLiteral("IMAGE"));
    const QCommandLineOption fitOption(QStringList{"fit"},
                                       QStringLiteral("Reduce a photograph larger than 500 x 503 pixels to fit."));
    const QCommandLineOption marksOption(QStringList{"marks"}, QStringLiteral("Load the marks file FILE."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption seedOption(QStringList{"seed"},
                                        QStringLiteral("Fixed seed for every \"Calc + Draw\" (default: the clock)."),
                                        QStringLiteral("N"));
    const QCommandLineOption analyseOption(
        QStringList{"analyse"},
        QStringLiteral("Press \"Calc + Draw\", LINE, \"Fractal calc\", \"axis\" and \"Save 2\", then end."));
    const QCommandLineOption screenshotOption(QStringList{"screenshot"},
                                              QStringLiteral("Save a picture of the window to FILE.png and end."),
                                              QStringLiteral("FILE.png"));
    const QCommandLineOption plotsScreenshotOption(
        QStringList{"plots-screenshot"}, QStringLiteral("Save a picture of the Fit plots window to FILE.png and end."),
        QStringLiteral("FILE.png"));
    for (const QCommandLineOption* option : {&openOption, &fitOption, &marksOption, &seedOption, &analyseOption,
                                             &screenshotOption, &plotsScreenshotOption})
        parser.addOption(*option);
    parser.process(*app);
    QString image = parser.value(openOption);
    const QStringList images = parser.positionalArguments();
    if (images.size() > 1 || (!images.isEmpty() && !image.isEmpty())) {
        std::fprintf(stderr, "lesionmeter: give one IMAGE, either alone or with --open\n");
        return 2;
    }
    if (!images.isEmpty()) image = images.front();
    const bool screenshot = parser.isSet(screenshotOption) || parser.isSet(plotsScreenshotOption);
    const bool analyse = parser.isSet(analyseOption);
    const bool unattended = screenshot || analyse;

    std::optional<uint64_t> seed;
    if (parser.isSet(seedOption)) {
        seed = imaging::parseSeed(parser.value(seedOption).toStdString());
        if (!seed) {
            std::fprintf(stderr, "lesionmeter: --seed takes a whole number from 0 to 18446744073709551615\n");
            return 2;
        }
    }

    // The search, the fringe dither and the axis radii draw from a clock-seeded generator, or
    // from a fixed seed.
    imaging::FastRandom random(seed);
    lesionmeter::LesionSession session(random);
    session.setSeed(seed);
    lesionmeter::app::Form1 window(session);
    int failures = 0;
    if (unattended) {
        // Without a user to read them, messages go to the error stream, and nothing is asked.
        window.setMessageHandler([&failures](const QString& message) {
            std::fprintf(stderr, "lesionmeter: %s\n", message.toLocal8Bit().constData());
            ++failures;
        });
        window.setQuestionHandler([](const QString&) { return false; });
    }
    window.show();
    bool ready = true;
    if (!image.isEmpty()) ready = window.openImage(image, parser.isSet(fitOption));
    // Without a user to read the status line, its warning goes to the error stream.
    if (unattended && !window.statusLine()->text().isEmpty())
        std::fprintf(stderr, "lesionmeter: %s\n", window.statusLine()->text().toLocal8Bit().constData());
    if (ready && parser.isSet(marksOption)) ready = window.loadMarksFile(parser.value(marksOption));
    if (ready && analyse) ready = window.analyse();
    if (!ready) ++failures;

    bool saved = true;
    if (screenshot) {
        const auto save = [](QWidget& w, const QString& file) {
            if (file.isEmpty() || w.grab().save(file, "PNG")) return true;
            std::fprintf(stderr, "lesionmeter: cannot write %s\n", file.toLocal8Bit().constData());
            return false;
        };
        saved = save(window, parser.value(screenshotOption));
        if (parser.isSet(plotsScreenshotOption)) {
            window.fitPlotsButton()->click();
            QApplication::processEvents();
            saved = save(window.fitPlots(), parser.value(plotsScreenshotOption)) && saved;
        }
    }
    if (unattended) {
        window.close();
        return saved && failures == 0 ? 0 : 1;
    }
    return app->exec();
}
