#pragma once
// A picture of a window: shows an off-screen picture surface one surface pixel per screen pixel
// from the top-left of its contents (clipped where the widget is smaller), with the surface's
// printed lines over it in the widget's font, and reports the mouse in surface pixels. A paint
// reads only the part of the surface it exposes, so a photograph of many megapixels in a small
// scroll area costs only what shows of it.

#include <QFrame>
#include <QImage>
#include <QStringList>

#include "imaging/surface.hpp"

namespace ui {

// How a mouse position becomes a surface position.
enum class PointerPositions {
    Exact,        // as the system reports it, fractions included
    WholePixels,  // the pixel under the pointer: each coordinate rounded down
};

class PictureView : public QFrame {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);

    // The surface shown; nullptr shows the plain background.
    void setSurface(const imaging::PictureSurface* surface);
    const imaging::PictureSurface* surface() const { return surface_; }

    void setPointerPositions(PointerPositions rule) { positions_ = rule; }
    PointerPositions pointerPositions() const { return positions_; }

    // The colour of the view while it has no surface (white unless set).
    void setPlainBackground(const QColor& colour);

    // Reads the surface again if it changed since the last look and schedules a repaint; returns
    // whether anything changed. A repaint reads a changed surface by itself.
    bool sync();

    // What the view shows now: the whole surface as a picture (made when asked for).
    const QImage& shownImage() const;
    const QStringList& shownLines() const { return lines_; }

    // The surface position of a point of the widget, by the view's rule.
    QPointF toSurface(const QPointF& widgetPos) const;

    // Button state as the system reports it: left alone = 1, right alone = 2, middle adds 4.
    static int buttonState(Qt::MouseButtons buttons);

signals:
    // Mouse events in surface pixels, with the buttons held (on a press: with the one pressed).
    void pressed(double x, double y, Qt::MouseButtons buttons);
    void moved(double x, double y, Qt::MouseButtons buttons);
    // A press and a release inside the view.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool readSurface();
    // The surface's pixels in `part` (surface coordinates, inside the surface).
    QImage surfacePart(const QRect& part) const;

    const imaging::PictureSurface* surface_ = nullptr;
    PointerPositions positions_ = PointerPositions::Exact;
    // The whole surface as a picture, made again on demand after the surface changed.
    mutable QImage image_;
    mutable bool imageStale_ = false;
    QStringList lines_;
    unsigned long long revision_ = ~0ULL;
    int width_ = -1;
    int height_ = -1;
    QColor plain_ = Qt::white;
    QColor background_ = Qt::white;
    bool pressedInside_ = false;
};

// The colour value 0x00BBGGRR as an opaque toolkit colour.
inline QRgb toQRgb(imaging::Colour c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
inline QColor toQColor(imaging::Colour c) { return QColor(toQRgb(c)); }

}  // namespace ui
