#pragma once
// The least-squares line through log-log points by the textbook formulas about the means, written
// independently of imaging's fit so that the fit tests of every suite check it against this.

#include <cmath>
#include <cstddef>
#include <vector>

namespace morph::testdata {

struct PlainFit {
    double slope;
    double intercept;
    double stdError;  // the ordinary standard error of the slope (n - 2 degrees of freedom)
};

inline PlainFit plainFit(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = double(x.size());
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
    mx /= n, my /= n;
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) sxx += (x[i] - mx) * (x[i] - mx), sxy += (x[i] - mx) * (y[i] - my);
    const double slope = sxy / sxx;
    double ss = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double r = y[i] - (my + slope * (x[i] - mx));
        ss += r * r;
    }
    return {slope, my - slope * mx, std::sqrt(ss / (n - 2) / sxx)};
}

}  // namespace morph::testdata
