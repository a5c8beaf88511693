#pragma once
// The results of one lesion analysis as a row of comma-separated values: the row that "Save 2"
// appends to its results file and that lesionmeter-cli writes with --csv. One writer serves
// both, so that the same marks and seed give the same row value for value.
//
// Columns, in this order (a header line names them):
//   photo, dateTime (local "YYYY-MM-DD HH:MM:SS"), scale, seed,
//   inCount, inPositions, outCount, outPositions ("x y;x y;..." in click order), centreX, centreY,
//   the six discriminant weights, the IN and OUT colour means, FRD1, the four profile
//   dimensions, FRD2, centroidX, centroidY.
// A value that the analysis did not reach (no "Calc + Draw", "Fractal calc" or "axis" yet, no
// right click) is an empty cell. Doubles are written as their shortest round-trip text, values
// held in single precision as the shortest text that reads back to the same float; "." is the
// decimal point whatever the locale. Lines end in LF.

#include <optional>
#include <string>
#include <utility>

#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/marks.hpp"

namespace lesionmeter {

struct ResultsRecord {
    std::string photo;
    std::string dateTime;
    Marks marks;                                      // positions, centre, seed, scale
    std::optional<Discriminant> weights;              // after "Calc + Draw"
    std::optional<SampleMeans> means;                 // after "Calc + Draw"
    std::optional<FractalResults> fractal;            // after "Fractal calc"
    std::optional<std::pair<double, double>> centroid;   // after "axis"
};

// The session's results as they stand (what its text boxes show), dated `dateTime`.
ResultsRecord resultsOf(const LesionSession& session, const std::string& dateTime);

// The current local time as "YYYY-MM-DD HH:MM:SS".
std::string localDateTime();

std::string resultsHeader();
std::string resultsRow(const ResultsRecord& record);

// Appends the row to the file `name` (drive-letter rule applied), after the header when the file
// is new or empty. The row is written whole with one system call; nothing earlier in the file is
// touched. A failure names the file and the reason.
void appendResultsRow(const std::string& name, const ResultsRecord& record);

}  // namespace lesionmeter
