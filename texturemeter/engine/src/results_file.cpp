// The results file: header line, result rows and sampling lines, CR LF line ends.

#include "texturemeter/results_file.hpp"

#include <cerrno>
#include <cstring>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"

namespace texturemeter {

const std::string_view kResultsHeader =
    "NAME,Monochrome--FR-AVE,FR-Standard deviation,FR-Standard deviation/FR-AVE,hesian--FR-AVE,"
    "FR-Standard deviation,FR-Standard deviation/FR-AVE,FR tatal, Line-, dot-, Curve-,line fr dim,"
    "Standard deviation of color tone,Standard deviation of color tone distribution";

namespace {
std::size_t cellIndex(int column) {
    if (column < 2 || column > 14) throw imaging::RunError::subscriptOutOfRange();
    return std::size_t(column - 2);
}
}  // namespace

void ResultRow::setSingle(int column, float v) {
    cells[cellIndex(column)] = {ResultCell::Form::Single, static_cast<double>(v)};
}

void ResultRow::setDouble(int column, double v) { cells[cellIndex(column)] = {ResultCell::Form::Double, v}; }

const ResultCell& ResultRow::column(int column) const { return cells[cellIndex(column)]; }

std::string cellText(const ResultCell& cell) {
    switch (cell.form) {
        case ResultCell::Form::Empty: return "";
        case ResultCell::Form::Single: return imaging::printForm(static_cast<float>(cell.value));
        case ResultCell::Form::Double: return imaging::printForm(cell.value);
    }
    return "";
}

std::string resultRowText(const std::string& imageFileName, const ResultRow& row) {
    std::string line = imageFileName;
    for (const ResultCell& cell : row.cells) {
        line += ',';
        line += cellText(cell);
    }
    return line;
}

std::string samplingLineText(const SamplingLine& s) {
    std::string line = imaging::printForm(s.s1);
    for (float share : s.frameShares) line += "," + imaging::printForm(share);
    for (double v : {s.s7, s.s8, s.s9, s.s10, s.s11, s.s12}) line += "," + imaging::printForm(v);
    return line;
}

ResultsFile::~ResultsFile() {
    if (file_) std::fclose(file_);
}

void ResultsFile::open(const std::string& resultsName) {
    close();
    if (resultsName.empty())
        throw imaging::RunError(imaging::ErrorKind::FileError,
                                "Cannot open results file: no file name given (Output File, Text5)");
    path_ = imaging::hostPath(resultsName);
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_)
        throw imaging::RunError::fileError(std::string("Cannot open results file (") + std::strerror(errno) + ")",
                                           resultsName);
}

void ResultsFile::writeLine(const std::string& line) {
    if (!file_) throw imaging::RunError::fileError("Results file not open", path_);
    const std::string text = line + std::string(kLineEnd);
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
        throw imaging::RunError::fileError("Cannot write results file", path_);
}

void ResultsFile::close() {
    if (!file_) return;
    const int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0) throw imaging::RunError::fileError("Cannot close results file", path_);
}

}  // namespace texturemeter
