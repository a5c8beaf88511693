// The fits behind the texture dimensions: their points are the ones measured, their slopes and
// standard errors are ordinary least squares of those points, their dimensions are the reported
// columns, and keeping them changes no result.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "imaging/loglog_fit.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/run_driver.hpp"
#include "testdata/plain_fit.hpp"
#include "testdata/reference_data.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

using morph::testdata::PlainFit;
using morph::testdata::plainFit;

void expectOrdinaryLeastSquares(const imaging::Fit& fit, std::size_t points, const char* what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(fit.logSize.size(), points);
    ASSERT_EQ(fit.logMeasure.size(), points);
    const PlainFit plain = plainFit(fit.logSize, fit.logMeasure);
    EXPECT_NEAR(fit.slope, plain.slope, 1e-9);
    ASSERT_TRUE(fit.slopeStdError.has_value());
    EXPECT_NEAR(*fit.slopeStdError, plain.stdError, 1e-9);
    EXPECT_GE(fit.rSquared, 0.0);
    EXPECT_LE(fit.rSquared, 1.0);
    ASSERT_TRUE(fit.dimensionCi95.has_value());
    EXPECT_LE((*fit.dimensionCi95)[0], fit.dimension);
    EXPECT_GE((*fit.dimensionCi95)[1], fit.dimension);
}

// A synthetic photograph: soft blobs and stripes, different from every bundled one.
imaging::Image stripesAndBlobs() {
    imaging::Image image(260, 240);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double v = 128 + 60 * std::sin(x * 0.21) * std::cos(y * 0.13) + 40 * std::sin((x + 2 * y) * 0.05);
            const int g = std::clamp(int(v), 0, 255);
            image.at(x, y) = imaging::Colour(g | (std::clamp(g + 30, 0, 255) << 8) | (std::clamp(g + 60, 0, 255) << 16));
        }
    return image;
}

std::vector<std::pair<std::string, imaging::Image>> fivePhotographs() {
    std::vector<std::pair<std::string, imaging::Image>> photos;
    for (const std::string& path :
         {morph::testdata::samplePath("skin_sample.jpg"), morph::testdata::samplePath("lesion_sample.jpg"),
          morph::testdata::path("reference/skin_texture.jpg"), morph::testdata::path("reference/lesion.jpg")})
        photos.emplace_back(path, imaging::loadImageFile(path));
    photos.emplace_back("stripes and blobs", stripesAndBlobs());
    return photos;
}

}  // namespace

TEST(TextureFits, FivePhotographsFitTheirOwnPointsAndReportTheColumns) {
    for (const auto& [name, photo] : fivePhotographs()) {
        SCOPED_TRACE(name);
        imaging::FastRandom random(11);
        TextureFits fits;
        const TextureMeasurements m = analyseSquare(photo, TextureParameters{}, random, &fits);

        expectOrdinaryLeastSquares(fits.outline, 5, "outline");
        EXPECT_EQ(fits.outline.dimension, m.outlineDimension);  // "line fr dim"
        EXPECT_EQ(fits.outline.logSize[4], std::log(20.0));

        expectOrdinaryLeastSquares(fits.surface.monochrome.wholeWindow, 6, "monochrome whole window");
        EXPECT_EQ(fits.surface.monochrome.wholeWindow.dimension, m.totalDimension);  // "FR tatal"
        EXPECT_EQ(fits.surface.monochrome.wholeWindow.logSize[2], std::log(4.0));

        expectOrdinaryLeastSquares(fits.surface.hessian.wholeWindow, 6, "Hessian whole window");

        // 200 / 40: 25 tiles each; their single-precision mean is the reported mean.
        for (const auto* tiles : {&fits.surface.monochrome.tiles, &fits.surface.hessian.tiles}) {
            ASSERT_EQ(tiles->size(), 25u);
            float sum = 0.0f;
            for (const TileFit& t : *tiles) {
                sum += t.dimension;
                EXPECT_GE(t.rSquared, 0.0);
                EXPECT_LE(t.rSquared, 1.0);
            }
            const float reportedMean = tiles == &fits.surface.monochrome.tiles ? m.monochrome.meanDimension
                                                                                : m.hessian.meanDimension;
            EXPECT_EQ(sum / 25.0f, reportedMean);
        }
        // The first tile is the window at the grid origin.
        EXPECT_EQ(fits.surface.monochrome.tiles[0].dimension, float(fits.surface.monochrome.wholeWindow.dimension));
        EXPECT_EQ(fits.surface.hessian.tiles[0].dimension, float(fits.surface.hessian.wholeWindow.dimension));
        EXPECT_EQ(fits.surface.hessian.tiles[0].rSquared, fits.surface.hessian.wholeWindow.rSquared);
    }
}

TEST(TextureFits, KeepingTheFitsChangesNoResult) {
    const imaging::Image photo = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    imaging::FastRandom r1(5), r2(5);
    TextureFits fits;
    const TextureMeasurements a = analyseSquare(photo, TextureParameters{}, r1, &fits);
    const TextureMeasurements b = analyseSquare(photo, TextureParameters{}, r2);
    EXPECT_EQ(resultRowText("x", a), resultRowText("x", b));
    EXPECT_EQ(samplingLineText(a.sampling), samplingLineText(b.sampling));
    EXPECT_EQ(a.monochrome.meanDimension, b.monochrome.meanDimension);
    EXPECT_EQ(a.monochrome.dimensionSd, b.monochrome.dimensionSd);
    EXPECT_EQ(a.hessian.meanDimension, b.hessian.meanDimension);
    EXPECT_EQ(a.hessian.dimensionSd, b.hessian.dimensionSd);
    EXPECT_EQ(a.totalDimension, b.totalDimension);
    EXPECT_EQ(a.outlineDimension, b.outlineDimension);
    EXPECT_EQ(fits.surface.monochrome.tiles.size(), 25u);
    EXPECT_EQ(fits.outline.logSize.size(), 5u);
}

TEST(TextureFits, FlatSurfaceIsAnExactFitOfDimensionTwo) {
    // Every box contributes s² on a flat grid: every ln area is ln 1600, slope 0.
    FloatGrid grid = imaging::makeWorkGrid();
    for (int x = 0; x <= 60; ++x)
        for (int y = 0; y <= 60; ++y) grid(x, y) = 7.0f;
    BoxSizes sizes{};
    imaging::Fit fit;
    EXPECT_EQ(wholeWindowDimension(grid, 40, sizes, &fit), 2.0);
    EXPECT_EQ(fit.dimension, 2.0);
    EXPECT_EQ(fit.slope, 0.0);
    EXPECT_EQ(fit.rSquared, 1.0);
    EXPECT_EQ(*fit.slopeStdError, 0.0);
    EXPECT_EQ(fit.logSize, (std::vector<double>{0, std::log(2.0), std::log(4.0), std::log(5.0), std::log(10.0),
                                                std::log(20.0)}));
    for (double y : fit.logMeasure) EXPECT_EQ(y, std::log(1600.0));
}

TEST(TextureFits, CheckerboardIsRougherThanAPlane) {
    // Heights 0 and 40 alternating: a large area at size 1, equal corners at the even sizes.
    FloatGrid grid = imaging::makeWorkGrid();
    for (int x = 0; x <= 60; ++x)
        for (int y = 0; y <= 60; ++y) grid(x, y) = (x + y) % 2 ? 40.0f : 0.0f;
    BoxSizes sizes{};
    imaging::Fit fit;
    const double d = wholeWindowDimension(grid, 40, sizes, &fit);
    EXPECT_EQ(fit.dimension, d);
    EXPECT_GT(d, 2.0);
    EXPECT_LT(fit.slope, 0.0);
    expectOrdinaryLeastSquares(fit, 6, "checkerboard");
    // The single tile of a 40 x 40 square is the same window.
    std::array<float, 201> areas{};
    std::array<float, 501> tiles{};
    std::vector<TileFit> tileFits;
    imaging::Fit origin;
    const TileStatistics stats = tiledDimensionStatistics(grid, 40, 40, 40, sizes, areas, tiles, &tileFits, &origin);
    ASSERT_EQ(stats.n, 1);
    ASSERT_EQ(tileFits.size(), 1u);
    EXPECT_EQ(tileFits[0].dimension, float(d));
    EXPECT_EQ(tileFits[0].rSquared, fit.rSquared);
    EXPECT_EQ(origin.slope, fit.slope);
}
