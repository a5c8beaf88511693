// Box-counting dimension over the three parameter sets, with the worked counts and values.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "imaging/box_counting.hpp"
#include "imaging/colour.hpp"
#include "imaging/surface.hpp"

using imaging::BoxCountingParameters;
using imaging::LineKind;
using imaging::PictureSurface;
using Counts = std::array<int16_t, 5>;

namespace {

// A white surface just large enough for the area x = 1..width, y = 1..height.
PictureSurface whiteArea(const BoxCountingParameters& p) { return PictureSurface(p.width + 1, p.height + 1); }

// The same surface painted entirely in one colour.
PictureSurface filledArea(const BoxCountingParameters& p, imaging::Colour c) {
    PictureSurface s = whiteArea(p);
    s.line(0, 0, p.width, p.height, c, LineKind::FilledBox);
    return s;
}

// The same fit computed plainly in double, for results that have no worked value to the last digit.
double plainDimension(const BoxCountingParameters& p, const Counts& counts) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int k = 0; k < 5; ++k) {
        const double x = std::log(double(p.sides[k]));
        const double y = std::log(double(counts[k]));
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    return -((5 * sxy - sx * sy) / (5 * sxx - sx * sx)) - 0.09;
}

}  // namespace

TEST(BoxCounting, ParameterSetsInUse) {
    EXPECT_EQ(imaging::kLineDimensionBoxes.width, 200);
    EXPECT_EQ(imaging::kLineDimensionBoxes.height, 200);
    EXPECT_EQ(imaging::kLineDimensionBoxes.sides, (Counts{1, 2, 5, 10, 20}));
    EXPECT_EQ(imaging::kLineDimensionBoxes.limitX, 184);
    EXPECT_EQ(imaging::kLineDimensionBoxes.limitY, 184);
    EXPECT_EQ(imaging::kViewBoxSides.sides, (Counts{3, 7, 10, 20, 30}));
    EXPECT_EQ(imaging::kViewBoxSides.limitX, 284);
    EXPECT_EQ(imaging::kStripBoxSides.width, 300);
    EXPECT_EQ(imaging::kStripBoxSides.height, 60);
    EXPECT_EQ(imaging::kStripBoxSides.sides, (Counts{1, 2, 5, 8, 15}));
    EXPECT_EQ(imaging::kStripBoxSides.limitY, 54);
}

TEST(BoxCounting, WhiteAreaGivesMinusCorrectionExactly) {
    for (const BoxCountingParameters& p :
         {imaging::kLineDimensionBoxes, imaging::kViewBoxSides, imaging::kStripBoxSides}) {
        const imaging::BoxCountingResult r = imaging::boxCounting(whiteArea(p), p);
        EXPECT_EQ(r.counts, (Counts{1, 1, 1, 1, 1}));
        EXPECT_EQ(r.dimension, -0.09);
    }
}

TEST(BoxCounting, AllBlackLineDimensionSet) {
    const auto& p = imaging::kLineDimensionBoxes;
    const imaging::BoxCountingResult r = imaging::boxCounting(filledArea(p, imaging::kBlack), p);
    EXPECT_EQ(r.counts, (Counts{32761, 8100, 1296, 324, 81}));
    EXPECT_EQ(r.dimension, 1.9129080192587942);
}

TEST(BoxCounting, AllBlackOutlineSet) {
    const auto& p = imaging::kViewBoxSides;
    const imaging::BoxCountingResult r = imaging::boxCounting(filledArea(p, imaging::kBlack), p);
    EXPECT_EQ(r.counts, (Counts{8649, 1600, 784, 196, 81}));
    EXPECT_EQ(r.dimension, 1.930777687670256);
    EXPECT_EQ(imaging::boxCountingDimension(filledArea(p, imaging::kBlack), p), 1.930777687670256);
}

TEST(BoxCounting, AllBlackStripSet) {
    const auto& p = imaging::kStripBoxSides;
    const imaging::BoxCountingResult r = imaging::boxCounting(filledArea(p, imaging::kBlack), p);
    EXPECT_EQ(r.counts, (Counts{14331, 3500, 560, 210, 54}));
    EXPECT_EQ(r.dimension, 1.9619777055796217);
}

TEST(BoxCounting, OneRowAcrossTheLineDimensionSet) {
    const auto& p = imaging::kLineDimensionBoxes;
    PictureSurface s = whiteArea(p);
    s.line(0, 100, 200, 100, imaging::kBlack);
    const imaging::BoxCountingResult r = imaging::boxCounting(s, p);
    EXPECT_EQ(r.counts, (Counts{362, 90, 36, 18, 9}));
    EXPECT_EQ(r.dimension, 1.0933691471869846);
}

TEST(BoxCounting, OneRowAcrossTheStripSet) {
    const auto& p = imaging::kStripBoxSides;
    PictureSurface s = whiteArea(p);
    s.line(0, 30, 300, 30, imaging::kBlack);
    const imaging::BoxCountingResult r = imaging::boxCounting(s, p);
    EXPECT_EQ(r.counts, (Counts{562, 140, 56, 35, 18}));
    EXPECT_EQ(r.dimension, 1.1313841267919178);
}

TEST(BoxCounting, ChannelSumSixHundredIsBackground) {
    // Sum 600: grid value exactly 200, not below the threshold.
    const auto& p = imaging::kLineDimensionBoxes;
    const imaging::BoxCountingResult r = imaging::boxCounting(filledArea(p, imaging::rgbColour(200, 200, 200)), p);
    EXPECT_EQ(r.counts, (Counts{1, 1, 1, 1, 1}));
    EXPECT_EQ(r.dimension, -0.09);
}

TEST(BoxCounting, ChannelSumFiveNinetyNineIsDark) {
    // Sum 599: grid value 199.67, below the threshold: the same as all black.
    const auto& p = imaging::kLineDimensionBoxes;
    for (imaging::Colour c : {imaging::rgbColour(199, 200, 200), imaging::rgbColour(200, 199, 200),
                              imaging::rgbColour(200, 200, 199), imaging::rgbColour(255, 255, 89)}) {
        const imaging::BoxCountingResult r = imaging::boxCounting(filledArea(p, c), p);
        EXPECT_EQ(r.counts, (Counts{32761, 8100, 1296, 324, 81})) << std::hex << c;
        EXPECT_EQ(r.dimension, 1.9129080192587942);
    }
}

TEST(BoxCounting, SingleDarkPixelOnSharedBorders) {
    // Pixel (100, 100): side-1 boxes start at 99 and 100 in each direction (4 boxes); for the
    // sides 2, 5, 10, 20 exactly one box start (99, 98, 93, 83) covers it.
    const auto& p = imaging::kLineDimensionBoxes;
    PictureSurface s = whiteArea(p);
    s.pset(100, 100, imaging::rgbColour(200, 200, 199));
    const imaging::BoxCountingResult r = imaging::boxCounting(s, p);
    EXPECT_EQ(r.counts, (Counts{4, 1, 1, 1, 1}));
    EXPECT_NEAR(r.dimension, plainDimension(p, r.counts), 1e-13);
}

TEST(BoxCounting, PixelsOutsideTheCountedCellsHaveNoInfluence) {
    // Only 3 <= x, y <= limit take part: dark pixels at x = 1, 2 and beyond 184 change nothing.
    const auto& p = imaging::kLineDimensionBoxes;
    PictureSurface s = whiteArea(p);
    s.line(1, 1, 2, 200, imaging::kBlack, LineKind::FilledBox);
    s.line(185, 1, 200, 200, imaging::kBlack, LineKind::FilledBox);
    s.line(1, 185, 200, 200, imaging::kBlack, LineKind::FilledBox);
    s.line(1, 0, 200, 2, imaging::kBlack, LineKind::FilledBox);
    const imaging::BoxCountingResult r = imaging::boxCounting(s, p);
    EXPECT_EQ(r.counts, (Counts{1, 1, 1, 1, 1}));
    EXPECT_EQ(r.dimension, -0.09);
}

TEST(BoxCounting, SmallerPictureReadsMissingPositionsAsWhite) {
    // A black 100 x 100 picture: only boxes starting at x, y <= 99 see a dark cell.
    const auto& p = imaging::kLineDimensionBoxes;
    PictureSurface s(100, 100);
    s.line(0, 0, 99, 99, imaging::kBlack, LineKind::FilledBox);
    const imaging::BoxCountingResult r = imaging::boxCounting(s, p);
    EXPECT_EQ(r.counts, (Counts{97 * 97, 49 * 49, 20 * 20, 10 * 10, 5 * 5}));
    EXPECT_NEAR(r.dimension, plainDimension(p, r.counts), 1e-13);
}

TEST(BoxCounting, DiagonalLineIsAboutOneDimensional) {
    const auto& p = imaging::kLineDimensionBoxes;
    PictureSurface s = whiteArea(p);
    s.line(0, 0, 200, 200, imaging::kBlack);
    const imaging::BoxCountingResult r = imaging::boxCounting(s, p);
    EXPECT_GT(r.dimension, 0.8);
    EXPECT_LT(r.dimension, 1.2);
    EXPECT_NEAR(r.dimension, plainDimension(p, r.counts), 1e-13);
}

TEST(BoxCounting, LeavesThePictureUnchanged) {
    const auto& p = imaging::kViewBoxSides;
    PictureSurface s = whiteArea(p);
    s.line(10, 10, 250, 40, imaging::kBlack);
    const imaging::Image before = s.image();
    (void)imaging::boxCounting(s, p);
    EXPECT_EQ(s.image().pixels, before.pixels);
}
