// Colour-tone statistics and random texture sampling against their plain transcriptions (kept
// below as they were before the grey table, the row pointers, the four-cell histogram and the
// probes measured four at a time).
// - Colour tone: grey and coloured pictures, pictures smaller than the square (white outside),
//   every side up to 499 and the error sides. Deviation and spread bit for bit, the load, every
//   cell of both grids and the error texts must agree.
// - Sampling: photographs, structured and random height grids, sides whose probes reach past the
//   grid. All twelve numbers bit for bit, the error texts, and the generator's next number (the
//   same draws in the same order).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/vector_paths.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

namespace plain {

    ColourToneResult colourToneStatistics(const PictureSurface& monochromeImage, int16_t regionSide, FloatGrid& gridA,
                                          FloatGrid& gridB) {
        ColourToneResult r;
        // Sampling as the height-field load, with the unscaled grey into gridB and the heights summed.
        const int16_t end = imaging::add16(regionSide, 1);
        if (end > imaging::kGridMax) throw imaging::RunError::subscriptOutOfRange();
        const double side = regionSide;
        double heightSum = 0;
        int ix = -1, iy = -1;
        for (int y = 0; y <= end; ++y) {
            ++iy;
            ix = -1;
            for (int x = 0; x <= end; ++x) {
                ++ix;
                ++r.load.pointCount;
                const double g = imaging::greyOf(monochromeImage.pointAt(x, y));
                const double h = g / 255 * side;
                gridA.cell(ix, iy) = static_cast<float>(h);
                gridB.cell(ix, iy) = static_cast<float>(g);
                heightSum += h;
            }
        }
        r.load.extentX = ix - 1;
        r.load.extentY = iy - 1;
        if (r.load.pointCount == 0) throw imaging::RunError::divisionByZero();
        const double mean = heightSum / static_cast<double>(r.load.pointCount);

        // Deviation and histogram over the regionSide x regionSide cells from (0, 0).
        double ss = 0;
        long long m = 0;
        float bins[11] = {};
        for (int y = 0; y <= regionSide - 1; ++y) {
            for (int x = 0; x <= regionSide - 1; ++x) {
                const double d = static_cast<double>(gridA.cell(x, y)) - mean;
                ss += d * d;
                ++m;
                const float g = gridB.cell(x, y);
                if (g >= 0 && g < 50) bins[1] += 1;
                else if (g >= 50 && g < 100) bins[2] += 1;
                else if (g >= 100 && g < 150) bins[3] += 1;
                else if (g >= 150 && g < 200) bins[4] += 1;
                else if (g >= 200 && g < 256) bins[5] += 1;
            }
        }
        if (m == 0) throw imaging::RunError::divisionByZero();
        r.tone.deviation = std::sqrt(ss / static_cast<double>(m));
        const float c = (bins[1] + bins[2] + bins[3] + bins[4] + bins[5]) / 5.0f;
        float spread = 0.0f;
        for (int k = 1; k <= 5; ++k) spread += (c - bins[k]) * (c - bins[k]);
        r.tone.histogramSpread = spread / 5.0f;
        return r;
    }

}  // namespace plain

namespace plainSampling {

namespace detail {

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

}  // namespace detail

using namespace detail;

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

}  // namespace plainSampling

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Runs both on grids of the same earlier values and compares everything they leave, the stage on
// every vector path the processor has.
void expectSameTone(const PictureSurface& picture, int16_t side, const std::string& what) {
    FloatGrid pa = imaging::makeWorkGrid(3.5f), pb = imaging::makeWorkGrid(-2.0f);
    ColourToneResult slow;
    std::string slowError = "none";
    try {
        slow = plain::colourToneStatistics(picture, side, pa, pb);
    } catch (const imaging::RunError& e) {
        slowError = e.what();
    }
    morph::testdata::onEveryVectorPath([&] {
    FloatGrid a = imaging::makeWorkGrid(3.5f), b = imaging::makeWorkGrid(-2.0f);
    ColourToneResult fast;
    std::string fastError = "none";
    try {
        fast = colourToneStatistics(picture, side, a, b);
    } catch (const imaging::RunError& e) {
        fastError = e.what();
    }
    ASSERT_EQ(fastError, slowError) << what;
    if (slowError == "none") {
        EXPECT_TRUE(sameBits(fast.tone.deviation, slow.tone.deviation))
            << what << ": " << fast.tone.deviation << " vs " << slow.tone.deviation;
        EXPECT_TRUE(sameBits(fast.tone.histogramSpread, slow.tone.histogramSpread))
            << what << ": " << fast.tone.histogramSpread << " vs " << slow.tone.histogramSpread;
        EXPECT_EQ(fast.load.extentX, slow.load.extentX) << what;
        EXPECT_EQ(fast.load.extentY, slow.load.extentY) << what;
        EXPECT_EQ(fast.load.pointCount, slow.load.pointCount) << what;
    }
    int differing = 0;
    for (int y = 0; y <= 500; ++y)
        for (int x = 0; x <= 500; ++x)
            differing += !sameBits(a(x, y), pa(x, y)) || !sameBits(b(x, y), pb(x, y));
    EXPECT_EQ(differing, 0) << what;
    });
}

TEST(ColourToneExactness, MonochromeImagesEverySideAndVariant) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    for (int side : {1, 2, 3, 4, 5, 6, 7, 8, 9, 41, 200, 333, 499}) {
        for (Variant v : {Variant::A, Variant::B, Variant::C}) {
            WorkGrids grids;
            PictureSurface mono(side + 1, side + 1);
            prepareGreyImage(PhotoView(skin), RegionSquare{4, 9, static_cast<int16_t>(side)}, v, grids.gridA,
                             grids.gridB, mono);
            expectSameTone(mono, static_cast<int16_t>(side),
                           "side " + std::to_string(side) + " variant " + std::to_string(int(v)));
        }
    }
}

TEST(ColourToneExactness, EveryGreyColouredPixelsAndWhiteOutside) {
    imaging::FastRandom random(41);
    // Every grey level (the histogram's edges at 50, 100, 150 and 200 among them), then colours.
    PictureSurface grey(300, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) grey.psetAt(x, y, imaging::greyColour((x + 7 * y) % 256));
    PictureSurface coloured(300, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const int g = int(256 * random.next());
            coloured.psetAt(x, y, (x * y) % 5 ? imaging::greyColour(g)
                                              : imaging::rgbColour(int(256 * random.next()), g, int(256 * random.next())));
        }
    // A picture smaller than the square: the cells beyond it read white.
    PictureSurface small(37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) small.psetAt(x, y, imaging::greyColour(int(256 * random.next())));
    for (int side : {1, 2, 3, 4, 5, 13, 50, 120, 255, 298, 299, 499}) {
        expectSameTone(grey, static_cast<int16_t>(side), "grey, side " + std::to_string(side));
        expectSameTone(coloured, static_cast<int16_t>(side), "coloured, side " + std::to_string(side));
        expectSameTone(small, static_cast<int16_t>(side), "small, side " + std::to_string(side));
    }
}

TEST(ColourToneExactness, ErrorSidesFailAlike) {
    PictureSurface picture(50, 50);
    // 0 and negative sides leave no cell for the deviation (division by zero), 500 and more
    // leave the grid, 32767 overflows the 16-bit end.
    for (int side : {0, -1, -2, -5, 500, 501, 32767, -32768}) {
        expectSameTone(picture, static_cast<int16_t>(side), "side " + std::to_string(side));
        FloatGrid a = imaging::makeWorkGrid(), b = imaging::makeWorkGrid();
        EXPECT_THROW(colourToneStatistics(picture, static_cast<int16_t>(side), a, b), imaging::RunError) << side;
    }
}

// ---- Random texture sampling ----

std::string outcomeText(const TextureSampling& t) {
    // Every number with all its bits: doubles as 17 digits, floats as 9.
    char buffer[600];
    std::snprintf(buffer, sizeof buffer, "%.17g %.9g %.9g %.9g %.9g %.9g %.17g %.17g %.17g %.17g %.17g %.17g",
                  t.meanBrightness, t.darkFrameShareR2, t.darkFrameShareR4, t.darkFrameShareR6, t.darkFrameShareR8,
                  t.darkFrameShareR10, t.darkLineShare, t.boxDarknessMean, t.boxDarknessSd, t.ringBrightnessR5to11,
                  t.ringBrightnessR23to29, t.ringBrightnessR41to47);
    return buffer;
}

using Sampler = std::function<TextureSampling(const FloatGrid&, double, long long, int16_t, imaging::UniformRandom&)>;

// The numbers (or the error) and the generator's next number after the run.
std::string sampled(const Sampler& sample, const FloatGrid& g, double sum, long long count, int16_t side,
                    std::uint64_t seed) {
    imaging::FastRandom random(seed);
    std::string out;
    try {
        out = outcomeText(sample(g, sum, count, side, random));
    } catch (const imaging::RunError& e) {
        out = std::string("error: ") + e.what();
    }
    char next[40];
    std::snprintf(next, sizeof next, " / next %.17g", random.next());
    return out + next;
}

void expectSameSampling(const FloatGrid& g, int16_t side, const std::string& what) {
    const double sum = 1234.5 * side;
    const long long count = (side + 2LL) * (side + 2LL);
    for (std::uint64_t seed : {1u, 2u, 77u}) {
        const std::string fast = sampled(randomTextureSampling, g, sum, count, side, seed);
        const std::string slow = sampled(plainSampling::randomTextureSampling, g, sum, count, side, seed);
        EXPECT_EQ(fast, slow) << what << " seed " << seed;
    }
}

TEST(SamplingExactness, PhotographsEverySideAndVariant) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    for (int side : {41, 42, 60, 200, 333, 499}) {
        for (Variant v : {Variant::A, Variant::B, Variant::C}) {
            WorkGrids grids;
            PictureSurface mono(side + 1, side + 1);
            prepareGreyImage(PhotoView(skin), RegionSquare{2, 6, static_cast<int16_t>(side)}, v, grids.gridA,
                             grids.gridB, mono);
            expectSameSampling(grids.gridA, static_cast<int16_t>(side),
                               "side " + std::to_string(side) + " variant " + std::to_string(int(v)));
        }
    }
}

TEST(SamplingExactness, FramesAndBoxesNearTheirThresholds) {
    imaging::FastRandom random(51);
    // Bright tiles (interiors near the brightness threshold 0.6 x 256) with dark borders of
    // several periods, so that frames hit and miss; and plain noise.
    for (int period : {5, 7, 9, 12, 16, 23}) {
        FloatGrid g = imaging::makeWorkGrid(0);
        for (int y = 0; y <= 500; ++y)
            for (int x = 0; x <= 500; ++x) {
                const bool border = x % period == 0 || y % period == 0;
                g(x, y) = static_cast<float>(border ? 60 * random.next() : 145 + 20 * random.next());
            }
        expectSameSampling(g, 200, "period " + std::to_string(period));
        expectSameSampling(g, 480, "period " + std::to_string(period));
    }
    FloatGrid noise = imaging::makeWorkGrid(0);
    for (int y = 0; y <= 500; ++y)
        for (int x = 0; x <= 500; ++x) noise(x, y) = static_cast<float>(256 * random.next());
    for (int side : {40, 41, 43, 50, 101, 250, 499}) expectSameSampling(noise, static_cast<int16_t>(side), "noise");
}

TEST(SamplingExactness, ProbesPastTheGridFailAfterTheSameDraws) {
    imaging::FastRandom random(52);
    // Sides below 40 put centres below 20 (the probes reach before the first cell); a grid
    // smaller than the square puts them past its last cell. Some runs fail part way.
    FloatGrid noise = imaging::makeWorkGrid(0);
    for (int y = 0; y <= 500; ++y)
        for (int x = 0; x <= 500; ++x) noise(x, y) = static_cast<float>(256 * random.next());
    int failures = 0;
    for (int side : {0, 1, 10, 20, 29, 30, 31, 35, 38, 39}) {
        expectSameSampling(noise, static_cast<int16_t>(side), "side " + std::to_string(side));
        failures += sampled(randomTextureSampling, noise, 1, 1, static_cast<int16_t>(side), 1).rfind("error", 0) == 0;
    }
    for (int gridSide : {60, 100, 150, 215}) {
        FloatGrid small(gridSide, gridSide - 7);
        for (int y = 0; y <= small.maxY(); ++y)
            for (int x = 0; x <= small.maxX(); ++x) small(x, y) = static_cast<float>(256 * random.next());
        for (int side : {60, 100, 200, 260}) {
            expectSameSampling(small, static_cast<int16_t>(side),
                               "grid " + std::to_string(gridSide) + " side " + std::to_string(side));
            failures += sampled(randomTextureSampling, small, 1, 1, static_cast<int16_t>(side), 1).rfind("error", 0) == 0;
        }
    }
    EXPECT_GT(failures, 5);
}

}  // namespace
