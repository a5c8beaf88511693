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

// The marks clicked in, then "Calc + Draw", "LINE", "Fractal calc" and "axis".
std::string measureWithMarks(LesionSession& session, const Marks& marks) {
    replayMarks(session, marks);
    session.calcAndDraw();
    session.selectLine();
    session.fractalCalc();
    try {
        session.axis();
    } catch (const imaging::RunError& e) {
        if (e.kind() != imaging::ErrorKind::Refused) throw;
        return lesionMapIsEmpty(session.state()) ? kNoLesionPixelMessage : kNoDarkPixelMessage;
    }
    return "";
}

}  // namespace

std::string analyseWithMarks(LesionSession& session, const std::string& photoPath, const Marks& marks,
                             bool fitToMap, const MarksName& marksName) {
    const std::filesystem::path photo(photoPath);
    const std::string folder = photo.has_parent_path() ? photo.parent_path().string() : std::string(".");
    session.openChooser();
    session.loadImage(folder, photo.filename().string(), fitToMap);
    if (!marksName.name.empty()) checkMarksPhoto(marks, marksName.name, session.selectedFileName(), marksName.label);
    return measureWithMarks(session, marks);
}

std::string analyseWithMarks(LesionSession& session, imaging::Image photograph, const Marks& marks, bool fitToMap) {
    session.openChooser();
    session.loadPhotograph(std::move(photograph), marks.photo, marks.photo, fitToMap);
    return measureWithMarks(session, marks);
}

}  // namespace lesionmeter
