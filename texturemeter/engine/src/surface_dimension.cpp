// Surface-area fractal dimension of the grey surface in gridA: the surface over a window is
// covered with boxes of six sizes, each box's surface approximated by two triangles, and the
// dimension is 2 minus the slope of ln(total area) against ln(box size).

#include <cmath>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "imaging/cpu.hpp"
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

// The areas of one row of boxes: box i has the corners (xs[i], top), (xs1[i], top),
// (xs[i], bottom) and (xs1[i], bottom).
inline void rowAreasFrom(std::size_t i, const float* top, const float* bottom, const int* xs, const int* xs1,
                         std::size_t nx, double side, double* area) {
    for (; i < nx; ++i) area[i] = boxArea(top[xs[i]], top[xs1[i]], bottom[xs[i]], bottom[xs1[i]], side);
}

#if defined(__SSE2__)
// boxArea for two boxes at once, lane by lane the very same operations (SSE2 has no fused
// multiply-add, and its square root is the correctly rounded one of the scalar code).
inline __m128d boxAreaPair(__m128d z1, __m128d z2, __m128d z3, __m128d z4, double side) {
    const __m128d s = _mm_set1_pd(side), zero = _mm_setzero_pd(), four = _mm_set1_pd(4);
    const __m128d ss = _mm_mul_pd(s, s);
    const auto square = [](__m128d v) { return _mm_mul_pd(v, v); };
    const __m128d a2 = _mm_add_pd(_mm_add_pd(zero, ss), square(_mm_sub_pd(z1, z3)));
    const __m128d b2 = _mm_add_pd(_mm_add_pd(ss, zero), square(_mm_sub_pd(z1, z2)));
    const __m128d c2 = _mm_add_pd(_mm_add_pd(ss, ss), square(_mm_sub_pd(z2, z3)));
    const __m128d d2 = _mm_add_pd(_mm_add_pd(ss, zero), square(_mm_sub_pd(z4, z3)));
    const __m128d e2 = _mm_add_pd(_mm_add_pd(zero, ss), square(_mm_sub_pd(z4, z2)));
    const __m128d f1 = _mm_add_pd(_mm_sub_pd(b2, a2), c2);
    const __m128d t1 = _mm_div_pd(_mm_sqrt_pd(_mm_sub_pd(_mm_mul_pd(_mm_mul_pd(four, c2), b2), square(f1))), four);
    const __m128d f2 = _mm_add_pd(_mm_sub_pd(e2, d2), c2);
    const __m128d t2 = _mm_div_pd(_mm_sqrt_pd(_mm_sub_pd(_mm_mul_pd(_mm_mul_pd(four, c2), e2), square(f2))), four);
    return _mm_add_pd(t1, t2);
}

// Two heights: adjacent cells in one load, others one by one.
inline __m128d heightPair(const float* row, const int* x) {
    if (x[1] == x[0] + 1) return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x[0]))));
    return _mm_cvtps_pd(_mm_setr_ps(row[x[0]], row[x[1]], 0, 0));
}

void rowAreas(const float* top, const float* bottom, const int* xs, const int* xs1, std::size_t nx, double side,
              double* area) {
    std::size_t i = 0;
    for (; i + 2 <= nx; i += 2) {
        const __m128d z1 = heightPair(top, xs + i), z2 = heightPair(top, xs1 + i);
        const __m128d z3 = heightPair(bottom, xs + i), z4 = heightPair(bottom, xs1 + i);
        _mm_storeu_pd(area + i, boxAreaPair(z1, z2, z3, z4, side));
    }
    rowAreasFrom(i, top, bottom, xs, xs1, nx, side, area);
}

// Four heights: four adjacent cells (the corners of the smallest boxes) in one load.
__attribute__((target("avx2"))) inline __m256d heightQuad(const float* row, const int* x) {
    if (x[1] == x[0] + 1 && x[2] == x[0] + 2 && x[3] == x[0] + 3) return _mm256_cvtps_pd(_mm_loadu_ps(row + x[0]));
    return _mm256_cvtps_pd(_mm_setr_ps(row[x[0]], row[x[1]], row[x[2]], row[x[3]]));
}

// The same four boxes at a time.
__attribute__((target("avx2"))) void rowAreasWide(const float* top, const float* bottom, const int* xs,
                                                   const int* xs1, std::size_t nx, double side, double* area) {
    const __m256d s = _mm256_set1_pd(side), zero = _mm256_setzero_pd(), four = _mm256_set1_pd(4);
    const __m256d ss = _mm256_mul_pd(s, s);
    std::size_t i = 0;
    for (; i + 4 <= nx; i += 4) {
        const __m256d z1 = heightQuad(top, xs + i), z2 = heightQuad(top, xs1 + i);
        const __m256d z3 = heightQuad(bottom, xs + i), z4 = heightQuad(bottom, xs1 + i);
        const __m256d d13 = _mm256_sub_pd(z1, z3), d12 = _mm256_sub_pd(z1, z2), d23 = _mm256_sub_pd(z2, z3);
        const __m256d d43 = _mm256_sub_pd(z4, z3), d42 = _mm256_sub_pd(z4, z2);
        const __m256d a2 = _mm256_add_pd(_mm256_add_pd(zero, ss), _mm256_mul_pd(d13, d13));
        const __m256d b2 = _mm256_add_pd(_mm256_add_pd(ss, zero), _mm256_mul_pd(d12, d12));
        const __m256d c2 = _mm256_add_pd(_mm256_add_pd(ss, ss), _mm256_mul_pd(d23, d23));
        const __m256d d2 = _mm256_add_pd(_mm256_add_pd(ss, zero), _mm256_mul_pd(d43, d43));
        const __m256d e2 = _mm256_add_pd(_mm256_add_pd(zero, ss), _mm256_mul_pd(d42, d42));
        const __m256d f1 = _mm256_add_pd(_mm256_sub_pd(b2, a2), c2);
        const __m256d t1 = _mm256_div_pd(
            _mm256_sqrt_pd(_mm256_sub_pd(_mm256_mul_pd(_mm256_mul_pd(four, c2), b2), _mm256_mul_pd(f1, f1))), four);
        const __m256d f2 = _mm256_add_pd(_mm256_sub_pd(e2, d2), c2);
        const __m256d t2 = _mm256_div_pd(
            _mm256_sqrt_pd(_mm256_sub_pd(_mm256_mul_pd(_mm256_mul_pd(four, c2), e2), _mm256_mul_pd(f2, f2))), four);
        _mm256_storeu_pd(area + i, _mm256_add_pd(t1, t2));
    }
    rowAreasFrom(i, top, bottom, xs, xs1, nx, side, area);
}
#else
void rowAreas(const float* top, const float* bottom, const int* xs, const int* xs1, std::size_t nx, double side,
              double* area) {
    rowAreasFrom(0, top, bottom, xs, xs1, nx, side, area);
}
#endif

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
        for (std::size_t j = 0; j < ny; ++j)
            boxRowAreas(&g.cell(0, ys[j]), &g.cell(0, ys1[j]), xs.data(), xs1.data(), nx, s, area + j * nx);
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
#if defined(__SSE2__)
    if (imaging::wideVectorsAvailable()) return rowAreasWide(top, bottom, xs, xs1, n, s, areas);
#endif
    rowAreas(top, bottom, xs, xs1, n, s, areas);
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
