#pragma once
// The marks drawn over the photograph: each IN sample as a yellow "+", each OUT sample as a blue
// ring, the reference centre as a red diamond with a dot, every symbol with a dark rim so that it
// shows on light and dark skin alike. The overlay lies on top of the photograph's view, draws on
// the screen only (the photograph's pixels, which the analysis reads, are never touched) and lets
// every mouse event through to the view below.

#include <QWidget>

#include "lesionmeter/marks.hpp"

namespace lesionmeter::app {

class MarksOverlay : public QWidget {
    Q_OBJECT
public:
    explicit MarksOverlay(QWidget* view);

    // The marks to draw (positions in photograph pixels); repaints when they changed.
    void setMarks(const Marks& marks);
    const Marks& marks() const { return marks_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Marks marks_;
};

}  // namespace lesionmeter::app
