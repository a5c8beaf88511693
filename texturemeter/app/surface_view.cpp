#include "surface_view.hpp"

#include <QMouseEvent>
#include <QPainter>

namespace texturemeter::window {

SurfaceView::SurfaceView(QWidget* parent, bool framed) : QFrame(parent) {
    if (framed) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
    }
}

void SurfaceView::setSurface(const imaging::PictureSurface* surface) {
    surface_ = surface;
    revision_ = ~0ULL;
    width_ = height_ = -1;
    sync();
}

bool SurfaceView::sync() {
    bool changed = false;
    if (!surface_) {
        changed = !image_.isNull() || !lines_.isEmpty();
        image_ = QImage();
        lines_.clear();
    } else {
        const imaging::PictureSurface& s = *surface_;
        if (s.revision() != revision_ || s.width() != width_ || s.height() != height_) {
            revision_ = s.revision();
            width_ = s.width();
            height_ = s.height();
            QImage img(width_, height_, QImage::Format_RGB32);
            for (int y = 0; y < height_; ++y) {
                auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < width_; ++x) row[x] = toQRgb(s.pointAt(x, y));
            }
            image_ = std::move(img);
            changed = true;
        }
        QStringList lines;
        for (const std::string& line : s.printedLines()) lines << QString::fromStdString(line);
        if (lines != lines_) {
            lines_ = std::move(lines);
            changed = true;
        }
        const QColor bg(toQRgb(s.backgroundColour()));
        if (bg != background_) {
            background_ = bg;
            changed = true;
        }
    }
    if (changed) update();
    return changed;
}

void SurfaceView::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect area = contentsRect();
    p.setClipRect(area);
    p.fillRect(area, background_);
    if (!image_.isNull()) p.drawImage(area.topLeft(), image_);
    if (!lines_.isEmpty()) {
        p.setPen(Qt::black);
        p.setFont(font());
        const QFontMetrics fm(font());
        int y = area.top() + fm.ascent();
        for (const QString& line : lines_) {
            p.drawText(area.left(), y, line);
            y += fm.lineSpacing();
        }
    }
}

QPointF SurfaceView::toSurface(const QPointF& widgetPos) const {
    return widgetPos - QPointF(contentsRect().topLeft());
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
    const QPointF p = toSurface(event->position());
    emit pressed(p.x(), p.y(), event->buttons() | event->button());
}

void SurfaceView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = toSurface(event->position());
    emit moved(p.x(), p.y(), event->buttons());
}

}  // namespace texturemeter::window
