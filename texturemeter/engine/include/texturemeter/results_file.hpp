#pragma once
// The results file: a header line, one result row per image and one sampling line per image,
// comma-separated, lines ended by CR LF, numbers in print form with "." as decimal point.

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "texturemeter/stages.hpp"

namespace texturemeter {

// The header line (without its CR LF).
extern const std::string_view kResultsHeader;
// The line end of every line of the file.
constexpr std::string_view kLineEnd = "\r\n";
// `Text5`'s default: the results file name.
constexpr std::string_view kDefaultResultsName = "C:\\frHgg.txt";

// One cell of the result row: empty until a stage assigns it, then single or double precision.
struct ResultCell {
    enum class Form { Empty, Single, Double };
    Form form = Form::Empty;
    double value = 0;
};

// Columns 2..14 of the result row (column 1 is the image name).
struct ResultRow {
    std::array<ResultCell, 13> cells{};

    void setSingle(int column, float v);
    void setDouble(int column, double v);
    const ResultCell& column(int column) const;  // column 2..14
};

// The print form of a cell ("" for an empty cell).
std::string cellText(const ResultCell& cell);
// NAME,<col 2>,...,<col 14>
std::string resultRowText(const std::string& imageFileName, const ResultRow& row);
// S1,...,S12 in print form.
std::string samplingLineText(const SamplingLine& s);

// Where a run writes its lines (the window's "file number 5").
class ResultsSink {
public:
    virtual ~ResultsSink() = default;
    // Creates or truncates the results file named by `Text5` (run step 6).
    virtual void open(const std::string& resultsName) = 0;
    // Writes one line followed by CR LF.
    virtual void writeLine(const std::string& line) = 0;
    virtual void close() = 0;
};

// The results file on disk. The name goes through imaging::hostPath ("C:\x.txt" -> $HOME/x.txt).
// Each line is flushed, so whatever was written before an error stays. Open/write failures throw
// RunError (FileError) naming the file.
class ResultsFile final : public ResultsSink {
public:
    ResultsFile() = default;
    ~ResultsFile() override;
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    void open(const std::string& resultsName) override;
    void writeLine(const std::string& line) override;
    void close() override;
    const std::string& path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
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
