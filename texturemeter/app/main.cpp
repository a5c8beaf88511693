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
// --help and --version need no display.

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <optional>

#include "form1.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "ui/application.hpp"

using texturemeter::window::Form1;

namespace {

struct Options {
    QString open;
    QString corner;
    QString square;
    QString run;
    QString press;
    QString results;
    QString screenshot;
    QString plotsScreenshot;
    std::optional<uint64_t> seed;
};

bool parseOptions(QCoreApplication& app, Options& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Texture analyzer window"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("Start with this photo selected (as --open)."),
                                 QStringLiteral("[IMAGE]"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Start with this photo selected."),
                                  QStringLiteral("IMAGE"));
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
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write a picture of the window to FILE.png and exit."),
                                        QStringLiteral("FILE.png"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Fixed seed for the random stages (default: the clock)."),
                                  QStringLiteral("N"));
    const QCommandLineOption plotsScreenshot(
        QStringLiteral("plots-screenshot"),
        QStringLiteral("Write a picture of the Fit plots window to FILE.png and exit."), QStringLiteral("FILE.png"));
    parser.addOptions({open, corner, square, run, press, results, seed, screenshot, plotsScreenshot});
    parser.process(app);
    options = {parser.value(open),  parser.value(corner),  parser.value(square), parser.value(run).toUpper(),
               parser.value(press).toUpper(), parser.value(results), parser.value(screenshot),
               parser.value(plotsScreenshot), {}};
    const QStringList images = parser.positionalArguments();
    if (images.size() > 1 || (!images.isEmpty() && parser.isSet(open))) {
        std::fprintf(stderr, "texturemeter: give one IMAGE, either alone or with --open\n");
        return false;
    }
    if (!images.isEmpty()) options.open = images.front();
    if (parser.isSet(seed)) {
        options.seed = imaging::parseSeed(parser.value(seed).toStdString());
        if (!options.seed) {
            std::fprintf(stderr, "texturemeter: --seed takes a whole number from 0 to 18446744073709551615\n");
            return false;
        }
    }
    if (!options.press.isEmpty() && !QStringList{"P-1", "P-2", "P-3"}.contains(options.press)) {
        std::fprintf(stderr, "texturemeter: --press takes P-1, P-2 or P-3\n");
        return false;
    }
    if (!options.run.isEmpty() && options.run != QLatin1String("A") && options.run != QLatin1String("B") &&
        options.run != QLatin1String("C")) {
        std::fprintf(stderr, "texturemeter: --run takes A, B or C\n");
        return false;
    }
    if (!options.corner.isEmpty() && !options.square.isEmpty()) {
        std::fprintf(stderr, "texturemeter: give --corner or --square, not both\n");
        return false;
    }
    if (!options.square.isEmpty() && options.open.isEmpty()) {
        std::fprintf(stderr, "texturemeter: --square needs --open IMAGE\n");
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
    const auto app = ui::makeApplication(argc, argv, QStringLiteral("texturemeter"));
    Options options;
    if (!parseOptions(*app, options)) return 2;

    // A fixed seed is the photograph's seed of every run, as texturemeter-cli reports it for its
    // first photo; each run's generator is seeded from it by the one seed rule.
    Form1 form;
    form.session().setSeed(options.seed);
    bool failed = false;
    const bool unattended = !options.screenshot.isEmpty() || !options.plotsScreenshot.isEmpty();
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
            const auto x = imaging::parseWholeNumber(xy.value(0).toStdString());
            const auto y = imaging::parseWholeNumber(xy.value(1).toStdString());
            if (xy.size() != 2 || !x || !y || *x < INT_MIN || *x > INT_MAX || *y < INT_MIN || *y > INT_MAX) {
                std::fprintf(stderr, "texturemeter: --corner takes X,Y\n");
                return 2;
            }
            // A square entirely outside the photograph ends the program before any run.
            try {
                form.session().checkCorner(double(*x), double(*y), form.Text12->text().toStdString());
            } catch (const imaging::RunError& e) {
                std::fprintf(stderr, "texturemeter: --corner %s: %s\n", options.corner.toLocal8Bit().constData(),
                             e.what());
                return 2;
            }
            form.clickPicture1(static_cast<int>(*x), static_cast<int>(*y));
        }
        // A square that cannot be loaded is reported, and nothing is run without it.
        if (!options.square.isEmpty() && !form.loadSquareFile(options.square)) {
            failed = true;
            options.run.clear();
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
        // The status line's warnings (a square reaching past an edge, a turned JPEG) go to stderr.
        if (!form.statusLine->text().isEmpty())
            std::fprintf(stderr, "texturemeter: %s\n", form.statusLine->text().toLocal8Bit().constData());
        bool saved = true;
        const auto save = [&saved](QWidget& window, const QString& file) {
            if (file.isEmpty()) return;
            if (!window.grab().save(file, "PNG")) {
                saved = false;
                std::fprintf(stderr, "texturemeter: cannot write %s\n", file.toLocal8Bit().constData());
            }
        };
        save(form, options.screenshot);
        if (!options.plotsScreenshot.isEmpty()) {
            form.fitPlotsButton->click();
            QApplication::processEvents();
            save(form.fitPlots(), options.plotsScreenshot);
        }
        return saved && !failed ? 0 : 1;
    }
    return app->exec();
}
