#include "lesionmeter/marks_analysis.hpp"

#include <filesystem>

#include "imaging/errors.hpp"

namespace lesionmeter {

std::string analyseWithMarks(LesionSession& session, const std::string& photoPath, const Marks& marks,
                             bool fitToMap) {
    const std::filesystem::path photo(photoPath);
    std::string folder = photo.parent_path().string();
    if (folder.empty()) folder = ".";
    session.openChooser();
    session.loadImage(folder, photo.filename().string(), fitToMap);
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

}  // namespace lesionmeter
