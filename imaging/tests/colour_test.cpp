// Channel splitting and the grey-level rules of colour values 0x00BBGGRR.

#include <gtest/gtest.h>

#include "imaging/colour.hpp"

using imaging::Colour;
using imaging::splitColour;

namespace {

void expectChannels(Colour c, int blue, int green, int red) {
    const imaging::Channels ch = splitColour(c);
    EXPECT_EQ(ch.blue, blue) << std::hex << c;
    EXPECT_EQ(ch.green, green) << std::hex << c;
    EXPECT_EQ(ch.red, red) << std::hex << c;
}

}  // namespace

TEST(SplitColour, FirstChannelIsBlueThirdIsRed) {
    expectChannels(0x000000FF, 0, 0, 255);
    expectChannels(0x00FF0000, 255, 0, 0);
    expectChannels(0x0000FF00, 0, 255, 0);
    expectChannels(0x00050A0F, 5, 10, 15);
    expectChannels(0x00000000, 0, 0, 0);
    expectChannels(0x00FFFFFF, 255, 255, 255);
}

TEST(SplitColour, OutsideReadsAsWhite) {
    expectChannels(-1, 255, 255, 255);
    expectChannels(imaging::kOutside, 255, 255, 255);
}

TEST(GreyOf, LuminanceWeights) {
    EXPECT_DOUBLE_EQ(imaging::greyOf(Colour(0x000000FF)), 76.5);
    EXPECT_NEAR(imaging::greyOf(Colour(0x00FF0000)), 28.05, 1e-12);
    EXPECT_NEAR(imaging::greyOf(Colour(0x0000FF00)), 150.45, 1e-12);
    // Exactly the double products of the constants 0.11, 0.59 and 0.3 with the channels.
    EXPECT_EQ(imaging::greyOf(Colour(0x00FF0000)), 0.11 * 255 + 0.59 * 0 + 0.3 * 0);
    EXPECT_EQ(imaging::greyOf(Colour(0x00050A0F)), 0.11 * 5 + 0.59 * 10 + 0.3 * 15);
    EXPECT_EQ(imaging::greyOf(Colour(0)), 0.0);
    EXPECT_NEAR(imaging::greyOf(Colour(0x00FFFFFF)), 255.0, 1e-12);
    EXPECT_NEAR(imaging::greyOf(Colour(-1)), 255.0, 1e-12);
}

TEST(MeanGreyOf, PlainMeanOfTheChannels) {
    EXPECT_EQ(imaging::meanGreyOf(Colour(-1)), 255.0);
    EXPECT_EQ(imaging::meanGreyOf(Colour(0x00FFFFFF)), 255.0);
    EXPECT_EQ(imaging::meanGreyOf(Colour(0x00050A0F)), 10.0);
    EXPECT_EQ(imaging::meanGreyOf(Colour(0x000000FF)), 85.0);
    EXPECT_EQ(imaging::meanGreyOf(Colour(0x00010000)), 1.0 / 3.0);
}

TEST(GreyColour, SameValueInAllThreeChannels) {
    EXPECT_EQ(imaging::greyColour(128), 0x00808080);
    EXPECT_EQ(imaging::greyColour(0), 0x00000000);
    EXPECT_EQ(imaging::greyColour(255), 0x00FFFFFF);
    EXPECT_EQ(imaging::greyColour(1), 1 + 256 + 65536);
    EXPECT_EQ(imaging::greyColour(300), 0x00FFFFFF);  // above 255 counts as 255
}

TEST(RgbColour, RedInTheLowestByte) {
    EXPECT_EQ(imaging::rgbColour(255, 0, 0), 0x000000FF);
    EXPECT_EQ(imaging::rgbColour(0, 0, 255), 0x00FF0000);
    EXPECT_EQ(imaging::rgbColour(15, 10, 5), 0x00050A0F);
    EXPECT_EQ(imaging::rgbColour(256, 999, 0), 0x0000FFFF);
    // Split and rebuild are inverse for every component value.
    for (int v = 0; v < 256; ++v) {
        const imaging::Channels ch = splitColour(imaging::rgbColour(v, 255 - v, v / 2));
        EXPECT_EQ(ch.red, v);
        EXPECT_EQ(ch.green, 255 - v);
        EXPECT_EQ(ch.blue, v / 2);
    }
}
