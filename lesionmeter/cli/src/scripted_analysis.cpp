#include "scripted_analysis.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"

namespace lesionmeter::cli {

namespace {

// The folder and file name of the image as the chooser would give them.
std::pair<std::string, std::string> splitImagePath(const std::string& image) {
    const std::filesystem::path p(image);
    std::string folder = p.parent_path().string();
    if (folder.empty()) folder = ".";
    return {folder, p.filename().string()};
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string quoted = "\"";
    for (char c : s) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

Position parsePosition(const std::string& text) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) throw imaging::RunError::typeMismatch(text);
    const double x = imaging::parseNumber(text.substr(0, comma));
    const double y = imaging::parseNumber(text.substr(comma + 1));
    return {static_cast<float>(x), static_cast<float>(y)};
}

AnalysisResults runScriptedAnalysis(const ScriptedAnalysis& script) {
    imaging::FastRandom random(script.seed);
    LesionSession session(random);
    session.startUp(false);
    session.openChooser();
    const auto [folder, fileName] = splitImagePath(script.image);
    session.loadImage(folder, fileName);
    session.selectIn();
    for (auto [x, y] : script.in) session.leftClick(x, y);
    session.selectOut();
    for (auto [x, y] : script.out) session.leftClick(x, y);
    if (script.centre) session.rightClick(script.centre->first, script.centre->second);
    session.calcAndDraw();
    if (!script.saveMap.empty()) imaging::savePicture(session.picture(2).image(), script.saveMap);
    session.selectLine();
    session.fractalCalc();
    // "axis" leaves the outline's pixels as they are, so it is saved first: a failing "axis"
    // must not lose it.
    if (!script.saveOutline.empty()) imaging::savePicture(session.picture(12).image(), script.saveOutline);
    AnalysisResults r;
    try {
        session.axis();
        r.centroidX = session.axisResults().centroidX;
        r.centroidY = session.axisResults().centroidY;
    } catch (const imaging::RunError& e) {
        if (e.kind() != imaging::ErrorKind::Refused) throw;
        r.axisError = e.what();
    }

    r.image = script.image;
    r.weights = session.chosenDiscriminant();
    r.text10 = session.text(10);
    r.text11 = session.text(11);
    r.fractal = session.fractalResults();
    return r;
}

std::string fullPrecision(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

// A centroid coordinate, or nothing when "axis" found no dark pixel.
std::string centroidText(const AnalysisResults& r, double v) { return r.axisError.empty() ? fullPrecision(v) : ""; }

void printResults(std::ostream& os, const AnalysisResults& r) {
    const Discriminant& w = r.weights;
    os << "weightRed: " << fullPrecision(w.weightRed) << "\n"
       << "weightGreen: " << fullPrecision(w.weightGreen) << "\n"
       << "weightBlue: " << fullPrecision(w.weightBlue) << "\n"
       << "squareWeightRed: " << fullPrecision(w.squareWeightRed) << "\n"
       << "squareWeightGreen: " << fullPrecision(w.squareWeightGreen) << "\n"
       << "squareWeightBlue: " << fullPrecision(w.squareWeightBlue) << "\n"
       << "Text10: " << r.text10 << "\n"
       << "Text11: " << r.text11 << "\n"
       << "FRD1: " << fullPrecision(r.fractal.frd1) << "\n"
       << "Picture16: " << fullPrecision(r.fractal.picture16) << "\n"
       << "Picture15: " << fullPrecision(r.fractal.picture15) << "\n"
       << "Picture17: " << fullPrecision(r.fractal.picture17) << "\n"
       << "Picture18: " << fullPrecision(r.fractal.picture18) << "\n"
       << "FRD2: " << fullPrecision(r.fractal.frd2) << "\n"
       << "Text14: " << centroidText(r, r.centroidX) << "\n"
       << "Text15: " << centroidText(r, r.centroidY) << "\n";
}

std::string csvHeader() {
    return "image,weightRed,weightGreen,weightBlue,squareWeightRed,squareWeightGreen,squareWeightBlue,"
           "Text10,Text11,FRD1,Picture16,Picture15,Picture17,Picture18,FRD2,Text14,Text15";
}

std::string csvRow(const AnalysisResults& r) {
    const Discriminant& w = r.weights;
    std::string row = csvField(r.image);
    for (double v : {double(w.weightRed), double(w.weightGreen), double(w.weightBlue), double(w.squareWeightRed),
                     double(w.squareWeightGreen), double(w.squareWeightBlue)})
        row += "," + fullPrecision(v);
    row += "," + csvField(r.text10) + "," + csvField(r.text11);
    for (double v : {r.fractal.frd1, r.fractal.picture16, r.fractal.picture15, r.fractal.picture17,
                     r.fractal.picture18, r.fractal.frd2})
        row += "," + fullPrecision(v);
    row += "," + centroidText(r, r.centroidX) + "," + centroidText(r, r.centroidY);
    return row;
}

void appendCsv(const std::string& path, const AnalysisResults& r) {
    std::error_code ec;
    const bool isNew = !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0;
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file) throw imaging::RunError::fileError("Cannot open the CSV file for appending", path);
    if (isNew) file << csvHeader() << "\n";
    file << csvRow(r) << "\n";
    file.flush();
    if (!file) throw imaging::RunError::fileError("Cannot write the CSV file", path);
}

}  // namespace lesionmeter::cli
