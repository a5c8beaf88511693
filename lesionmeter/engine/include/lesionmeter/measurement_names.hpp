#pragma once
// The names of the lesion measurements, written once. The JSON keys (lesionmeter-cli --json, the
// Python dicts), the "name: value" lines and the measurement columns of the results file all come
// from this table, in its order.

#include <array>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "lesionmeter/measurements.hpp"

namespace lesionmeter {

// A measured value as it is held: single precision (weights, means), double (dimensions,
// centroid) or a pixel position (radius ends); std::monostate when its step was not reached.
using MeasuredValue = std::variant<std::monostate, float, double, int>;

struct LesionMeasurementName {
    const char* name;     // the JSON key and the name of the "name: value" line
    const char* column;   // the results file's column (FRD1 and FRD2 as the window labels them);
                          // nullptr: JSON only, neither a column nor a line
    MeasuredValue (*read)(const LesionMeasurements&);
};

// Every measurement, in the order of the results file's columns, then the radius ends.
extern const std::array<LesionMeasurementName, 24> kLesionMeasurementNames;

// The names of kLesionMeasurementNames, in order.
std::vector<std::string> lesionMeasurementNames();

// A value as the shortest text that reads back to the same float or double ("" when not measured).
std::string measuredText(const MeasuredValue& value);

// The "name: value" lines: one (name, text) pair per results column, in order.
std::vector<std::pair<std::string, std::string>> namedValues(const LesionMeasurements& m);

}  // namespace lesionmeter
