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

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "imaging/file_output.hpp"
#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/measurements.hpp"
#include "lesionmeter/marks.hpp"

namespace lesionmeter {

class LesionAnalysis;

struct ResultsRecord {
    std::string photo;
    std::string dateTime;
    Marks marks;                                      // positions, centre, seed, scale
    std::optional<Discriminant> weights;              // after "Calc + Draw"
    std::optional<SampleMeans> means;                 // after "Calc + Draw"
    std::optional<FractalResults> fractal;            // after "Fractal calc"
    std::optional<std::pair<double, double>> centroid;   // after "axis"
};

// The analysis's results as they stand, dated `dateTime`.
ResultsRecord resultsOf(const LesionAnalysis& analysis, const std::string& dateTime);

// The current local time as "YYYY-MM-DD HH:MM:SS".
std::string localDateTime();

std::string resultsHeader();
std::string resultsRow(const ResultsRecord& record);
// How the row of the photograph named `photo` begins: its photo cell and the comma after it.
std::string resultsRowStart(const std::string& photo);

// The results file opened for appending rows. While open it is locked, so one run at a time
// appends to it (another waits, or is refused when it may not wait). A file whose first line is
// not resultsHeader() is refused at open, naming both. Each row goes to the file whole with one
// write, after the header when the file is new or empty and after a line end when the file's last
// line has none; a failed write cuts the file back to its length before the row. Names follow the
// drive-letter rule; failures name the file and the reason.
class ResultsRowFile {
public:
    void open(const std::string& name, const imaging::LockWait& whenLocked = {});
    bool isOpen() const { return file_.isOpen(); }
    // Appends the record's row; returns the bytes of the row with its line end (a header or a
    // line end written before it not counted).
    std::size_t append(const ResultsRecord& record);
    // The open file, for a resumed batch's cut and the sizes its journal records.
    imaging::OutputFile& output() { return file_; }
    void close();

private:
    imaging::OutputFile file_;
};

// Appends one row to the file `name` as ResultsRowFile does (open, append, close).
void appendResultsRow(const std::string& name, const ResultsRecord& record, const imaging::LockWait& whenLocked = {});

}  // namespace lesionmeter
