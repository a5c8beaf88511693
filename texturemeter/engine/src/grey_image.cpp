// Monochrome region image: the analysed square of the photo as grey heights in gridA and gridB
// and as a grey picture in the monochrome image, with START(B)'s highlight compression and Start(C)'s
// normalization.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/vector_lanes.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace lanes = imaging::lanes;

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

// --- A row at a time, several pixels per step -------------------------------------------------
// Lane by lane these are the scalar code's IEEE operations in the same order (no fused
// multiply-add; the build keeps -ffp-contract=off), so every value is the same bit for bit. N
// doubles per step: 1 on the scalar path, 2 on sse2, 4 on avx2; the last few cells of a row one
// at a time.

// The heights, cells and grey levels of n photograph pixels (a colour of -1 splits into three
// channels of 255 like any white pixel, as splitColour gives it).
template <int N>
[[gnu::always_inline]] inline void greyRowLanes(const imaging::Colour* source, int i, int n, double side,
                                                bool compress, double* heights, float* cells, double* scaled) {
    using D = typename lanes::Doubles<N>::D;
    using F = typename lanes::Doubles<N>::F;
    using I = typename lanes::Doubles<N>::I;
    for (; i + N <= n; i += N) {
        I c;
        lanes::load(c, source + i);
        const D blue = __builtin_convertvector((c >> 16) & 0xFF, D);
        const D green = __builtin_convertvector((c >> 8) & 0xFF, D);
        const D red = __builtin_convertvector(c & 0xFF, D);
        const D g0 = 0.11 * blue + 0.59 * green + 0.3 * red;
        D h = g0 / 255 * side;
        if (compress) {
            const D compressed = g0 < 120   ? 100 + (g0 - 100) * 0.8
                                 : g0 < 140 ? 120 + (g0 - 120) * 0.5
                                 : g0 < 160 ? 140 + (g0 - 140) * 0.2
                                            : 160 + (g0 - 160) * 0.05;
            h = g0 <= 100 ? h : compressed * side / 255;
        }
        const F cell = __builtin_convertvector(h, F);
        lanes::store(heights + i, h);
        lanes::store(cells + i, cell);
        lanes::store(scaled + i, __builtin_convertvector(cell, D) / side * 255);
    }
    if constexpr (N > 1) greyRowLanes<1>(source, i, n, side, compress, heights, cells, scaled);
}

// The grey level side x cell / 255 of n cells, in single precision.
template <int N>
[[gnu::always_inline]] inline void levelsLanes(const float* cells, int i, int n, double side, float* levels) {
    using D = typename lanes::Doubles<N>::D;
    using F = typename lanes::Doubles<N>::F;
    for (; i + N <= n; i += N)
    {
        F cell;
        lanes::load(cell, cells + i);
        lanes::store(levels + i, __builtin_convertvector(side * __builtin_convertvector(cell, D) / 255, F));
    }
    if constexpr (N > 1) levelsLanes<1>(cells, i, n, side, levels);
}

// The normalized cells of n levels: (level - mean) x 10 / sd + 125 within 30..220, back to a height.
template <int N>
[[gnu::always_inline]] inline void normalizedLanes(const float* levels, int i, int n, double mean, double sd,
                                                   double side, float* out) {
    using D = typename lanes::Doubles<N>::D;
    using F = typename lanes::Doubles<N>::F;
    for (; i + N <= n; i += N) {
        F level;
        lanes::load(level, levels + i);
        D v = (__builtin_convertvector(level, D) - mean) * 10 / sd + 125;
        v = v > 220 ? D{} + 220 : v;
        v = v < 30 ? D{} + 30 : v;
        lanes::store(out + i, __builtin_convertvector(v / side * 255, F));
    }
    if constexpr (N > 1) normalizedLanes<1>(levels, i, n, mean, sd, side, out);
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
    // Kept per thread from call to call: one row's heights, cells and grey levels before rounding.
    thread_local std::vector<double> heights, scaled;
    thread_local std::vector<float> cells;
    const int columns = std::max(xEnd - region.regionX + 1, 0);
    if (heights.size() < std::size_t(columns)) {
        heights.resize(std::size_t(columns));
        scaled.resize(std::size_t(columns));
        cells.resize(std::size_t(columns));
    }
    const bool compress = variant != Variant::A;
    int iy = -1, ix = -1;
    for (int y = region.regionY; y <= yEnd; ++y) {
        ix = -1;
        ++iy;
        // The row's pixels straight from memory where the photograph holds them all.
        const imaging::Colour* source = photo.row(y, region.regionX, xEnd);
        if (source && columns > 0) {
            // Beyond the grids' last column the first store fails, as the pixel-by-pixel loop would.
            if (columns - 1 > gridA.maxX() || iy > gridA.maxY() || columns - 1 > gridB.maxX() || iy > gridB.maxY())
                throw RunError::subscriptOutOfRange();
            lanes::dispatch([&](auto path) {
                greyRowLanes<decltype(path)::kDoubles>(source, 0, columns, sideD, compress, heights.data(),
                                                       cells.data(), scaled.data());
            });
            const float* rowCells = cells.data();
            const double* rowHeights = heights.data();
            const double* rowScaled = scaled.data();
            std::memcpy(&gridA.cell(0, iy), rowCells, std::size_t(columns) * sizeof(float));
            std::memcpy(&gridB.cell(0, iy), rowCells, std::size_t(columns) * sizeof(float));
            // Start(A) sums the double height, the compressing variants the stored cell; one
            // pixel after another, as before.
            double heightSum = sums.heightSum;
            if (compress)
                for (int i = 0; i < columns; ++i) heightSum += static_cast<double>(rowCells[i]);
            else
                for (int i = 0; i < columns; ++i) heightSum += rowHeights[i];
            sums.heightSum = heightSum;
            for (int i = 0; i < columns; ++i)
                monochromeImage.psetAt(i, iy, imaging::greyColour(roundNonNegative(rowScaled[i])));
            ix = columns - 1;
            sums.pointCount += columns;
            sums.heightCount += columns;
            continue;
        }
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
    const int columns = extentX + 1;
    // The grey level of every cell, side x cell / 255 in single precision, row after row (each
    // pass below uses the same levels; the last overwrites a cell only after reading its level).
    thread_local std::vector<float> levels;
    const std::size_t count = std::size_t(columns) * std::size_t(extentY + 1);
    if (levels.size() < count) levels.resize(count);
    for (int y = 0; y <= extentY; ++y) {
        float* out = levels.data() + std::size_t(y) * std::size_t(columns);
        const float* cells = &gridA.cell(0, y);
        lanes::dispatch([&](auto path) { levelsLanes<decltype(path)::kDoubles>(cells, 0, columns, side, out); });
    }
    // The sums in single precision, in the order of the cells, as before.
    float sum = 0.0f;
    for (std::size_t i = 0; i < count; ++i) sum += levels[i];
    const float mean = sum / static_cast<float>(static_cast<long long>(count));
    float squares = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float d = levels[i] - mean;
        squares += d * d;
    }
    const double sd = std::sqrt(static_cast<double>(squares) / static_cast<double>(static_cast<long long>(count)));
    if (sd == 0) throw RunError::divisionByZero();
    for (int y = 0; y <= extentY; ++y) {
        const float* in = levels.data() + std::size_t(y) * std::size_t(columns);
        float* rowA = &gridA.cell(0, y);
        lanes::dispatch([&](auto path) {
            normalizedLanes<decltype(path)::kDoubles>(in, 0, columns, static_cast<double>(mean), sd, side, rowA);
        });
        std::memcpy(&gridB.cell(0, y), rowA, std::size_t(columns) * sizeof(float));
    }
}

}  // namespace texturemeter
