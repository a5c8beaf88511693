// The one table of lesion measurement names: the JSON keys, the "name: value" lines and the
// results file's measurement columns are its entries, in its order.

#include <gtest/gtest.h>

#include <set>

#include "lesionmeter/measurement_names.hpp"
#include "lesionmeter/measurements_json.hpp"
#include "lesionmeter/results_row.hpp"

namespace lesionmeter {
namespace {

LesionMeasurements everything() {
    LesionMeasurements m;
    m.weights = Discriminant{0.1f, -0.2f, 0.3f, -0.04f, 0.05f, -0.06f};
    m.means = SampleMeans{200.5f, 120.0f, 98.33334f, 10.0f, 20.0f, 30.25f};
    m.fractal = FractalResults{1.25, {1.5, 1.75, 1.0 / 3.0, 2.0}, 1.6458333333333333};
    m.axis = AxisResults{42, 150.5, 110.25, 200, 120, 151, 111};
    return m;
}

TEST(MeasurementNames, TheJsonKeysAreTheTableInItsOrder) {
    const Json j = toJson(everything());
    std::vector<std::string> keys;
    for (const auto& [key, value] : j.items()) keys.push_back(key);
    EXPECT_EQ(keys, lesionMeasurementNames());
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), kLesionMeasurementNames.size());
    EXPECT_EQ(j["longRadiusEndX"], 200);
    EXPECT_EQ(j["shortRadiusEndY"], 111);
    EXPECT_EQ(j["inMeanBlue"].get<double>(), double(98.33334f));
}

TEST(MeasurementNames, TheLinesAndColumnsAreTheEntriesWithAColumn) {
    const auto values = namedValues(everything());
    ASSERT_EQ(values.size(), 20u);
    EXPECT_EQ(values.front(), (std::pair<std::string, std::string>{"weightRed", "0.1"}));
    EXPECT_EQ(values[12], (std::pair<std::string, std::string>{"outlineDimension", "1.25"}));
    EXPECT_EQ(values[15].second, "0.3333333333333333");
    EXPECT_EQ(values.back(), (std::pair<std::string, std::string>{"centroidY", "110.25"}));
    std::string columns;
    for (const LesionMeasurementName& entry : kLesionMeasurementNames)
        if (entry.column) columns += std::string(",") + entry.column;
    EXPECT_EQ(resultsHeader(), "photo,dateTime,scale,seed,inCount,inPositions,outCount,outPositions,centreX,centreY" +
                                   columns);
    // A step not reached: every value of it empty, the others stay.
    LesionMeasurements partial = everything();
    partial.fractal.reset();
    const auto missing = namedValues(partial);
    EXPECT_EQ(missing[12].second, "");
    EXPECT_EQ(missing[17].second, "");
    EXPECT_EQ(missing[18].second, "150.5");
}

TEST(MeasurementNames, MeasuredTextIsExactAndEmptyWhenNotMeasured) {
    EXPECT_EQ(measuredText(MeasuredValue()), "");
    EXPECT_EQ(measuredText(MeasuredValue(7)), "7");
    EXPECT_EQ(measuredText(MeasuredValue(0.1f)), "0.1");
    EXPECT_EQ(measuredText(MeasuredValue(0.1)), "0.1");
    EXPECT_EQ(measuredText(MeasuredValue(double(0.1f))), "0.10000000149011612");
}

}  // namespace
}  // namespace lesionmeter
