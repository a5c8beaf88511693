// The results file: header line, result rows and sampling lines, CR LF line ends.

#include "texturemeter/results_file.hpp"

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"

namespace texturemeter {

const std::string_view kResultsHeader =
    "NAME,Monochrome--FR-AVE,FR-Standard deviation,FR-Standard deviation/FR-AVE,hesian--FR-AVE,"
    "FR-Standard deviation,FR-Standard deviation/FR-AVE,FR tatal, Line-, dot-, Curve-,line fr dim,"
    "Standard deviation of color tone,Standard deviation of color tone distribution";

namespace {

// One cell of the result row in print form.
std::string cell(double v) { return "," + imaging::printForm(v); }
std::string cell(float v) { return "," + imaging::printForm(v); }

}  // namespace

std::string nameField(const std::string& imageFileName) {
    if (imageFileName.find_first_of(",\"\r\n") == std::string::npos) return imageFileName;
    std::string quoted = "\"";
    for (char c : imageFileName) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string resultRowText(const std::string& imageFileName, const TextureMeasurements& m) {
    std::string line = nameField(imageFileName);
    line += cell(m.monochrome.meanDimension);   // Monochrome--FR-AVE
    line += cell(m.monochrome.dimensionSd);     // FR-Standard deviation
    line += cell(m.monochrome.sdToMean);        // FR-Standard deviation/FR-AVE
    line += cell(m.hessian.meanDimension);      // hesian--FR-AVE
    line += cell(m.hessian.dimensionSd);        // FR-Standard deviation
    line += cell(m.hessian.sdToMean);           // FR-Standard deviation/FR-AVE
    line += cell(m.totalDimension);             // FR tatal
    line += cell(m.lineShare);                  //  Line-
    line += cell(m.dotShare);                   //  dot-
    line += ",";                                //  Curve- (never measured)
    line += cell(m.outlineDimension);           // line fr dim
    line += cell(m.tone.deviation);             // Standard deviation of color tone
    line += cell(m.tone.histogramSpread);       // Standard deviation of color tone distribution
    return line;
}

std::string samplingLineText(const TextureSampling& s) {
    std::string line = imaging::printForm(s.meanBrightness);
    for (float share : {s.darkFrameShareR2, s.darkFrameShareR4, s.darkFrameShareR6, s.darkFrameShareR8,
                        s.darkFrameShareR10})
        line += cell(share);
    for (double v : {s.darkLineShare, s.boxDarknessMean, s.boxDarknessSd, s.ringBrightnessR5to11,
                     s.ringBrightnessR23to29, s.ringBrightnessR41to47})
        line += cell(v);
    return line;
}

imaging::OutputOptions ResultsFile::options() const {
    imaging::OutputOptions options;
    options.lock = true;
    options.whenLocked = whenLocked_;
    return options;
}

void ResultsFile::reserve(const std::string& resultsName) {
    close();
    if (resultsName.empty()) return;
    file_.reserve(resultsName, "results file", options());
}

void ResultsFile::open(const std::string& resultsName) {
    if (resultsName.empty())
        throw imaging::RunError(imaging::ErrorKind::FileError, "Cannot open " + label + ": no file name given");
    path_ = imaging::hostPath(resultsName);
    // A file reserved under this name is emptied now, under the lock it already holds.
    file_.open(resultsName, imaging::OutputFile::Mode::Replace, "results file", options());
}

void ResultsFile::openToAppend(const std::string& resultsName) {
    if (resultsName.empty())
        throw imaging::RunError(imaging::ErrorKind::FileError, "Cannot open " + label + ": no file name given");
    path_ = imaging::hostPath(resultsName);
    file_.open(resultsName, imaging::OutputFile::Mode::Append, "results file", options());
}

void ResultsFile::writeLine(const std::string& line) {
    if (!file_.isOpen()) throw imaging::RunError::fileError("Results file not open", path_);
    // The line and its end in one write, so a row is in the file whole or not at all.
    file_.write(line + std::string(kLineEnd));
}

void ResultsFile::writeEntry(const std::vector<std::string>& lines) {
    if (!file_.isOpen()) throw imaging::RunError::fileError("Results file not open", path_);
    std::string entry;
    for (const std::string& line : lines) entry += line + std::string(kLineEnd);
    file_.write(entry);
}

void ResultsFile::close() { file_.close(); }

}  // namespace texturemeter
