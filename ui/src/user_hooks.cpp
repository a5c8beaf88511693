#include "ui/user_hooks.hpp"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace ui {

void UserHooks::error(const QString& message) const {
    if (reportError) reportError(message);
}

bool UserHooks::yes(const QString& question) const { return ask && ask(question); }

void UserHooks::beep() const {
    if (soundBeep) soundBeep();
}

void showErrorBox(QWidget* window, const QString& caption, const QString& message) {
    QMessageBox::critical(window, caption, message);
}

bool askYesNo(QWidget* window, const QString& caption, const QString& question) {
    return QMessageBox::question(window, caption, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void systemBeep() { QApplication::beep(); }

UserHooks interactiveHooks(QWidget* window, const QString& caption) {
    UserHooks hooks;
    hooks.reportError = [window, caption](const QString& message) { showErrorBox(window, caption, message); };
    hooks.ask = [window, caption](const QString& question) { return askYesNo(window, caption, question); };
    hooks.soundBeep = systemBeep;
    return hooks;
}

UserHooks unattendedHooks(const QString& program, int& failures) {
    UserHooks hooks;
    hooks.reportError = [program, &failures](const QString& message) {
        ++failures;
        std::fprintf(stderr, "%s: %s\n", program.toLocal8Bit().constData(), message.toLocal8Bit().constData());
    };
    hooks.ask = [](const QString&) { return false; };
    hooks.soundBeep = [] {};
    return hooks;
}

}  // namespace ui
