#pragma once
// While "Calc + Draw" runs on the window's thread: the wait pointer is shown and user input
// (mouse, keys, wheel) is dropped, including what arrived during the search and is delivered
// only after it, so no click is acted on late.

#include <QApplication>
#include <QEvent>
#include <QObject>

namespace lesionmeter::app {

class CalcInputBlock : public QObject {
public:
    CalcInputBlock() {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
    }
    ~CalcInputBlock() override {
        // Input queued while the command ran reaches the filter here and is dropped.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }
    CalcInputBlock(const CalcInputBlock&) = delete;
    CalcInputBlock& operator=(const CalcInputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::Shortcut:
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
    }
};

}  // namespace lesionmeter::app
