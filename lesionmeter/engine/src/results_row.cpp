// The results row shared by "Save 2" and lesionmeter-cli --csv.

#include "lesionmeter/results_row.hpp"

#include <ctime>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/paths.hpp"
#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/measurement_names.hpp"

namespace lesionmeter {

namespace {

// RFC 4180: quoted only when the text holds a comma, a quote or a line break.
std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string positionsText(const std::vector<MarkPosition>& positions) {
    std::string text;
    for (const MarkPosition& p : positions) {
        if (!text.empty()) text += ';';
        text += imaging::exactText(p.x) + " " + imaging::exactText(p.y);
    }
    return text;
}

}  // namespace

ResultsRecord resultsOf(const LesionAnalysis& analysis, const std::string& dateTime) {
    ResultsRecord r;
    r.photo = analysis.photographName();
    r.dateTime = dateTime;
    r.marks = marksOf(analysis);
    if (analysis.calcDone()) {
        r.weights = analysis.chosenDiscriminant();
        r.means = analysis.sampleMeans();
    }
    if (analysis.fractalDone()) r.fractal = analysis.fractalResults();
    if (analysis.axisDone())
        r.centroid = std::make_pair(analysis.axisResults().centroidX, analysis.axisResults().centroidY);
    return r;
}

std::string localDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

std::string resultsHeader() {
    std::string header = "photo,dateTime,scale,seed,inCount,inPositions,outCount,outPositions,centreX,centreY";
    for (const LesionMeasurementName& entry : kLesionMeasurementNames)
        if (entry.column) header += std::string(",") + entry.column;
    return header;
}

std::string resultsRow(const ResultsRecord& r) {
    std::string row = csvField(r.photo) + "," + csvField(r.dateTime) + "," + imaging::exactText(r.marks.scale) + ",";
    if (r.marks.seed) row += std::to_string(*r.marks.seed);
    row += "," + std::to_string(r.marks.in.size()) + "," + positionsText(r.marks.in);
    row += "," + std::to_string(r.marks.out.size()) + "," + positionsText(r.marks.out);
    row += "," + (r.marks.centre ? imaging::exactText(r.marks.centre->x) : std::string());
    row += "," + (r.marks.centre ? imaging::exactText(r.marks.centre->y) : std::string());
    LesionMeasurements measured;
    measured.weights = r.weights;
    measured.means = r.means;
    measured.fractal = r.fractal;
    if (r.centroid) measured.axis = AxisResults{0, r.centroid->first, r.centroid->second};
    for (const auto& [name, text] : namedValues(measured)) row += "," + text;
    return row;
}

void ResultsRowFile::open(const std::string& name, const imaging::LockWait& whenLocked) {
    if (name.empty()) throw imaging::RunError::refused("Save 2: the results file box holds no file name");
    imaging::OutputOptions options;
    options.lock = true;
    options.whenLocked = whenLocked;
    options.header = resultsHeader();
    options.lineEnd = "\n";
    file_.open(name, imaging::OutputFile::Mode::Append, "the results file", options);
}

std::string resultsRowStart(const std::string& photo) { return csvField(photo) + ","; }

std::size_t ResultsRowFile::append(const ResultsRecord& record) {
    const std::string row = resultsRow(record) + "\n";
    file_.write(row);
    return row.size();
}

void ResultsRowFile::close() { file_.close(); }

void appendResultsRow(const std::string& name, const ResultsRecord& record, const imaging::LockWait& whenLocked) {
    ResultsRowFile file;
    file.open(name, whenLocked);
    file.append(record);
    file.close();
}

}  // namespace lesionmeter
