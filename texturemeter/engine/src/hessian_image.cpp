// Hessian image: the curvature character of the grey surface (second differences along x and y
// combined into one angle) drawn as a grey level.

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/numeric.hpp"
#include "imaging/vector_lanes.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace lanes = imaging::lanes;

int hessianGrey(float fxx, float fyy) {
    const double xx = fxx, yy = fyy;
    const double m = std::sqrt(xx * xx + yy * yy);
    const double q = (xx - yy) * (xx - yy) + 4 * m * m;
    double t = xx + yy;
    if (t == 0) t = 0.0001;
    const double a = std::atan(std::sqrt(q) / t);
    const double v = 50 * (a + 1.7) + 70;
    return imaging::roundToInt(v);
}

namespace {

// The grey level is round(50 * (atan(r) + 1.7) + 70), a non-decreasing step function of the
// ratio r = sqrt(q) / t. Its steps lie where the level crosses k + 0.5, at r = tan(a_k). Away from
// every step the level is the number of steps below r; within a narrow band around a step (far
// wider than the few units in the last place by which the computed level can stray from the true
// one) the level is computed in full, so every result equals hessianGrey's.
class HessianSteps {
public:
    HessianSteps() {
        const double halfPi = std::acos(-1.0) / 2;
        constexpr double kBand = 1e-9;  // in the angle, around each step
        int n = 0;
        for (int k = 0; k <= 400; ++k) {
            const double a = (k + 0.5 - 70) / 50 - 1.7;
            if (a - kBand <= -halfPi + 1e-6) {
                first_ = k + 1;  // every r lies above this step
                continue;
            }
            if (a + kBand >= halfPi - 1e-6 || n == kSize - 2) break;
            lower_[n] = std::tan(a - kBand);
            upper_[n] = std::tan(a + kBand);
            ++n;
        }
        count_ = n;
        for (int i = n; i < kSize; ++i) lower_[i] = upper_[i] = HUGE_VAL;
        // Each bucket holds the ratios of an interval [least, most] (widened by the rounding of r
        // to single precision at its edges). Its base is the number of steps whose band lies
        // wholly below the interval. When the band of the step after the base-th one starts above
        // the interval, only that one step can lie among the bucket's ratios: the count for an r
        // of the bucket is the base, plus one when r is above that step's band. Buckets holding
        // more than one step, if any, count the steps one by one.
        for (int sign = 0; sign < 2; ++sign) {
            for (int i = 0; i < kBuckets; ++i) {
                const std::uint32_t b = ((bits(kLow) >> kShift) + std::uint32_t(i)) << kShift;
                const double lowEdge = i == 0 ? 0.0 : std::nextafter(fromBits(b), 0.0f);
                const double highEdge = i == kBuckets - 1 ? HUGE_VAL : fromBits(b + (1u << kShift));
                const double least = sign == 0 ? lowEdge : -highEdge;
                const double most = sign == 0 ? highEdge : -lowEdge;
                int below = 0;
                while (below < count_ && upper_[below] < least) ++below;
                const bool oneStepAtMost = below + 1 >= count_ || lower_[below + 1] > most;
                base_[sign * kBuckets + i] = static_cast<std::uint8_t>(oneStepAtMost ? below : kCountInFull);
            }
        }
    }

    // The level of the pair whose ratio sqrt(q) / t is r, worked out as hessianGrey does.
    int grey(double r, float fxx, float fyy) const {
        if (!std::isfinite(r)) return hessianGrey(fxx, fyy);
        const int base = base_[bucket(r)];
        if (base == kCountInFull) return countedGrey(r, fxx, fyy);
        // Steps whose band lies wholly below r, and whether r lies in the band of the next one.
        const int below = base + (upper_[base] < r);
        if (r >= lower_[below]) return hessianGrey(fxx, fyy);
        return first_ + below;
    }

private:
    // Buckets of |r| by its single-precision exponent and first six mantissa bits (each narrower
    // than the gap between two steps), one set for each sign; |r| below 2^-8 or above 2^12 falls
    // in the first or last bucket.
    static constexpr float kLow = 0x1p-8f, kHigh = 0x1.fffffep11f;
    static constexpr int kShift = 17;
    static constexpr int kBuckets = 20 << 6;

    static std::uint32_t bits(float f) {
        std::uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    }
    static float fromBits(std::uint32_t b) {
        float f;
        std::memcpy(&f, &b, sizeof f);
        return f;
    }
    static int bucket(double r) {
        // Clamped before the conversion, so no ratio is out of single precision's range.
        const float f = static_cast<float>(std::min(std::max(std::fabs(r), double(kLow)), double(kHigh)));
        const int i = static_cast<int>((bits(f) >> kShift) - (bits(kLow) >> kShift));
        return r < 0 ? kBuckets + i : i;
    }

    // The steps one by one, for buckets the steps crowd in.
    int countedGrey(double r, float fxx, float fyy) const {
        int below = 0;
        while (below < count_ && upper_[below] < r) ++below;
        if (below < count_ && r >= lower_[below]) return hessianGrey(fxx, fyy);
        return first_ + below;
    }

    static constexpr int kSize = 258;  // room for every step and two past the last
    static constexpr int kCountInFull = 255;
    std::array<std::uint8_t, 2 * kBuckets> base_{};
    std::array<double, kSize> lower_{}, upper_{};
    int count_ = 0;
    int first_ = 0;
};

// One row's second differences and ratios: for the n pixels from x0, fxx and fyy (each stored once
// in single precision) and r = sqrt(q) / t, the operations of hessianGrey in its order, N pixels
// per step (1 on the scalar path, 2 on sse2, 4 on avx2) and the last few one at a time. A ratio
// that is not finite is worked out again from fxx and fyy, so NaN payloads do not matter.
template <int N>
[[gnu::always_inline]] inline void rowRatios(const float* row, const float* above, const float* below, int d, int x0,
                                             int i, int n, float* fxx, float* fyy, double* r) {
    using D = typename lanes::Doubles<N>::D;
    using F = typename lanes::Doubles<N>::F;
    const auto heights = [](const float* p, D& v) {
        F f;
        lanes::load(f, p);
        lanes::widen(f, v);
    };
    for (; i + N <= n; i += N) {
        const int x = x0 + i;
        // Second differences in double, each stored once in single precision.
        D centre, left, right, up, down;
        heights(row + x, centre);
        heights(row + x + d, right);
        heights(row + x - d, left);
        heights(below + x, down);
        heights(above + x, up);
        const D twice = 2 * centre;
        const F fx = __builtin_convertvector(right - twice + left, F);
        const F fy = __builtin_convertvector(down - twice + up, F);
        lanes::store(fxx + i, fx);
        lanes::store(fyy + i, fy);
        D xx, yy;
        lanes::widen(fx, xx);
        lanes::widen(fy, yy);
        D m;
        lanes::squareRoot(xx * xx + yy * yy, m);
        const D q = (xx - yy) * (xx - yy) + 4 * m * m;
        D t = xx + yy;
        t = t == 0 ? D{} + 0.0001 : t;
        D root;
        lanes::squareRoot(q, root);
        lanes::store(r + i, root / t);
    }
    if constexpr (N > 1) rowRatios<1>(row, above, below, d, x0, i, n, fxx, fyy, r);
}

}  // namespace

void hessianImage(const FloatGrid& gridB, int extentX, int extentY, int hessianDistance, PictureSurface& hessianPicture) {
    static const HessianSteps steps;
    const int d = hessianDistance;
    if (extentX > gridB.maxX() || extentY > gridB.maxY()) throw imaging::RunError::subscriptOutOfRange();
    const int x0 = d + 1, x1 = extentX - d;
    if (x1 < x0) return;
    // One row of second differences and ratios at a time.
    const int n = x1 - x0 + 1;
    thread_local std::vector<float> fxx, fyy;
    thread_local std::vector<double> ratios;
    if (ratios.size() < std::size_t(n)) {
        fxx.resize(n);
        fyy.resize(n);
        ratios.resize(n);
    }
    float* const fx = fxx.data();
    float* const fy = fyy.data();
    double* const r = ratios.data();
    for (int y = d + 1; y <= extentY - d; ++y) {
        const float* row = &gridB.cell(0, y);
        const float* above = &gridB.cell(0, y - d);
        const float* below = &gridB.cell(0, y + d);
        lanes::dispatch(
            [&](auto path) { rowRatios<decltype(path)::kDoubles>(row, above, below, d, x0, 0, n, fx, fy, r); });
        for (int i = 0; i < n; ++i)
            hessianPicture.psetAt(x0 + i, y, imaging::greyColour(steps.grey(r[i], fx[i], fy[i])));
    }
}

}  // namespace texturemeter
