#pragma once
// One scripted lesion analysis: load, sample IN and OUT, right-click the centre, "Calc + Draw",
// "LINE", "Fractal calc", "axis"; and the forms its results are written in.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "lesionmeter/lesion_session.hpp"

namespace lesionmeter::cli {

using Position = std::pair<float, float>;

struct ScriptedAnalysis {
    std::string image;
    std::vector<Position> in;
    std::vector<Position> out;
    std::optional<Position> centre;
    std::optional<uint64_t> seed;
    std::string saveMap;
    std::string saveOutline;
};

struct AnalysisResults {
    std::string image;
    Discriminant weights;
    std::string text10, text11;
    FractalResults fractal;
    double centroidX = 0.0, centroidY = 0.0;
    // Why "axis" gave no centroid (no dark pixel in the outline); empty when it did. The other
    // results are kept and reported all the same.
    std::string axisError;
};

// "X,Y" as a position; anything else is a "Type mismatch" error naming the text.
Position parsePosition(const std::string& text);

// Runs the script on a fresh session; errors are imaging::RunError.
AnalysisResults runScriptedAnalysis(const ScriptedAnalysis& script);

// The shortest text that reads back as the same double.
std::string fullPrecision(double v);

// One "name: value" line per result.
void printResults(std::ostream& os, const AnalysisResults& r);
// The CSV header and one row ("." decimal point, fields quoted where needed).
std::string csvHeader();
std::string csvRow(const AnalysisResults& r);
// Appends the row to the file, writing the header first when the file is new or empty.
void appendCsv(const std::string& path, const AnalysisResults& r);

}  // namespace lesionmeter::cli
