#include "scripted_analysis.hpp"

#include <filesystem>
#include <fstream>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/marks_analysis.hpp"

namespace lesionmeter::cli {

namespace {

// The folder and file name of the image as the chooser would give them.
std::pair<std::string, std::string> splitImagePath(const std::string& image) {
    const std::filesystem::path p(image);
    std::string folder = p.parent_path().string();
    if (folder.empty()) folder = ".";
    return {folder, p.filename().string()};
}

}  // namespace

Position parsePosition(const std::string& text) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) throw imaging::RunError::typeMismatch(text);
    const double x = imaging::parseNumber(text.substr(0, comma));
    const double y = imaging::parseNumber(text.substr(comma + 1));
    return {static_cast<float>(x), static_cast<float>(y)};
}

Marks marksOfScript(const ScriptedAnalysis& script) {
    if (script.marks) return *script.marks;
    Marks marks;
    marks.photo = std::filesystem::path(script.image).filename().string();
    for (auto [x, y] : script.in) marks.in.push_back({x, y});
    for (auto [x, y] : script.out) marks.out.push_back({x, y});
    if (script.centre) marks.centre = MarkPosition{script.centre->first, script.centre->second};
    return marks;
}

AnalysisResults runScriptedAnalysis(const ScriptedAnalysis& script) {
    Marks marks = marksOfScript(script);
    // Scripted positions are refused before any work when they lie off the photograph; the scale
    // is the one the photograph gets here.
    if (!script.marks) marks.scale = 0.0;
    imaging::FastRandom random;
    LesionSession session(random);
    session.setSeed(script.seed ? script.seed : marks.seed);
    session.setDateTimeSource(localDateTime);
    session.startUp(false);
    if (!script.marks) {
        // The positions were given for the photograph as analysed, whatever its reduction.
        session.openChooser();
        const auto [folder, fileName] = splitImagePath(script.image);
        session.loadImage(folder, fileName, script.fit);
        marks.scale = session.photographScale();
    }
    AnalysisResults r;
    r.axisError = analyseWithMarks(session, script.image, marks, script.fit);
    if (!script.saveMap.empty()) imaging::savePicture(session.picture(2).image(), script.saveMap);
    if (!script.saveOutline.empty()) imaging::savePicture(session.picture(12).image(), script.saveOutline);
    if (r.axisError.empty()) {
        r.centroidX = session.axisResults().centroidX;
        r.centroidY = session.axisResults().centroidY;
    }
    r.image = script.image;
    r.weights = session.chosenDiscriminant();
    r.text10 = session.text(10);
    r.text11 = session.text(11);
    r.fractal = session.fractalResults();
    r.record = resultsOf(session, localDateTime());
    return r;
}

std::string fullPrecision(double v) { return imaging::exactText(v); }

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

void appendCsv(const std::string& path, const AnalysisResults& r) { appendResultsRow(path, r.record); }

}  // namespace lesionmeter::cli
