// The fit behind a dimension as a --json report writes it: every name in its place, numbers that
// read back bit for bit, null error and interval for a two-point fit.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "imaging/loglog_fit_json.hpp"

using imaging::Json;

TEST(FitJson, NamesInOrderAndNumbersThatReadBackExactly) {
    const imaging::Fit fit = imaging::fitLogLog({0, std::log(2.0), std::log(5.0), std::log(10.0)},
                                                {std::log(900.0), std::log(410.0), std::log(150.0), std::log(71.0)},
                                                imaging::kBoxCountingDimension);
    const Json j = imaging::toJson(fit);
    std::vector<std::string> names;
    for (const auto& item : j.items()) names.push_back(item.key());
    EXPECT_EQ(names, (std::vector<std::string>{"logSize", "logMeasure", "slope", "intercept", "rSquared",
                                                "slopeStdError", "dimensionCi95", "dimension"}));
    // Through text and back, as a reader of the report sees it.
    const Json back = Json::parse(j.dump());
    EXPECT_EQ(back.at("logSize").get<std::vector<double>>(), fit.logSize);
    EXPECT_EQ(back.at("logMeasure").get<std::vector<double>>(), fit.logMeasure);
    EXPECT_EQ(back.at("slope").get<double>(), fit.slope);
    EXPECT_EQ(back.at("intercept").get<double>(), fit.intercept);
    EXPECT_EQ(back.at("rSquared").get<double>(), fit.rSquared);
    EXPECT_EQ(back.at("slopeStdError").get<double>(), *fit.slopeStdError);
    ASSERT_EQ(back.at("dimensionCi95").size(), 2u);
    EXPECT_EQ(back.at("dimensionCi95")[0].get<double>(), (*fit.dimensionCi95)[0]);
    EXPECT_EQ(back.at("dimensionCi95")[1].get<double>(), (*fit.dimensionCi95)[1]);
    EXPECT_EQ(back.at("dimension").get<double>(), fit.dimension);
    EXPECT_LT(back.at("dimensionCi95")[0].get<double>(), back.at("dimension").get<double>());
}

TEST(FitJson, TwoPointsHaveNullErrorAndInterval) {
    const Json j = imaging::toJson(imaging::fitLogLog({0, 1}, {0, 2}, imaging::kSurfaceAreaDimension));
    EXPECT_TRUE(j.at("slopeStdError").is_null());
    EXPECT_TRUE(j.at("dimensionCi95").is_null());
    EXPECT_EQ(j.at("slope").get<double>(), 2.0);
    EXPECT_EQ(j.at("dimension").get<double>(), 0.0);
    EXPECT_EQ(j.at("rSquared").get<double>(), 1.0);
}
