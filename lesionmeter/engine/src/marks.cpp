// Marks files: reading, writing, taking the marks of an analysis and placing them back.

#include "lesionmeter/marks.hpp"

#include <charconv>
#include <cmath>
#include <sstream>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/photo_document.hpp"
#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/lesion_analysis.hpp"

namespace lesionmeter {

namespace {

using Json = nlohmann::ordered_json;

// A coordinate as a JSON number: a whole number as an integer, otherwise the double whose
// shortest text is the float's shortest text (so that it reads back to the same float).
Json coordinate(float v) {
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15f) return static_cast<long long>(v);
    const std::string text = imaging::exactText(v);
    double d = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return d;
}

Json position(const MarkPosition& p) { return Json::array({coordinate(p.x), coordinate(p.y)}); }

// The rules marks files share with every document kept beside a photograph.
constexpr imaging::PhotoDocumentKind kMarksKind{kMarksFormat, kMarksVersion, "Marks file", "marks", ".marks.json"};

[[noreturn]] void refuse(const std::string& source, const std::string& why) { imaging::refuseDocument(kMarksKind, source, why); }

MarkPosition readPosition(const Json& value, const std::string& source, const std::string& what) {
    if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number())
        refuse(source, what + " is not a position [x, y]");
    const double x = value[0].get<double>();
    const double y = value[1].get<double>();
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e6 || std::fabs(y) > 1e6)
        refuse(source, what + " is not a position [x, y]");
    return {static_cast<float>(x), static_cast<float>(y)};
}

std::vector<MarkPosition> readPositions(const Json& doc, const char* key, const std::string& source) {
    if (!doc.contains(key) || !doc[key].is_array()) refuse(source, std::string("\"") + key + "\" is not a list of positions");
    const Json& list = doc[key];
    if (list.size() > std::size_t(kMaxSamplesPerClass))
        refuse(source, std::string("\"") + key + "\" holds " + std::to_string(list.size()) +
                           " positions; a class holds at most 50 samples");
    std::vector<MarkPosition> positions;
    for (std::size_t i = 0; i < list.size(); ++i)
        positions.push_back(readPosition(list[i], source, std::string("\"") + key + "\" entry " + std::to_string(i + 1)));
    return positions;
}

std::string positionText(const MarkPosition& p) {
    std::ostringstream s;
    s << "(" << coordinate(p.x).dump() << ", " << coordinate(p.y).dump() << ")";
    return s.str();
}

}  // namespace

std::string marksText(const Marks& marks) {
    Json doc;
    doc["format"] = kMarksFormat;
    doc["version"] = kMarksVersion;
    doc["photo"] = marks.photo;
    doc["in"] = Json::array();
    for (const MarkPosition& p : marks.in) doc["in"].push_back(position(p));
    doc["out"] = Json::array();
    for (const MarkPosition& p : marks.out) doc["out"].push_back(position(p));
    doc["centre"] = marks.centre ? position(*marks.centre) : Json(nullptr);
    doc["seed"] = imaging::seedJson(marks.seed);
    doc["scale"] = marks.scale;
    return imaging::photoDocumentText(doc);
}

Marks parseMarks(const std::string& text, const std::string& source) {
    const Json doc = imaging::parsePhotoDocument(kMarksKind, text, source);
    Marks marks;
    marks.photo = imaging::documentPhoto(kMarksKind, doc, source);
    marks.in = readPositions(doc, "in", source);
    marks.out = readPositions(doc, "out", source);
    if (doc.contains("centre") && !doc["centre"].is_null())
        marks.centre = readPosition(doc["centre"], source, "\"centre\"");
    marks.seed = imaging::documentSeed(kMarksKind, doc, source);
    if (doc.contains("scale")) {
        if (!doc["scale"].is_number()) refuse(source, "\"scale\" is not a number");
        marks.scale = doc["scale"].get<double>();
        if (!(marks.scale > 0.0 && marks.scale <= 1.0)) refuse(source, "\"scale\" " + doc["scale"].dump() + " is not in (0, 1]");
    }
    return marks;
}

Marks readMarks(const std::string& name) { return parseMarks(imaging::readPhotoDocumentFile(kMarksKind, name), name); }

void writeMarks(const std::string& name, const Marks& marks) {
    imaging::writePhotoDocumentFile(kMarksKind, name, marksText(marks));
}

void checkMarksPhoto(const Marks& marks, const std::string& marksName, const std::string& photoName,
                     const std::string& label) {
    imaging::checkDocumentPhoto(kMarksKind, marks.photo, marksName, photoName, label);
}

std::string marksFileFor(const std::string& photoPath) { return imaging::photoDocumentFor(kMarksKind, photoPath); }

Marks marksOf(const LesionAnalysis& analysis) {
    const AnalysisState& s = analysis.state();
    Marks marks;
    marks.photo = analysis.photographName();
    for (int n = 1; n <= s.inCount; ++n) marks.in.push_back({s.inX[std::size_t(n)], s.inY[std::size_t(n)]});
    for (int n = 1; n <= s.outCount; ++n) marks.out.push_back({s.outX[std::size_t(n)], s.outY[std::size_t(n)]});
    if (const auto centre = analysis.centre()) marks.centre = MarkPosition{centre->first, centre->second};
    marks.seed = analysis.lastRunSeed();
    marks.scale = analysis.photographScale();
    return marks;
}

void checkMarksPlacement(const LesionAnalysis& analysis, const Marks& marks) {
    if (analysis.photographName().empty())
        throw imaging::RunError::refused("Marks cannot be loaded before a photograph: load " +
                                         (marks.photo.empty() ? std::string("the photograph") : marks.photo) + " first");
    if (std::fabs(marks.scale - analysis.photographScale()) > 1e-9 * analysis.photographScale())
        throw imaging::RunError::refused(
            "The marks were made on the photograph reduced by " + coordinate(float(marks.scale)).dump() +
            ", but it is shown reduced by " + coordinate(float(analysis.photographScale())).dump() +
            (marks.scale < 1.0 ? " (reduce it to fit first)" : ""));
    if (marks.in.size() > std::size_t(kMaxSamplesPerClass) || marks.out.size() > std::size_t(kMaxSamplesPerClass))
        throw imaging::RunError::refused("Marks: a class holds at most 50 samples");
    // Every position must lie on the photograph: a sample reads the pixel of its position rounded
    // half to even.
    const int width = analysis.pictures().photo.width();
    const int height = analysis.pictures().photo.height();
    auto check = [&](const MarkPosition& p, const std::string& what) {
        const double x = imaging::roundHalfEven(p.x), y = imaging::roundHalfEven(p.y);
        if (!(x >= 0.0 && y >= 0.0 && x < width && y < height))
            throw imaging::RunError::refused("Marks: " + what + " at " + positionText(p) + " lies outside the " +
                                             std::to_string(width) + " x " + std::to_string(height) + " photograph");
    };
    for (std::size_t i = 0; i < marks.in.size(); ++i) check(marks.in[i], "IN sample " + std::to_string(i + 1));
    for (std::size_t i = 0; i < marks.out.size(); ++i) check(marks.out[i], "OUT sample " + std::to_string(i + 1));
    if (marks.centre) check(*marks.centre, "the centre");
}

void placeMarks(LesionAnalysis& analysis, const Marks& marks) {
    checkMarksPlacement(analysis, marks);
    analysis.clearSamples(SampleClass::In);
    for (const MarkPosition& p : marks.in) analysis.addSample(SampleClass::In, p.x, p.y);
    analysis.clearSamples(SampleClass::Out);
    for (const MarkPosition& p : marks.out) analysis.addSample(SampleClass::Out, p.x, p.y);
    if (marks.centre) analysis.setCentre(marks.centre->x, marks.centre->y);
}

}  // namespace lesionmeter
