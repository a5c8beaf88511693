// "Fractal calc" and "axis" through the session, and the luminance profiles.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/stages.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

struct SessionFixture : ::testing::Test {
    testing::ScratchFolder scratch;
    imaging::FastRandom random{9};
    LesionSession session{random};
    static void fill(imaging::PictureSurface& p, imaging::Colour c) {
        p.line(0, 0, p.width() - 1, p.height() - 1, c, imaging::LineKind::FilledBox);
    }
};

using FractalCalc = SessionFixture;

TEST_F(FractalCalc, AllBlackPictures) {
    LesionPictures& p = session.pictures();
    for (imaging::PictureSurface* view :
         {&p.outline, &p.leftColumnProfile, &p.upperRowProfile, &p.lowerRowProfile, &p.rightColumnProfile})
        fill(*view, imaging::kBlack);
    session.measureFractalDimensions();
    EXPECT_EQ(session.fractalResults().outlineDimension, 1.930777687670256);
    EXPECT_EQ(session.texts().outlineDimension, "1.93077768767026");
    EXPECT_EQ(session.fractalResults().profiles.upperRow, 1.9619777055796217);
    EXPECT_EQ(session.fractalResults().profiles.rightColumn, 1.9619777055796217);
    EXPECT_EQ(session.texts().upperRowProfileDimension, imaging::numberText(1.9619777055796217));
    EXPECT_EQ(session.fractalResults().profileDimension, 1.9619777055796217);
    EXPECT_TRUE(session.outlineShown());
    EXPECT_TRUE(session.profilesShown());
    EXPECT_FALSE(session.axisViewShown());
}

TEST_F(FractalCalc, WhitePicturesGiveMinus009) {
    session.measureFractalDimensions();
    EXPECT_EQ(session.fractalResults().outlineDimension, -0.09);
    EXPECT_EQ(session.texts().outlineDimension, "-0.09");
    EXPECT_EQ(session.texts().profileDimension, "-0.09");
}

TEST_F(FractalCalc, OneRowStripsAndTheirPlainMean) {
    session.pictures().upperRowProfile.line(1, 30, 300, 30, imaging::kBlack);
    session.pictures().leftColumnProfile.line(1, 30, 300, 30, imaging::kBlack);
    session.measureFractalDimensions();
    const FractalResults& r = session.fractalResults();
    EXPECT_EQ(r.profiles.upperRow, 1.1313841267919178);
    EXPECT_EQ(r.profiles.leftColumn, 1.1313841267919178);
    EXPECT_EQ(r.profiles.lowerRow, -0.09);
    EXPECT_EQ(r.profileDimension, (1.1313841267919178 + 1.1313841267919178 + -0.09 + -0.09) / 4.0);
    EXPECT_EQ(session.texts().leftColumnProfileDimension, imaging::numberText(1.1313841267919178));
}

TEST_F(FractalCalc, SnapshotMakesTheDrawingTheBackground) {
    session.pictures().outline.psetAt(100, 100, imaging::kBlack);
    session.measureFractalDimensions();
    session.pictures().outline.cls();
    EXPECT_EQ(session.pictures().outline.pointAt(100, 100), imaging::kBlack);
}

// The snapshot of "Fractal calc" and the copy of "axis" are made in memory: a user's own
// "testt.bmp" and "testt2.bmp" in the working folder stay as they were and nothing is added.
TEST_F(FractalCalc, WorkingFolderFilesAreNeverTouched) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    const std::string mine = "the user's own file, not a picture";
    for (const char* name : {"testt.bmp", "testt2.bmp"}) {
        std::ofstream(name, std::ios::binary) << mine;
    }
    session.pictures().outline.psetAt(10, 20, imaging::kBlack);
    session.measureFractalDimensions();
    session.measureAxis();
    std::filesystem::current_path(previous);

    EXPECT_EQ(session.texts().centroidX, "10");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, mine) << entry.path();
    }
    EXPECT_EQ(files, 2);
}

using Axis = SessionFixture;

TEST_F(Axis, SingleDarkPixel) {
    session.pictures().outline.psetAt(10, 20, imaging::kBlack);
    session.measureAxis();
    EXPECT_EQ(session.texts().centroidX, "10");
    EXPECT_EQ(session.texts().centroidY, "20");
    const AxisResults& r = session.axisResults();
    EXPECT_EQ(r.darkPixels, 1);
    EXPECT_EQ(r.farthestX, 10);
    EXPECT_EQ(r.nearestY, 20);
    const auto& p13 = session.pictures().axisView;
    EXPECT_EQ(p13.pointAt(9, 19), imaging::rgbColour(255, 0, 0));
    EXPECT_EQ(p13.pointAt(11, 21), imaging::rgbColour(255, 0, 0));
    EXPECT_EQ(p13.pointAt(9, 21), imaging::rgbColour(255, 0, 0));
    EXPECT_EQ(p13.pointAt(11, 19), imaging::rgbColour(255, 0, 0));
    // The two zero-length radii are drawn last, over the cross's centre.
    EXPECT_EQ(p13.pointAt(10, 20), imaging::rgbColour(255, 0, 255));
    EXPECT_TRUE(session.axisViewShown());
    EXPECT_FALSE(session.outlineShown());
}

TEST_F(Axis, OnlyDarkPixelsInside1To300CountAndGrey30IsNotDark) {
    auto& p12 = session.pictures().outline;
    p12.psetAt(10, 20, imaging::kBlack);
    p12.psetAt(30, 40, imaging::kBlack);
    p12.psetAt(0, 50, imaging::kBlack);
    p12.psetAt(301, 50, imaging::kBlack);
    p12.psetAt(60, 0, imaging::kBlack);
    p12.psetAt(100, 100, imaging::greyColour(30));
    p12.psetAt(100, 101, imaging::rgbColour(29, 30, 30));  // mean 29.67: dark
    session.measureAxis();
    EXPECT_EQ(session.axisResults().darkPixels, 3);
    EXPECT_EQ(session.axisResults().centroidX, (10.0 + 30.0 + 100.0) / 3.0);
    EXPECT_EQ(session.axisResults().centroidY, (20.0 + 40.0 + 101.0) / 3.0);
    // Centroid (46.67, 53.67): (100, 101) is farthest, (30, 40) nearest.
    EXPECT_EQ(session.axisResults().farthestX, 100);
    EXPECT_EQ(session.axisResults().nearestX, 30);
}

TEST_F(Axis, MoreThan5000DarkPixelsAreMeasured) {
    fill(session.pictures().outline, imaging::kBlack);
    session.measureAxis();
    EXPECT_EQ(session.axisResults().darkPixels, 90000);
    EXPECT_EQ(session.texts().centroidX, "150.5");
    EXPECT_EQ(session.texts().centroidY, "150.5");
}

TEST_F(Axis, NoDarkPixelGivesAMessageAndKeepsTheCentroidBoxes) {
    session.texts().centroidX = ("old x");
    session.texts().centroidY = ("old y");
    EXPECT_THROW(session.measureAxis(), imaging::RunError);
    EXPECT_EQ(session.texts().centroidX, "old x");
    EXPECT_EQ(session.texts().centroidY, "old y");
    EXPECT_TRUE(session.axisViewShown());
}

TEST(LuminanceProfiles, UniformPhotographGivesFourFlatLinesAtY30) {
    imaging::PictureSurface p1(0, 0, imaging::SizePolicy::GrowToPicture);
    p1.setPicture(imaging::Image(320, 240, imaging::rgbColour(200, 150, 120)));
    imaging::PictureSurface p16(321, 65), p15(321, 65), p17(329, 65), p18(329, 65);
    p16.psetAt(5, 5, imaging::kBlack);  // cleared first
    plotLuminanceProfiles(p1, p16, p15, p17, p18);
    for (auto* strip : {&p16, &p15, &p17, &p18}) {
        int black = 0, blackAt30 = 0;
        for (int y = 0; y < strip->height(); ++y)
            for (int x = 0; x < strip->width(); ++x)
                if (strip->pointAt(x, y) == imaging::kBlack) {
                    ++black;
                    blackAt30 += y == 30;
                }
        EXPECT_EQ(black, blackAt30);
        EXPECT_EQ(blackAt30, std::min(strip->width(), 323) - 2);  // x = 2..322 where the strip has them
    }
}

TEST(LuminanceProfiles, BaselineComesFromTheThirdSampleOfTheFirstRow) {
    // White photograph (luminance 255) with a black pixel at (72, 140): P1(3) = 0, so the other
    // samples of the first row lie at 30 + 40 = 70, below the strip.
    imaging::PictureSurface p1(0, 0, imaging::SizePolicy::GrowToPicture);
    p1.setPicture(imaging::Image(320, 240, imaging::kWhite));
    p1.psetAt(72, 140, imaging::kBlack);
    imaging::PictureSurface p16(321, 65), p15(321, 65), p17(329, 65), p18(329, 65);
    plotLuminanceProfiles(p1, p16, p15, p17, p18);
    EXPECT_EQ(p16.pointAt(6, 30), imaging::kBlack);
    int blackInRow40 = 0;  // on the way up from (4, 70) to (6, 30)
    for (int x = 4; x <= 6; ++x) blackInRow40 += p16.pointAt(x, 40) == imaging::kBlack;
    EXPECT_EQ(blackInRow40, 1);
    EXPECT_EQ(p16.pointAt(20, 64), imaging::kWhite);
    // The same baseline for the columns: a flat line at 70, outside the 65-pixel strip.
    for (int y = 0; y < 65; ++y) EXPECT_NE(p15.pointAt(100, y), imaging::kBlack) << y;
}

TEST(ClickProfiles, RowsAndColumnsThroughTheClickAndOutsideReadsWhite) {
    imaging::PictureSurface p1(0, 0, imaging::SizePolicy::GrowToPicture);
    p1.setPicture(imaging::Image(320, 240, imaging::rgbColour(200, 150, 120)));  // luminance 161.7
    imaging::PictureSurface p16(321, 65), p15(321, 65), p17(329, 65), p18(329, 65);
    drawClickProfiles(p1, 100, 225, p16, p15, p17, p18);
    // 161.7 * 40 / 255 = 25.36 -> y 25; row 255 lies outside the photograph -> 40.
    EXPECT_EQ(p16.pointAt(100, 25), imaging::kBlack);
    EXPECT_EQ(p17.pointAt(100, 40), imaging::kBlack);
    // Columns x = 100 and 130, y = 70..230, all inside the photograph.
    EXPECT_EQ(p15.pointAt(100, 25), imaging::kBlack);
    EXPECT_EQ(p15.pointAt(322, 25), imaging::kOutside);  // beyond the strip's 321 pixels
    EXPECT_EQ(p18.pointAt(322, 25), imaging::kBlack);
    // A click near the right edge: column x + 30 = 330 lies outside, luminance 255.
    drawClickProfiles(p1, 300, 100, p16, p15, p17, p18);
    EXPECT_EQ(p18.pointAt(100, 40), imaging::kBlack);
    EXPECT_EQ(p18.pointAt(100, 25), imaging::kWhite);
}

}  // namespace
}  // namespace lesionmeter
