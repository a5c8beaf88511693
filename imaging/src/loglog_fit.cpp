#include "imaging/loglog_fit.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "imaging/errors.hpp"

namespace imaging {

LeastSquaresLine leastSquaresLine(const double* x, const double* y, int n) {
    long double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i];
        const double yi = y[i];
        const double xy = xi * yi;
        const double xx = xi * xi;
        sx += xi;
        sy += yi;
        sxy += xy;
        sxx += xx;
    }
    const double Sx = static_cast<double>(sx);
    const double Sy = static_cast<double>(sy);
    const double Sxx = static_cast<double>(sxx);
    const double Sxy = static_cast<double>(sxy);
    const double dn = n;
    const double denominator = dn * Sxx - Sx * Sx;
    if (denominator == 0.0) throw RunError::divisionByZero();
    LeastSquaresLine line;
    line.slope = (dn * Sxy - Sx * Sy) / denominator;
    line.intercept = (Sy - line.slope * Sx) / dn;
    return line;
}

namespace {

// Sums of squares about the means and about the line.
struct Scatter {
    long double sxx = 0;    // sum of (x - mean x)^2
    long double syy = 0;    // sum of (y - mean y)^2
    long double ssres = 0;  // sum of (y - intercept - slope x)^2
};

Scatter scatterOf(const double* x, const double* y, int n, double slope, double intercept) {
    long double mx = 0, my = 0;
    for (int i = 0; i < n; ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= n;
    my /= n;
    Scatter s;
    for (int i = 0; i < n; ++i) {
        const long double dx = x[i] - mx;
        const long double dy = y[i] - my;
        const long double r = y[i] - (static_cast<long double>(intercept) + static_cast<long double>(slope) * x[i]);
        s.sxx += dx * dx;
        s.syy += dy * dy;
        s.ssres += r * r;
    }
    return s;
}

// P(|T| <= t) for Student's t with nu degrees of freedom, as a function of theta = atan(t / sqrt(nu)):
// the finite series for whole nu (odd: 2/pi (theta + sin theta (cos theta + 2/3 cos^3 theta + ...));
// even: sin theta (1 + 1/2 cos^2 theta + 1.3/(2.4) cos^4 theta + ...)).
double twoSidedProbability(double theta, int nu) {
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double c2 = c * c;
    if (nu % 2 == 1) {
        double sum = 0;
        if (nu > 1) {
            double term = c;
            sum = c;
            for (int k = 3; k <= nu - 2; k += 2) {
                term *= c2 * (k - 1) / k;
                sum += term;
            }
        }
        return 2.0 / std::numbers::pi * (theta + s * sum);
    }
    double term = 1;
    double sum = 1;
    for (int k = 2; k <= nu - 2; k += 2) {
        term *= c2 * (k - 1) / k;
        sum += term;
    }
    return s * sum;
}

}  // namespace

double coefficientOfDetermination(const double* x, const double* y, int n, double slope, double intercept) {
    const Scatter s = scatterOf(x, y, n, slope, intercept);
    if (s.syy == 0) return s.ssres == 0 ? 1.0 : 0.0;
    const double r2 = static_cast<double>(1.0L - s.ssres / s.syy);
    return r2 < 0.0 ? 0.0 : (r2 > 1.0 ? 1.0 : r2);
}

std::optional<double> slopeStandardError(const double* x, const double* y, int n, double slope, double intercept) {
    if (n < 3) return std::nullopt;
    const Scatter s = scatterOf(x, y, n, slope, intercept);
    if (s.sxx == 0) throw RunError::divisionByZero();
    return static_cast<double>(std::sqrt(s.ssres / (n - 2) / s.sxx));
}

double studentTTwoSided(double coverage, int degreesOfFreedom) {
    if (degreesOfFreedom < 1 || !(coverage > 0.0 && coverage < 1.0))
        throw RunError::invalidArgument("Student's t quantile of " + std::to_string(coverage) + " with " +
                                        std::to_string(degreesOfFreedom) + " degrees of freedom");
    // The probability rises monotonically with theta on [0, pi/2): bisect theta to the last bit.
    double lo = 0.0, hi = std::numbers::pi / 2;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid <= lo || mid >= hi) break;
        if (twoSidedProbability(mid, degreesOfFreedom) < coverage)
            lo = mid;
        else
            hi = mid;
    }
    return std::sqrt(static_cast<double>(degreesOfFreedom)) * std::tan(0.5 * (lo + hi));
}

Fit fitLogLog(std::vector<double> logSize, std::vector<double> logMeasure, DimensionFromSlope rule) {
    if (logSize.size() != logMeasure.size() || logSize.size() < 2)
        throw RunError::invalidArgument("a fit needs two or more points of equal count");
    const int n = static_cast<int>(logSize.size());
    Fit fit;
    const LeastSquaresLine line = leastSquaresLine(logSize.data(), logMeasure.data(), n);
    fit.slope = line.slope;
    fit.intercept = line.intercept;
    fit.dimension = rule(line.slope);
    fit.rSquared = coefficientOfDetermination(logSize.data(), logMeasure.data(), n, line.slope, line.intercept);
    fit.slopeStdError = slopeStandardError(logSize.data(), logMeasure.data(), n, line.slope, line.intercept);
    if (fit.slopeStdError) {
        const double halfWidth = studentTTwoSided(0.95, n - 2) * *fit.slopeStdError;
        const double a = rule(line.slope - halfWidth);
        const double b = rule(line.slope + halfWidth);
        fit.dimensionCi95 = std::array<double, 2>{std::min(a, b), std::max(a, b)};
    }
    fit.logSize = std::move(logSize);
    fit.logMeasure = std::move(logMeasure);
    return fit;
}

}  // namespace imaging
