// Random texture sampling: probes the grey height field at random places with square frames,
// straight lines, boxes and rings, giving the twelve numbers of the sampling line.

#include <cmath>

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

// Darkness and brightness of a height, each rounded to single precision.
inline float darkness(float h) { return static_cast<float>((256 - static_cast<double>(h)) / 256); }
inline float brightness(float h) { return static_cast<float>(static_cast<double>(h) / 256); }

// Share of frames of half side r that are dark around a bright inside.
float frameShare(const FloatGrid& h, int r, int16_t regionSide, imaging::UniformRandom& random) {
    int hits = 0;
    for (int i = 0; i < 200; ++i) {
        const Centre c = randomCentre(regionSide, random);
        float p = 0.0f;
        for (int x = c.cx - r + 1; x <= c.cx + r - 1; ++x) p += darkness(h(x, c.cy - r - 1));   // top row
        for (int x = c.cx - r + 1; x <= c.cx + r - 1; ++x) p += darkness(h(x, c.cy + r + 1));   // bottom row
        for (int y = c.cy - r + 1; y <= c.cy + r - 1; ++y) p += darkness(h(c.cx - r, y));       // left column
        for (int y = c.cy - r + 1; y <= c.cy + r - 1; ++y) p += darkness(h(c.cx + r, y));       // right column
        float q = 0.0f;
        int m = 0;
        for (int x = c.cx - r + 2; x <= c.cx + r - 2; ++x) {
            for (int y = c.cy - r + 2; y <= c.cy + r - 2; ++y) {
                q += brightness(h(x, y));
                ++m;
            }
        }
        if (static_cast<double>(p) > r * 8 / 2 * 0.6 && static_cast<double>(q) > m * 0.6) ++hits;
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
            const int px = imaging::roundToInt(c.cx + cs * k);
            const int py = imaging::roundToInt(c.cy + sn * k);
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
    for (int m = 1; m <= 200; ++m) {
        const Centre c = randomCentre(regionSide, random);
        float sum = 0.0f;
        for (int x = c.cx - 10; x <= c.cx + 10; ++x)
            for (int y = c.cy - 10; y <= c.cy + 10; ++y) sum += darkness(h(x, y));
        d[m] = sum;
        total += sum;
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
