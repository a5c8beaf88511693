#pragma once
// Shows an off-screen picture surface in the window: its pixels at one surface pixel per screen
// pixel from the top-left (clipped where the place in the window is smaller) and its printed
// lines over them in the widget's font. The view re-reads the surface only when it changed.

#include <QFrame>
#include <QImage>
#include <QStringList>

#include <functional>

#include "imaging/surface.hpp"

namespace texturemeter::window {

class SurfaceView : public QFrame {
    Q_OBJECT
public:
    explicit SurfaceView(QWidget* parent = nullptr, bool framed = true);

    // The surface shown; may be null (an empty picture).
    void setSurface(const imaging::PictureSurface* surface);
    const imaging::PictureSurface* surface() const { return surface_; }

    // Re-reads the surface if it changed since the last look; returns whether anything changed.
    // Schedules a repaint when it did.
    bool sync();

    // The colour of a view without a surface.
    void setPlainBackground(const QColor& c) {
        background_ = c;
        update();
    }

    // What the view shows now (for tests and for the screenshot check).
    const QImage& shownImage() const { return image_; }
    const QStringList& shownLines() const { return lines_; }

signals:
    // Mouse events in surface pixels (unrounded), with the pressed buttons.
    void pressed(double x, double y, Qt::MouseButtons buttons);
    void moved(double x, double y, Qt::MouseButtons buttons);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPointF toSurface(const QPointF& widgetPos) const;

    const imaging::PictureSurface* surface_ = nullptr;
    QImage image_;
    QStringList lines_;
    unsigned long long revision_ = ~0ULL;
    int width_ = -1;
    int height_ = -1;
    QColor background_ = Qt::white;
};

// The colour value 0x00BBGGRR as an opaque Qt colour.
inline QRgb toQRgb(imaging::Colour c) {
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

}  // namespace texturemeter::window
