// Surface-area fractal dimension of the grey surface in gridA: the surface over a window is
// covered with boxes of six sizes, each box's surface approximated by two triangles, and the
// dimension is 2 minus the slope of ln(total area) against ln(box size).

#include <cmath>
#include <utility>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/vector_lanes.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace lanes = imaging::lanes;

namespace {

constexpr int kSizeCount = 6;
constexpr int16_t kBoxSizes[kSizeCount] = {1, 2, 4, 5, 10, 20};

// Areas over the boxes whose corners have the heights z1 = (x, y), z2 = (x + s, y), z3 = (x, y + s)
// and z4 = (x + s, y + s), s being their side in the plane: one box per lane, lane by lane the
// same operations at every width.
template <typename D>
[[gnu::always_inline]] inline void boxAreas(const D& z1, const D& z2, const D& z3, const D& z4, double s, D& area) {
    const D zero{}, ss = zero + s * s;
    // Squared edge lengths: dx^2 + dy^2 + dz^2 for each pair of corners.
    const D a2 = zero + ss + (z1 - z3) * (z1 - z3);  // |P1 P3|^2
    const D b2 = ss + zero + (z1 - z2) * (z1 - z2);  // |P1 P2|^2
    const D c2 = ss + ss + (z2 - z3) * (z2 - z3);    // |P2 P3|^2, the diagonal
    const D d2 = ss + zero + (z4 - z3) * (z4 - z3);  // |P4 P3|^2
    const D e2 = zero + ss + (z4 - z2) * (z4 - z2);  // |P4 P2|^2
    const D f1 = b2 - a2 + c2;
    D t1, t2;
    lanes::squareRoot(4 * c2 * b2 - f1 * f1, t1);
    const D f2 = e2 - d2 + c2;
    lanes::squareRoot(4 * c2 * e2 - f2 * f2, t2);
    area = t1 / 4 + t2 / 4;
}

// The area over one box.
inline double boxArea(double z1, double z2, double z3, double z4, double s) {
    using D = lanes::Doubles<1>::D;
    D area;
    boxAreas(D{z1}, D{z2}, D{z3}, D{z4}, s, area);
    return area[0];
}

// The heights of N cells of a row: N adjacent cells (the corners of the smallest boxes) in one
// load, others one by one.
template <int N>
[[gnu::always_inline]] inline void rowHeights(const float* row, const int* x, typename lanes::Doubles<N>::D& z) {
    typename lanes::Doubles<N>::F f;
    bool adjacent = true;
#pragma GCC unroll 8
    for (int k = 1; k < N; ++k) adjacent = adjacent && x[k] == x[0] + k;
    if (adjacent) {
        lanes::load(f, row + x[0]);
    } else {
#pragma GCC unroll 8
        for (int k = 0; k < N; ++k) f[k] = row[x[k]];
    }
    lanes::widen(f, z);
}

// The areas of one row of boxes, N boxes per step (1 on the scalar path, 2 on sse2, 4 on avx2) and
// the last few one at a time: box i has the corners (xs[i], top), (xs1[i], top), (xs[i], bottom)
// and (xs1[i], bottom).
template <int N>
[[gnu::always_inline]] inline void rowAreas(const float* top, const float* bottom, const int* xs, const int* xs1,
                                            std::size_t i, std::size_t nx, double side, double* area) {
    using D = typename lanes::Doubles<N>::D;
    for (; i + N <= nx; i += N) {
        D z1, z2, z3, z4, a;
        rowHeights<N>(top, xs + i, z1);
        rowHeights<N>(top, xs1 + i, z2);
        rowHeights<N>(bottom, xs + i, z3);
        rowHeights<N>(bottom, xs1 + i, z4);
        boxAreas(z1, z2, z3, z4, side, a);
        lanes::store(area + i, a);
    }
    if constexpr (N > 1) rowAreas<1>(top, bottom, xs, xs1, i, nx, side, area);
}

// roundToInt without the library call where it is plain: for 0 <= v < 2^51 the addition of 2^52
// rounds v to a whole number, ties to even, and the subtraction is exact.
inline int nearestInt(double v) {
    if (v >= 0 && v < 0x1p51) return static_cast<int>((v + 0x1p52) - 0x1p52);
    return imaging::roundToInt(v);
}

// Grid indices of the box corners X, X + s, ... while <= X + windowSize - s (a fractional
// position selects its cell by half-to-even rounding), and of the far corners. A far corner
// beyond `maxIndex` is a subscript error at once, so a huge window fails without first listing
// millions of corners.
void boxCorners(double from, double windowSize, int s, int maxIndex, std::vector<int>& near, std::vector<int>& far) {
    near.clear();
    far.clear();
    const double last = from + windowSize - s;
    for (double v = from; v <= last; v += s) {
        if (!(v + s <= maxIndex + 0.5)) throw imaging::RunError::subscriptOutOfRange();
        near.push_back(nearestInt(v));
        far.push_back(nearestInt(v + s));
    }
}

void checkCorners(const FloatGrid& g, const std::vector<int>& near, const std::vector<int>& far, bool alongX) {
    const int maxIndex = alongX ? g.maxX() : g.maxY();
    for (std::size_t i = 0; i < near.size(); ++i) {
        if (near[i] < 0 || far[i] < 0 || near[i] > maxIndex || far[i] > maxIndex)
            throw imaging::RunError::subscriptOutOfRange();
    }
}

// Scratch space of one thread's windows: corner indices and the areas of one box size.
struct WindowScratch {
    std::vector<int> xs, xs1, ys, ys1;
    std::vector<double> areas;
};

// Steps 1 to 4 of a window's dimension; `areas` receives the totals per size (entries 1..6).
template <std::size_t N>
double windowDimension(const FloatGrid& g, double X, double Y, double windowSize, BoxSizes& boxSizes,
                       std::array<float, N>& areas) {
    for (int k = 1; k <= kSizeCount; ++k) boxSizes[k] = kBoxSizes[k - 1];
    thread_local WindowScratch scratch;
    std::vector<int>& xs = scratch.xs;
    std::vector<int>& xs1 = scratch.xs1;
    std::vector<int>& ys = scratch.ys;
    std::vector<int>& ys1 = scratch.ys1;
    for (int k = 1; k <= kSizeCount; ++k) {
        const int s = boxSizes[k];
        boxCorners(X, windowSize, s, g.maxX(), xs, xs1);
        boxCorners(Y, windowSize, s, g.maxY(), ys, ys1);
        checkCorners(g, xs, xs1, true);
        checkCorners(g, ys, ys1, false);
        // Each box's area, worked out row by row of the grid, then added up column by column
        // (x outer, y inner) as the boxes are counted.
        const std::size_t nx = xs.size(), ny = ys.size();
        scratch.areas.resize(nx * ny);
        double* const area = scratch.areas.data();
        // The rows of boxes on one vector path (a row holds few boxes: the path is picked once).
        lanes::dispatch([&](auto path) {
            for (std::size_t j = 0; j < ny; ++j)
                rowAreas<decltype(path)::kDoubles>(&g.cell(0, ys[j]), &g.cell(0, ys1[j]), xs.data(), xs1.data(), 0,
                                                   nx, s, area + j * nx);
        });
        double total = 0;
        for (std::size_t i = 0; i < nx; ++i)
            for (std::size_t j = 0; j < ny; ++j) total += area[j * nx + i];
        areas[k] = static_cast<float>(total);
    }
    // The shared least-squares slope of ln area against ln size (terms in double, sums in
    // extended precision rounded to double), as for the box-counting dimension.
    double lx[kSizeCount], ly[kSizeCount];
    for (int k = 1; k <= kSizeCount; ++k) {
        lx[k - 1] = std::log(static_cast<double>(boxSizes[k]));
        ly[k - 1] = imaging::checkedLog(static_cast<double>(areas[k]));
    }
    const double slope = imaging::leastSquaresSlope(lx, ly, kSizeCount);
    return 2 - slope;
}

}  // namespace

double boxSurfaceArea(const FloatGrid& gridA, int x, int y, int s) {
    if (!gridA.contains(x, y) || !gridA.contains(x + s, y + s)) throw imaging::RunError::subscriptOutOfRange();
    return boxArea(gridA.cell(x, y), gridA.cell(x + s, y), gridA.cell(x, y + s), gridA.cell(x + s, y + s), s);
}

void boxRowAreas(const float* top, const float* bottom, const int* xs, const int* xs1, std::size_t n, int s,
                 double* areas) {
    lanes::dispatch([&](auto path) { rowAreas<decltype(path)::kDoubles>(top, bottom, xs, xs1, 0, n, s, areas); });
}

double surfaceAreaDimension(const FloatGrid& gridA, double X, double Y, double windowSize, BoxSizes& boxSizes,
                            std::array<float, 201>& areaTable) {
    return windowDimension(gridA, X, Y, windowSize, boxSizes, areaTable);
}

double wholeWindowDimension(const FloatGrid& gridA, double windowSize, BoxSizes& boxSizes, imaging::Fit* fit) {
    std::array<float, 21> areas{};
    const double dimension = windowDimension(gridA, 0, 0, windowSize, boxSizes, areas);
    if (fit) *fit = surfaceAreaFit(boxSizes, areas.data());
    return dimension;
}

namespace {
// The points of a window's fit, as windowDimension takes them.
void surfacePoints(const BoxSizes& boxSizes, const float* areas, double* lx, double* ly) {
    for (int k = 1; k <= kSizeCount; ++k) {
        lx[k - 1] = std::log(static_cast<double>(boxSizes[k]));
        ly[k - 1] = imaging::checkedLog(static_cast<double>(areas[k]));
    }
}
}  // namespace

imaging::Fit surfaceAreaFit(const BoxSizes& boxSizes, const float* areas) {
    std::vector<double> lx(kSizeCount), ly(kSizeCount);
    surfacePoints(boxSizes, areas, lx.data(), ly.data());
    return imaging::fitLogLog(std::move(lx), std::move(ly), imaging::kSurfaceAreaDimension);
}

double surfaceAreaRSquared(const BoxSizes& boxSizes, const float* areas) {
    double lx[kSizeCount], ly[kSizeCount];
    surfacePoints(boxSizes, areas, lx, ly);
    const imaging::LeastSquaresLine line = imaging::leastSquaresLine(lx, ly, kSizeCount);
    return imaging::coefficientOfDetermination(lx, ly, kSizeCount, line.slope, line.intercept);
}

}  // namespace texturemeter
