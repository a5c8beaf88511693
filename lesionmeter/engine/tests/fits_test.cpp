// The fits behind FRD1 and the four profile dimensions: their points are the box counts, their
// slopes and standard errors are ordinary least squares of those points, and their dimensions are
// the reported ones.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "imaging/box_counting.hpp"
#include "imaging/colour.hpp"
#include "imaging/loglog_fit.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/stages.hpp"
#include "test_support.hpp"
#include "testdata/reference_data.hpp"

namespace lesionmeter {
namespace {

using testing::ScratchFolder;

void expectOrdinaryLeastSquares(const imaging::Fit& fit, const char* what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(fit.logSize.size(), 5u);
    ASSERT_EQ(fit.logMeasure.size(), 5u);
    double mx = 0, my = 0;
    for (int i = 0; i < 5; ++i) mx += fit.logSize[i] / 5, my += fit.logMeasure[i] / 5;
    double sxx = 0, sxy = 0;
    for (int i = 0; i < 5; ++i)
        sxx += (fit.logSize[i] - mx) * (fit.logSize[i] - mx), sxy += (fit.logSize[i] - mx) * (fit.logMeasure[i] - my);
    const double slope = sxy / sxx;
    double ss = 0;
    for (int i = 0; i < 5; ++i) ss += std::pow(fit.logMeasure[i] - my - slope * (fit.logSize[i] - mx), 2);
    EXPECT_NEAR(fit.slope, slope, 1e-9);
    ASSERT_TRUE(fit.slopeStdError.has_value());
    EXPECT_NEAR(*fit.slopeStdError, std::sqrt(ss / 3 / sxx), 1e-9);
    EXPECT_GE(fit.rSquared, 0.0);
    EXPECT_LE(fit.rSquared, 1.0);
    ASSERT_TRUE(fit.dimensionCi95.has_value());
    EXPECT_LE((*fit.dimensionCi95)[0], fit.dimension);
    EXPECT_GE((*fit.dimensionCi95)[1], fit.dimension);
}

// A dark, ragged-edged blot on skin tones, written as a BMP.
void writeBlot(const std::string& path, double roughness) {
    imaging::Image image(320, 240, imaging::Colour(0x95A9DB));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double a = std::atan2(y - 120.0, x - 160.0);
            const double r = 55 + roughness * (std::sin(7 * a) + 0.5 * std::sin(19 * a));
            if (std::hypot(x - 160.0, y - 120.0) < r) image.at(x, y) = imaging::Colour(0x203050 + ((x * y) % 17));
        }
    imaging::saveBmp(image, path);
}

}  // namespace

TEST(LesionFits, FivePhotographsFitTheirOwnPointsAndReportTheDimensions) {
    ScratchFolder scratch;
    writeBlot(scratch.file("smooth.bmp"), 3);
    writeBlot(scratch.file("ragged.bmp"), 14);
    const auto& reference = morph::testdata::lesionReference();
    const std::vector<std::string> photos = {reference.image, morph::testdata::samplePath("lesion_sample.jpg"),
                                             morph::testdata::path("reference/skin_texture.jpg"),
                                             scratch.file("smooth.bmp"), scratch.file("ragged.bmp")};
    for (const std::string& photo : photos) {
        SCOPED_TRACE(photo);
        imaging::FastRandom random(3);
        LesionSession session(random);
        // The reference clicks and weights on every photograph.
        morph::testdata::LesionScenario scenario = reference;
        scenario.image = photo;
        testing::loadAndSample(session, scenario);
        session.calcAndDrawWithWeights(testing::referenceWeights(reference));
        session.selectLine();
        EXPECT_TRUE(session.fractalFits().outline.logSize.empty());
        session.measureFractalDimensions();
        const FractalResults& r = session.fractalResults();
        const FractalFits& f = session.fractalFits();
        expectOrdinaryLeastSquares(f.outline, "outline");
        expectOrdinaryLeastSquares(f.row140, "row 140");
        expectOrdinaryLeastSquares(f.column140, "column 140");
        expectOrdinaryLeastSquares(f.row170, "row 170");
        expectOrdinaryLeastSquares(f.column170, "column 170");
        EXPECT_EQ(f.outline.dimension, r.outlineDimension);
        EXPECT_EQ(f.row140.dimension, r.profiles.upperRow);
        EXPECT_EQ(f.column140.dimension, r.profiles.leftColumn);
        EXPECT_EQ(f.row170.dimension, r.profiles.lowerRow);
        EXPECT_EQ(f.column170.dimension, r.profiles.rightColumn);
        EXPECT_EQ(session.texts().outlineDimension, imaging::numberText(f.outline.dimension));
        EXPECT_EQ(f.outline.logSize[0], std::log(3.0));
        // An outline was drawn and the profiles were plotted: neither count is empty.
        EXPECT_GT(f.outline.dimension, 0.9);
        EXPECT_GT(f.row140.dimension, 1.0);
        EXPECT_EQ(f.row140.logSize[4], std::log(15.0));
    }
}

TEST(LesionFits, AllBlackStripAndViewHaveTheWorkedCounts) {
    imaging::PictureSurface view(301, 301), strip(301, 61), white(301, 61);
    view.line(0, 0, 300, 300, imaging::kBlack, imaging::LineKind::FilledBox);
    strip.line(0, 0, 300, 60, imaging::kBlack, imaging::LineKind::FilledBox);
    FractalFits fits;
    const FractalResults r = measureFractalDimensions(view, strip, white, strip, white, &fits);
    EXPECT_EQ(fits.outline.logMeasure,
              (std::vector<double>{std::log(8649.0), std::log(1600.0), std::log(784.0), std::log(196.0), std::log(81.0)}));
    EXPECT_EQ(fits.row140.logMeasure, (std::vector<double>{std::log(14331.0), std::log(3500.0), std::log(560.0),
                                                           std::log(210.0), std::log(54.0)}));
    EXPECT_EQ(fits.outline.dimension, 1.930777687670256);
    EXPECT_EQ(fits.row170.dimension, 1.9619777055796217);
    // An empty strip: every count raised to 1, a flat exact fit at -0.09.
    EXPECT_EQ(fits.column140.dimension, -0.09);
    EXPECT_EQ(fits.column140.rSquared, 1.0);
    EXPECT_EQ(r.profiles.leftColumn, -0.09);
    // Without `fits` the results are the same.
    const FractalResults plain = measureFractalDimensions(view, strip, white, strip, white);
    EXPECT_EQ(plain.outlineDimension, r.outlineDimension);
    EXPECT_EQ(plain.profileDimension, r.profileDimension);
}

}  // namespace lesionmeter
