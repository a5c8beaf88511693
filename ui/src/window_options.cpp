#include "ui/window_options.hpp"

#include <QApplication>
#include <QWidget>

#include <cstdio>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/output_guard.hpp"

namespace ui {

void complain(const QString& program, const QString& message) {
    std::fprintf(stderr, "%s: %s\n", program.toLocal8Bit().constData(), message.toLocal8Bit().constData());
}

namespace {

// "Start with this photo selected." as the positional argument's help: "... (as --open)."
QString asOpen(QString help) {
    if (help.endsWith(QLatin1Char('.'))) help.chop(1);
    return help + QStringLiteral(" (as --open).");
}

}  // namespace

WindowCommandLine::WindowCommandLine(const QString& program, const QString& description, const QString& openHelp,
                                     const QString& seedHelp)
    : program_(program),
      open_(QStringLiteral("open"), openHelp, QStringLiteral("IMAGE")),
      seed_(QStringLiteral("seed"), seedHelp, QStringLiteral("N")),
      screenshot_(QStringLiteral("screenshot"), QStringLiteral("Write a picture of the window to FILE.png and exit."),
                  QStringLiteral("FILE.png")),
      plotsScreenshot_(QStringLiteral("plots-screenshot"),
                       QStringLiteral("Write a picture of the Fit plots window to FILE.png and exit."),
                       QStringLiteral("FILE.png")) {
    parser_.setApplicationDescription(description);
    parser_.addHelpOption();
    parser_.addVersionOption();
    parser_.addPositionalArgument(QStringLiteral("IMAGE"), asOpen(openHelp), QStringLiteral("[IMAGE]"));
    parser_.addOption(open_);
}

bool WindowCommandLine::process(const QStringList& arguments) {
    parser_.addOptions({seed_, screenshot_, plotsScreenshot_});
    parser_.process(arguments);
    options_ = {parser_.value(open_), {}, parser_.value(screenshot_), parser_.value(plotsScreenshot_)};
    const QStringList images = parser_.positionalArguments();
    if (images.size() > 1 || (!images.isEmpty() && parser_.isSet(open_))) {
        complain(program_, QStringLiteral("give one IMAGE, either alone or with --open"));
        return false;
    }
    if (!images.isEmpty()) options_.open = images.front();
    if (parser_.isSet(seed_)) {
        options_.seed = imaging::parseSeed(parser_.value(seed_).toStdString());
        if (!options_.seed) {
            complain(program_, QStringLiteral("--seed takes a whole number from 0 to 18446744073709551615"));
            return false;
        }
    }
    return true;
}

bool checkScreenshotNames(const QString& program, const WindowOptions& options,
                          const std::vector<imaging::InputFile>& inputs) {
    try {
        imaging::guardOutput("--screenshot", options.screenshot.toStdString(), "", inputs);
        imaging::guardOutput("--plots-screenshot", options.plotsScreenshot.toStdString(), "", inputs);
    } catch (const imaging::RunError& e) {
        complain(program, QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

bool writeScreenshots(const QString& program, const WindowOptions& options, QWidget& window,
                      const std::function<QWidget&()>& openFitPlots) {
    const auto write = [&program](QWidget& shown, const QString& file) {
        if (file.isEmpty() || shown.grab().save(file, "PNG")) return true;
        complain(program, QStringLiteral("cannot write ") + file);
        return false;
    };
    bool written = write(window, options.screenshot);
    if (!options.plotsScreenshot.isEmpty()) {
        QWidget& plots = openFitPlots();
        QApplication::processEvents();
        written = write(plots, options.plotsScreenshot) && written;
    }
    return written;
}

}  // namespace ui
