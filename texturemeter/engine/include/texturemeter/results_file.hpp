#pragma once
// The results file: a header line, one result row per image and one sampling line per image,
// comma-separated, lines ended by CR LF, numbers in print form with "." as decimal point.

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/file_output.hpp"
#include "texturemeter/measurements.hpp"

namespace texturemeter {

// The header line (without its CR LF).
extern const std::string_view kResultsHeader;
// The line end of every line of the file.
constexpr std::string_view kLineEnd = "\r\n";
// The default results file name.
constexpr std::string_view kDefaultResultsName = "C:\\frHgg.txt";

// The result row: the image's name, then its measurements in the columns of the header (the
// " Curve-" column stays empty).
std::string resultRowText(const std::string& imageFileName, const TextureMeasurements& m);
// The sampling line: the twelve sampling values in print form, separated by commas.
std::string samplingLineText(const TextureSampling& s);

// The NAME field: the image's file name as it is, or, when it holds a comma, a double quote or a
// line break, enclosed in double quotes with each double quote doubled (RFC 4180).
std::string nameField(const std::string& imageFileName);

// Where a run writes its lines.
class ResultsSink {
public:
    virtual ~ResultsSink() = default;
    // Creates or truncates the results file of that name.
    virtual void open(const std::string& resultsName) = 0;
    // Writes one line followed by CR LF.
    virtual void writeLine(const std::string& line) = 0;
    virtual void close() = 0;
};

// The results file on disk. The name goes through imaging::hostPath ("C:\x.txt" -> $HOME/x.txt).
// While open it is locked (flock), so one run at a time writes it: another run waits (telling
// `whenLocked.onWait`) or, when it may not wait, is refused before the file changes. Each line or
// entry goes to the file whole with one write as soon as it is written, so whatever was written
// before an error stays and nothing half-written does. Open, write and close failures throw
// RunError (FileError) naming the file and the system's reason ("Cannot write results file (No
// space left on device): NAME").
class ResultsFile final : public ResultsSink {
public:
    explicit ResultsFile(imaging::LockWait whenLocked = {}) : whenLocked_(std::move(whenLocked)) {}
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    // Takes the lock of an existing results file and leaves the file as it is; a later open() of
    // the same name empties it only then. A run that may end with nothing to write reserves its
    // file first, so it waits for (or is refused by) another writer before its work.
    void reserve(const std::string& resultsName);
    void open(const std::string& resultsName) override;
    void writeLine(const std::string& line) override;
    // Writes an image's lines (its result row and sampling line), each ended by CR LF, with one
    // write: in the file whole or not at all.
    void writeEntry(const std::vector<std::string>& lines);
    void close() override;
    const std::string& path() const { return path_; }

    // Opens an existing results file to continue a resumed batch: nothing is emptied, entries go
    // at its end (the caller first cuts it back to what the batch's journal vouches for, through
    // output()).
    void openToAppend(const std::string& resultsName);
    // The open file, for a resumed batch's cut and the sizes its journal records.
    imaging::OutputFile& output() { return file_; }

    // How messages name the file ("Cannot open results file: no file name given"); the window
    // names it by the box that holds its name.
    std::string label = "results file";

private:
    imaging::OutputOptions options() const;

    imaging::LockWait whenLocked_;
    imaging::OutputFile file_;
    std::string path_;
};

// Keeps the lines in memory (the command-line tool writes them in input order itself).
class CollectedLines final : public ResultsSink {
public:
    void open(const std::string& resultsName) override { name = resultsName; }
    void writeLine(const std::string& line) override { lines.push_back(line); }
    void close() override {}

    std::string name;
    std::vector<std::string> lines;
};

}  // namespace texturemeter
