// Reducing a too-large photograph: sizes, the reduction factor and area averaging.

#include <gtest/gtest.h>

#include "imaging/colour.hpp"
#include "imaging/picture_fit.hpp"

namespace {

using imaging::Image;

TEST(PictureFit, APictureThatFitsIsKeptAsItIsWithScaleOne) {
    Image image(500, 503, imaging::rgbColour(1, 2, 3));
    image.at(499, 502) = imaging::rgbColour(9, 8, 7);
    const imaging::FittedImage fitted = imaging::fitWithin(image, 500, 503);
    EXPECT_EQ(fitted.scale, 1.0);
    EXPECT_EQ(fitted.image.width, 500);
    EXPECT_EQ(fitted.image.height, 503);
    EXPECT_EQ(fitted.image.pixels, image.pixels);
    EXPECT_FALSE(imaging::exceeds(image, 500, 503));
}

TEST(PictureFit, Landscape640x480BecomesFiveHundredWide) {
    const imaging::FittedImage fitted = imaging::fitWithin(Image(640, 480), 500, 503);
    EXPECT_EQ(fitted.scale, 0.78125);
    EXPECT_EQ(fitted.image.width, 500);
    EXPECT_EQ(fitted.image.height, 375);
}

TEST(PictureFit, PortraitIsLimitedByTheHeight) {
    EXPECT_TRUE(imaging::exceeds(Image(400, 1006), 500, 503));
    const imaging::FittedImage fitted = imaging::fitWithin(Image(400, 1006), 500, 503);
    EXPECT_EQ(fitted.scale, 0.5);
    EXPECT_EQ(fitted.image.width, 200);
    EXPECT_EQ(fitted.image.height, 503);
    // One pixel too wide is enough to be reduced.
    EXPECT_TRUE(imaging::exceeds(Image(501, 10), 500, 503));
    EXPECT_EQ(imaging::fitWithin(Image(501, 10), 500, 503).image.width, 500);
}

TEST(PictureFit, EachNewPixelIsTheMeanOfTheAreaItCovers) {
    // Pairs of columns (10, 30) and rows alike reduced by 2 in each direction: every new pixel
    // covers one 2 x 2 block whose mean is exact.
    Image image(1000, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 1000; ++x) {
            const int v = (x % 2 == 0 ? 10 : 30) + (y % 2 == 0 ? 0 : 100);
            image.at(x, y) = imaging::rgbColour(v, 255 - v, 7);
        }
    }
    const imaging::FittedImage fitted = imaging::fitWithin(image, 500, 503);
    ASSERT_EQ(fitted.image.width, 500);
    ASSERT_EQ(fitted.image.height, 2);
    for (imaging::Colour c : fitted.image.pixels) {
        const imaging::Channels ch = imaging::splitColour(c);
        EXPECT_EQ(ch.red, 70);
        EXPECT_EQ(ch.green, 185);
        EXPECT_EQ(ch.blue, 7);
    }
}

TEST(PictureFit, AThinLineIsAveragedNotDropped) {
    // A white column in black, reduced by 4: the new column holds a quarter of its brightness
    // (sampling every fourth column would lose it or keep it whole).
    Image image(2000, 8, imaging::kBlack);
    for (int y = 0; y < 8; ++y) image.at(1001, y) = imaging::kWhite;
    const imaging::FittedImage fitted = imaging::fitWithin(image, 500, 503);
    ASSERT_EQ(fitted.image.width, 500);
    EXPECT_EQ(fitted.scale, 0.25);
    for (int y = 0; y < fitted.image.height; ++y) {
        EXPECT_EQ(imaging::splitColour(fitted.image.at(250, y)).red, 64);  // 255 / 4 rounded
        EXPECT_EQ(fitted.image.at(249, y), imaging::kBlack);
        EXPECT_EQ(fitted.image.at(251, y), imaging::kBlack);
    }
}

}  // namespace
