// Work grids: indices 0..500 in both dimensions, bad indices are "Subscript out of range".

#include <gtest/gtest.h>

#include <utility>

#include "imaging/errors.hpp"
#include "imaging/grid.hpp"
#include "test_support.hpp"

TEST(WorkGrid, CornersAreAddressable) {
    imaging::FloatGrid g = imaging::makeWorkGrid();
    EXPECT_EQ(g.maxX(), 500);
    EXPECT_EQ(g.maxY(), 500);
    g(0, 0) = 1.5f;
    g(500, 0) = 2.5f;
    g(0, 500) = 3.5f;
    g(500, 500) = 4.5f;
    EXPECT_EQ(g(0, 0), 1.5f);
    EXPECT_EQ(g(500, 0), 2.5f);
    EXPECT_EQ(g(0, 500), 3.5f);
    EXPECT_EQ(g(500, 500), 4.5f);
    EXPECT_EQ(g(250, 250), 0.0f);
    EXPECT_EQ(g.cell(500, 0), 2.5f);
}

TEST(WorkGrid, FirstIndexIsXSecondIsY) {
    imaging::Grid<int> g(3, 1);
    g(3, 0) = 7;
    g(0, 1) = 9;
    EXPECT_EQ(g(3, 0), 7);
    EXPECT_EQ(g(0, 1), 9);
    EXPECT_THROW(g(1, 3), imaging::RunError);
}

TEST(WorkGrid, OutOfBoundsIsSubscriptOutOfRange) {
    imaging::FloatGrid g = imaging::makeWorkGrid();
    const imaging::FloatGrid& cg = g;
    const std::pair<int, int> bad[] = {{501, 0}, {0, 501}, {-1, 0}, {0, -1}, {501, 501}, {-32768, 32767}};
    for (auto [x, y] : bad) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        EXPECT_EQ(imaging_test::runErrorMessage([&] { g(x, y) = 1.0f; }), "Subscript out of range");
        EXPECT_EQ(imaging_test::runErrorMessage([&] { (void)cg(x, y); }), "Subscript out of range");
        try {
            g(x, y);
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::SubscriptOutOfRange);
        }
    }
    EXPECT_FALSE(g.contains(501, 0));
    EXPECT_TRUE(g.contains(500, 500));
}

TEST(WorkGrid, FillAndInitialValue) {
    imaging::FloatGrid g = imaging::makeWorkGrid(255.0f);
    EXPECT_EQ(g(17, 400), 255.0f);
    g.fill(-1.0f);
    EXPECT_EQ(g(500, 500), -1.0f);
}
