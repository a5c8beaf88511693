#pragma once
// The picture surface: a raster with pixel coordinates (origin top-left, y downwards), a
// background picture loaded from a file, drawing on top of it, printed text lines and a text
// cursor. Whatever is drawn is what `point` reads and what `image` returns; `cls` removes the
// drawing and the printed text and restores the background picture (or the background colour).
// Printed text is kept as lines for a window to render in a real font; it is not rasterised.

#include <string>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"

namespace imaging {

enum class SizePolicy {
    Fixed,          // keeps its size; a loaded picture shows from the top-left, clipped
    GrowToPicture,  // takes the size of each picture loaded into it
};

enum class LineKind { Segment, Box, FilledBox };

class PictureSurface {
public:
    PictureSurface(int width = 0, int height = 0, SizePolicy policy = SizePolicy::Fixed,
                   Colour background = kWhite);

    // Re-creates the surface at a new size: no background picture, nothing drawn or printed.
    // The storage of the raster and the picture is kept for reuse.
    void reset(int width, int height);

    // Decodes the file and makes it the background picture; removes all drawing.
    void loadPicture(const std::string& path);
    // The same with a picture already decoded.
    void setPicture(Image picture);
    // The persistent image becomes the background picture (setPicture(image()) without a copy
    // of its own: the picture's storage is reused from call to call).
    void keepImageAsPicture();
    bool hasPicture() const { return !picture_.empty(); }
    const Image& picture() const { return picture_; }

    float scaleWidth() const { return float(width_); }
    float scaleHeight() const { return float(height_); }
    int width() const { return width_; }
    int height() const { return height_; }

    // The colour at (x, y) as currently seen; -1 outside. Fractional positions are rounded
    // half-to-even to pixels.
    Colour point(double x, double y) const;
    // Fast path for whole-number positions.
    Colour pointAt(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return kOutside;
        return raster_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    }

    // The pixels of row y as currently seen, side by side (width() of them); nullptr for a row
    // outside the surface. For stages that read a whole row at a time.
    const Colour* rowPixels(int y) const {
        if (y < 0 || y >= height_ || width_ <= 0) return nullptr;
        return raster_.data() + std::size_t(y) * std::size_t(width_);
    }

    // Sets one pixel; nothing happens outside the surface.
    void pset(double x, double y, Colour c);
    void psetAt(int x, int y, Colour c) {
        ++revision_;
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        raster_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] = c;
    }

    // A one-pixel Bresenham line including both end points, a box outline, or a filled box.
    void line(double x1, double y1, double x2, double y2, Colour c, LineKind kind = LineKind::Segment);

    // Removes the drawing and the printed text; the text cursor returns to the top-left.
    void cls();

    // Prints a text, or a number in its print form, as the next line.
    void print(const std::string& text);
    void print(double v);
    void print(float v);
    void print(int v);
    const std::vector<std::string>& printedLines() const { return printed_; }

    void setAutoRedraw(bool on) { autoRedraw_ = on; }
    bool autoRedraw() const { return autoRedraw_; }

    // The persistent image: background picture plus drawing.
    Image image() const;

    void setVisible(bool v) { visible_ = v; }
    bool visible() const { return visible_; }

    Colour backgroundColour() const { return background_; }
    void setBackgroundColour(Colour c) { background_ = c; }

    // Counts every change of the raster, so a window can repaint only when something changed.
    unsigned long long revision() const { return revision_; }

private:
    void restoreBackground();

    int width_;
    int height_;
    SizePolicy policy_;
    Colour background_;
    Image picture_;
    std::vector<Colour> raster_;
    std::vector<std::string> printed_;
    bool autoRedraw_ = false;
    bool visible_ = true;
    unsigned long long revision_ = 0;
    // The revision at which the raster last showed just the background (picture over the
    // background colour backgroundShown_); cls has nothing to restore while both still hold.
    unsigned long long backgroundShownAt_ = ~0ull;
    Colour backgroundShown_ = kWhite;
};

// Writes the picture as an uncompressed 24-bit BMP (the freeze idiom's save step).
void savePicture(const Image& image, const std::string& path);

// The freeze idiom: saves the surface's image to `path`, switches persistent drawing off and
// loads the file back as the surface's background picture.
void freezeInto(PictureSurface& surface, const std::string& path);

}  // namespace imaging
