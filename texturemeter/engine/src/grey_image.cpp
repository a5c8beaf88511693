// Monochrome region image: the analysed square of the photo as grey heights in gridA and gridB
// and as a grey picture in the monochrome image, with START(B)'s highlight compression and Start(C)'s
// normalization.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

using imaging::RunError;

void WorkGrids::clear() {
    gridA.fill(0.0f);
    gridB.fill(0.0f);
    gridC.fill(0.0f);
    written_ = -1;
}

void WorkGrids::zeroCorner(int last) {
    if (last < 0) return;
    const std::size_t count = std::size_t(last) + 1;
    for (FloatGrid* g : {&gridA, &gridB, &gridC})
        for (int y = 0; y <= last; ++y) std::fill_n(&g->cell(0, y), count, 0.0f);
}

void WorkGrids::startRun(int regionSide) {
    zeroCorner(written_);
    // Sides outside 0..499 fail at the first grid load, possibly after writing the whole grid.
    written_ = regionSide >= 0 && regionSide < imaging::kGridMax ? regionSide + 1 : imaging::kGridMax;
}

void WorkGrids::clearWritten() { zeroCorner(written_); }

double highlightCompression(double g0) {
    if (g0 <= 100) return g0;
    if (g0 < 120) return 100 + (g0 - 100) * 0.8;
    if (g0 < 140) return 120 + (g0 - 120) * 0.5;
    if (g0 < 160) return 140 + (g0 - 140) * 0.2;
    return 160 + (g0 - 160) * 0.05;
}

double greyHeight(double g0, int16_t regionSide, Variant variant) {
    if (variant == Variant::A || g0 <= 100) return g0 / 255 * regionSide;
    return highlightCompression(g0) * regionSide / 255;
}

namespace {

// Half-to-even rounding to a whole number, as roundToInt: for 0 <= v < 2^31 adding and taking
// away 2^52 leaves exactly the nearest whole number, ties to even, without a library call.
inline int roundNonNegative(double v) {
    if (v >= 0 && v < 2147483647.0) return static_cast<int>((v + 0x1p52) - 0x1p52);
    return imaging::roundToInt(v);
}

// The loop ends of the square (corner + side, 16-bit) and the grid bound they must respect.
void checkSquare(RegionSquare region, int16_t& xEnd, int16_t& yEnd) {
    yEnd = imaging::add16(region.regionY, region.regionSide);
    xEnd = imaging::add16(region.regionX, region.regionSide);
    if (region.regionSide > imaging::kGridMax) throw RunError::subscriptOutOfRange();
    if (region.regionSide < 0)
        throw RunError::invalidArgument("negative sampling width " + imaging::numberText(region.regionSide));
    if (region.regionSide == 0) throw RunError::divisionByZero();  // grey = height / side x 255
}

}  // namespace

void checkRegionSquare(RegionSquare region) {
    int16_t xEnd = 0, yEnd = 0;
    checkSquare(region, xEnd, yEnd);
}

GreyImageSums prepareGreyImage(PhotoView photo, RegionSquare region, Variant variant, FloatGrid& gridA,
                               FloatGrid& gridB, PictureSurface& monochromeImage) {
    int16_t xEnd = 0, yEnd = 0;
    checkSquare(region, xEnd, yEnd);
    const int16_t side = region.regionSide;
    const double sideD = side;

    GreyImageSums sums;
    int iy = -1, ix = -1;
    for (int y = region.regionY; y <= yEnd; ++y) {
        ix = -1;
        ++iy;
        // The row's pixels straight from memory where the photograph holds them all.
        const imaging::Colour* source = photo.row(y, region.regionX, xEnd);
        for (int x = region.regionX; x <= xEnd; ++x) {
            ++ix;
            ++sums.pointCount;
            const imaging::Colour c = source ? source[x - region.regionX] : photo.pointAt(x, y);
            ++sums.heightCount;
            const double h = greyHeight(imaging::greyOf(c), side, variant);
            const float cell = static_cast<float>(h);
            gridA.cell(ix, iy) = cell;
            gridB.cell(ix, iy) = cell;
            // Start(A) sums the double height, the compressing variants the stored cell.
            sums.heightSum += variant == Variant::A ? h : static_cast<double>(cell);
            const int g = roundNonNegative(static_cast<double>(cell) / sideD * 255);
            monochromeImage.psetAt(ix, iy, imaging::greyColour(g));
        }
    }
    sums.extentX = ix;
    sums.extentY = iy;
    if (variant == Variant::C) greyNormalization(gridA, gridB, sums.extentX, sums.extentY, side);
    return sums;
}

void greyNormalization(FloatGrid& gridA, FloatGrid& gridB, int extentX, int extentY, int16_t regionSide) {
    if (extentX < 0 || extentY < 0) return;
    // The first pass reads every cell before anything is written.
    if (extentX > gridA.maxX() || extentY > gridA.maxY()) throw RunError::subscriptOutOfRange();
    const double side = regionSide;
    // The grey level of a cell, in single precision; worked out from gridA again in each pass
    // (the last pass reads a cell before it overwrites it).
    const auto level = [side](float cell) { return static_cast<float>(side * static_cast<double>(cell) / 255); };
    float sum = 0.0f;
    for (int y = 0; y <= extentY; ++y) {
        const float* row = &gridA.cell(0, y);
        for (int x = 0; x <= extentX; ++x) sum += level(row[x]);
    }
    const long long count = (static_cast<long long>(extentX) + 1) * (static_cast<long long>(extentY) + 1);
    const float mean = sum / static_cast<float>(count);
    float squares = 0.0f;
    for (int y = 0; y <= extentY; ++y) {
        const float* row = &gridA.cell(0, y);
        for (int x = 0; x <= extentX; ++x) {
            const float d = level(row[x]) - mean;
            squares += d * d;
        }
    }
    const double sd = std::sqrt(static_cast<double>(squares) / static_cast<double>(count));
    if (sd == 0) throw RunError::divisionByZero();
    for (int y = 0; y <= extentY; ++y) {
        float* rowA = &gridA.cell(0, y);
        float* rowB = &gridB.cell(0, y);
        for (int x = 0; x <= extentX; ++x) {
            double v = (static_cast<double>(level(rowA[x])) - static_cast<double>(mean)) * 10 / sd + 125;
            if (v > 220) v = 220;
            if (v < 30) v = 30;
            const float stored = static_cast<float>(v / side * 255);
            rowA[x] = stored;
            rowB[x] = stored;
        }
    }
}

}  // namespace texturemeter
