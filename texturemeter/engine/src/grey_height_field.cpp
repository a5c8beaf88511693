// Grey-level height field: a picture's grey levels as heights scaled so that the grey range
// 0..255 spans the side of the square.

#include <algorithm>
#include <cstdint>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

void checkGreyGridSide(int16_t regionSide) {
    // The square with one extra row and column: indices 0..regionSide + 1.
    const int16_t end = imaging::add16(regionSide, 1);
    if (end > imaging::kGridMax) throw imaging::RunError::subscriptOutOfRange();
}

GridLoad loadGreyGrid(const PictureSurface& source, int16_t regionSide, FloatGrid& gridA, FloatGrid& gridB) {
    checkGreyGridSide(regionSide);
    const int16_t end = static_cast<int16_t>(regionSide + 1);
    const double side = regionSide;
    GridLoad load;
    // The pictures loaded here are grey, so the heights of the 256 grey colours are worked out
    // once; any other colour is converted on its own. Only a colour's low 24 bits carry its
    // channels (the outside, -1, reads white like 0xFFFFFF).
    float greyHeights[256];
    for (int g = 0; g < 256; ++g)
        greyHeights[g] = static_cast<float>(imaging::greyOf(imaging::greyColour(g)) / 255 * side);
    int ix = -1, iy = -1;
    for (int y = 0; y <= end; ++y) {
        ++iy;
        ix = -1;
        float* const rowA = &gridA.cell(0, iy);
        float* const rowB = &gridB.cell(0, iy);
        // The pixels inside the picture straight from its row; the others read as outside.
        const imaging::Colour* const pixels = source.rowPixels(y);
        const int inside = pixels ? std::min(end + 1, source.width()) : 0;
        for (int x = 0; x <= end; ++x) {
            ++ix;
            const imaging::Colour c = x < inside ? pixels[x] : source.pointAt(x, y);
            const std::uint32_t rgb = static_cast<std::uint32_t>(c) & 0xFFFFFFu;
            const std::uint32_t g = rgb & 0xFFu;
            const float h = rgb == g * 0x010101u ? greyHeights[g]
                                                 : static_cast<float>(imaging::greyOf(c) / 255 * side);
            rowA[ix] = h;
            rowB[ix] = h;
        }
    }
    const long long perRow = std::max(0, end + 1);
    load.pointCount = perRow * perRow;
    load.extentX = ix - 1;
    load.extentY = iy - 1;
    return load;
}

}  // namespace texturemeter
