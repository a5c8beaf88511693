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
// A screenshot name that is the photograph, the marks file or an existing picture is refused
// (status 2) before anything is done.

#include <QApplication>
#include <QCommandLineParser>

#include <optional>

#include "form1.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "ui/application.hpp"
#include "ui/user_hooks.hpp"
#include "ui/window_options.hpp"

int main(int argc, char** argv) {
    const QString program = QStringLiteral("lesionmeter");
    const auto app = ui::makeApplication(argc, argv, program);

    ui::WindowCommandLine line(program, QStringLiteral("Lesion analyzer window"),
                               QStringLiteral("Load the photograph IMAGE."),
                               QStringLiteral("Fixed seed for every \"Calc + Draw\" (default: the clock)."));
    const QCommandLineOption fitOption(QStringList{"fit"},
                                       QStringLiteral("Reduce a photograph larger than 500 x 503 pixels to fit."));
    const QCommandLineOption marksOption(QStringList{"marks"}, QStringLiteral("Load the marks file FILE."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption analyseOption(
        QStringList{"analyse"},
        QStringLiteral("Press \"Calc + Draw\", LINE, \"Fractal calc\", \"axis\" and \"Save 2\", then end."));
    for (const QCommandLineOption* option : {&fitOption, &marksOption, &analyseOption}) line.addOption(*option);
    if (!line.process(app->arguments())) return 2;
    const ui::WindowOptions& shared = line.options();
    const QCommandLineParser& parser = line.parser();
    if (!ui::checkScreenshotNames(program, shared,
                                  {shared.open.toStdString(), {parser.value(marksOption).toStdString(), "marks file"}}))
        return 2;
    const bool screenshot = shared.writesScreenshots();
    const bool analyse = parser.isSet(analyseOption);
    const bool unattended = screenshot || analyse;

    // The search, the fringe dither and the axis radii draw from a clock-seeded generator, or
    // from a fixed seed.
    imaging::FastRandom random(shared.seed);
    lesionmeter::LesionSession session(random);
    session.setSeed(shared.seed);
    lesionmeter::app::Form1 window(session);
    int failures = 0;
    // Without a user to read them, messages go to the error stream, and nothing is asked.
    if (unattended) window.hooks() = ui::unattendedHooks(program, failures);
    window.show();
    bool ready = true;
    if (!shared.open.isEmpty()) ready = window.openImage(shared.open, parser.isSet(fitOption));
    // Without a user to read the status line, its warning goes to the error stream.
    if (unattended && !window.statusLine()->text().isEmpty()) ui::complain(program, window.statusLine()->text());
    if (ready && parser.isSet(marksOption)) ready = window.loadMarksFile(parser.value(marksOption));
    if (ready && analyse) ready = window.analyse();
    if (!ready) ++failures;

    bool written = true;
    if (screenshot) {
        written = ui::writeScreenshots(program, shared, window, [&window]() -> QWidget& {
            window.fitPlotsButton()->click();
            return window.fitPlots();
        });
    }
    if (unattended) {
        window.close();
        return written && failures == 0 ? 0 : 1;
    }
    return app->exec();
}
