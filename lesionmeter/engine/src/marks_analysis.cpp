#include "lesionmeter/marks_analysis.hpp"

#include <filesystem>
#include <utility>

#include "imaging/errors.hpp"

namespace lesionmeter {

namespace {

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
        return e.what();
    }
    return "";
}

}  // namespace

std::string analyseWithMarks(LesionSession& session, const std::string& photoPath, const Marks& marks,
                             bool fitToMap) {
    const std::filesystem::path photo(photoPath);
    std::string folder = photo.parent_path().string();
    if (folder.empty()) folder = ".";
    session.openChooser();
    session.loadImage(folder, photo.filename().string(), fitToMap);
    return measureWithMarks(session, marks);
}

std::string analyseWithMarks(LesionSession& session, imaging::Image photograph, const Marks& marks, bool fitToMap) {
    session.openChooser();
    session.loadPhotograph(std::move(photograph), marks.photo, marks.photo, fitToMap);
    return measureWithMarks(session, marks);
}

}  // namespace lesionmeter
