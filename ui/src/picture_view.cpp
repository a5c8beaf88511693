#include "ui/picture_view.hpp"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace ui {

PictureView::PictureView(QWidget* parent) : QFrame(parent) {}

void PictureView::setSurface(const imaging::PictureSurface* surface) {
    surface_ = surface;
    revision_ = ~0ULL;
    width_ = height_ = -1;
    readSurface();
    update();
}

void PictureView::setPlainBackground(const QColor& colour) {
    plain_ = colour;
    if (!surface_) background_ = colour;
    update();
}

bool PictureView::readSurface() {
    if (!surface_) {
        const bool changed = width_ != -1 || !lines_.isEmpty() || background_ != plain_;
        width_ = height_ = -1;
        image_ = QImage();
        imageStale_ = false;
        lines_.clear();
        background_ = plain_;
        return changed;
    }
    bool changed = false;
    const imaging::PictureSurface& s = *surface_;
    if (s.revision() != revision_ || s.width() != width_ || s.height() != height_) {
        revision_ = s.revision();
        width_ = s.width();
        height_ = s.height();
        imageStale_ = true;
        changed = true;
    }
    if (int(s.printedLines().size()) != lines_.size() ||
        !std::equal(lines_.begin(), lines_.end(), s.printedLines().begin(),
                    [](const QString& a, const std::string& b) { return a == QString::fromStdString(b); })) {
        lines_.clear();
        for (const std::string& line : s.printedLines()) lines_ << QString::fromStdString(line);
        changed = true;
    }
    const QColor bg = toQColor(s.backgroundColour());
    if (bg != background_) {
        background_ = bg;
        changed = true;
    }
    return changed;
}

QImage PictureView::surfacePart(const QRect& part) const {
    QImage img(part.size(), QImage::Format_RGB32);
    for (int y = 0; y < part.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < part.width(); ++x) row[x] = toQRgb(surface_->pointAt(part.left() + x, part.top() + y));
    }
    return img;
}

const QImage& PictureView::shownImage() const {
    if (imageStale_) {
        image_ = width_ > 0 && height_ > 0 ? surfacePart(QRect(0, 0, width_, height_)) : QImage();
        imageStale_ = false;
    }
    return image_;
}

bool PictureView::sync() {
    const bool changed = readSurface();
    if (changed) update();
    return changed;
}

void PictureView::paintEvent(QPaintEvent* event) {
    readSurface();
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect area = contentsRect();
    p.setClipRect(area);
    p.fillRect(area, background_);
    // Only the exposed part of the surface is read and drawn.
    if (surface_ && width_ > 0 && height_ > 0) {
        const QRect shown = event->rect().intersected(area).intersected(QRect(area.topLeft(), QSize(width_, height_)));
        if (!shown.isEmpty()) p.drawImage(shown.topLeft(), surfacePart(shown.translated(-area.topLeft())));
    }
    if (!lines_.isEmpty()) {
        // Printed lines go top-down from the top-left, one line of the widget's font each.
        p.setPen(Qt::black);
        p.setFont(font());
        const QFontMetrics fm(font());
        int y = area.top() + fm.ascent();
        for (const QString& line : lines_) {
            p.drawText(area.left(), y, line);
            y += fm.height();
        }
    }
}

QPointF PictureView::toSurface(const QPointF& widgetPos) const {
    const QPointF p = widgetPos - QPointF(contentsRect().topLeft());
    if (positions_ == PointerPositions::WholePixels) return {std::floor(p.x()), std::floor(p.y())};
    return p;
}

int PictureView::buttonState(Qt::MouseButtons buttons) {
    int state = 0;
    if (buttons & Qt::LeftButton) state |= 1;
    if (buttons & Qt::RightButton) state |= 2;
    if (buttons & Qt::MiddleButton) state |= 4;
    return state;
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    pressedInside_ = true;
    const QPointF p = toSurface(event->position());
    emit pressed(p.x(), p.y(), event->buttons() | event->button());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = toSurface(event->position());
    emit moved(p.x(), p.y(), event->buttons());
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    const bool inside = pressedInside_ && rect().contains(event->position().toPoint());
    pressedInside_ = false;
    if (inside) emit clicked();
}

}  // namespace ui
