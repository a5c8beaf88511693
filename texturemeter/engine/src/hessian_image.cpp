// Hessian image: the curvature character of the grey surface (second differences along x and y
// combined into one angle) drawn as a grey level.

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "imaging/colour.hpp"
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
            if (a + kBand >= halfPi - 1e-6 || n == kSize) break;
            lower_[n] = std::tan(a - kBand);
            upper_[n] = std::tan(a + kBand);
            ++n;
        }
        count_ = n;
        for (int i = n; i < kSize; ++i) lower_[i] = upper_[i] = HUGE_VAL;
        // Each bucket starts from the steps below every r it holds, less one for the rounding of
        // r to single precision at the bucket's edge.
        for (int sign = 0; sign < 2; ++sign) {
            for (int i = 0; i < kBuckets; ++i) {
                std::uint32_t b = (bits(kLow) >> kShift) + std::uint32_t(i);
                b <<= kShift;
                float edge;
                std::memcpy(&edge, &b, sizeof edge);
                // The smallest r of the bucket: its lower edge for r > 0, its upper edge for r < 0.
                double least = i == 0 ? 0.0 : edge;
                if (sign == 1) {
                    std::uint32_t next = b + (1u << kShift);
                    float upperEdge;
                    std::memcpy(&upperEdge, &next, sizeof upperEdge);
                    least = i == kBuckets - 1 ? -HUGE_VAL : -static_cast<double>(upperEdge);
                }
                int below = 0;
                while (below < count_ && upper_[below] < least) ++below;
                start_[sign * kBuckets + i] = static_cast<std::uint8_t>(below > 0 ? below - 1 : 0);
            }
        }
    }

    int grey(float fxx, float fyy) const {
        const double xx = fxx, yy = fyy;
        const double m = std::sqrt(xx * xx + yy * yy);
        const double q = (xx - yy) * (xx - yy) + 4 * m * m;
        double t = xx + yy;
        if (t == 0) t = 0.0001;
        const double r = std::sqrt(q) / t;
        if (!std::isfinite(r)) return hessianGrey(fxx, fyy);
        // Steps whose band lies wholly below r: the bucket of r gives a count at most two short.
        int below = start_[bucket(r)];
        below += upper_[below] < r;
        below += upper_[below] < r;
        if ((below > 0 && !(upper_[below - 1] < r)) || (below < count_ && upper_[below] < r)) {
            below = 0;  // a bucket with more steps than expected: count them one by one
            while (below < count_ && upper_[below] < r) ++below;
        }
        if (below < count_ && r >= lower_[below]) return hessianGrey(fxx, fyy);
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
    static int bucket(double r) {
        // Clamped before the conversion, so no ratio is out of single precision's range.
        const float f = static_cast<float>(std::min(std::max(std::fabs(r), double(kLow)), double(kHigh)));
        const int i = static_cast<int>((bits(f) >> kShift) - (bits(kLow) >> kShift));
        return r < 0 ? kBuckets + i : i;
    }

    static constexpr int kSize = 256;
    std::array<std::uint8_t, 2 * kBuckets> start_{};
    std::array<double, kSize> lower_{}, upper_{};
    int count_ = 0;
    int first_ = 0;
};

}  // namespace

void hessianImage(const FloatGrid& gridB, int extentX, int extentY, int hessianDistance, PictureSurface& hessianPicture) {
    static const HessianSteps steps;
    const int d = hessianDistance;
    if (extentX > gridB.maxX() || extentY > gridB.maxY()) throw imaging::RunError::subscriptOutOfRange();
    const int x0 = d + 1, x1 = extentX - d;
    if (x1 < x0) return;
    for (int y = d + 1; y <= extentY - d; ++y) {
        const float* row = &gridB.cell(0, y);
        const float* above = &gridB.cell(0, y - d);
        const float* below = &gridB.cell(0, y + d);
        for (int x = x0; x <= x1; ++x) {
            const double centre = row[x];
            // Second differences in double, each stored once in single precision.
            const float fxx = static_cast<float>(static_cast<double>(row[x + d]) - 2 * centre +
                                                 static_cast<double>(row[x - d]));
            const float fyy = static_cast<float>(static_cast<double>(below[x]) - 2 * centre +
                                                 static_cast<double>(above[x]));
            hessianPicture.psetAt(x, y, imaging::greyColour(steps.grey(fxx, fyy)));
        }
    }
}

}  // namespace texturemeter
