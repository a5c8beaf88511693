#pragma once
// A picture box of the window: shows one off-screen picture surface of the session (its
// persistent image with the printed lines on top, in the window's font) and reports the
// mouse in the surface's pixels. It repaints only when the surface has changed.

#include <QWidget>

#include <string>
#include <vector>

#include "imaging/surface.hpp"

namespace lesionmeter::app {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(const QString& name, QWidget* parent = nullptr);

    // The surface shown; nullptr shows a white box (panels that only hold other controls).
    void setSurface(const imaging::PictureSurface* surface);
    const imaging::PictureSurface* surface() const { return surface_; }

    // Repaints when the surface's pixels or printed lines changed since the last paint.
    void refreshIfChanged();
    // The surface as currently painted, for tests and screenshots.
    QImage renderedImage() const;

    // Mouse button state as the system reports it: left alone = 1, right alone = 2, else other bits.
    static int buttonState(Qt::MouseButtons buttons);

signals:
    void pointerMoved(double x, double y, int buttons);
    void pressed(double x, double y, int button);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuildCache() const;
    bool changedSincePaint() const;

    const imaging::PictureSurface* surface_ = nullptr;
    mutable QImage cache_;
    mutable unsigned long long cachedRevision_ = ~0ULL;
    mutable int cachedWidth_ = -1;
    mutable int cachedHeight_ = -1;
    std::vector<std::string> paintedLines_;
    bool pressedInside_ = false;
};

// Converts a colour value 0x00BBGGRR into the toolkit's colour.
QColor toQColor(imaging::Colour c);

}  // namespace lesionmeter::app
