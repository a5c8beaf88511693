#pragma once
// Where a window turns to its user outside its own controls: the box that shows a run-time error,
// the yes/no question and the system beep. Both windows hold one UserHooks, filled with the
// interactive defaults; tests collect instead, and unattended runs (--screenshot) write the
// messages to the error stream and answer no.

#include <QString>

#include <functional>

class QWidget;

namespace ui {

struct UserHooks {
    // Shows the message of a run-time error.
    std::function<void(const QString& message)> reportError;
    // Asks a yes/no question; true for yes.
    std::function<bool(const QString& question)> ask;
    // Sounds the system beep.
    std::function<void()> soundBeep;

    // Calls the hooks that are set; an unset question is answered no.
    void error(const QString& message) const;
    bool yes(const QString& question) const;
    void beep() const;
};

// The run-time error box: a critical message box captioned `caption` over `window`, as both
// programs show a run-time error.
void showErrorBox(QWidget* window, const QString& caption, const QString& message);
// A question box with Yes (the default) and No.
bool askYesNo(QWidget* window, const QString& caption, const QString& question);
// The system beep.
void systemBeep();

// The hooks of a window used by a person: the boxes above over `window`, and the system beep.
UserHooks interactiveHooks(QWidget* window, const QString& caption);
// The hooks of a run without a user: each message is written to the error stream as
// "PROGRAM: MESSAGE" and counted in `failures`, every question is answered no, and no beep sounds.
UserHooks unattendedHooks(const QString& program, int& failures);

}  // namespace ui
