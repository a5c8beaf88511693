// Work grids: indices 0..500 in both dimensions, bad indices are "Subscript out of range".

#include <gtest/gtest.h>

#include <cmath>

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

// Zero grids take zeroed memory from the system instead of being written; every cell still
// reads +0, other fills (including -0, whose bits are not zero) are written, and copies keep
// every cell.
TEST(WorkGrid, FreshGridsHoldTheirFillInEveryCell) {
    for (int round = 0; round < 3; ++round) {
        // Memory given back by an earlier grid full of other values must not show through.
        {
            imaging::FloatGrid dirty = imaging::makeWorkGrid(7.5f);
            dirty(250, 250) = 1e30f;
        }
        imaging::FloatGrid zero = imaging::makeWorkGrid();
        imaging::FloatGrid negativeZero = imaging::makeWorkGrid(-0.0f);
        imaging::Grid<short> small(30, 2);
        int wrong = 0;
        for (int y = 0; y <= 500; ++y)
            for (int x = 0; x <= 500; ++x) {
                wrong += zero(x, y) != 0.0f || std::signbit(zero(x, y));
                wrong += !std::signbit(negativeZero(x, y));
            }
        for (int x = 0; x <= 30; ++x) wrong += small(x, 2) != 0;
        EXPECT_EQ(wrong, 0);
        zero(3, 4) = 2.0f;
        const imaging::FloatGrid copy = zero;
        EXPECT_EQ(copy(3, 4), 2.0f);
        EXPECT_EQ(copy(500, 500), 0.0f);
    }
}
