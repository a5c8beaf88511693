#include "marks_overlay.hpp"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace lesionmeter::app {

namespace {

// A symbol's path around the centre of pixel (x, y).
QPainterPath plusAt(QPointF c) {
    QPainterPath p;
    p.moveTo(c.x() - 4, c.y());
    p.lineTo(c.x() + 4, c.y());
    p.moveTo(c.x(), c.y() - 4);
    p.lineTo(c.x(), c.y() + 4);
    return p;
}

QPainterPath ringAt(QPointF c) {
    QPainterPath p;
    p.addEllipse(c, 3.5, 3.5);
    return p;
}

QPainterPath diamondAt(QPointF c) {
    QPainterPath p;
    p.moveTo(c.x(), c.y() - 6);
    p.lineTo(c.x() + 6, c.y());
    p.lineTo(c.x(), c.y() + 6);
    p.lineTo(c.x() - 6, c.y());
    p.closeSubpath();
    p.addRect(QRectF(c.x() - 0.5, c.y() - 0.5, 1, 1));
    return p;
}

// Draws the symbol with a dark rim under a coloured line.
void drawSymbol(QPainter& painter, const QPainterPath& path, const QColor& colour) {
    painter.strokePath(path, QPen(QColor(0, 0, 0, 200), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.strokePath(path, QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QPointF pixelCentre(const MarkPosition& p) { return {std::floor(p.x) + 0.5, std::floor(p.y) + 0.5}; }

}  // namespace

MarksOverlay::MarksOverlay(QWidget* view) : QWidget(view) {
    setObjectName("MarksOverlay");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(view->rect());
    view->installEventFilter(this);
}

void MarksOverlay::setMarks(const Marks& marks) {
    if (marks == marks_) return;
    marks_ = marks;
    update();
}

bool MarksOverlay::eventFilter(QObject* watched, QEvent* event) {
    // The overlay covers the whole view, whatever size the photograph gives it.
    if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void MarksOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const MarkPosition& p : marks_.out) drawSymbol(painter, ringAt(pixelCentre(p)), QColor(40, 120, 255));
    for (const MarkPosition& p : marks_.in) drawSymbol(painter, plusAt(pixelCentre(p)), QColor(255, 230, 0));
    if (marks_.centre) drawSymbol(painter, diamondAt(pixelCentre(*marks_.centre)), QColor(255, 40, 40));
}

}  // namespace lesionmeter::app
