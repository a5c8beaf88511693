// Hessian image: the curvature character of the grey surface (second differences along x and y
// combined into one angle) drawn as a grey level.

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "imaging/colour.hpp"
#include "imaging/cpu.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

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
// in single precision) and r = sqrt(q) / t, the operations of hessianGrey in its order.
inline double ratioOf(float fxx, float fyy) {
    const double xx = fxx, yy = fyy;
    const double m = std::sqrt(xx * xx + yy * yy);
    const double q = (xx - yy) * (xx - yy) + 4 * m * m;
    double t = xx + yy;
    if (t == 0) t = 0.0001;
    return std::sqrt(q) / t;
}

inline void rowRatiosFrom(int i, const float* row, const float* above, const float* below, int d, int x0, int n,
                          float* fxx, float* fyy, double* r) {
    for (; i < n; ++i) {
        const int x = x0 + i;
        const double centre = row[x];
        // Second differences in double, each stored once in single precision.
        fxx[i] = static_cast<float>(static_cast<double>(row[x + d]) - 2 * centre + static_cast<double>(row[x - d]));
        fyy[i] = static_cast<float>(static_cast<double>(below[x]) - 2 * centre + static_cast<double>(above[x]));
        r[i] = ratioOf(fxx[i], fyy[i]);
    }
}

#if defined(__SSE2__)
// Two pixels at a time: lane by lane the same IEEE operations (no fused multiply-add; the square
// root and the division are the correctly rounded ones of the scalar code). A ratio that is not
// finite is worked out again from fxx and fyy, so NaN payloads do not matter.
void rowRatios(const float* row, const float* above, const float* below, int d, int x0, int n, float* fxx,
               float* fyy, double* r) {
    const auto load2 = [](const float* p) {
        return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    };
    const __m128d two = _mm_set1_pd(2), four = _mm_set1_pd(4), zero = _mm_setzero_pd(), tiny = _mm_set1_pd(0.0001);
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const int x = x0 + i;
        const __m128d twice = _mm_mul_pd(two, load2(row + x));
        const __m128 fx = _mm_cvtpd_ps(_mm_add_pd(_mm_sub_pd(load2(row + x + d), twice), load2(row + x - d)));
        const __m128 fy = _mm_cvtpd_ps(_mm_add_pd(_mm_sub_pd(load2(below + x), twice), load2(above + x)));
        _mm_storel_pi(reinterpret_cast<__m64*>(fxx + i), fx);
        _mm_storel_pi(reinterpret_cast<__m64*>(fyy + i), fy);
        const __m128d xx = _mm_cvtps_pd(fx), yy = _mm_cvtps_pd(fy);
        const __m128d m = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(xx, xx), _mm_mul_pd(yy, yy)));
        const __m128d diff = _mm_sub_pd(xx, yy);
        const __m128d q = _mm_add_pd(_mm_mul_pd(diff, diff), _mm_mul_pd(_mm_mul_pd(four, m), m));
        __m128d t = _mm_add_pd(xx, yy);
        const __m128d isZero = _mm_cmpeq_pd(t, zero);
        t = _mm_or_pd(_mm_andnot_pd(isZero, t), _mm_and_pd(isZero, tiny));
        _mm_storeu_pd(r + i, _mm_div_pd(_mm_sqrt_pd(q), t));
    }
    rowRatiosFrom(i, row, above, below, d, x0, n, fxx, fyy, r);
}

__attribute__((target("avx2"))) inline __m256d load4(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

// The same four pixels at a time.
__attribute__((target("avx2"))) void rowRatiosWide(const float* row, const float* above, const float* below, int d,
                                                    int x0, int n, float* fxx, float* fyy, double* r) {
    const __m256d two = _mm256_set1_pd(2), four = _mm256_set1_pd(4), zero = _mm256_setzero_pd(),
                  tiny = _mm256_set1_pd(0.0001);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const int x = x0 + i;
        const __m256d twice = _mm256_mul_pd(two, load4(row + x));
        const __m128 fx =
            _mm256_cvtpd_ps(_mm256_add_pd(_mm256_sub_pd(load4(row + x + d), twice), load4(row + x - d)));
        const __m128 fy = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_sub_pd(load4(below + x), twice), load4(above + x)));
        _mm_storeu_ps(fxx + i, fx);
        _mm_storeu_ps(fyy + i, fy);
        const __m256d xx = _mm256_cvtps_pd(fx), yy = _mm256_cvtps_pd(fy);
        const __m256d m = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(xx, xx), _mm256_mul_pd(yy, yy)));
        const __m256d diff = _mm256_sub_pd(xx, yy);
        const __m256d q = _mm256_add_pd(_mm256_mul_pd(diff, diff), _mm256_mul_pd(_mm256_mul_pd(four, m), m));
        __m256d t = _mm256_add_pd(xx, yy);
        t = _mm256_blendv_pd(t, tiny, _mm256_cmp_pd(t, zero, _CMP_EQ_OQ));
        _mm256_storeu_pd(r + i, _mm256_div_pd(_mm256_sqrt_pd(q), t));
    }
    rowRatiosFrom(i, row, above, below, d, x0, n, fxx, fyy, r);
}
#else
void rowRatios(const float* row, const float* above, const float* below, int d, int x0, int n, float* fxx,
               float* fyy, double* r) {
    rowRatiosFrom(0, row, above, below, d, x0, n, fxx, fyy, r);
}
#endif

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
#if defined(__SSE2__)
    const bool wide = imaging::wideVectorsAvailable();
#endif
    for (int y = d + 1; y <= extentY - d; ++y) {
        const float* row = &gridB.cell(0, y);
        const float* above = &gridB.cell(0, y - d);
        const float* below = &gridB.cell(0, y + d);
#if defined(__SSE2__)
        if (wide)
            rowRatiosWide(row, above, below, d, x0, n, fx, fy, r);
        else
#endif
            rowRatios(row, above, below, d, x0, n, fx, fy, r);
        for (int i = 0; i < n; ++i)
            hessianPicture.psetAt(x0 + i, y, imaging::greyColour(steps.grey(r[i], fx[i], fy[i])));
    }
}

}  // namespace texturemeter
