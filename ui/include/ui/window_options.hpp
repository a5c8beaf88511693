#pragma once
// The command line both windows share: the photograph to start with (--open IMAGE, or IMAGE alone
// as a file manager's "Open with" passes it), --seed N for repeatable runs, and the pictures an
// unattended run writes before it ends (--screenshot, --plots-screenshot). Each window adds its
// own options; --help lists them between --open and --seed.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/output_guard.hpp"

class QWidget;

namespace ui {

struct WindowOptions {
    QString open;                   // the photograph to start with; empty for none
    std::optional<uint64_t> seed;   // --seed N; none: the clock
    QString screenshot;             // --screenshot FILE.png
    QString plotsScreenshot;        // --plots-screenshot FILE.png
    // Whether the run writes a picture and ends, with no user to answer.
    bool writesScreenshots() const { return !screenshot.isEmpty() || !plotsScreenshot.isEmpty(); }
};

// Writes "PROGRAM: MESSAGE" on the error stream.
void complain(const QString& program, const QString& message);

class WindowCommandLine {
public:
    // `description` heads --help; `openHelp` says what --open does ("Start with this photo
    // selected."); `seedHelp` what --seed does.
    WindowCommandLine(const QString& program, const QString& description, const QString& openHelp,
                      const QString& seedHelp);

    // An option of this window alone.
    void addOption(const QCommandLineOption& option) { parser_.addOption(option); }
    // Reads the command line (the program's name first, as QCoreApplication::arguments() gives
    // it); --help and --version print and end the program here. False, after a message on the
    // error stream, when a shared option is wrong (the program then ends with status 2).
    bool process(const QStringList& arguments);

    const QCommandLineParser& parser() const { return parser_; }
    const WindowOptions& options() const { return options_; }
    const QString& program() const { return program_; }

private:
    QString program_;
    QCommandLineParser parser_;
    QCommandLineOption open_;
    QCommandLineOption seed_;
    QCommandLineOption screenshot_;
    QCommandLineOption plotsScreenshot_;
    WindowOptions options_;
};

// Refuses, before any work, a screenshot name that imaging::guardOutput refuses: one of the run's
// `inputs` (the photograph, a marks or square file, each named as what it is) or an existing
// picture. False after "PROGRAM: --screenshot NAME is an existing PNG picture; it is not replaced"
// (or the like) on the error stream.
bool checkScreenshotNames(const QString& program, const WindowOptions& options,
                          const std::vector<imaging::InputFile>& inputs);

// Writes the pictures the options ask for: `window` as it is now, then the "Fit plots" window that
// `openFitPlots` opens (from its button). False, after "PROGRAM: cannot write NAME" on the error
// stream, when a picture cannot be written.
bool writeScreenshots(const QString& program, const WindowOptions& options, QWidget& window,
                      const std::function<QWidget&()>& openFitPlots);

}  // namespace ui
