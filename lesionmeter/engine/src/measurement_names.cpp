// The table of the lesion measurement names.

#include "lesionmeter/measurement_names.hpp"

#include "imaging/numeric.hpp"

namespace lesionmeter {

namespace {

// How each step's values are read: nothing when the step was not reached.
template <auto Member>
MeasuredValue weight(const LesionMeasurements& m) {
    return m.weights ? MeasuredValue((*m.weights).*Member) : MeasuredValue();
}
template <auto Member>
MeasuredValue mean(const LesionMeasurements& m) {
    return m.means ? MeasuredValue((*m.means).*Member) : MeasuredValue();
}
template <auto Member>
MeasuredValue profile(const LesionMeasurements& m) {
    return m.fractal ? MeasuredValue(m.fractal->profiles.*Member) : MeasuredValue();
}
template <auto Member>
MeasuredValue fractal(const LesionMeasurements& m) {
    return m.fractal ? MeasuredValue((*m.fractal).*Member) : MeasuredValue();
}
template <auto Member>
MeasuredValue axis(const LesionMeasurements& m) {
    return m.axis ? MeasuredValue((*m.axis).*Member) : MeasuredValue();
}

}  // namespace

const std::array<LesionMeasurementName, 24> kLesionMeasurementNames = {{
    {"weightRed", "weightRed", weight<&Discriminant::weightRed>},
    {"weightGreen", "weightGreen", weight<&Discriminant::weightGreen>},
    {"weightBlue", "weightBlue", weight<&Discriminant::weightBlue>},
    {"squareWeightRed", "squareWeightRed", weight<&Discriminant::squareWeightRed>},
    {"squareWeightGreen", "squareWeightGreen", weight<&Discriminant::squareWeightGreen>},
    {"squareWeightBlue", "squareWeightBlue", weight<&Discriminant::squareWeightBlue>},
    {"inMeanRed", "inMeanRed", mean<&SampleMeans::inRed>},
    {"inMeanGreen", "inMeanGreen", mean<&SampleMeans::inGreen>},
    {"inMeanBlue", "inMeanBlue", mean<&SampleMeans::inBlue>},
    {"outMeanRed", "outMeanRed", mean<&SampleMeans::outRed>},
    {"outMeanGreen", "outMeanGreen", mean<&SampleMeans::outGreen>},
    {"outMeanBlue", "outMeanBlue", mean<&SampleMeans::outBlue>},
    {"outlineDimension", "FRD1", fractal<&FractalResults::outlineDimension>},
    {"profileRow140", "profileRow140", profile<&ProfileDimensions::upperRow>},
    {"profileRow170", "profileRow170", profile<&ProfileDimensions::lowerRow>},
    {"profileColumn140", "profileColumn140", profile<&ProfileDimensions::leftColumn>},
    {"profileColumn170", "profileColumn170", profile<&ProfileDimensions::rightColumn>},
    {"profileDimension", "FRD2", fractal<&FractalResults::profileDimension>},
    {"centroidX", "centroidX", axis<&AxisResults::centroidX>},
    {"centroidY", "centroidY", axis<&AxisResults::centroidY>},
    {"longRadiusEndX", nullptr, axis<&AxisResults::farthestX>},
    {"longRadiusEndY", nullptr, axis<&AxisResults::farthestY>},
    {"shortRadiusEndX", nullptr, axis<&AxisResults::nearestX>},
    {"shortRadiusEndY", nullptr, axis<&AxisResults::nearestY>},
}};

std::vector<std::string> lesionMeasurementNames() {
    std::vector<std::string> names;
    for (const LesionMeasurementName& entry : kLesionMeasurementNames) names.emplace_back(entry.name);
    return names;
}

std::string measuredText(const MeasuredValue& value) {
    if (const float* f = std::get_if<float>(&value)) return imaging::exactText(*f);
    if (const double* d = std::get_if<double>(&value)) return imaging::exactText(*d);
    if (const int* i = std::get_if<int>(&value)) return std::to_string(*i);
    return "";
}

std::vector<std::pair<std::string, std::string>> namedValues(const LesionMeasurements& m) {
    std::vector<std::pair<std::string, std::string>> values;
    for (const LesionMeasurementName& entry : kLesionMeasurementNames)
        if (entry.column) values.emplace_back(entry.name, measuredText(entry.read(m)));
    return values;
}

}  // namespace lesionmeter
