#pragma once
// The results file: a header line, one result row per image and one sampling line per image,
// comma-separated, lines ended by CR LF, numbers in print form with "." as decimal point.

#include <cstdio>
#include <string>
#include <string_view>
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
// Each line goes to the file whole as soon as it is written, so whatever was written before an
// error stays. Open, write and close failures throw RunError (FileError) naming the file and the
// system's reason ("Cannot write results file (No space left on device): NAME").
class ResultsFile final : public ResultsSink {
public:
    ResultsFile() = default;
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    void open(const std::string& resultsName) override;
    void writeLine(const std::string& line) override;
    void close() override;
    const std::string& path() const { return path_; }

private:
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
