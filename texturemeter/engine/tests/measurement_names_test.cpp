// The one table of texture measurement names: every member named once, the JSON report written
// and read back through it.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "texturemeter/measurement_names.hpp"
#include "texturemeter/measurements_json.hpp"

namespace {

using namespace texturemeter;

// Measurements whose every number differs from every other.
TextureMeasurements distinctMeasurements() {
    TextureMeasurements m;
    double next = 1.25;
    const auto fill = [&](const char*, auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::optional<std::array<double, 2>>>) {
            value = std::array<double, 2>{next, next + 0.5};
            next += 1;
        } else {
            value = static_cast<T>(next);
        }
        next += 1;
    };
    visitMeasurements(m, [&](const char*, auto& group) { visitFields(group, fill); }, fill);
    return m;
}

TEST(MeasurementNames, EveryNumberHasOneNameInItsGroup) {
    TextureMeasurements m;
    std::set<std::string> paths;
    int count = 0;
    visitMeasurements(
        m,
        [&](const char* group, auto& g) {
            visitFields(g, [&](const char* name, auto&) {
                ++count;
                paths.insert(std::string(group) + "." + name);
            });
        },
        [&](const char* name, auto&) {
            ++count;
            paths.insert(name);
        });
    // Two tiled dimensions of 5 numbers, 4 single numbers, the tone's 2 and the sampling's 12.
    EXPECT_EQ(count, 2 * 5 + 4 + 2 + 12);
    EXPECT_EQ(paths.size(), std::size_t(count));
    EXPECT_EQ(paths.count("hessian.meanDimensionCi95"), 1u);
    EXPECT_EQ(paths.count("sampling.ringBrightnessR41to47"), 1u);
    EXPECT_EQ(paths.count("outlineDimension"), 1u);
}

TEST(MeasurementNames, TheReportIsWrittenAndReadThroughTheTable) {
    const TextureMeasurements m = distinctMeasurements();
    const Json j = toJson(m);
    EXPECT_EQ(j.at("monochrome").at("meanDimension").get<double>(), 1.25);
    EXPECT_EQ(j.at("monochrome").at("meanDimensionCi95").at(1).get<double>(), 5.75);
    EXPECT_EQ(j.at("hessian").at("meanDimension").get<double>(), 7.25);
    EXPECT_EQ(j.at("tone").at("histogramSpread").get<double>(), 18.25);
    EXPECT_EQ(j.at("sampling").at("ringBrightnessR41to47").get<double>(), 30.25);
    EXPECT_TRUE(j.at("monochrome").at("meanDimensionCi95").is_array());
    const TextureMeasurements back = textureMeasurementsFromJson(j);
    EXPECT_EQ(toJson(back), j);
    // Every name is read: a report without one is refused.
    Json missing = j;
    missing.at("sampling").erase("darkLineShare");
    EXPECT_THROW(textureMeasurementsFromJson(missing), Json::exception);
}

}  // namespace
