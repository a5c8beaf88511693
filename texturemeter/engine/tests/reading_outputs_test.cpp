// What a reader needs besides the dimension: the sampling interval of the tile mean and the
// spread of the heights measured, against hand-worked values and their boundaries.

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "imaging/grid.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

TEST(MeanInterval95, WorkedValues) {
    // Two tiles 2.0 and 2.5: mean 2.25, s = 0.353553, t(0.975, 1) = 12.706205 (tables):
    // half width 12.706205 x 0.353553 / sqrt(2) = 3.176551.
    const float two[] = {2.0f, 2.5f};
    const auto ci = meanInterval95(two, 2);
    ASSERT_TRUE(ci.has_value());
    EXPECT_NEAR((*ci)[0], 2.25 - 3.1765512, 1e-6);
    EXPECT_NEAR((*ci)[1], 2.25 + 3.1765512, 1e-6);
    // Five tiles 2.1, 2.2, 2.2, 2.3, 2.5: mean 2.26, s = 0.151658, t(0.975, 4) = 2.776445:
    // half width 0.188308 (the tile values are single precision, hence the tolerance).
    const float five[] = {2.1f, 2.2f, 2.2f, 2.3f, 2.5f};
    const auto c5 = meanInterval95(five, 5);
    ASSERT_TRUE(c5.has_value());
    EXPECT_NEAR((*c5)[0], 2.26 - 0.1883077, 1e-6);
    EXPECT_NEAR((*c5)[1], 2.26 + 0.1883077, 1e-6);
}

TEST(MeanInterval95, EqualTilesGiveAPointAndOneTileNone) {
    const float same[] = {2.25f, 2.25f, 2.25f};
    const auto ci = meanInterval95(same, 3);
    ASSERT_TRUE(ci.has_value());
    EXPECT_EQ((*ci)[0], 2.25);
    EXPECT_EQ((*ci)[1], 2.25);
    EXPECT_FALSE(meanInterval95(same, 1).has_value());
    EXPECT_FALSE(meanInterval95(same, 0).has_value());
}

TEST(HeightFieldSd, CellsZeroToSidePlusOneOnly) {
    FloatGrid grid = imaging::makeWorkGrid();
    // Side 2: cells 0..3 both ways, 16 cells: eight of 0 and eight of 4 -> mean 2, sd 2.
    for (int y = 0; y <= 3; ++y)
        for (int x = 0; x <= 3; ++x) grid(x, y) = (x < 2) ? 0.0f : 4.0f;
    // Cells beyond side + 1 do not count.
    grid(4, 0) = 1000.0f;
    grid(0, 4) = 1000.0f;
    EXPECT_DOUBLE_EQ(heightFieldSd(grid, 2), 2.0);
    grid(3, 3) = 0.0f;  // seven of 4: mean 1.75, variance (9 x 3.0625 + 7 x 5.0625) / 16
    EXPECT_DOUBLE_EQ(heightFieldSd(grid, 2), std::sqrt((9 * 3.0625 + 7 * 5.0625) / 16));
}

TEST(HeightFieldSd, SidesBeyondTheGridAreRunTimeErrors) {
    const FloatGrid grid = imaging::makeWorkGrid();
    EXPECT_THROW(heightFieldSd(grid, 500), imaging::RunError);
    EXPECT_EQ(heightFieldSd(grid, 499), 0.0);
}

}  // namespace
