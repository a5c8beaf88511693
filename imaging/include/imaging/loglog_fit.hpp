#pragma once
// The straight-line fit behind a fractal dimension: the log-log points a measurement fits, its own
// least-squares slope and intercept, and how good the fit is (R², the standard error of the slope
// and the 95 % confidence interval of the dimension that follows from it).

#include <array>
#include <optional>
#include <vector>

namespace imaging {

// Slope and intercept of the least-squares line y = intercept + slope x. The slope is the one
// leastSquaresSlope returns for the same points, to the last bit; the intercept is
// (Sy - slope Sx) / n from the same sums.
struct LeastSquaresLine {
    double slope = 0;
    double intercept = 0;
};
LeastSquaresLine leastSquaresLine(const double* x, const double* y, int n);

// How a measurement turns its slope into the dimension it reports: constant + slopeFactor x slope.
struct DimensionFromSlope {
    double constant = 0;
    double slopeFactor = 1;
    double operator()(double slope) const { return slopeFactor * slope + constant; }
};
// Box counting: -slope - 0.09 (ln count against ln box side).
inline constexpr DimensionFromSlope kBoxCountingDimension{-0.09, -1.0};
// Surface area: 2 - slope (ln area against ln box size).
inline constexpr DimensionFromSlope kSurfaceAreaDimension{2.0, -1.0};

struct Fit {
    std::vector<double> logSize;     // the x of every fitted point, in fitting order
    std::vector<double> logMeasure;  // its y: ln count or ln area
    double slope = 0;
    double intercept = 0;
    double rSquared = 0;                               // in [0, 1]
    std::optional<double> slopeStdError;               // none with fewer than 3 points
    std::optional<std::array<double, 2>> dimensionCi95;  // [low, high]; none with fewer than 3 points
    double dimension = 0;
};

// The fit of the points (logSize[i], logMeasure[i]) with the slope and intercept of
// leastSquaresLine and the dimension `rule` derives from the slope. Throws "Division by zero" for
// points that all share one logSize (as leastSquaresSlope does).
Fit fitLogLog(std::vector<double> logSize, std::vector<double> logMeasure, DimensionFromSlope rule);

// The coefficient of determination 1 - SSres / SStot of the line (slope, intercept) through the
// points, held to [0, 1]. Points that all share one y give 1 when the line meets every point, else 0.
double coefficientOfDetermination(const double* x, const double* y, int n, double slope, double intercept);

// The ordinary standard error of the least-squares slope, sqrt(SSres / (n - 2) / Sxx) with Sxx the
// sum of the squared deviations of x from its mean; none for n < 3.
std::optional<double> slopeStandardError(const double* x, const double* y, int n, double slope, double intercept);

// The two-sided quantile of Student's t distribution with `degreesOfFreedom` (>= 1) degrees of
// freedom: the t with P(|T| <= t) = `coverage` (0 < coverage < 1). Exact to about 1e-14 relative.
double studentTTwoSided(double coverage, int degreesOfFreedom);

}  // namespace imaging
