// Colour-tone statistics against their plain transcription (kept below as it was before the
// grey table, the row pointers and the four-cell histogram): grey and coloured pictures, pictures
// smaller than the square (white outside), every side up to 499 and the error sides. Deviation
// and spread bit for bit, the load, every cell of both grids and the error texts must agree.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
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

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Runs both on grids of the same earlier values and compares everything they leave.
void expectSameTone(const PictureSurface& picture, int16_t side, const std::string& what) {
    FloatGrid a = imaging::makeWorkGrid(3.5f), b = imaging::makeWorkGrid(-2.0f);
    FloatGrid pa = imaging::makeWorkGrid(3.5f), pb = imaging::makeWorkGrid(-2.0f);
    ColourToneResult fast, slow;
    std::string fastError = "none", slowError = "none";
    try {
        fast = colourToneStatistics(picture, side, a, b);
    } catch (const imaging::RunError& e) {
        fastError = e.what();
    }
    try {
        slow = plain::colourToneStatistics(picture, side, pa, pb);
    } catch (const imaging::RunError& e) {
        slowError = e.what();
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

}  // namespace
