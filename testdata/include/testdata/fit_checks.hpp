#pragma once
// A reported fit (the JSON object behind a dimension) checked against its own log-log points: the
// slope, intercept and standard error of the plain least-squares line through them, R² within
// [0, 1], the dimension from the slope, and its 95 % interval from Student's t.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testdata/plain_fit.hpp"

namespace morph::testdata {

// Two-sided 95 % quantiles of Student's t (published tables) for 3 and 4 degrees of freedom, the
// box countings (five sizes) and surface-area fits (six sizes) the programs report.
inline double t975(std::size_t degreesOfFreedom) {
    if (degreesOfFreedom == 3) return 3.182446305284263;
    if (degreesOfFreedom == 4) return 2.7764451051977987;
    ADD_FAILURE() << "no t quantile for " << degreesOfFreedom << " degrees of freedom";
    return 0;
}

// Checks one fit object of `points` points; `constant` turns the slope into the dimension
// (box counting: -0.09 - slope, surface area: 2 - slope).
inline void expectFitOfItsOwnPoints(const nlohmann::ordered_json& fit, std::size_t points, double constant,
                                    const std::string& what) {
    SCOPED_TRACE(what);
    const std::vector<double> x = fit.at("logSize").get<std::vector<double>>();
    const std::vector<double> y = fit.at("logMeasure").get<std::vector<double>>();
    ASSERT_EQ(x.size(), points);
    ASSERT_EQ(y.size(), points);
    const PlainFit plain = plainFit(x, y);
    const double slope = fit.at("slope").get<double>();
    EXPECT_NEAR(slope, plain.slope, 1e-9);
    EXPECT_NEAR(fit.at("intercept").get<double>(), plain.intercept, 1e-9);
    ASSERT_TRUE(fit.at("slopeStdError").is_number());
    const double se = fit.at("slopeStdError").get<double>();
    EXPECT_NEAR(se, plain.stdError, 1e-9);
    const double r2 = fit.at("rSquared").get<double>();
    EXPECT_GE(r2, 0.0);
    EXPECT_LE(r2, 1.0);
    const double d = fit.at("dimension").get<double>();
    EXPECT_NEAR(d, constant - slope, 1e-12);
    ASSERT_TRUE(fit.at("dimensionCi95").is_array());
    ASSERT_EQ(fit.at("dimensionCi95").size(), 2u);
    const double half = t975(points - 2) * se;
    EXPECT_NEAR(fit.at("dimensionCi95")[0].get<double>(), d - half, 1e-9);
    EXPECT_NEAR(fit.at("dimensionCi95")[1].get<double>(), d + half, 1e-9);
}

}  // namespace morph::testdata
