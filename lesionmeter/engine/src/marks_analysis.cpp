#include "lesionmeter/marks_analysis.hpp"

#include <filesystem>
#include <utility>

#include "imaging/errors.hpp"

namespace lesionmeter {

const char* const kNoLesionPixelMessage =
    "the discriminant found no lesion pixel; add IN and OUT samples (the first min(IN, OUT) of each class, at "
    "most 6, take part), so the outline is empty and has no centroid";
const char* const kNoDarkPixelMessage =
    "the outline has no dark pixel (mean grey below 30) in x, y = 1..300, so it has no centroid";

namespace {

// Whether "Calc + Draw" classified no pixel as lesion (class value 0).
bool lesionMapIsEmpty(const AnalysisState& state) {
    const imaging::FloatGrid& map = state.greyMap;
    for (int y = 0; y <= map.maxY(); ++y)
        for (int x = 0; x <= map.maxX(); ++x)
            if (map(x, y) == 0.0f) return false;
    return true;
}

// The marks placed, then the lesion map ("Calc + Draw"), its outline ("LINE"), the dimensions
// ("Fractal calc") and the axis.
std::string measureWithMarks(LesionAnalysis& analysis, const Marks& marks) {
    placeMarks(analysis, marks);
    analysis.calcAndDraw();
    analysis.drawOutline();
    analysis.measureFractalDimensions();
    try {
        analysis.measureAxis();
    } catch (const imaging::RunError& e) {
        if (e.kind() != imaging::ErrorKind::Refused) throw;
        return lesionMapIsEmpty(analysis.state()) ? kNoLesionPixelMessage : kNoDarkPixelMessage;
    }
    return "";
}

}  // namespace

std::string analyseWithMarks(LesionAnalysis& analysis, const std::string& photoPath, const Marks& marks,
                             bool fitToMap, const MarksName& marksName) {
    analysis.clearMaps();
    const auto [path, fileName] = choosePhotograph(photoPath);
    analysis.loadPhotographFile(path, fileName, fitToMap);
    if (!marksName.name.empty()) checkMarksPhoto(marks, marksName.name, analysis.photographName(), marksName.label);
    return measureWithMarks(analysis, marks);
}

std::string analyseWithMarks(LesionAnalysis& analysis, imaging::Image photograph, const Marks& marks, bool fitToMap) {
    analysis.clearMaps();
    analysis.loadPhotograph(std::move(photograph), marks.photo, marks.photo, fitToMap);
    return measureWithMarks(analysis, marks);
}

}  // namespace lesionmeter
