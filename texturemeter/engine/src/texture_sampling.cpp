// Random texture sampling: probes the grey height field at random places with square frames,
// straight lines, boxes and rings, giving the twelve numbers of the sampling line.

#include <cmath>
#include <cstddef>
#include <type_traits>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace {

constexpr double kPi = 3.141593;

struct Centre {
    int cx, cy;
};

// Two fresh numbers give a centre in 20 .. side - 21.
Centre randomCentre(int16_t regionSide, imaging::UniformRandom& random) {
    const double span = imaging::sub16(regionSide, 40);
    const double u = random.next();
    const int cx = static_cast<int>(std::floor(u * span)) + 20;
    const double u2 = random.next();
    const int cy = static_cast<int>(std::floor(u2 * span)) + 20;
    return {cx, cy};
}

// roundToInt without the library call where it is plain: for 0 <= v < 2^51 the addition of 2^52
// rounds v to a whole number, ties to even, and the subtraction is exact.
inline int nearestInt(double v) {
    if (v >= 0 && v < 0x1p51) return static_cast<int>((v + 0x1p52) - 0x1p52);
    return imaging::roundToInt(v);
}

// Darkness and brightness of a height, each rounded to single precision.
inline float darkness(float h) { return static_cast<float>((256 - static_cast<double>(h)) / 256); }
inline float brightness(float h) { return static_cast<float>(static_cast<double>(h) / 256); }

// Probes are measured up to four at a time: each keeps its own sums, added in its own order, and
// the four independent sums keep the processor busy while each addition waits for the previous
// one. Centres are drawn one by one as before; a centre whose probe would leave the grid ends the
// group: the group is measured first, then that probe alone with checked reads, so an error
// comes after the same draws as ever.
constexpr int kGroup = 4;

struct ProbeGroup {
    const float* centres[kGroup];  // the centre cells of the probes inside the grid
    int count = 0;
    bool outsideProbe = false;     // the group ended at a probe leaving the grid
    Centre outside{};
};

// Draws the centres of up to `left` (at most four) probes reaching mx cells to each side and my
// cells up and down from their centre.
ProbeGroup drawGroup(const FloatGrid& h, int mx, int my, int left, int16_t regionSide, imaging::UniformRandom& random) {
    ProbeGroup g;
    const std::size_t stride = std::size_t(h.maxX()) + 1;
    while (g.count < kGroup && g.count < left) {
        const Centre c = randomCentre(regionSide, random);
        if (c.cx - mx < 0 || c.cy - my < 0 || c.cx + mx > h.maxX() || c.cy + my > h.maxY()) {
            g.outsideProbe = true;
            g.outside = c;
            break;
        }
        g.centres[g.count++] = &h.cell(0, 0) + std::size_t(c.cy) * stride + std::size_t(c.cx);
    }
    return g;
}

// Whether each frame of half side r around the K centres is dark around a bright inside.
template <int K, typename Heights>
void darkFrames(Heights at, int r, bool* hit) {
    float p[K] = {};
    for (int dx = -r + 1; dx <= r - 1; ++dx)  // top row
#pragma GCC unroll 4
        for (int l = 0; l < K; ++l) p[l] += darkness(at(l, dx, -r - 1));
    for (int dx = -r + 1; dx <= r - 1; ++dx)  // bottom row
#pragma GCC unroll 4
        for (int l = 0; l < K; ++l) p[l] += darkness(at(l, dx, r + 1));
    for (int dy = -r + 1; dy <= r - 1; ++dy)  // left column
#pragma GCC unroll 4
        for (int l = 0; l < K; ++l) p[l] += darkness(at(l, -r, dy));
    for (int dy = -r + 1; dy <= r - 1; ++dy)  // right column
#pragma GCC unroll 4
        for (int l = 0; l < K; ++l) p[l] += darkness(at(l, r, dy));
    float q[K] = {};
    int m = 0;
    for (int dx = -r + 2; dx <= r - 2; ++dx) {
        for (int dy = -r + 2; dy <= r - 2; ++dy) {
#pragma GCC unroll 4
            for (int l = 0; l < K; ++l) q[l] += brightness(at(l, dx, dy));
            ++m;
        }
    }
    for (int l = 0; l < K; ++l) hit[l] = static_cast<double>(p[l]) > r * 8 / 2 * 0.6 && static_cast<double>(q[l]) > m * 0.6;
}

// Reads around the centre cells of a group, unchecked (the probes lie inside the grid).
struct GroupHeights {
    const float* const* centres;
    std::ptrdiff_t stride;
    float operator()(int l, int dx, int dy) const { return centres[l][dy * stride + dx]; }
};

// The sums of the group's probes: four at a time, or one by one for a smaller group.
template <typename Measure>
void measureGroup(const ProbeGroup& g, Measure measure) {
    if (g.count == kGroup) {
        measure(std::integral_constant<int, kGroup>(), g.centres, 0);
    } else {
        for (int l = 0; l < g.count; ++l) measure(std::integral_constant<int, 1>(), g.centres + l, l);
    }
}

// Share of frames of half side r that are dark around a bright inside.
float frameShare(const FloatGrid& h, int r, int16_t regionSide, imaging::UniformRandom& random) {
    const std::ptrdiff_t stride = h.maxX() + 1;
    int hits = 0;
    for (int done = 0; done < 200;) {
        const ProbeGroup g = drawGroup(h, r, r + 1, 200 - done, regionSide, random);
        measureGroup(g, [&](auto k, const float* const* centres, int) {
            constexpr int K = decltype(k)::value;
            bool hit[K];
            darkFrames<K>(GroupHeights{centres, stride}, r, hit);
            for (int l = 0; l < K; ++l) hits += hit[l];
        });
        done += g.count;
        if (g.outsideProbe) {
            const Centre c = g.outside;
            bool hit[1];
            darkFrames<1>([&](int, int dx, int dy) { return h(c.cx + dx, c.cy + dy); }, r, hit);
            hits += hit[0];
            ++done;
        }
    }
    return static_cast<float>(hits / 200.0);
}

// Share of random straight lines through a dark centre with more than 3 dark points.
double darkLineShare(const FloatGrid& h, int16_t regionSide, imaging::UniformRandom& random) {
    int hits = 0;
    for (int i = 0; i < 200; ++i) {
        const Centre c = randomCentre(regionSide, random);
        const float centre = h(c.cx, c.cy);
        const float theta = static_cast<float>(random.next() * 360);
        const double t = kPi / 180 * static_cast<double>(theta);
        const double cs = std::cos(t), sn = std::sin(t);
        int n = 0;
        for (int k = -19; k <= 19; ++k) {
            const int px = nearestInt(c.cx + cs * k);
            const int py = nearestInt(c.cy + sn * k);
            const float v = h(px, py);
            if (centre < 50 && v < 50) ++n;
        }
        if (n > 3) ++hits;
    }
    return hits / 200.0;
}

// Mean and population standard deviation of the darkness of 200 random 21 x 21 boxes.
void boxDarkness(const FloatGrid& h, int16_t regionSide, imaging::UniformRandom& random, TextureSampling& s) {
    float d[201];
    float total = 0.0f;
    const std::ptrdiff_t stride = h.maxX() + 1;
    // The darkness of the 21 x 21 cells around each of K centres, column by column.
    const auto boxSums = [](auto k, auto at, float* sums) {
        constexpr int K = decltype(k)::value;
        float sum[K] = {};
        for (int dx = -10; dx <= 10; ++dx)
            for (int dy = -10; dy <= 10; ++dy)
#pragma GCC unroll 4
                for (int l = 0; l < K; ++l) sum[l] += darkness(at(l, dx, dy));
        for (int l = 0; l < K; ++l) sums[l] = sum[l];
    };
    for (int m = 1; m <= 200;) {
        const ProbeGroup g = drawGroup(h, 10, 10, 201 - m, regionSide, random);
        float sums[kGroup + 1];
        measureGroup(g, [&](auto k, const float* const* centres, int first) {
            boxSums(k, GroupHeights{centres, stride}, sums + first);
        });
        int count = g.count;
        if (g.outsideProbe) {
            const Centre c = g.outside;
            boxSums(std::integral_constant<int, 1>(), [&](int, int dx, int dy) { return h(c.cx + dx, c.cy + dy); },
                    sums + count);
            ++count;
        }
        for (int l = 0; l < count; ++l, ++m) {
            d[m] = sums[l];
            total += sums[l];
        }
    }
    const double mean = static_cast<double>(total) / 200;
    double squares = 0;
    for (int m = 1; m <= 200; ++m) {
        const double dev = static_cast<double>(d[m]) - mean;
        squares += dev * dev;
    }
    s.boxDarknessMean = mean;
    s.boxDarknessSd = std::sqrt(squares / 200);
}

// Brightness summed over 50 jittered points on each of 19 rings around the middle of the square.
void ringBrightness(const FloatGrid& h, int16_t regionSide, imaging::UniformRandom& random, TextureSampling& s) {
    const double middle = regionSide / 2.0;
    float b[20] = {};
    for (int j = 1; j <= 19; ++j) {
        const int R = 5 + 3 * (j - 1);
        for (int i = 0; i < 50; ++i) {
            // The ring angle stays in double (only the line probe keeps its angle in single).
            const double theta = random.next() * 360;
            const double t = kPi / 180 * theta;
            const double u1 = random.next();
            const int px = static_cast<int>(std::floor(middle + std::cos(t) * (R + (0.5 - u1) * 3)));
            const double u2 = random.next();
            const int py = static_cast<int>(std::floor(middle + std::sin(t) * (R + (0.5 - u2) * 3)));
            b[j] += brightness(h(px, py));
        }
    }
    const auto average = [&](int j) {
        return (static_cast<double>(b[j]) + static_cast<double>(b[j + 1]) + static_cast<double>(b[j + 2])) / 3;
    };
    s.ringBrightnessR5to11 = average(1);
    s.ringBrightnessR23to29 = average(7);
    s.ringBrightnessR41to47 = average(13);
}

}  // namespace

TextureSampling randomTextureSampling(const FloatGrid& gridA, double heightSum, long long heightCount,
                                   int16_t regionSide, imaging::UniformRandom& random) {
    random.reseedFromClock();
    TextureSampling s;
    s.meanBrightness = (heightSum / static_cast<double>(heightCount)) / 256;
    float* const frameShares[5] = {&s.darkFrameShareR2, &s.darkFrameShareR4, &s.darkFrameShareR6,
                                   &s.darkFrameShareR8, &s.darkFrameShareR10};
    for (int k = 1; k <= 5; ++k) *frameShares[k - 1] = frameShare(gridA, 2 * k, regionSide, random);
    s.darkLineShare = darkLineShare(gridA, regionSide, random);
    boxDarkness(gridA, regionSide, random, s);
    ringBrightness(gridA, regionSide, random, s);
    return s;
}

}  // namespace texturemeter
