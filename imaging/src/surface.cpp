#include "imaging/surface.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "imaging/numeric.hpp"

namespace imaging {

PictureSurface::PictureSurface(int width, int height, SizePolicy policy, Colour background)
    : width_(width), height_(height), policy_(policy), background_(background) {
    restoreBackground();
}

void PictureSurface::reset(int width, int height) {
    width_ = width;
    height_ = height;
    picture_.width = picture_.height = 0;
    picture_.pixels.clear();
    printed_.clear();
    restoreBackground();
}

void PictureSurface::loadPicture(const std::string& path) {
    setPicture(loadImageFile(path));
}

void PictureSurface::setPicture(Image picture) {
    picture_ = std::move(picture);
    if (policy_ == SizePolicy::GrowToPicture) {
        width_ = picture_.width;
        height_ = picture_.height;
    }
    restoreBackground();
}

void PictureSurface::keepImageAsPicture() {
    // The raster already shows exactly this picture, so only the picture is stored.
    picture_.width = width_;
    picture_.height = height_;
    picture_.pixels.assign(raster_.begin(), raster_.end());
    // The picture covers the whole surface, so the raster is what restoring it would give.
    backgroundShownAt_ = ++revision_;
    backgroundShown_ = background_;
}

// The raster becomes the background picture over the background colour; printed text stays
// (loading a picture removes the drawing only).
void PictureSurface::restoreBackground() {
    // Each pixel is written once: from the picture where it covers the surface, else the
    // background colour.
    const std::size_t width = std::size_t(std::max(width_, 0)), height = std::size_t(std::max(height_, 0));
    raster_.resize(width * height);
    const std::size_t w = std::size_t(std::max(std::min(width_, picture_.width), 0));
    const std::size_t h = w > 0 ? std::size_t(std::max(std::min(height_, picture_.height), 0)) : 0;
    for (std::size_t y = 0; y < h; ++y) {
        Colour* row = raster_.data() + y * width;
        std::copy_n(&picture_.pixels[y * std::size_t(picture_.width)], w, row);
        std::fill(row + w, row + width, background_);
    }
    std::fill(raster_.begin() + std::ptrdiff_t(h * width), raster_.end(), background_);
    backgroundShownAt_ = ++revision_;
    backgroundShown_ = background_;
}

namespace {
// Pixel of a fractional position: half-to-even rounding. Far-away positions are clamped so the
// conversion to int stays defined; they are outside every surface anyway.
int pixelOf(double v) {
    if (!(v > -1e9)) return -1000000000;
    if (v > 1e9) return 1000000000;
    return static_cast<int>(roundHalfEven(v));
}
}  // namespace

Colour PictureSurface::point(double x, double y) const { return pointAt(pixelOf(x), pixelOf(y)); }

void PictureSurface::pset(double x, double y, Colour c) {
    psetAt(pixelOf(x), pixelOf(y), c);
}

void PictureSurface::line(double x1d, double y1d, double x2d, double y2d, Colour c, LineKind kind) {
    int x1 = pixelOf(x1d), y1 = pixelOf(y1d), x2 = pixelOf(x2d), y2 = pixelOf(y2d);
    ++revision_;
    if (kind != LineKind::Segment) {
        // Clip the rectangle to the surface; the outline's sides are drawn only where they lie inside.
        const int left = std::min(x1, x2), right = std::max(x1, x2);
        const int top = std::min(y1, y2), bottom = std::max(y1, y2);
        const int cl = std::max(left, 0), cr = std::min(right, width_ - 1);
        const int ct = std::max(top, 0), cb = std::min(bottom, height_ - 1);
        if (cl > cr || ct > cb) return;
        if (kind == LineKind::FilledBox) {
            for (int y = ct; y <= cb; ++y)
                std::fill_n(&raster_[std::size_t(y) * std::size_t(width_) + std::size_t(cl)], cr - cl + 1, c);
            return;
        }
        for (int x = cl; x <= cr; ++x) {
            psetAt(x, top, c);
            psetAt(x, bottom, c);
        }
        for (int y = ct; y <= cb; ++y) {
            psetAt(left, y, c);
            psetAt(right, y, c);
        }
        return;
    }
    // All-octant integer Bresenham from the first point to the second, both ends drawn.
    const long long dx = std::llabs(static_cast<long long>(x2) - x1);
    const long long dy = -std::llabs(static_cast<long long>(y2) - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    long long err = dx + dy;
    // Lines far outside the surface would take long to walk; their length is bounded by the
    // coordinates callers pass (pixel positions of pictures), so no extra clipping is done.
    for (;;) {
        psetAt(x1, y1, c);
        if (x1 == x2 && y1 == y2) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x1 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y1 += sy;
        }
    }
}

void PictureSurface::cls() {
    printed_.clear();
    // Nothing drawn since the background was last shown (the revision has not moved): the raster
    // already is the background, so only the revision moves on.
    if (revision_ == backgroundShownAt_ && background_ == backgroundShown_) {
        backgroundShownAt_ = ++revision_;
        return;
    }
    restoreBackground();
}

void PictureSurface::print(const std::string& text) {
    printed_.push_back(text);
    ++revision_;
}
void PictureSurface::print(double v) { print(printForm(v)); }
void PictureSurface::print(float v) { print(printForm(v)); }
void PictureSurface::print(int v) { print(printForm(v)); }

Image PictureSurface::image() const {
    Image out;
    out.width = width_;
    out.height = height_;
    out.pixels = raster_;
    return out;
}

void savePicture(const Image& image, const std::string& path) { saveBmp(image, path); }

void freezeInto(PictureSurface& surface, const std::string& path) {
    savePicture(surface.image(), path);
    surface.setAutoRedraw(false);
    surface.loadPicture(path);
}

}  // namespace imaging
