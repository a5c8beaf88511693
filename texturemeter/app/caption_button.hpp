#pragma once
// A command button whose caption wraps onto several lines when it is wider than the button
// (the reflection-effect run button has a long caption). text() stays the caption as given.

#include <QPushButton>

namespace texturemeter::window {

class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    CaptionButton(const QString& caption, QWidget* parent = nullptr) : QPushButton(caption, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace texturemeter::window
