#include "ui/command_guard.hpp"

#include <QApplication>
#include <QEvent>

#include <exception>
#include <new>

namespace ui {

InputBlock::InputBlock() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

InputBlock::~InputBlock() {
    // Input queued while the command ran reaches the filter here and is dropped.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

bool InputBlock::isUserInput(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::ContextMenu:
        case QEvent::Close:
        // Text typed through an input method (Japanese, for one) arrives without key events.
        case QEvent::InputMethod:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return true;
        default:
            return false;
    }
}

bool InputBlock::eventFilter(QObject* watched, QEvent* event) {
    if (isUserInput(event)) return true;
    return QObject::eventFilter(watched, event);
}

QString currentErrorMessage() {
    QString message;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
    }
    return message.isEmpty() ? QStringLiteral("Run-time error") : message;
}

QString CommandGuard::attempt(const std::function<void()>& command) const {
    QString failure;
    try {
        command();
    } catch (...) {
        failure = currentErrorMessage();
    }
    if (afterCommand) afterCommand();
    return failure;
}

bool CommandGuard::run(const std::function<void()>& command) const {
    const QString failure = attempt(command);
    if (failure.isEmpty()) return true;
    if (report) report(failure);
    return false;
}

bool CommandGuard::runBlocked(const std::function<void()>& command) const {
    QString failure;
    {
        const InputBlock block;
        failure = attempt(command);
    }
    if (failure.isEmpty()) return true;
    if (report) report(failure);
    return false;
}

}  // namespace ui
