// The lesion map: probe inversion, extents, and the outside trimming's rules.

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {
namespace {

// A generator that returns a fixed number and counts how it is used.
class CountingRandom final : public imaging::UniformRandom {
public:
    explicit CountingRandom(double value) : value_(value) {}
    double next() override {
        ++draws;
        return value_;
    }
    void reseedFromClock() override { ++reseeds; }
    long long draws = 0;
    long long reseeds = 0;

private:
    double value_;
};

imaging::PictureSurface photograph(int w, int h, imaging::Colour fill) {
    imaging::PictureSurface p(0, 0, imaging::SizePolicy::GrowToPicture);
    p.setPicture(imaging::Image(w, h, fill));
    return p;
}

// Red weight 1 only: S = red, so a pixel with red > 0 scores 255 in the first pass.
const Discriminant kRedOnly{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};

TEST(ClassifyPicture, ExtentsOf320By240AndOutsideColumnsReadWhite) {
    imaging::PictureSurface p1 = photograph(320, 240, imaging::kBlack);
    imaging::PictureSurface p2(313, 305);
    AnalysisState s;
    // Two probe pixels red: the map keeps its polarity, so the cells show the first pass.
    p1.psetAt(5, 5, imaging::rgbColour(255, 0, 0));
    p1.psetAt(5, 101, imaging::rgbColour(255, 0, 0));
    s.greyMap(5, 238) = 77.0f;
    classifyPicture(p1, kRedOnly, s, p2);
    EXPECT_EQ(s.scanWidth, 320.0f);
    EXPECT_EQ(s.scanHeight, 237.0f);
    EXPECT_EQ(s.greyMap(318, 10), 0.0f);    // pixel (319, 11): black
    EXPECT_EQ(s.greyMap(319, 10), 255.0f);  // pixel (320, 11): outside, white
    EXPECT_EQ(s.greyMap(320, 10), 255.0f);
    EXPECT_EQ(s.greyMap(4, 4), 255.0f);
    EXPECT_EQ(s.greyMap(10, 10), 0.0f);
    EXPECT_EQ(s.greyMap(5, 238), 77.0f);  // never written: row 238 lies beyond the extent
    EXPECT_EQ(p2.pointAt(10, 10), imaging::kBlack);
    EXPECT_EQ(p2.pointAt(4, 4), imaging::kWhite);
}

TEST(ClassifyPicture, AtMostOneBrightProbeInvertsTheMap) {
    imaging::PictureSurface p1 = photograph(320, 240, imaging::kBlack);
    imaging::PictureSurface p2(313, 305);
    AnalysisState s;
    p1.psetAt(5, 5, imaging::rgbColour(255, 0, 0));  // one probe cell 255: probeSum 255
    classifyPicture(p1, kRedOnly, s, p2);
    EXPECT_EQ(s.greyMap(4, 4), 0.0f);
    EXPECT_EQ(s.greyMap(10, 10), 255.0f);
    EXPECT_EQ(s.greyMap(320, 10), 0.0f);
    EXPECT_EQ(p2.pointAt(10, 10), imaging::kWhite);
}

TEST(ClassifyPicture, ZeroWeightsGiveAnAllWhiteMap) {
    imaging::PictureSurface p1 = photograph(200, 150, imaging::rgbColour(120, 70, 50));
    imaging::PictureSurface p2(313, 305);
    AnalysisState s;
    classifyPicture(p1, Discriminant{}, s, p2);
    for (int r = 0; r <= 147; r += 7)
        for (int c = 0; c <= 200; c += 9) ASSERT_EQ(s.greyMap(c, r), 255.0f) << c << "," << r;
}

TEST(ClassifyPicture, TooLargeForTheMapIsAnError) {
    imaging::PictureSurface p1 = photograph(501, 100, imaging::kBlack);
    imaging::PictureSurface p2(313, 305);
    AnalysisState s;
    EXPECT_THROW(classifyPicture(p1, kRedOnly, s, p2), imaging::RunError);
}

// A map of 0 over 0..100 x 0..100, centre (50, 50), OUT marks as given.
struct TrimFixture {
    AnalysisState s;
    imaging::PictureSurface p2{313, 305};
    TrimFixture(std::initializer_list<std::pair<float, float>> marks) {
        s.scanWidth = 100;
        s.scanHeight = 100;
        s.centreX = 50;
        s.centreY = 50;
        for (auto [x, y] : marks) {
            ++s.outCount;
            s.outX[s.outCount] = x;
            s.outY[s.outCount] = y;
        }
        for (int y = 0; y <= 100; ++y)
            for (int x = 0; x <= 100; ++x) {
                s.greyMap(x, y) = 0.0f;
                p2.psetAt(x, y, imaging::kBlack);
            }
    }
};

TEST(TrimOutside, InsideTheBoundaryNothingChangesAndBeyond15EverythingWhitens) {
    TrimFixture f({{70, 50}});  // boundary radius 20
    CountingRandom random(0.999);
    trimOutside(f.s, f.p2, random);
    EXPECT_EQ(f.s.greyMap(50, 50), 0.0f);   // E = -20
    EXPECT_EQ(f.s.greyMap(50, 70), 0.0f);   // E = 0
    EXPECT_EQ(f.s.greyMap(50, 74), 0.0f);   // E = 4: 4 r > 4 never holds
    EXPECT_EQ(f.s.greyMap(50, 75), 255.0f);  // E = 5: 5 * 0.999 > 4
    EXPECT_EQ(f.s.greyMap(50, 86), 255.0f);  // E = 16
    EXPECT_EQ(f.p2.pointAt(50, 86), imaging::kWhite);
    EXPECT_EQ(f.p2.pointAt(50, 74), imaging::kBlack);
}

TEST(TrimOutside, FringeNeedsTheRandomNumberAndBeyond15NeedsNone) {
    TrimFixture f({{70, 50}});
    CountingRandom random(0.0);  // E r = 0: no fringe pixel whitens
    trimOutside(f.s, f.p2, random);
    EXPECT_EQ(f.s.greyMap(50, 85), 0.0f);    // E = 15 is fringe
    EXPECT_EQ(f.s.greyMap(50, 86), 255.0f);  // E = 16 is not
    // One reseed per pixel, one number per fringe pixel (0 < E <= 15).
    EXPECT_EQ(random.reseeds, 101LL * 101LL);
    long long fringe = 0;
    for (int y = 0; y <= 100; ++y)
        for (int x = 0; x <= 100; ++x) {
            const double e = std::sqrt(double(x - 50) * (x - 50) + double(y - 50) * (y - 50)) - 20.0;
            if (e > 0.0 && e <= 15.0) ++fringe;
        }
    EXPECT_EQ(random.draws, fringe);
}

TEST(TrimOutside, TheLaterOfTwoEquallyNearMarksWins) {
    // Pixel (80, 50) is 20 from both marks; their own radii are 10 and 50.
    TrimFixture later({{60, 50}, {100, 50}});
    CountingRandom r1(0.5);
    trimOutside(later.s, later.p2, r1);
    EXPECT_EQ(later.s.greyMap(80, 50), 0.0f);  // E = 30 - 50

    TrimFixture earlier({{100, 50}, {60, 50}});
    CountingRandom r2(0.5);
    trimOutside(earlier.s, earlier.p2, r2);
    EXPECT_EQ(earlier.s.greyMap(80, 50), 255.0f);  // E = 30 - 10
}

TEST(TrimOutside, SmallCentreMovesTo155AndNoMarkTrimsNothing) {
    TrimFixture f({{70, 50}});
    f.s.centreX = 19.5f;
    f.s.centreY = 20.0f;
    CountingRandom random(0.5);
    trimOutside(f.s, f.p2, random);
    EXPECT_EQ(f.s.centreX, 155.0f);
    EXPECT_EQ(f.s.centreY, 20.0f);

    TrimFixture none({});
    CountingRandom r2(0.5);
    trimOutside(none.s, none.p2, r2);
    EXPECT_EQ(r2.reseeds, 0);
    EXPECT_EQ(none.s.greyMap(100, 100), 0.0f);
}

}  // namespace
}  // namespace lesionmeter
