#pragma once
// Picture files: decoding JPEG (libjpeg-turbo, default settings), BMP and PNG (stb) into
// 24-bit colour values, and writing uncompressed 24-bit BMP files (exact round trip).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/colour.hpp"

namespace imaging {

// A decoded picture: colour values 0x00BBGGRR, row by row from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;

    Image() = default;
    Image(int w, int h, Colour fill = kWhite) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    Colour at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    Colour& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    bool empty() const { return width == 0 || height == 0; }
};

// Pictures larger than this many pixels are refused before any large allocation.
constexpr long long kMaxPicturePixels = 100'000'000;

// Decodes a JPEG, BMP or PNG file (recognised by its content, not its name).
// Errors name the file: "File not found: NAME", "Invalid picture: NAME: why".
Image loadImageFile(const std::string& path);
// The same for a file already in memory; `name` is used in error messages.
Image decodeImage(const unsigned char* data, std::size_t size, const std::string& name);

// A rectangle of a picture's pixels and where it lies in the whole picture.
struct PictureRegion {
    int left = 0;         // the rectangle's top-left pixel in the whole picture
    int top = 0;
    int fullWidth = 0;    // the whole picture's size
    int fullHeight = 0;
    Image pixels;         // the rectangle, clipped to the picture (empty when nothing is left)

    // Whether (x, y) of the whole picture lies in the decoded rectangle.
    bool holds(int x, int y) const {
        return x >= left && y >= top && x - left < pixels.width && y - top < pixels.height;
    }
};

// Decodes the pixels of the `width` x `height` rectangle at (left, top) of a picture file, clipped
// to the picture, exactly as a full decode gives them. A JPEG is decoded only over the scanlines
// and block columns that hold the rectangle (with a margin for the smoothing of subsampled
// colour); BMP and PNG files are read whole and the whole picture is kept. Damage to a JPEG's
// data beyond the rows it needs is not seen. `region` and `fileData` keep their storage for the
// next call. Errors as loadImageFile.
void loadPictureRegion(const std::string& path, int left, int top, int width, int height, PictureRegion& region,
                       std::vector<unsigned char>& fileData);
// The same for a file already in memory; `name` is used in error messages.
void decodePictureRegion(const unsigned char* data, std::size_t size, const std::string& name, int left, int top,
                         int width, int height, PictureRegion& region);

// Throws the error a read of the file would give before decoding it (a folder: "Cannot read file
// (Is a directory): NAME"; a missing or unreadable file: "File not found: NAME"; a file too large),
// without reading its content: a run checks every input this way before it opens any output.
void checkPictureReadable(const std::string& name);

// "JPEG", "BMP" or "PNG" when the existing file `name` begins like such a picture, else "" (also
// for a missing or unreadable file). Lets a text output refuse to replace a photograph.
std::string pictureFormatOf(const std::string& name);

// The bytes of an uncompressed 24-bit BMP of the picture.
std::string encodeBmp(const Image& image);
// Writes an uncompressed 24-bit BMP, replacing any file of that name as one whole (see
// writeWholeFile): a failed write leaves the previous file and no fragment; the error names the
// file and the system's reason.
void saveBmp(const Image& image, const std::string& path);

}  // namespace imaging
