#pragma once
// One scripted lesion analysis: load, sample IN and OUT, set the centre, then the lesion map, its
// outline, the dimensions and the axis; and the forms its results are written in.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "imaging/errors.hpp"
#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/marks_analysis.hpp"
#include "lesionmeter/measurement_names.hpp"
#include "lesionmeter/measurements.hpp"
#include "lesionmeter/results_row.hpp"

namespace lesionmeter::cli {

using Position = std::pair<float, float>;

struct ScriptedAnalysis {
    std::string image;
    std::vector<Position> in;
    std::vector<Position> out;
    std::optional<Position> centre;
    // Marks read from a file, used instead of in, out and centre, and how the file is named when
    // they are refused as another photograph's.
    std::optional<Marks> marks;
    MarksName marksName;
    // --seed; without it the marks' seed, without that a seed drawn from the clock.
    std::optional<uint64_t> seed;
    // --fit: a photograph larger than 500 x 503 is reduced to fit first.
    bool fit = false;
    std::string saveMap;
    std::string saveOutline;
};

struct AnalysisResults {
    std::string image;
    // The named measurements; "axis" leaves no centroid when the outline had no dark pixel.
    LesionMeasurements measurements;
    // The fits behind the five dimensions, after "Fractal calc".
    std::optional<FractalFits> fits;
    // The orientation the photograph's Exif block records (0: none); its pixels are used as stored.
    int exifOrientation = 0;
    // Why "axis" gave no centroid (no dark pixel in the outline); empty when it did. The other
    // results are kept and reported all the same.
    std::string axisError;
    // The row of the results file (the row "Save 2" writes) and the marks with the seed used.
    ResultsRecord record;
};

// The marks of a script: its marks file, or its positions (photo name and seed filled in).
Marks marksOfScript(const ScriptedAnalysis& script);

// "X,Y" as a position; anything else is a "Type mismatch" error naming the text.
Position parsePosition(const std::string& text);

// An output of a run: its option and the file it names (empty: not asked for).
struct Output {
    std::string option;
    std::string name;
};

// Refuses, before any work, an output that is one of the photographs or of the marks files the
// run reads (compared as files, device and inode, whatever the spelling; --save-marks may rewrite
// the --marks file it was read from), two outputs naming the same file, an output that could not
// be written (its folder missing or not writable, a folder given), and a --csv or --json that is
// a picture.
void checkOutputs(const std::vector<std::string>& photos, const std::vector<std::string>& marksFiles,
                  const std::vector<Output>& outputs);

// A scripted position that lies off the photograph (a usage error of the tool).
class PositionOffPhotograph : public imaging::RunError {
public:
    explicit PositionOffPhotograph(const std::string& message) : RunError(imaging::ErrorKind::Refused, message) {}
};

// Refuses (PositionOffPhotograph) a position that lies outside a photograph of width x height pixels: a click at (x, y)
// reads the pixel (x, y) rounded half to even, which must lie in 0..width-1 x 0..height-1. The
// message names the option, the position and the photo size.
void checkPosition(const std::string& option, Position p, int width, int height);

// Runs the script on a fresh analysis; errors are imaging::RunError. Scripted positions are
// checked against the photograph (as analysed) before the first sample.
AnalysisResults runScriptedAnalysis(const ScriptedAnalysis& script);

// The shortest text that reads back as the same double.
std::string fullPrecision(double v);

// One "name: value" line per result (namedValues of measurement_names.hpp): in the order of the
// results file's columns; a value not measured is empty.
void printResults(std::ostream& os, const AnalysisResults& r);
}  // namespace lesionmeter::cli
