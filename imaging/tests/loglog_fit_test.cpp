// The fit behind a dimension: least-squares line, R², standard error of the slope, Student's t
// quantiles and the 95 % interval, against hand-worked values and independent computations.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/box_counting.hpp"
#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/loglog_fit.hpp"
#include "imaging/numeric.hpp"
#include "imaging/surface.hpp"

using imaging::Fit;

namespace {

// Density of Student's t with nu degrees of freedom.
double tDensity(double t, int nu) {
    const double logC = std::lgamma((nu + 1) / 2.0) - std::lgamma(nu / 2.0) - 0.5 * std::log(nu * std::numbers::pi);
    return std::exp(logC - (nu + 1) / 2.0 * std::log1p(t * t / nu));
}

// P(0 <= T <= t) by composite Simpson's rule, independent of the closed form behind studentTTwoSided.
double tMassFromZero(double t, int nu) {
    const int steps = 20000;
    const double h = t / steps;
    double sum = tDensity(0, nu) + tDensity(t, nu);
    for (int i = 1; i < steps; ++i) sum += (i % 2 ? 4 : 2) * tDensity(i * h, nu);
    return sum * h / 3;
}

}  // namespace

TEST(LeastSquaresLine, HandWorkedSlopeAndIntercept) {
    // n = 4, Sx = 6, Sy = 10, Sxy = 19, Sxx = 14: slope (76 - 60) / (56 - 36) = 0.8,
    // intercept (10 - 0.8 * 6) / 4 = 1.3.
    const double x[] = {0.0, 1.0, 2.0, 3.0};
    const double y[] = {1.0, 3.0, 2.0, 4.0};
    const imaging::LeastSquaresLine line = imaging::leastSquaresLine(x, y, 4);
    EXPECT_DOUBLE_EQ(line.slope, 0.8);
    EXPECT_DOUBLE_EQ(line.intercept, 1.3);
    EXPECT_EQ(line.slope, imaging::leastSquaresSlope(x, y, 4));
}

TEST(LeastSquaresLine, SameSizesAreADivisionByZero) {
    const double x[] = {1.0, 1.0, 1.0};
    const double y[] = {1.0, 2.0, 3.0};
    EXPECT_THROW(imaging::leastSquaresLine(x, y, 3), imaging::RunError);
}

TEST(FitLogLog, HandWorkedExample) {
    // Residuals about y = 1.3 + 0.8 x: -0.3, 0.9, -0.9, 0.3, SSres = 1.8; SStot about 2.5 = 5;
    // R² = 1 - 1.8 / 5 = 0.64; Sxx about 1.5 = 5; se = sqrt(1.8 / 2 / 5) = sqrt(0.18).
    const Fit fit = imaging::fitLogLog({0, 1, 2, 3}, {1, 3, 2, 4}, imaging::kSurfaceAreaDimension);
    EXPECT_DOUBLE_EQ(fit.slope, 0.8);
    EXPECT_DOUBLE_EQ(fit.intercept, 1.3);
    EXPECT_NEAR(fit.rSquared, 0.64, 1e-15);
    ASSERT_TRUE(fit.slopeStdError.has_value());
    EXPECT_NEAR(*fit.slopeStdError, std::sqrt(0.18), 1e-15);
    EXPECT_DOUBLE_EQ(fit.dimension, 1.2);  // 2 - 0.8
    ASSERT_TRUE(fit.dimensionCi95.has_value());
    // t(0.975, 2) = 0.95 sqrt(2) / sqrt(1 - 0.95^2) exactly (closed form for two degrees of freedom).
    const double half = 4.302652729749464 * std::sqrt(0.18);
    EXPECT_NEAR((*fit.dimensionCi95)[0], 1.2 - half, 1e-12);
    EXPECT_NEAR((*fit.dimensionCi95)[1], 1.2 + half, 1e-12);
    EXPECT_EQ(fit.logSize, (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(fit.logMeasure, (std::vector<double>{1, 3, 2, 4}));
}

TEST(FitLogLog, PointsOnALineFitExactly) {
    const Fit fit = imaging::fitLogLog({0, 1, 2, 3, 4}, {1, -1, -3, -5, -7}, imaging::kBoxCountingDimension);
    EXPECT_EQ(fit.slope, -2.0);
    EXPECT_EQ(fit.intercept, 1.0);
    EXPECT_EQ(fit.rSquared, 1.0);
    EXPECT_EQ(*fit.slopeStdError, 0.0);
    EXPECT_EQ(fit.dimension, 2.0 - 0.09);
    EXPECT_EQ((*fit.dimensionCi95)[0], fit.dimension);
    EXPECT_EQ((*fit.dimensionCi95)[1], fit.dimension);
}

TEST(FitLogLog, UncorrelatedPointsHaveRSquaredZero) {
    // Symmetric V: slope 0, the line explains nothing.
    const Fit fit = imaging::fitLogLog({0, 1, 2, 3, 4}, {2, 1, 0, 1, 2}, imaging::kSurfaceAreaDimension);
    EXPECT_EQ(fit.slope, 0.0);
    EXPECT_EQ(fit.rSquared, 0.0);
    EXPECT_EQ(fit.dimension, 2.0);
    // SSres = 14/5 about the mean 6/5, Sxx = 10: se = sqrt(2.8 / 3 / 10).
    EXPECT_NEAR(*fit.slopeStdError, std::sqrt(2.8 / 30), 1e-15);
}

TEST(FitLogLog, FlatPointsOnTheLineHaveRSquaredOne) {
    const Fit fit = imaging::fitLogLog({0, 0.5, 1.5}, {3, 3, 3}, imaging::kSurfaceAreaDimension);
    EXPECT_EQ(fit.slope, 0.0);
    EXPECT_EQ(fit.rSquared, 1.0);
    EXPECT_EQ(*fit.slopeStdError, 0.0);
}

TEST(FitLogLog, TwoPointsHaveNoErrorOrInterval) {
    const Fit fit = imaging::fitLogLog({0, 1}, {0, 2}, imaging::kBoxCountingDimension);
    EXPECT_EQ(fit.slope, 2.0);
    EXPECT_EQ(fit.rSquared, 1.0);
    EXPECT_FALSE(fit.slopeStdError.has_value());
    EXPECT_FALSE(fit.dimensionCi95.has_value());
    EXPECT_THROW(imaging::fitLogLog({0}, {0}, imaging::kBoxCountingDimension), imaging::RunError);
    EXPECT_THROW(imaging::fitLogLog({0, 1}, {0}, imaging::kBoxCountingDimension), imaging::RunError);
}

TEST(FitLogLog, IntervalOfABoxCountingDimensionRunsTheOtherWay) {
    // D = -slope - 0.09: the upper end of the slope gives the lower end of the dimension.
    const Fit fit = imaging::fitLogLog({0, 1, 2, 3}, {4, 2, 3, 1}, imaging::kBoxCountingDimension);
    EXPECT_DOUBLE_EQ(fit.slope, -0.8);
    const double half = 4.302652729749464 * *fit.slopeStdError;
    EXPECT_NEAR((*fit.dimensionCi95)[0], 0.8 - 0.09 - half, 1e-12);
    EXPECT_NEAR((*fit.dimensionCi95)[1], 0.8 - 0.09 + half, 1e-12);
}

TEST(StudentT, ClosedFormsForOneAndTwoDegreesOfFreedom) {
    // nu = 1 (Cauchy): t = tan(pi p / 2); nu = 2: t = p sqrt(2 / (1 - p^2)).
    for (double p : {0.5, 0.9, 0.95, 0.99}) {
        EXPECT_NEAR(imaging::studentTTwoSided(p, 1), std::tan(std::numbers::pi * p / 2), 1e-12 * std::tan(1.56));
        EXPECT_NEAR(imaging::studentTTwoSided(p, 2), p * std::sqrt(2 / (1 - p * p)), 1e-13);
    }
}

TEST(StudentT, PublishedTableValues) {
    // Two-sided 95 % (one-sided 0.975) column of the usual t table.
    const struct {
        int nu;
        double t;
    } table[] = {{1, 12.706}, {2, 4.303}, {3, 3.182}, {4, 2.776}, {5, 2.571}, {6, 2.447}, {8, 2.306},
                 {10, 2.228}, {20, 2.086}, {30, 2.042}, {60, 2.000}, {120, 1.980}};
    for (const auto& row : table) EXPECT_NEAR(imaging::studentTTwoSided(0.95, row.nu), row.t, 5e-4) << row.nu;
    // Two-sided 90 % and 99 % with 3 and 4 degrees of freedom.
    EXPECT_NEAR(imaging::studentTTwoSided(0.90, 3), 2.353, 5e-4);
    EXPECT_NEAR(imaging::studentTTwoSided(0.99, 4), 4.604, 5e-4);
    // The degrees of freedom of our fits to more digits.
    EXPECT_NEAR(imaging::studentTTwoSided(0.95, 3), 3.182446305284263, 1e-12);
    EXPECT_NEAR(imaging::studentTTwoSided(0.95, 4), 2.776445105197793, 1e-12);
}

TEST(StudentT, QuantileEnclosesTheDensityMass) {
    for (int nu : {3, 4, 5, 9, 10}) {
        const double t = imaging::studentTTwoSided(0.95, nu);
        EXPECT_NEAR(tMassFromZero(t, nu), 0.475, 1e-11) << nu;
    }
}

TEST(StudentT, RefusesImpossibleArguments) {
    EXPECT_THROW(imaging::studentTTwoSided(0.95, 0), imaging::RunError);
    EXPECT_THROW(imaging::studentTTwoSided(1.0, 3), imaging::RunError);
    EXPECT_THROW(imaging::studentTTwoSided(0.0, 3), imaging::RunError);
}

TEST(BoxCountingFit, SameSlopeAndDimensionAsTheCount) {
    // One black row at y = 100 across the 200 x 200 set: counts 362, 90, 36, 18, 9.
    const auto& p = imaging::kLineDimensionBoxes;
    imaging::PictureSurface s(p.width + 1, p.height + 1);
    s.line(1, 100, 200, 100, imaging::kBlack);
    const imaging::BoxCountingResult result = imaging::boxCounting(s, p);
    ASSERT_EQ(result.counts[0], 362);
    const Fit fit = imaging::boxCountingFit(result, p);
    EXPECT_EQ(fit.dimension, result.dimension);
    EXPECT_EQ(fit.dimension, 1.0933691471869846);
    ASSERT_EQ(fit.logSize.size(), 5u);
    EXPECT_EQ(fit.logSize[2], std::log(5.0));
    EXPECT_EQ(fit.logMeasure[0], std::log(362.0));
    EXPECT_EQ(fit.logMeasure[4], std::log(9.0));
    // The doubled count at side 1 bends the line (values worked in plain double from the counts).
    EXPECT_NEAR(fit.intercept, 5.611448523448859, 1e-12);
    EXPECT_NEAR(fit.rSquared, 0.9764335181596367, 1e-12);
    EXPECT_NEAR(*fit.slopeStdError, 0.10614160532349612, 1e-12);
}

TEST(BoxCountingFit, WhiteAreaIsAFlatExactFit) {
    const auto& p = imaging::kStripBoxSides;
    imaging::PictureSurface s(p.width + 1, p.height + 1);
    const Fit fit = imaging::boxCountingFit(imaging::boxCounting(s, p), p);
    EXPECT_EQ(fit.dimension, -0.09);
    EXPECT_EQ(fit.rSquared, 1.0);
    EXPECT_EQ(*fit.slopeStdError, 0.0);
    EXPECT_EQ((*fit.dimensionCi95)[0], -0.09);
}
