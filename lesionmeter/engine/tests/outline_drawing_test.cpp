// LINE's two passes and the eraser.

#include <gtest/gtest.h>

#include "imaging/colour.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {
namespace {

// A 20 x 20 analysed area of 255 with a test cell at (10, 10).
struct LineFixture {
    AnalysisState s;
    imaging::PictureSurface p12{313, 305};
    LineFixture() {
        s.scanWidth = 20;
        s.scanHeight = 20;
        s.greyMap.fill(255.0f);
    }
    imaging::Colour run() {
        drawOutline(s, p12);
        return p12.pointAt(10, 10);
    }
};

TEST(Line, BeforeAnyAnalysisTheOutlineStaysCleared) {
    AnalysisState s;
    s.greyMap.fill(0.0f);
    s.greyMap(5, 5) = 255.0f;
    imaging::PictureSurface p12(313, 305);
    drawOutline(s, p12);
    for (int y = 0; y < 305; y += 3)
        for (int x = 0; x < 313; x += 3) ASSERT_EQ(p12.pointAt(x, y), imaging::kWhite);
}

TEST(Line, SevenBrightNeighboursAndOneDarkSum1785TurnWhite) {
    LineFixture f;
    f.s.greyMap(10, 10) = 0.0f;
    f.s.greyMap(9, 9) = 0.0f;  // neighbours: seven 255, one 0 -> 1785 / 7 = 255 > 254
    EXPECT_EQ(f.run(), imaging::kWhite);
}

TEST(Line, TwoDarkNeighboursSum1530StayBlack) {
    LineFixture f;
    f.s.greyMap(10, 10) = 0.0f;
    f.s.greyMap(9, 9) = 0.0f;
    f.s.greyMap(11, 11) = 0.0f;  // 1530 / 7 = 218.6
    EXPECT_EQ(f.run(), imaging::kBlack);
}

TEST(Line, ValueFiftyIsNeverBlackButFortyNineIs) {
    for (float c : {50.0f, 49.0f}) {
        LineFixture f;
        for (int y = 9; y <= 11; ++y)
            for (int x = 9; x <= 11; ++x) f.s.greyMap(x, y) = 0.0f;
        f.s.greyMap(11, 11) = 255.0f;  // the only neighbour far from c
        f.s.greyMap(10, 10) = c;
        EXPECT_EQ(f.run(), c == 50.0f ? imaging::kWhite : imaging::kBlack) << c;
    }
}

TEST(Line, DarkPixelWithNeighboursWithin40IsNoEdge) {
    LineFixture f;
    for (int y = 9; y <= 11; ++y)
        for (int x = 9; x <= 11; ++x) f.s.greyMap(x, y) = 40.0f;
    f.s.greyMap(10, 10) = 0.0f;  // |0 - 40| = 40 is not more than 40
    EXPECT_EQ(f.run(), imaging::kWhite);
    f.s.greyMap(11, 10) = 41.0f;  // now an edge, and the neighbours are dark
    EXPECT_EQ(f.run(), imaging::kBlack);
}

TEST(Line, PaintsExactlyTheRange2ToExtentMinus2) {
    LineFixture f;
    f.p12.line(0, 0, 312, 304, imaging::rgbColour(1, 2, 3), imaging::LineKind::FilledBox);
    drawOutline(f.s, f.p12);
    EXPECT_EQ(f.p12.pointAt(2, 2), imaging::kWhite);
    EXPECT_EQ(f.p12.pointAt(18, 18), imaging::kWhite);
    EXPECT_EQ(f.p12.pointAt(19, 18), imaging::rgbColour(1, 2, 3));
    EXPECT_EQ(f.p12.pointAt(1, 5), imaging::rgbColour(1, 2, 3));
}

TEST(Eraser, NarrowIs4By4WideIs17By17LeftButtonOnly) {
    // The button rule belongs to the interaction model; the eraser step itself whitens the square.
    imaging::FastRandom random(1);
    LesionSession session(random);
    imaging::PictureSurface& p12 = session.pictures().outline;
    p12 = imaging::PictureSurface(313, 305, imaging::SizePolicy::Fixed, imaging::kBlack);
    session.selectEraser(EraserMode::Narrow);
    session.eraserMove(kRightButton, 50, 50);
    session.selectEraser(EraserMode::Put);
    session.eraserMove(kLeftButton, 50, 50);
    session.selectEraser(EraserMode::Narrow);
    session.eraserMove(3, 50, 50);
    EXPECT_EQ(p12.pointAt(50, 50), imaging::kBlack);
    session.eraserMove(kLeftButton, 50, 50);
    int white = 0;
    for (int y = 40; y <= 60; ++y)
        for (int x = 40; x <= 60; ++x) white += p12.pointAt(x, y) == imaging::kWhite;
    EXPECT_EQ(white, 16);
    EXPECT_EQ(p12.pointAt(48, 48), imaging::kWhite);
    EXPECT_EQ(p12.pointAt(51, 51), imaging::kWhite);
    eraseAt(p12, EraserMode::Wide, 150, 150);
    white = 0;
    for (int y = 130; y <= 170; ++y)
        for (int x = 130; x <= 170; ++x) white += p12.pointAt(x, y) == imaging::kWhite;
    EXPECT_EQ(white, 17 * 17);
}

}  // namespace
}  // namespace lesionmeter
