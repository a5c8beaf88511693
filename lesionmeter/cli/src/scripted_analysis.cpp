#include "scripted_analysis.hpp"

#include <filesystem>
#include <fstream>

#include "imaging/errors.hpp"
#include "imaging/exif_orientation.hpp"
#include "imaging/file_output.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/marks_analysis.hpp"

namespace lesionmeter::cli {

namespace {

// What an output is, as the refusal of a picture under its name says it ("" for a picture).
std::string outputKind(const std::string& option) {
    if (option == "--csv") return "CSV file";
    if (option == "--json") return "JSON file";
    if (option == "--save-marks") return "marks file";
    return "";
}

}  // namespace

void checkOutputs(const std::vector<std::string>& photos, const std::vector<std::string>& marksFiles,
                  const std::vector<Output>& outputs) {
    const std::vector<imaging::InputFile> photographs(photos.begin(), photos.end());
    std::vector<imaging::InputFile> inputs = photographs;
    for (const std::string& marks : marksFiles) inputs.emplace_back(marks, "marks file");
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, name] = outputs[i];
        if (name.empty()) continue;
        // No output replaces a photograph of the run, a marks file it reads (its samples would be
        // lost) or any existing picture (a picture output included: --save-map names a new file).
        // --save-marks writes a marks document and may rewrite the one the samples came from.
        imaging::guardOutput(option, name, outputKind(option), option == "--save-marks" ? photographs : inputs);
        for (std::size_t j = 0; j < i; ++j) {
            const auto& [earlier, earlierName] = outputs[j];
            if (!earlierName.empty() && imaging::sameDestination(name, earlierName))
                throw imaging::RunError::refused(earlier + " and " + option + " name the same file " + name +
                                                 "; give each its own");
        }
        imaging::checkWritable(name);
    }
}

void checkPosition(const std::string& option, Position p, int width, int height) {
    const double x = imaging::roundHalfEven(p.first), y = imaging::roundHalfEven(p.second);
    if (x >= 0 && y >= 0 && x < width && y < height) return;
    throw PositionOffPhotograph(option + " " + imaging::numberText(p.first) + "," + imaging::numberText(p.second) +
                                     " lies outside the photograph (" + std::to_string(width) + " x " +
                                     std::to_string(height) + " pixels: X 0.." + std::to_string(width - 1) + ", Y 0.." +
                                     std::to_string(height - 1) + ")");
}

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
    LesionAnalysis analysis(random);
    analysis.setSeed(script.seed ? script.seed : marks.seed);
    if (!script.marks) {
        // The positions were given for the photograph as analysed, whatever its reduction.
        analysis.clearMaps();
        const auto [path, fileName] = choosePhotograph(script.image);
        analysis.loadPhotographFile(path, fileName, script.fit);
        marks.scale = analysis.photographScale();
        // Every position on the photograph as analysed, before the first sample.
        const int width = analysis.pictures().photo.width(), height = analysis.pictures().photo.height();
        for (const Position& p : script.in) checkPosition("--in", p, width, height);
        for (const Position& p : script.out) checkPosition("--out", p, width, height);
        if (script.centre) checkPosition("--centre", *script.centre, width, height);
    }
    AnalysisResults r;
    r.axisError = analyseWithMarks(analysis, script.image, marks, script.fit, script.marksName);
    if (!script.saveMap.empty()) imaging::savePicture(analysis.pictures().lesionMap.image(), script.saveMap);
    if (!script.saveOutline.empty()) imaging::savePicture(analysis.pictures().outline.image(), script.saveOutline);
    r.image = script.image;
    r.exifOrientation = imaging::exifOrientation(script.image);
    r.measurements = analysis.measurements();
    if (analysis.fractalDone()) r.fits = analysis.fractalFits();
    r.record = resultsOf(analysis, localDateTime());
    return r;
}

std::string fullPrecision(double v) { return imaging::exactText(v); }

void printResults(std::ostream& os, const AnalysisResults& r) {
    for (const auto& [name, value] : namedValues(r.measurements)) os << name << ": " << value << "\n";
}

}  // namespace lesionmeter::cli
