// Bright-region outline: thresholds the monochrome image against its random-sampled mean colour,
// marks dark pixels next to a bright area, cleans the marks at a fixed scale, and measures the
// box-counting dimension of the drawing ("line fr dim").

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/box_counting.hpp"
#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/vector_lanes.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace lanes = imaging::lanes;

namespace {

using imaging::RunError;

// The grid cell of a (possibly fractional) position, checked against the grid's bounds.
inline int gridIndex(double v) {
    if (!(v > -1e9 && v < 1e9)) throw RunError::subscriptOutOfRange();
    return imaging::roundToInt(v);
}

// --- A row at a time, several cells per step ---------------------------------------------------
// The same comparisons as the cell-by-cell rules, lane by lane: whole-number channels against
// whole-number thresholds, and differences worked out in double (|d| > 40 is d > 40 or d < -40,
// both false for NaN). N channels or differences per step: 1 and 1 on the scalar path, 4 and 2 on
// sse2, 8 and 4 on avx2; the last few cells of a row one at a time.

// Threshold scan of n pixels: 200 where all three channels are above their thresholds, 0 where
// blue and green are, the cell kept otherwise.
template <int N>
[[gnu::always_inline]] inline void thresholdLanes(const imaging::Colour* pixels, int i, int n, int minB, int minG,
                                                  int minR, float* cells) {
    using I = typename lanes::Words<N>::I;
    using F = typename lanes::Words<N>::F;
    for (; i + N <= n; i += N) {
        I c;
        F cell;
        lanes::load(c, pixels + i);
        lanes::load(cell, cells + i);
        const I take = (((c >> 16) & 0xFF) > minB) & (((c >> 8) & 0xFF) > minG);
        const F value = (c & 0xFF) > minR ? F{} + 200.0f : F{};
        lanes::store(cells + i, take ? value : cell);
    }
    if constexpr (N > 1) thresholdLanes<1>(pixels, i, n, minB, minG, minR, cells);
}

// Re-threshold of n drawing pixels: 200 where the channel sum is above 100, else 0.
template <int N>
[[gnu::always_inline]] inline void rethresholdLanes(const imaging::Colour* pixels, int i, int n, float* cells) {
    using I = typename lanes::Words<N>::I;
    using F = typename lanes::Words<N>::F;
    for (; i + N <= n; i += N) {
        I c;
        lanes::load(c, pixels + i);
        const I sum = ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF);
        lanes::store(cells + i, sum > 100 ? F{} + 200.0f : F{});
    }
    if constexpr (N > 1) rethresholdLanes<1>(pixels, i, n, cells);
}

// Adds to `far` whether each of the lanes' centres c differs by more than 40 from the cells at p.
template <typename D, typename F, typename M>
[[gnu::always_inline]] inline void markFar(const D& c, const float* p, M& far) {
    F v;
    lanes::load(v, p);
    const D d = c - __builtin_convertvector(v, D);
    far |= (d > 40) | (d < -40);
}

// Outline marks of the n cells row[0..n): a cell below 50 that differs by more than 40 from one of
// its eight neighbours at distance di (rows above and below, columns -di and +di).
template <int N>
[[gnu::always_inline]] inline void edgeLanes(const float* above, const float* row, const float* below, int di, int i,
                                             int n, std::uint8_t* marks) {
    using D = typename lanes::Doubles<N>::D;
    using F = typename lanes::Doubles<N>::F;
    for (; i + N <= n; i += N) {
        F centres;
        lanes::load(centres, row + i);
        const D c = __builtin_convertvector(centres, D);
        auto far = c != c;  // all false: c < 50 below rules out NaN centres anyway
        far = far & 0;
        for (const float* p : {above + i - di, above + i, above + i + di, row + i - di, row + i + di, below + i - di,
                               below + i, below + i + di})
            markFar<D, F>(c, p, far);
        const auto hit = (c < 50) & far;
        for (int k = 0; k < N; ++k) marks[i + k] = hit[k] != 0;
    }
    if constexpr (N > 1) edgeLanes<1>(above, row, below, di, i, n, marks);
}

// Mean blue, green and red of 300 random pixels of the monochrome image (15 .. size - 6).
void randomMeanColour(const PictureSurface& monochromeImage, double W, double H, imaging::UniformRandom& random,
                      OutlineResult& r) {
    random.reseedFromClock();
    long long sumB = 0, sumG = 0, sumR = 0;
    for (int i = 0; i < 300; ++i) {
        const double r1 = random.next();
        const double r2 = random.next();
        const double x = std::floor(r1 * (W - 20)) + 15;
        const double y = std::floor(r2 * (H - 20)) + 15;
        const imaging::Channels ch = imaging::splitColour(monochromeImage.point(x, y));
        sumB += ch.blue;
        sumG += ch.green;
        sumR += ch.red;
    }
    r.meanB = static_cast<double>(sumB) / 300;
    r.meanG = static_cast<double>(sumG) / 300;
    r.meanR = static_cast<double>(sumR) / 300;
}

// 200 where a pixel is brighter than the mean in all three channels, 0 where it is brighter in
// blue and green only; other cells keep their value.
void thresholdScan(const PictureSurface& monochromeImage, double W, double H, FloatGrid& gridA, OutlineResult& r) {
    // W and H are whole numbers (a surface's size in pixels).
    const int lastX = static_cast<int>(std::floor(W)), lastY = static_cast<int>(std::floor(H));
    if (lastX <= gridA.maxX() && lastY <= gridA.maxY()) {
        // Every cell of the scan lies inside the grid. A channel (a whole number) is above a
        // mean exactly when it is above the mean's whole part.
        const int minB = static_cast<int>(std::floor(r.meanB)), minG = static_cast<int>(std::floor(r.meanG)),
                  minR = static_cast<int>(std::floor(r.meanR));
        for (int y = 0; y <= lastY; ++y) {
            float* row = &gridA.cell(0, y);
            // The pixels inside the picture a row at a time; the column past its right edge (the
            // scan reaches x = width) reads as outside, like any point there.
            const imaging::Colour* pixels = monochromeImage.rowPixels(y);
            const int inside = pixels ? std::min(lastX + 1, monochromeImage.width()) : 0;
            if (inside > 0) {
                lanes::dispatch([&](auto path) {
                    thresholdLanes<decltype(path)::kWords>(pixels, 0, inside, minB, minG, minR, row);
                });
            }
            for (int x = inside; x <= lastX; ++x) {
                const imaging::Channels ch = imaging::splitColour(monochromeImage.pointAt(x, y));
                if (ch.blue > minB && ch.green > minG) row[x] = ch.red > minR ? 200.0f : 0.0f;
            }
        }
        // The last indices the scan visits, -1 where it visits none.
        r.extentX = lastY >= 0 ? std::max(lastX, -1) : -1;
        r.extentY = std::max(lastY, -1);
        return;
    }
    int ix = -1, iy = -1;
    for (int y = 0; y <= lastY; ++y) {
        ++iy;
        ix = -1;
        for (int x = 0; x <= lastX; ++x) {
            ++ix;
            const imaging::Channels ch = imaging::splitColour(monochromeImage.pointAt(x, y));
            if (ch.blue > r.meanB && ch.green > r.meanG) gridA(ix, iy) = ch.red > r.meanR ? 200.0f : 0.0f;
        }
    }
    r.extentX = ix;
    r.extentY = iy;
}

// Whether the pixel with value c differs by more than 40 from a neighbour (edge) and is dark.
inline bool darkEdge(float c, const float (&nb)[8]) {
    if (!(c < 50)) return false;
    for (float v : nb)
        if (std::fabs(static_cast<double>(c) - static_cast<double>(v)) > 40) return true;
    return false;
}

// One outline pass: a cell below 50 that differs by more than 40 from one of its eight
// neighbours at distance d is drawn black. Whole-number distances index the grid directly;
// a fractional distance selects cells by half-to-even rounding.
void outlinePass(const FloatGrid& g, double d, double from, double toX, double toY, int step,
                 PictureSurface& figure) {
    const double offsets[8][2] = {{-d, -d}, {0, -d}, {d, -d}, {-d, 0}, {d, 0}, {-d, d}, {0, d}, {d, d}};
    const bool whole = d == std::floor(d) && std::fabs(d) < 1000 && from == std::floor(from);
    if (whole && from <= toX && from <= toY) {
        const int di = static_cast<int>(d), f = static_cast<int>(from);
        const int lastX = static_cast<int>(std::floor(toX)), lastY = static_cast<int>(std::floor(toY));
        const int ad = di < 0 ? -di : di;
        // Every neighbour of the scanned range must lie inside the grid.
        if (f - ad < 0 || lastX + ad > g.maxX() || lastY + ad > g.maxY()) throw RunError::subscriptOutOfRange();
        // The marks of a whole row (every column from f to lastX) at once, then the columns of
        // the pass's step drawn from left to right.
        const int n = lastX - f + 1;
        thread_local std::vector<std::uint8_t> marks;
        if (marks.size() < std::size_t(n)) marks.resize(std::size_t(n));
        std::uint8_t* const m = marks.data();
        for (int y = f; y <= lastY; y += step) {
            const float* above = &g.cell(f, y - di);
            const float* row = &g.cell(f, y);
            const float* below = &g.cell(f, y + di);
            lanes::dispatch([&](auto path) { edgeLanes<decltype(path)::kDoubles>(above, row, below, di, 0, n, m); });
            // Marks are few: eight columns without one are passed over at once.
            const int skip = 8 % step == 0 ? 8 : 0;
            for (int i = 0; i < n;) {
                std::uint64_t eight = 1;
                if (skip && i + 8 <= n) std::memcpy(&eight, m + i, 8);
                if (eight == 0) {
                    i += 8;
                    continue;
                }
                const int end = std::min(i + 8, n);
                for (; i < end; i += step)
                    if (m[i]) figure.psetAt(f + i, y, imaging::kBlack);
            }
        }
        return;
    }
    for (double y = from; y <= toY; y += step) {
        for (double x = from; x <= toX; x += step) {
            const float c = g(gridIndex(x), gridIndex(y));
            float nb[8];
            for (int i = 0; i < 8; ++i) nb[i] = g(gridIndex(x + offsets[i][0]), gridIndex(y + offsets[i][1]));
            if (darkEdge(c, nb)) figure.pset(x, y, imaging::kBlack);
        }
    }
}

// 200 where the drawing is light (channel sum above 100), 0 where it is dark.
void rethreshold(const PictureSurface& figure, int extentX, int extentY, FloatGrid& gridA) {
    if (extentX - 2 <= gridA.maxX() && extentY - 2 <= gridA.maxY()) {
        for (int y = 2; y <= extentY - 2; ++y) {
            float* row = &gridA.cell(0, y);
            // The drawing's pixels a row at a time; any column past its edge reads as outside.
            const imaging::Colour* pixels = figure.rowPixels(y);
            const int inside = pixels ? std::max(std::min(extentX - 2, figure.width() - 1) - 1, 0) : 0;
            if (inside > 0) {
                lanes::dispatch([&](auto path) { rethresholdLanes<decltype(path)::kWords>(pixels + 2, 0, inside, row + 2); });
            }
            for (int x = 2 + inside; x <= extentX - 2; ++x) {
                const imaging::Channels ch = imaging::splitColour(figure.pointAt(x, y));
                row[x] = ch.blue + ch.green + ch.red > 100 ? 200.0f : 0.0f;
            }
        }
        return;
    }
    for (int y = 2; y <= extentY - 2; ++y) {
        for (int x = 2; x <= extentX - 2; ++x) {
            const imaging::Channels ch = imaging::splitColour(figure.pointAt(x, y));
            gridA(x, y) = ch.blue + ch.green + ch.red > 100 ? 200.0f : 0.0f;
        }
    }
}

}  // namespace

OutlineResult outlineStage(const PictureSurface& monochromeImage, double neighbourDistance, FloatGrid& gridA,
                           PictureSurface& figure, imaging::UniformRandom& random) {
    OutlineResult r;
    const double W = static_cast<double>(monochromeImage.scaleWidth());
    const double H = static_cast<double>(monochromeImage.scaleHeight()) - 3;
    randomMeanColour(monochromeImage, W, H, random, r);
    thresholdScan(monochromeImage, W, H, gridA, r);

    figure.cls();
    figure.setAutoRedraw(true);
    const double d = neighbourDistance;
    outlinePass(gridA, d, d + 2, r.extentX - (d + 2), r.extentY - (d + 2), 1, figure);
    rethreshold(figure, r.extentX, r.extentY, gridA);
    figure.cls();
    outlinePass(gridA, 2, 3, r.extentX - 3, r.extentY - 3, 2, figure);
    return r;
}

double lineDimension(const PictureSurface& figure, imaging::Fit* fit) {
    const imaging::BoxCountingResult result = imaging::boxCounting(figure, imaging::kLineDimensionBoxes);
    if (fit) *fit = imaging::boxCountingFit(result, imaging::kLineDimensionBoxes);
    return result.dimension;
}

}  // namespace texturemeter
