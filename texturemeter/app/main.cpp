// texturemeter: the texture analyzer's window.
//   texturemeter [--open IMAGE | IMAGE] [--corner X,Y | --square FILE] [--run A|B|C] [--press P-1|P-2|P-3]
//                [--results FILE] [--seed N] [--screenshot FILE.png] [--plots-screenshot FILE.png]
// --open (or IMAGE alone, as a file manager's "Open with" passes it) starts with the photo
// selected; --corner clicks Picture1 there; --square loads a square file as "Load square" does
// (its boxes, its corner and its seed for the next run); --run presses a run button; --press presses a small
// picture button afterwards; --results replaces the results file name in Text5; --seed makes the
// random stages repeatable (the first run gives what texturemeter-cli --seed N gives for the same
// photo); --screenshot writes a picture of the window after all that and exits (status 1 if
// anything failed on the way); --plots-screenshot does the same for "Fit plots" after the run.
// A screenshot name that is the photograph or an existing picture is refused (status 2) before
// anything is done.
// --help and --version need no display.

#include <QApplication>
#include <QCommandLineParser>

#include <climits>
#include <cstdio>
#include <optional>

#include "form1.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "ui/application.hpp"
#include "ui/user_hooks.hpp"
#include "ui/window_options.hpp"

using texturemeter::window::Form1;

namespace {

const QString kProgram = QStringLiteral("texturemeter");

// This window's own options, beside the ones both windows share (ui::WindowOptions).
struct Options {
    QString corner;
    QString square;
    QString run;
    QString press;
    QString results;
};

bool parseOptions(QCoreApplication& app, ui::WindowCommandLine& line, Options& options) {
    const QCommandLineOption corner(QStringLiteral("corner"), QStringLiteral("Click Picture1 at X,Y."),
                                    QStringLiteral("X,Y"));
    const QCommandLineOption square(
        QStringLiteral("square"),
        QStringLiteral("Load this square file as \"Load square\" does: its boxes, corner and seed."),
        QStringLiteral("FILE"));
    const QCommandLineOption run(QStringLiteral("run"), QStringLiteral("Press a run button: A, B or C."),
                                 QStringLiteral("VARIANT"));
    const QCommandLineOption press(QStringLiteral("press"), QStringLiteral("Press P-1, P-2 or P-3 at the end."),
                                   QStringLiteral("BUTTON"));
    const QCommandLineOption results(QStringLiteral("results"), QStringLiteral("Results file name (Text5)."),
                                     QStringLiteral("FILE"));
    for (const QCommandLineOption* option : {&corner, &square, &run, &press, &results}) line.addOption(*option);
    if (!line.process(app.arguments())) return false;
    const QCommandLineParser& parser = line.parser();
    options = {parser.value(corner), parser.value(square), parser.value(run).toUpper(),
               parser.value(press).toUpper(), parser.value(results)};
    if (!options.press.isEmpty() && !QStringList{"P-1", "P-2", "P-3"}.contains(options.press)) {
        ui::complain(kProgram, QStringLiteral("--press takes P-1, P-2 or P-3"));
        return false;
    }
    if (!options.run.isEmpty() && options.run != QLatin1String("A") && options.run != QLatin1String("B") &&
        options.run != QLatin1String("C")) {
        ui::complain(kProgram, QStringLiteral("--run takes A, B or C"));
        return false;
    }
    if (!options.corner.isEmpty() && !options.square.isEmpty()) {
        ui::complain(kProgram, QStringLiteral("give --corner or --square, not both"));
        return false;
    }
    if (!options.square.isEmpty() && line.options().open.isEmpty()) {
        ui::complain(kProgram, QStringLiteral("--square needs --open IMAGE"));
        return false;
    }
    if (!options.run.isEmpty() && line.options().open.isEmpty()) {
        ui::complain(kProgram, QStringLiteral("--run needs --open IMAGE"));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto app = ui::makeApplication(argc, argv, kProgram);
    ui::WindowCommandLine line(kProgram, QStringLiteral("Texture analyzer window"),
                               QStringLiteral("Start with this photo selected."),
                               QStringLiteral("Fixed seed for the random stages (default: the clock)."));
    Options options;
    if (!parseOptions(*app, line, options)) return 2;
    const ui::WindowOptions& shared = line.options();
    if (!ui::checkScreenshotNames(kProgram, shared, {shared.open.toStdString(), {options.square.toStdString(), "square file"}}))
        return 2;

    // A fixed seed is the photograph's seed of every run, as texturemeter-cli reports it for its
    // first photo; each run's generator is seeded from it by the one seed rule.
    Form1 form;
    form.session().setSeed(shared.seed);
    int failures = 0;
    const bool unattended = shared.writesScreenshots();
    // Without a user to read message boxes, errors go to stderr.
    if (unattended) form.hooks() = ui::unattendedHooks(kProgram, failures);
    if (!options.results.isEmpty()) form.Text5->setText(options.results);
    form.show();

    if (!shared.open.isEmpty() && form.openImage(shared.open)) {
        if (!options.corner.isEmpty()) {
            const QStringList xy = options.corner.split(QLatin1Char(','));
            const auto x = imaging::parseWholeNumber(xy.value(0).toStdString());
            const auto y = imaging::parseWholeNumber(xy.value(1).toStdString());
            if (xy.size() != 2 || !x || !y || *x < INT_MIN || *x > INT_MAX || *y < INT_MIN || *y > INT_MAX) {
                ui::complain(kProgram, QStringLiteral("--corner takes X,Y"));
                return 2;
            }
            // A square entirely outside the photograph ends the program before any run.
            try {
                form.session().checkCorner(double(*x), double(*y), form.Text12->text().toStdString());
            } catch (const imaging::RunError& e) {
                ui::complain(kProgram, QStringLiteral("--corner ") + options.corner + QStringLiteral(": ") +
                                           QString::fromUtf8(e.what()));
                return 2;
            }
            form.clickPicture1(static_cast<int>(*x), static_cast<int>(*y));
        }
        // A square that cannot be loaded is reported, and nothing is run without it.
        if (!options.square.isEmpty() && !form.loadSquareFile(options.square)) {
            ++failures;
            options.run.clear();
        }
        if (!options.run.isEmpty()) form.pressRunButton(options.run.at(0).toLatin1());
        if (options.press == QLatin1String("P-1")) form.Command1->click();
        if (options.press == QLatin1String("P-2")) form.Command5->click();
        if (options.press == QLatin1String("P-3")) form.Command4->click();
    } else if (!shared.open.isEmpty()) {
        ++failures;
    }

    if (unattended) {
        QApplication::processEvents();
        // The status line's warnings (a square reaching past an edge, a turned JPEG) go to stderr.
        if (!form.statusLine->text().isEmpty()) ui::complain(kProgram, form.statusLine->text());
        const bool written = ui::writeScreenshots(kProgram, shared, form, [&form]() -> QWidget& {
            form.fitPlotsButton->click();
            return form.fitPlots();
        });
        return written && failures == 0 ? 0 : 1;
    }
    return app->exec();
}
