// The measurement stages one by one, on hand-made grids and pictures whose results are known.

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/random.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;
using imaging::ErrorKind;
using imaging::RunError;

imaging::Image uniformImage(int w, int h, imaging::Colour c) { return imaging::Image(w, h, c); }

FloatGrid gridOf(float v) { return imaging::makeWorkGrid(v); }

template <class F>
void expectRunError(ErrorKind kind, F&& f) {
    try {
        f();
        ADD_FAILURE() << "no run-time error";
    } catch (const RunError& e) {
        EXPECT_EQ(e.kind(), kind) << e.what();
    }
}

// ---- Monochrome region image ----

TEST(PrepareGreyImage, DefaultSquareReads201By201Pixels) {
    imaging::Image photo(300, 250, imaging::kBlack);
    photo.at(200, 200) = imaging::kWhite;  // the last pixel of the square
    photo.at(201, 200) = imaging::kWhite;  // just outside it
    FloatGrid a = gridOf(-7), b = gridOf(-7);
    PictureSurface p2(201, 201);
    const GreyImageSums s = prepareGreyImage(PhotoView(photo), {0, 0, 200}, Variant::A, a, b, p2);
    EXPECT_EQ(s.pointCount, 40401);
    EXPECT_EQ(s.heightCount, 40401);
    EXPECT_EQ(s.extentX, 200);
    EXPECT_EQ(s.extentY, 200);
    EXPECT_EQ(a(200, 200), 200.0f);
    EXPECT_EQ(b(200, 200), 200.0f);
    EXPECT_EQ(a(199, 200), 0.0f);
    EXPECT_EQ(a(201, 200), -7.0f);  // cells beyond the square keep their values
    EXPECT_EQ(p2.pointAt(200, 200), imaging::kWhite);
    EXPECT_EQ(p2.pointAt(0, 0), imaging::kBlack);
    EXPECT_DOUBLE_EQ(s.heightSum, 200.0);
}

TEST(PrepareGreyImage, WhiteInputHasMeanHeightEqualToTheSide) {
    const imaging::Image photo = uniformImage(120, 120, imaging::kWhite);
    FloatGrid a = gridOf(0), b = gridOf(0);
    PictureSurface p2(101, 101);
    const GreyImageSums s = prepareGreyImage(PhotoView(photo), {10, 10, 100}, Variant::A, a, b, p2);
    EXPECT_DOUBLE_EQ(s.heightSum / double(s.heightCount), 100.0);
}

TEST(PrepareGreyImage, SquareBeyondThePhotoReadsWhiteAndDrawsAtTheTopLeft) {
    const imaging::Image photo = uniformImage(400, 400, imaging::greyColour(40));
    FloatGrid a = gridOf(0), b = gridOf(0);
    PictureSurface p2(201, 201);
    prepareGreyImage(PhotoView(photo), {300, 300, 200}, Variant::A, a, b, p2);
    EXPECT_EQ(p2.pointAt(99, 99), imaging::greyColour(40));
    EXPECT_EQ(p2.pointAt(100, 99), imaging::kWhite);
    EXPECT_EQ(p2.pointAt(99, 100), imaging::kWhite);
    EXPECT_EQ(a(150, 150), 200.0f);
}

TEST(PrepareGreyImage, GreyDrawnIsTheRoundedCellValue) {
    // A pure red pixel: grey 76.5, height 76.5 / 255 x 7 = 2.1 in single precision, redrawn as
    // round(2.1f / 7 x 255) = round(76.50000...) = 77 (the float cell is slightly above 2.1).
    imaging::Image photo(8, 8, imaging::rgbColour(255, 0, 0));
    FloatGrid a = gridOf(0), b = gridOf(0);
    PictureSurface p2(8, 8);
    prepareGreyImage(PhotoView(photo), {0, 0, 7}, Variant::A, a, b, p2);
    const float cell = a(3, 3);
    EXPECT_EQ(cell, static_cast<float>(76.5 / 255 * 7));
    const int expected = static_cast<int>(std::nearbyint(double(cell) / 7 * 255));
    EXPECT_EQ(p2.pointAt(3, 3), imaging::greyColour(expected));
}

TEST(PrepareGreyImage, BadSidesAreRunTimeErrors) {
    const imaging::Image photo = uniformImage(50, 50, imaging::kWhite);
    FloatGrid a = gridOf(0), b = gridOf(0);
    PictureSurface p2(1, 1);
    expectRunError(ErrorKind::DivisionByZero,
                   [&] { prepareGreyImage(PhotoView(photo), {0, 0, 0}, Variant::A, a, b, p2); });
    expectRunError(ErrorKind::SubscriptOutOfRange,
                   [&] { prepareGreyImage(PhotoView(photo), {0, 0, 501}, Variant::A, a, b, p2); });
    expectRunError(ErrorKind::Overflow,
                   [&] { prepareGreyImage(PhotoView(photo), {32700, 0, 200}, Variant::A, a, b, p2); });
}

TEST(HighlightCompression, WorkedLevels) {
    EXPECT_EQ(highlightCompression(100), 100);
    EXPECT_NEAR(highlightCompression(110), 108, 1e-12);
    EXPECT_NEAR(highlightCompression(130), 125, 1e-12);
    EXPECT_NEAR(highlightCompression(150), 142, 1e-12);
    EXPECT_NEAR(highlightCompression(200), 162, 1e-12);
    EXPECT_NEAR(highlightCompression(119.9), 115.92, 1e-12);
    EXPECT_EQ(highlightCompression(120), 120);
    EXPECT_NEAR(highlightCompression(255), 164.75, 1e-12);
    EXPECT_EQ(highlightCompression(55.5), 55.5);
}

TEST(HighlightCompression, DarkImageGivesTheSameGridsAndPictureAsStartA) {
    imaging::Image photo(60, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) photo.at(x, y) = imaging::rgbColour((x * 7) % 101, (y * 3) % 101, (x + y) % 101);
    FloatGrid a1 = gridOf(0), b1 = gridOf(0), a2 = gridOf(0), b2 = gridOf(0);
    PictureSurface p1(51, 51), p2(51, 51);
    const auto s1 = prepareGreyImage(PhotoView(photo), {3, 4, 50}, Variant::A, a1, b1, p1);
    const auto s2 = prepareGreyImage(PhotoView(photo), {3, 4, 50}, Variant::B, a2, b2, p2);
    for (int y = 0; y <= 50; ++y)
        for (int x = 0; x <= 50; ++x) {
            ASSERT_EQ(a1(x, y), a2(x, y));
            ASSERT_EQ(p1.pointAt(x, y), p2.pointAt(x, y));
        }
    // Start(A) sums the double heights, START(B) the stored single-precision cells.
    double cells = 0;
    for (int y = 0; y <= 50; ++y)
        for (int x = 0; x <= 50; ++x) cells += double(a2(x, y));
    EXPECT_EQ(s2.heightSum, cells);
    EXPECT_NE(s1.heightSum, cells);
    EXPECT_NEAR(s1.heightSum, cells, 1e-3);
}

TEST(HighlightCompression, BrightLevelsAreStoredAsCompressedHeights) {
    EXPECT_EQ(static_cast<float>(greyHeight(255, 200, Variant::B)), static_cast<float>(164.75 * 200 / 255));
    EXPECT_EQ(greyHeight(255, 200, Variant::A), 255.0 / 255 * 200);
}

// ---- Start(C) normalization ----

TEST(GreyNormalization, CellAtTheMeanIsStoredAs159375) {
    FloatGrid a = gridOf(0), b = gridOf(0);
    // N = 200 x cell / 255 gives 100, 125, 150: mean 125.
    a(0, 0) = 127.5f;
    a(1, 0) = 159.375f;
    a(2, 0) = 191.25f;
    greyNormalization(a, b, 2, 0, 200);
    EXPECT_EQ(a(1, 0), 159.375f);
    EXPECT_EQ(b(1, 0), 159.375f);
    const double sd = std::sqrt(1250.0 / 3);
    EXPECT_EQ(a(2, 0), static_cast<float>((25 * 10 / sd + 125) / 200 * 255));
    EXPECT_EQ(a(0, 0), static_cast<float>((-25 * 10 / sd + 125) / 200 * 255));
}

TEST(GreyNormalization, FarOutliersAreCutTo30And220) {
    FloatGrid a = gridOf(0), b = gridOf(0);
    // 399 cells at 0 and one far above: that cell is about 20 standard deviations above the mean.
    for (int x = 0; x < 400; ++x) a(x, 0) = 0.0f;
    a(399, 0) = 255.0f;
    greyNormalization(a, b, 399, 0, 255);
    EXPECT_EQ(a(399, 0), 220.0f);
    FloatGrid c = gridOf(0), d = gridOf(0);
    for (int x = 0; x < 400; ++x) c(x, 0) = 255.0f;
    c(0, 0) = 0.0f;
    greyNormalization(c, d, 399, 0, 255);
    EXPECT_EQ(c(0, 0), 30.0f);
}

TEST(GreyNormalization, UniformSquareIsADivisionByZero) {
    FloatGrid a = gridOf(0), b = gridOf(0);
    expectRunError(ErrorKind::DivisionByZero, [&] { greyNormalization(a, b, 200, 200, 200); });
}

// ---- Grey-level height field ----

TEST(LoadGreyGrid, ReadsTheSquareWithOneExtraRowAndColumn) {
    PictureSurface p(201, 201);
    p.psetAt(0, 0, imaging::rgbColour(0, 0, 255));  // pure blue
    p.psetAt(1, 0, imaging::kBlack);
    FloatGrid a = gridOf(-1), b = gridOf(-1);
    const GridLoad load = loadGreyGrid(p, 200, a, b);
    EXPECT_EQ(load.pointCount, 202 * 202);
    EXPECT_EQ(load.extentX, 200);
    EXPECT_EQ(load.extentY, 200);
    EXPECT_EQ(a(0, 0), static_cast<float>(0.11 * 255 / 255 * 200));
    EXPECT_EQ(a(1, 0), 0.0f);
    EXPECT_EQ(a(201, 201), 200.0f);  // outside the picture: white
    EXPECT_EQ(b(201, 201), 200.0f);
    EXPECT_EQ(a(202, 202), -1.0f);   // beyond: untouched
    expectRunError(ErrorKind::SubscriptOutOfRange, [&] { loadGreyGrid(p, 500, a, b); });
}

// ---- Hessian image ----

TEST(HessianImage, WorkedGreys) {
    EXPECT_EQ(hessianGrey(0, 0), 155);
    EXPECT_EQ(hessianGrey(1, 0), 213);
    EXPECT_EQ(hessianGrey(1000, 0), 213);
    EXPECT_EQ(hessianGrey(-3, 0), 97);
    EXPECT_EQ(hessianGrey(0.5f, 0.5f), 203);
    EXPECT_EQ(hessianGrey(-8, -8), 107);
    EXPECT_EQ(hessianGrey(0, 2), 213);
}

TEST(HessianImage, UniformSquareDraws155InsideAFrameOfBackground) {
    FloatGrid b = gridOf(37.5f);
    PictureSurface p3(201, 201);
    hessianImage(b, 200, 200, 3, p3);
    EXPECT_EQ(p3.pointAt(4, 4), imaging::greyColour(155));
    EXPECT_EQ(p3.pointAt(197, 197), imaging::greyColour(155));
    EXPECT_EQ(p3.pointAt(3, 100), imaging::kWhite);
    EXPECT_EQ(p3.pointAt(100, 3), imaging::kWhite);
    EXPECT_EQ(p3.pointAt(198, 100), imaging::kWhite);
    EXPECT_EQ(p3.pointAt(100, 198), imaging::kWhite);
}

TEST(HessianImage, CurvatureAlongXOnlyGives213AndEqualCurvature203) {
    FloatGrid b = gridOf(0);
    for (int y = 0; y <= 60; ++y)
        for (int x = 0; x <= 60; ++x) b(x, y) = float(x * x) / 50;
    PictureSurface p3(61, 61);
    hessianImage(b, 60, 60, 3, p3);
    EXPECT_EQ(p3.pointAt(30, 30), imaging::greyColour(213));
    FloatGrid c = gridOf(0);
    for (int y = 0; y <= 60; ++y)
        for (int x = 0; x <= 60; ++x) c(x, y) = -float(x * x + y * y) / 50;
    PictureSurface q(61, 61);
    hessianImage(c, 60, 60, 3, q);
    EXPECT_EQ(q.pointAt(30, 30), imaging::greyColour(107));
}

// ---- Line and dot figures ----

int countBlack(const PictureSurface& p, int& maxX, int& maxY, int& minX, int& minY) {
    int n = 0;
    maxX = maxY = -1;
    minX = minY = 1 << 20;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            if (p.pointAt(x, y) == imaging::kBlack) {
                ++n;
                maxX = std::max(maxX, x), maxY = std::max(maxY, y);
                minX = std::min(minX, x), minY = std::min(minY, y);
            }
    return n;
}

TEST(LineDotFigures, UniformDarkFieldIsAllLineAndNoDot) {
    FloatGrid b = gridOf(50);
    PictureSurface p7(201, 201);
    EXPECT_EQ(lineFigure(b, 200, 200, p7), 1.0);
    int maxX, maxY, minX, minY;
    // The line stage visits x, y = 8..192: 185 x 185 pixels drawn from (1, 1).
    EXPECT_EQ(countBlack(p7, maxX, maxY, minX, minY), 185 * 185);
    EXPECT_EQ(minX, 1);
    EXPECT_EQ(maxX, 185);
    EXPECT_EQ(maxY, 185);
    PictureSurface q(201, 201);
    EXPECT_EQ(dotFigure(b, 200, 200, q), 0.0);
    EXPECT_EQ(countBlack(q, maxX, maxY, minX, minY), 0);
}

TEST(LineDotFigures, BrightFieldMarksNothing) {
    FloatGrid b = gridOf(100);
    PictureSurface p7(201, 201), q(201, 201);
    EXPECT_EQ(lineFigure(b, 200, 200, p7), 0.0);
    EXPECT_EQ(dotFigure(b, 200, 200, q), 0.0);
    int maxX, maxY, minX, minY;
    EXPECT_EQ(countBlack(p7, maxX, maxY, minX, minY), 0);
}

TEST(LineDotFigures, TwoDarkNeighboursAreDotsOfThe191By191Visited) {
    FloatGrid b = gridOf(150);
    b(100, 100) = 0.0f;
    b(101, 100) = 5.0f;
    PictureSurface q(201, 201);
    // The dot stage visits x, y = 5..195 (191 x 191) and draws pixel (x, y) at (x - 4, y - 4).
    EXPECT_EQ(dotFigure(b, 200, 200, q), 2.0 / (191.0 * 191.0));
    EXPECT_EQ(q.pointAt(96, 96), imaging::kBlack);
    EXPECT_EQ(q.pointAt(97, 96), imaging::kBlack);
    PictureSurface p7(201, 201);
    EXPECT_EQ(lineFigure(b, 200, 200, p7), 0.0);
}

TEST(LineDotFigures, SimilarityIsStrictAtTenLevels) {
    // A dark row of similar heights: ten levels apart is not similar, 9.99 is.
    FloatGrid b = gridOf(150);
    for (int x = 0; x <= 60; ++x) b(x, 30) = 40.0f;
    PictureSurface p7(61, 61);
    const double along = lineFigure(b, 60, 60, p7);
    EXPECT_GT(along, 0.0);
    FloatGrid c = gridOf(150);
    for (int x = 0; x <= 60; ++x) c(x, 30) = (x % 2) ? 40.0f : 50.0f;
    PictureSurface q(61, 61);
    EXPECT_EQ(lineFigure(c, 60, 60, q), 0.0);
    for (int x = 0; x <= 60; ++x) c(x, 30) = (x % 2) ? 40.0f : 49.99f;
    PictureSurface r(61, 61);
    EXPECT_EQ(lineFigure(c, 60, 60, r), along);
}

TEST(LineDotFigures, NoVisitedPixelIsADivisionByZero) {
    FloatGrid b = gridOf(0);
    PictureSurface p7(16, 16);
    expectRunError(ErrorKind::DivisionByZero, [&] { lineFigure(b, 15, 15, p7); });
}

// ---- Surface-area dimension and tiles ----

TEST(SurfaceDimension, FlatAndTiltedPlanesGiveDimensionTwo) {
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    FloatGrid flat = gridOf(77);
    EXPECT_EQ(surfaceAreaDimension(flat, 0, 0, 40, sizes, areas), 2.0);
    EXPECT_EQ(areas[1], 1600.0f);
    EXPECT_EQ(areas[6], 1600.0f);
    EXPECT_EQ(sizes[1], 1);
    EXPECT_EQ(sizes[2], 2);
    EXPECT_EQ(sizes[3], 4);
    EXPECT_EQ(sizes[4], 5);
    EXPECT_EQ(sizes[5], 10);
    EXPECT_EQ(sizes[6], 20);
    EXPECT_EQ(sizes[0], 0);
    EXPECT_EQ(sizes[7], 0);
    FloatGrid tilted = gridOf(0);
    for (int y = 0; y <= 500; ++y)
        for (int x = 0; x <= 500; ++x) tilted(x, y) = 0.5f * x + 0.25f * y;
    EXPECT_NEAR(surfaceAreaDimension(tilted, 40, 80, 40, sizes, areas), 2.0, 1e-12);
    EXPECT_NEAR(wholeWindowDimension(tilted, 40, sizes), 2.0, 1e-12);
}

TEST(SurfaceDimension, CheckerboardIsRougherThanAPlane) {
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    FloatGrid board = gridOf(0);
    for (int y = 0; y <= 100; ++y)
        for (int x = 0; x <= 100; ++x) board(x, y) = ((x + y) % 2) ? 200.0f : 0.0f;
    EXPECT_GT(surfaceAreaDimension(board, 0, 0, 40, sizes, areas), 2.0);
}

TEST(SurfaceDimension, TriangleAreasOfOneBox) {
    FloatGrid g = gridOf(0);
    g(1, 0) = 1.0f;  // P2 raised by 1 over a unit box
    // Triangle P1 P2 P3: edges 1, sqrt2, sqrt3 (right-angled) -> area sqrt2 / 2.
    const double a2 = 1, b2 = 2, c2 = 3, d2 = 1, e2 = 2;
    const double t1 = std::sqrt(4 * c2 * b2 - (b2 - a2 + c2) * (b2 - a2 + c2)) / 4;
    const double t2 = std::sqrt(4 * c2 * e2 - (e2 - d2 + c2) * (e2 - d2 + c2)) / 4;
    EXPECT_EQ(boxSurfaceArea(g, 0, 0, 1), t1 + t2);
    EXPECT_NEAR(t1, std::sqrt(2.0) / 2, 1e-15);
    EXPECT_NEAR(boxSurfaceArea(gridOf(5), 3, 3, 4), 16.0, 1e-12);
}

TEST(SurfaceDimension, WindowBelow20IsALogarithmOfZero) {
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    FloatGrid flat = gridOf(1);
    expectRunError(ErrorKind::InvalidArgument, [&] { surfaceAreaDimension(flat, 0, 0, 19, sizes, areas); });
}

TEST(SurfaceDimension, HugeWindowIsASubscriptErrorAtOnce) {
    // A window far beyond the grid must fail on its first out-of-range corner, not after listing
    // a trillion box corners.
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    FloatGrid flat = gridOf(1);
    expectRunError(ErrorKind::SubscriptOutOfRange, [&] { surfaceAreaDimension(flat, 0, 0, 1e12, sizes, areas); });
    expectRunError(ErrorKind::SubscriptOutOfRange, [&] { wholeWindowDimension(flat, 1e300, sizes); });
    // The last window that fits: far corners reach index 500 exactly.
    EXPECT_EQ(surfaceAreaDimension(flat, 460, 460, 40, sizes, areas), 2.0);
    expectRunError(ErrorKind::SubscriptOutOfRange, [&] { surfaceAreaDimension(flat, 461, 0, 40, sizes, areas); });
}

TEST(TiledStatistics, UniformSquareGivesMeanTwoAndNoSpread) {
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    std::array<float, 501> tiles{};
    FloatGrid flat = gridOf(100);
    const TileStatistics s = tiledDimensionStatistics(flat, 200, 200, 40, sizes, areas, tiles);
    EXPECT_EQ(s.n, 25);
    EXPECT_EQ(s.mean, 2.0f);
    EXPECT_EQ(s.sd, 0.0);
    EXPECT_EQ(tiledDimensionStatistics(flat, 200, 200, 50, sizes, areas, tiles).n, 16);
    // More than 500 tiles do not fit the tile table.
    expectRunError(ErrorKind::SubscriptOutOfRange,
                   [&] { tiledDimensionStatistics(flat, 460, 460, 20, sizes, areas, tiles); });
}

TEST(TiledStatistics, TilesAreNumberedColumnByColumnAndTileOneIsTheWholeWindow) {
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    std::array<float, 501> tiles{};
    FloatGrid g = gridOf(0);
    for (int y = 0; y <= 201; ++y)
        for (int x = 0; x <= 201; ++x) g(x, y) = float((x * 37 + y * 91) % 23) * (x < 40 ? 3.0f : 1.0f);
    tiledDimensionStatistics(g, 200, 200, 40, sizes, areas, tiles);
    EXPECT_EQ(tiles[1], static_cast<float>(wholeWindowDimension(g, 40, sizes)));
    EXPECT_EQ(tiles[2], static_cast<float>(surfaceAreaDimension(g, 0, 40, 40, sizes, areas)));
    EXPECT_EQ(tiles[6], static_cast<float>(surfaceAreaDimension(g, 40, 0, 40, sizes, areas)));
}

// ---- Outline stage and its dimension ----

TEST(OutlineStage, UniformPictureDrawsNothingAndMeasuresMinus009) {
    PictureSurface p2(201, 201);
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 201; ++x) p2.psetAt(x, y, imaging::greyColour(120));
    FloatGrid a = gridOf(0);
    PictureSurface p7(201, 201);
    imaging::FastRandom random(5);
    const OutlineResult r = outlineStage(p2, 4, a, p7, random);
    EXPECT_EQ(r.meanB, 120.0);
    EXPECT_EQ(r.extentX, 201);
    EXPECT_EQ(r.extentY, 198);
    EXPECT_EQ(a(201, 0), 200.0f);  // the column read from outside the picture is white
    EXPECT_EQ(a(200, 0), 0.0f);
    int maxX, maxY, minX, minY;
    EXPECT_EQ(countBlack(p7, maxX, maxY, minX, minY), 0);
    EXPECT_EQ(lineDimension(p7), -0.09);
}

TEST(OutlineStage, BrightDiscOnDarkGroundLeavesDotsAtOddCoordinates) {
    PictureSurface p2(201, 201);
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 201; ++x) {
            const bool inside = (x - 100) * (x - 100) + (y - 100) * (y - 100) < 40 * 40;
            p2.psetAt(x, y, inside ? imaging::greyColour(230) : imaging::greyColour(20));
        }
    FloatGrid a = gridOf(0);
    PictureSurface p7(201, 201);
    imaging::FastRandom random(9);
    outlineStage(p2, 4, a, p7, random);
    int maxX, maxY, minX, minY;
    const int n = countBlack(p7, maxX, maxY, minX, minY);
    EXPECT_GT(n, 50);
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 201; ++x)
            if (p7.pointAt(x, y) == imaging::kBlack) {
                EXPECT_EQ(x % 2, 1);
                EXPECT_EQ(y % 2, 1);
                const double r = std::hypot(x - 100, y - 100);
                EXPECT_GT(r, 38.0);  // just outside the disc (dark pixels next to it)
                EXPECT_LT(r, 46.0);
            }
    const double d = lineDimension(p7);
    EXPECT_GT(d, 0.5);
    EXPECT_LT(d, 1.5);
}

TEST(OutlineStage, NonNumberNeighbourDistanceIsRejectedByTheDriverNotHere) {
    // A fractional distance selects cells by rounding and still runs.
    PictureSurface p2(61, 61);
    FloatGrid a = gridOf(0);
    PictureSurface p7(61, 61);
    imaging::FastRandom random(1);
    EXPECT_NO_THROW(outlineStage(p2, 2.5, a, p7, random));
}

// ---- Colour-tone deviation ----

TEST(ColourTone, UniformGreySquareSpread256000000AndToneDeviationFromTheWhiteBorder) {
    PictureSurface p2(201, 201);
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 201; ++x) p2.psetAt(x, y, imaging::greyColour(90));
    FloatGrid a = gridOf(0), b = gridOf(0);
    const ColourToneResult r = colourToneStatistics(p2, 200, a, b);
    EXPECT_EQ(r.tone.histogramSpread, 256000000.0f);
    EXPECT_EQ(r.load.pointCount, 202 * 202);
    // Row and column 201 read white: the mean lies above the grey of the square.
    const double h = double(static_cast<float>(imaging::greyOf(imaging::greyColour(90)) / 255 * 200));
    const double mean = (201.0 * 201.0 * (imaging::greyOf(imaging::greyColour(90)) / 255 * 200) +
                         (202.0 * 202.0 - 201.0 * 201.0) * 200.0) / (202.0 * 202.0);
    EXPECT_NEAR(r.tone.deviation, mean - h, 1e-9);
    EXPECT_GT(r.tone.deviation, 0.0);
}

TEST(ColourTone, EvenlySpreadGreysGiveSpreadZeroAndBinEdgesBelongUpwards) {
    PictureSurface p2(201, 201);
    const int greys[5] = {0, 50, 100, 150, 255};  // one band of 40 rows per bin, edges included
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 201; ++x) p2.psetAt(x, y, imaging::greyColour(greys[std::min(y / 40, 4)]));
    FloatGrid a = gridOf(0), b = gridOf(0);
    const ColourToneResult r = colourToneStatistics(p2, 200, a, b);
    EXPECT_EQ(r.tone.histogramSpread, 0.0f);
    EXPECT_EQ(b(0, 40), 50.0f);
}

// ---- Random texture sampling ----

TextureSampling sampleUniform(imaging::Colour c) {
    const imaging::Image photo = uniformImage(201, 201, c);
    FloatGrid a = gridOf(0), b = gridOf(0);
    PictureSurface p2(201, 201);
    const GreyImageSums s = prepareGreyImage(PhotoView(photo), {0, 0, 200}, Variant::A, a, b, p2);
    imaging::FastRandom random(11);
    return randomTextureSampling(a, s.heightSum, s.heightCount, 200, random);
}

TEST(TextureSampling, UniformWhiteSquare) {
    const TextureSampling s = sampleUniform(imaging::kWhite);
    EXPECT_EQ(s.meanBrightness, 0.78125);
    for (float share : {s.darkFrameShareR2, s.darkFrameShareR4, s.darkFrameShareR6, s.darkFrameShareR8, s.darkFrameShareR10})
        EXPECT_EQ(share, 0.0f);
    EXPECT_EQ(s.darkLineShare, 0.0);
    EXPECT_EQ(s.boxDarknessMean, 96.46875);
    EXPECT_EQ(s.boxDarknessSd, 0.0);
    EXPECT_EQ(s.ringBrightnessR5to11, 39.0625);
    EXPECT_EQ(s.ringBrightnessR23to29, 39.0625);
    EXPECT_EQ(s.ringBrightnessR41to47, 39.0625);
}

TEST(TextureSampling, UniformBlackSquare) {
    const TextureSampling s = sampleUniform(imaging::kBlack);
    EXPECT_EQ(s.meanBrightness, 0.0);
    for (float share : {s.darkFrameShareR2, s.darkFrameShareR4, s.darkFrameShareR6, s.darkFrameShareR8, s.darkFrameShareR10})
        EXPECT_EQ(share, 0.0f);
    EXPECT_EQ(s.darkLineShare, 1.0);
    EXPECT_EQ(s.boxDarknessMean, 441.0);
    EXPECT_EQ(s.boxDarknessSd, 0.0);
    EXPECT_EQ(s.ringBrightnessR5to11, 0.0);
    EXPECT_EQ(s.ringBrightnessR23to29, 0.0);
    EXPECT_EQ(s.ringBrightnessR41to47, 0.0);
}

TEST(TextureSampling, DarkFramesAroundBrightInsidesAreHits) {
    // Bright 5 x 5 squares inside dark lines (period 6): some r = 2 frames are dark around a bright inside.
    FloatGrid a = gridOf(0);
    for (int y = 0; y <= 200; ++y)
        for (int x = 0; x <= 200; ++x) a(x, y) = (x % 6 == 0 || y % 6 == 0) ? 0.0f : 200.0f;
    imaging::FastRandom random(3);
    const TextureSampling s = randomTextureSampling(a, 0, 1, 200, random);
    EXPECT_GT(s.darkFrameShareR2, 0.0f);
    EXPECT_LT(s.darkFrameShareR2, 1.0f);
    EXPECT_EQ(s.darkFrameShareR2, static_cast<float>(std::nearbyint(s.darkFrameShareR2 * 200.0) / 200.0));
}

// Returns the same number at every draw.
class ConstantRandom final : public imaging::UniformRandom {
public:
    explicit ConstantRandom(double u) : u_(u) {}
    double next() override { return u_; }
    void reseedFromClock() override {}

private:
    double u_;
};

TEST(TextureSampling, RingAngleIsKeptInDoublePrecision) {
    // u x 360 = 89.9999893 degrees lies just below the angle where cos(3.141593 / 180 x theta)
    // turns negative; the same angle rounded to single precision (89.99999237) lies just above.
    // With the middle column of the square at x = 100 bright and x = 99 dark, every ring point
    // reads x = 100 only when the angle stays in double.
    FloatGrid a = gridOf(0);
    for (int y = 0; y <= 200; ++y)
        for (int x = 100; x <= 200; ++x) a(x, y) = 200.0f;
    ConstantRandom random(89.9999893 / 360);
    const TextureSampling s = randomTextureSampling(a, 0, 1, 200, random);
    EXPECT_EQ(s.ringBrightnessR5to11, 39.0625);  // 50 points x 200 / 256 on each ring
    EXPECT_EQ(s.ringBrightnessR23to29, 39.0625);
    EXPECT_EQ(s.ringBrightnessR41to47, 39.0625);
}

// Returns `before` for the first `count` draws, then repeats `cycle`.
class ScriptedRandom final : public imaging::UniformRandom {
public:
    ScriptedRandom(int count, double before, std::vector<double> cycle)
        : count_(count), before_(before), cycle_(std::move(cycle)) {}
    double next() override {
        const int i = drawn_++;
        return i < count_ ? before_ : cycle_[std::size_t(i - count_) % cycle_.size()];
    }
    void reseedFromClock() override {}
    int drawn() const { return drawn_; }

private:
    int count_;
    double before_;
    std::vector<double> cycle_;
    int drawn_ = 0;
};

TEST(TextureSampling, RingsDrawAngleThenRadialThenVerticalJitterAfter3000Draws) {
    // Frames 5 x 200 x 2, lines 200 x 3 and boxes 200 x 2 draws come first; then each ring point
    // draws its angle (0 here: cos 1, sin 0), the jitter of px (0: radius R + 1.5) and the jitter
    // of py (0.9). With heights equal to x, a ring point at radius R reads x = 100 + R + 1.
    FloatGrid a = gridOf(0);
    for (int y = 0; y <= 500; ++y)
        for (int x = 0; x <= 500; ++x) a(x, y) = float(x);
    ScriptedRandom random(3000, 0.5, {0.0, 0.0, 0.9});
    const TextureSampling s = randomTextureSampling(a, 0, 1, 200, random);
    EXPECT_EQ(random.drawn(), 3000 + 19 * 50 * 3);
    EXPECT_EQ(s.ringBrightnessR5to11, 50.0 * (106 + 109 + 112) / 256 / 3);
    EXPECT_EQ(s.ringBrightnessR23to29, 50.0 * (124 + 127 + 130) / 256 / 3);
    EXPECT_EQ(s.ringBrightnessR41to47, 50.0 * (142 + 145 + 148) / 256 / 3);
}

TEST(TextureSampling, SmallSquareRingsLeaveTheGrid) {
    FloatGrid a = gridOf(100);
    imaging::FastRandom random(3);
    expectRunError(ErrorKind::SubscriptOutOfRange, [&] { randomTextureSampling(a, 100, 1, 40, random); });
}

TEST(TextureSampling, SameSeedSameLineDifferentReseedDifferentLine) {
    FloatGrid a = gridOf(0);
    for (int y = 0; y <= 200; ++y)
        for (int x = 0; x <= 200; ++x) a(x, y) = float((x * 13 + y * 7) % 200);
    imaging::FastRandom r1(42), r2(42);
    const TextureSampling s1 = randomTextureSampling(a, 1000, 10, 200, r1);
    const TextureSampling s2 = randomTextureSampling(a, 1000, 10, 200, r2);
    EXPECT_EQ(s1.boxDarknessMean, s2.boxDarknessMean);
    EXPECT_EQ(s1.ringBrightnessR41to47, s2.ringBrightnessR41to47);
    EXPECT_EQ(s1.meanBrightness, 1000.0 / 10 / 256);
    // The stage reseeds "from the clock" at its start: a second call draws a new stream.
    const TextureSampling s3 = randomTextureSampling(a, 1000, 10, 200, r1);
    EXPECT_NE(s1.boxDarknessMean, s3.boxDarknessMean);
}

}  // namespace
