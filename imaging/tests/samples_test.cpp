// The bundled sample photographs load through the picture surface and have the content the run
// commands rely on: the lesion sample's IN clicks fall on the dark blob, its OUT clicks on clear skin.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/surface.hpp"
#include "testdata/reference_data.hpp"

namespace {

const std::string kSamples = MORPH_SAMPLES_DIR;

// Mean luminance over the 5 x 5 pixels around (x, y).
double localGrey(const imaging::PictureSurface& s, int x, int y) {
    double sum = 0.0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) sum += imaging::greyOf(s.pointAt(x + dx, y + dy));
    return sum / 25.0;
}

}  // namespace

TEST(Samples, SkinSampleIsASkinTonedPhotograph) {
    imaging::PictureSurface s(0, 0, imaging::SizePolicy::GrowToPicture);
    s.loadPicture(kSamples + "/skin_sample.jpg");
    ASSERT_EQ(s.width(), 640);
    ASSERT_EQ(s.height(), 480);
    double red = 0, green = 0, blue = 0, grey = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const imaging::Channels ch = imaging::splitColour(s.pointAt(x, y));
            red += ch.red;
            green += ch.green;
            blue += ch.blue;
            grey += imaging::greyOf(ch);
        }
    const double meanGrey = grey / (640.0 * 480.0);
    int bright = 0, dark = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const double g = imaging::greyOf(s.pointAt(x, y));
            bright += g > 230.0;
            dark += g < meanGrey - 20.0;
        }
    const double n = 640.0 * 480.0;
    // Skin tone: red above green above blue.
    EXPECT_GT(red / n, green / n + 25);
    EXPECT_GT(green / n, blue / n + 10);
    EXPECT_GT(red / n, 180);
    // Some specular highlights and some darker pores and lines, but mostly mid tones.
    EXPECT_GT(bright, 50);
    EXPECT_GT(dark, 200);
    EXPECT_LT(bright + dark, int(n / 10));
}

TEST(Samples, LesionSampleInAndOutClicks) {
    imaging::PictureSurface s(0, 0, imaging::SizePolicy::GrowToPicture);
    const morph::testdata::LesionScenario& scenario = morph::testdata::lesionSample();
    s.loadPicture(scenario.image);
    ASSERT_EQ(s.width(), 320);
    ASSERT_EQ(s.height(), 240);
    for (auto [x, y] : scenario.in) {
        const imaging::Channels ch = imaging::splitColour(s.pointAt(x, y));
        EXPECT_LT(localGrey(s, x, y), 110.0) << x << "," << y;
        EXPECT_GT(ch.red, ch.blue) << "brown, not grey, at " << x << "," << y;
    }
    for (auto [x, y] : scenario.out) EXPECT_GT(localGrey(s, x, y), 170.0) << x << "," << y;
}

TEST(Samples, LesionBlobIsCentredWithRadiusAboutSixty) {
    imaging::PictureSurface s(0, 0, imaging::SizePolicy::GrowToPicture);
    s.loadPicture(kSamples + "/lesion_sample.jpg");
    long count = 0;
    double sx = 0, sy = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (imaging::greyOf(s.pointAt(x, y)) < 140.0) {
                ++count;
                sx += x;
                sy += y;
            }
    ASSERT_GT(count, 0);
    EXPECT_NEAR(sx / count, 160.0, 3.0);
    EXPECT_NEAR(sy / count, 120.0, 3.0);
    // Area of a disc of radius 50..70.
    EXPECT_GT(count, 3.14159 * 50 * 50);
    EXPECT_LT(count, 3.14159 * 70 * 70);
}
