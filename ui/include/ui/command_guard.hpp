#pragma once
// How a window runs a command of its session: a run-time error ends only that command, the
// controls are brought in line with the session afterwards (the steps before the error are done),
// and the error is shown as a message while the session carries on. A long command runs behind an
// input block, and its message appears only after the block ends, so that the user can close it.

#include <QObject>
#include <QString>

#include <functional>

namespace ui {

// While it lives: the wait pointer is shown and the user's input to the application (mouse, keys,
// text from an input method, wheel, touch, tablet, gestures, drops, context menus, closing a
// window) is dropped; the windows still repaint. Input that
// arrived meanwhile is delivered, and dropped, before the block ends, so no click acts late.
class InputBlock : public QObject {
public:
    InputBlock();
    ~InputBlock() override;
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

    // Whether an event is user input that a block drops.
    static bool isUserInput(const QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The message of the error a command ended with: the error's own text; "Out of memory" when memory
// ran out; "Run-time error" for an error without text. Call inside a catch block.
QString currentErrorMessage();

class CommandGuard {
public:
    // Brings the controls in line with the session; runs after every command, failed or not.
    std::function<void()> afterCommand;
    // Shows an error's message (a message box in the windows).
    std::function<void(const QString& message)> report;

    // Runs the command; returns the message of the error that ended it, or an empty text.
    QString attempt(const std::function<void()>& command) const;
    // Runs the command and reports its error; returns whether it succeeded.
    bool run(const std::function<void()>& command) const;
    // The same behind an input block; the error is reported after the block has ended.
    bool runBlocked(const std::function<void()>& command) const;
};

}  // namespace ui
