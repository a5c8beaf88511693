// The named lesion measurements as JSON: names in the results file's order, null for a step not
// reached, exact numbers, and the way back.

#include <gtest/gtest.h>

#include "imaging/random.hpp"
#include "lesionmeter/measurements_json.hpp"

namespace lesionmeter {
namespace {

TEST(MeasurementsJson, NothingMeasuredIsNullUnderEveryName) {
    imaging::FastRandom random(1);
    LesionAnalysis analysis(random);
    const Json j = toJson(analysis.measurements());
    std::vector<std::string> names;
    for (const auto& [name, value] : j.items()) {
        names.push_back(name);
        EXPECT_TRUE(value.is_null()) << name;
    }
    const std::vector<std::string> expected = {
        "weightRed",        "weightGreen",      "weightBlue",      "squareWeightRed", "squareWeightGreen",
        "squareWeightBlue", "inMeanRed",        "inMeanGreen",     "inMeanBlue",      "outMeanRed",
        "outMeanGreen",     "outMeanBlue",      "outlineDimension", "profileRow140",  "profileRow170",
        "profileColumn140", "profileColumn170", "profileDimension", "centroidX",      "centroidY",
        "longRadiusEndX",   "longRadiusEndY",   "shortRadiusEndX", "shortRadiusEndY"};
    EXPECT_EQ(names, expected);
    const LesionMeasurements back = lesionMeasurementsFromJson(j);
    EXPECT_FALSE(back.weights || back.means || back.fractal || back.axis);
    EXPECT_FALSE(toJson(analysis.measurements(), analysis.fractalFits()).contains("fits"));
}

TEST(MeasurementsJson, ValuesAreExactAndReadBack) {
    LesionMeasurements m;
    m.weights = Discriminant{0.1f, -0.2f, 0.3f, -0.01f, 0.02f, -0.03f};
    m.means = SampleMeans{103.2f, 66.8f, 49.4f, 224.6f, 177.5f, 152.0f};
    FractalResults f;
    f.outlineDimension = 1.0 / 3.0;
    f.profiles = {1.1, 1.2, 1.3, 1.4};
    f.profileDimension = 1.25;
    m.fractal = f;
    AxisResults a;
    a.centroidX = 160.42166344294003;
    a.centroidY = 118.6;
    a.farthestX = 200;
    a.farthestY = 90;
    a.nearestX = 150;
    a.nearestY = 130;
    m.axis = a;
    const Json j = toJson(m);
    // A single-precision value is its exact value, not its shortest decimal.
    EXPECT_EQ(j.at("weightRed").get<double>(), double(0.1f));
    EXPECT_EQ(j.at("inMeanRed").get<double>(), double(103.2f));
    EXPECT_EQ(j.at("outlineDimension").get<double>(), 1.0 / 3.0);
    EXPECT_EQ(j.at("profileRow170").get<double>(), 1.2);     // lower row
    EXPECT_EQ(j.at("profileColumn140").get<double>(), 1.3);  // left column
    EXPECT_EQ(j.at("longRadiusEndX").get<int>(), 200);
    // Through text and back, bit for bit.
    const LesionMeasurements back = lesionMeasurementsFromJson(Json::parse(j.dump()));
    EXPECT_EQ(toJson(back), j);
    EXPECT_EQ(back.weights->squareWeightBlue, -0.03f);
    EXPECT_EQ(back.axis->centroidX, 160.42166344294003);
}

}  // namespace
}  // namespace lesionmeter
