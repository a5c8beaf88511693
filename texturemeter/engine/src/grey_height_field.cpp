// Grey-level height field: a picture's grey levels as heights scaled so that the grey range
// 0..255 spans the side of the square.

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
    int ix = -1, iy = -1;
    for (int y = 0; y <= end; ++y) {
        ++iy;
        ix = -1;
        for (int x = 0; x <= end; ++x) {
            ++ix;
            ++load.pointCount;
            const float h = static_cast<float>(imaging::greyOf(source.pointAt(x, y)) / 255 * side);
            gridA.cell(ix, iy) = h;
            gridB.cell(ix, iy) = h;
        }
    }
    load.extentX = ix - 1;
    load.extentY = iy - 1;
    return load;
}

}  // namespace texturemeter
