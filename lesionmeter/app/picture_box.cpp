#include "picture_box.hpp"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace lesionmeter::app {

QColor toQColor(imaging::Colour c) {
    const imaging::Channels ch = imaging::splitColour(c);
    return QColor(ch.red, ch.green, ch.blue);
}

PictureBox::PictureBox(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setSurface(const imaging::PictureSurface* surface) {
    surface_ = surface;
    cachedRevision_ = ~0ULL;
    update();
}

int PictureBox::buttonState(Qt::MouseButtons buttons) {
    int state = 0;
    if (buttons & Qt::LeftButton) state |= 1;
    if (buttons & Qt::RightButton) state |= 2;
    if (buttons & Qt::MiddleButton) state |= 4;
    return state;
}

bool PictureBox::changedSincePaint() const {
    if (!surface_) return false;
    return surface_->revision() != cachedRevision_ || surface_->width() != cachedWidth_ ||
           surface_->height() != cachedHeight_ || surface_->printedLines() != paintedLines_;
}

void PictureBox::refreshIfChanged() {
    if (changedSincePaint()) update();
}

// Rebuilds the toolkit image of the surface's pixels (only after the surface changed).
void PictureBox::rebuildCache() const {
    if (!surface_) return;
    if (surface_->revision() == cachedRevision_ && surface_->width() == cachedWidth_ &&
        surface_->height() == cachedHeight_)
        return;
    const int w = surface_->width();
    const int h = surface_->height();
    cache_ = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    cache_.fill(Qt::white);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(cache_.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const imaging::Channels ch = imaging::splitColour(surface_->pointAt(x, y));
            line[x] = qRgb(ch.red, ch.green, ch.blue);
        }
    }
    cachedRevision_ = surface_->revision();
    cachedWidth_ = w;
    cachedHeight_ = h;
}

QImage PictureBox::renderedImage() const {
    rebuildCache();
    return cache_;
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor background = Qt::white;
    if (surface_) background = toQColor(surface_->backgroundColour());
    painter.fillRect(rect(), background);
    if (!surface_) return;
    rebuildCache();
    if (surface_->width() > 0 && surface_->height() > 0) painter.drawImage(0, 0, cache_);
    // Printed lines go top-down from the top-left, one line of the window's font each.
    paintedLines_ = surface_->printedLines();
    painter.setPen(Qt::black);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const std::string& text : paintedLines_) {
        painter.drawText(0, y, QString::fromStdString(text));
        y += metrics.height();
    }
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    emit pointerMoved(std::floor(p.x()), std::floor(p.y()), buttonState(event->buttons()));
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    pressedInside_ = true;
    emit pressed(std::floor(p.x()), std::floor(p.y()), buttonState(event->buttons()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (pressedInside_ && rect().contains(event->position().toPoint())) emit clicked();
    pressedInside_ = false;
}

}  // namespace lesionmeter::app
