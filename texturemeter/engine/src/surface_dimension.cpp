// Surface-area fractal dimension of the grey surface in gridA: the surface over a window is
// covered with boxes of six sizes, each box's surface approximated by two triangles, and the
// dimension is 2 minus the slope of ln(total area) against ln(box size).

#include <cmath>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace {

constexpr int kSizeCount = 6;
constexpr int16_t kBoxSizes[kSizeCount] = {1, 2, 4, 5, 10, 20};

// Area over the box whose corners have the heights z1 = (x, y), z2 = (x + s, y), z3 = (x, y + s)
// and z4 = (x + s, y + s), s being its side in the plane.
inline double boxArea(double z1, double z2, double z3, double z4, double s) {
    const double ss = s * s;
    // Squared edge lengths: dx^2 + dy^2 + dz^2 for each pair of corners.
    const double a2 = 0 + ss + (z1 - z3) * (z1 - z3);    // |P1 P3|^2
    const double b2 = ss + 0 + (z1 - z2) * (z1 - z2);    // |P1 P2|^2
    const double c2 = ss + ss + (z2 - z3) * (z2 - z3);   // |P2 P3|^2, the diagonal
    const double d2 = ss + 0 + (z4 - z3) * (z4 - z3);    // |P4 P3|^2
    const double e2 = 0 + ss + (z4 - z2) * (z4 - z2);    // |P4 P2|^2
    const double f1 = b2 - a2 + c2;
    const double t1 = std::sqrt(4 * c2 * b2 - f1 * f1) / 4;
    const double f2 = e2 - d2 + c2;
    const double t2 = std::sqrt(4 * c2 * e2 - f2 * f2) / 4;
    return t1 + t2;
}

#if defined(__SSE2__)
// boxArea for two boxes at once, lane by lane the very same operations (SSE2 has no fused
// multiply-add, and its square root is the correctly rounded one of the scalar code).
using Pair = double __attribute__((vector_size(16)));
inline Pair boxAreaPair(Pair z1, Pair z2, Pair z3, Pair z4, double side) {
    const Pair s = {side, side};
    const Pair zero = {0, 0}, four = {4, 4};
    const Pair ss = s * s;
    const Pair a2 = zero + ss + (z1 - z3) * (z1 - z3);
    const Pair b2 = ss + zero + (z1 - z2) * (z1 - z2);
    const Pair c2 = ss + ss + (z2 - z3) * (z2 - z3);
    const Pair d2 = ss + zero + (z4 - z3) * (z4 - z3);
    const Pair e2 = zero + ss + (z4 - z2) * (z4 - z2);
    const Pair f1 = b2 - a2 + c2;
    const Pair t1 = Pair(_mm_sqrt_pd(__m128d(four * c2 * b2 - f1 * f1))) / four;
    const Pair f2 = e2 - d2 + c2;
    const Pair t2 = Pair(_mm_sqrt_pd(__m128d(four * c2 * e2 - f2 * f2))) / four;
    return t1 + t2;
}
#endif

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
        near.push_back(imaging::roundToInt(v));
        far.push_back(imaging::roundToInt(v + s));
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
        for (std::size_t j = 0; j < ny; ++j) {
            const float* const top = &g.cell(0, ys[j]);
            const float* const bottom = &g.cell(0, ys1[j]);
            std::size_t i = 0;
#if defined(__SSE2__)
            for (; i + 1 < nx; i += 2) {
                const Pair z1 = {top[xs[i]], top[xs[i + 1]]};
                const Pair z2 = {top[xs1[i]], top[xs1[i + 1]]};
                const Pair z3 = {bottom[xs[i]], bottom[xs[i + 1]]};
                const Pair z4 = {bottom[xs1[i]], bottom[xs1[i + 1]]};
                const Pair two = boxAreaPair(z1, z2, z3, z4, s);
                area[i * ny + j] = two[0];
                area[(i + 1) * ny + j] = two[1];
            }
#endif
            for (; i < nx; ++i)
                area[i * ny + j] = boxArea(top[xs[i]], top[xs1[i]], bottom[xs[i]], bottom[xs1[i]], s);
        }
        double total = 0;
        for (std::size_t n = 0; n < nx * ny; ++n) total += area[n];
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
