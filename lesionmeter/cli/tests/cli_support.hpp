#pragma once
// What the lesionmeter-cli tests share: a scratch folder the tool runs in, a lesion scenario's
// samples as options, photographs placed beside their marks files, and rows compared without
// their date and time.

#include <filesystem>
#include <string>
#include <vector>

#include "lesionmeter/marks.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter::cli_tests {

// A private folder for a test, in which lesionmeter-cli runs; removed at the end.
class Folder : public morph::testdata::ToolFolder {
public:
    explicit Folder(const std::string& name) : ToolFolder(LESIONMETER_CLI_PATH, "lesionmeter-cli-" + name) {}
};

// A position as the tool takes it, "X,Y".
inline std::string position(morph::testdata::Click c) { return std::to_string(c.x) + "," + std::to_string(c.y); }

// The scenario's samples and centre as options: --in X,Y ... --out X,Y ... --centre X,Y.
inline std::vector<std::string> sampleOptions(const morph::testdata::LesionScenario& s) {
    std::vector<std::string> args;
    for (auto c : s.in) args.insert(args.end(), {"--in", position(c)});
    for (auto c : s.out) args.insert(args.end(), {"--out", position(c)});
    args.insert(args.end(), {"--centre", position(s.centre)});
    return args;
}

// The scenario's samples and centre as marks of its photograph (no seed).
inline Marks marksOf(const morph::testdata::LesionScenario& s) {
    Marks m;
    m.photo = std::filesystem::path(s.image).filename().string();
    for (auto [x, y] : s.in) m.in.push_back({float(x), float(y)});
    for (auto [x, y] : s.out) m.out.push_back({float(x), float(y)});
    m.centre = MarkPosition{float(s.centre.x), float(s.centre.y)};
    return m;
}

// Copies a scenario's photograph into the folder under `name` with its marks file (no seed) beside it.
inline void placePhoto(const morph::testdata::ScratchFolder& folder, const morph::testdata::LesionScenario& s,
                       const std::string& name) {
    std::filesystem::copy_file(s.image, folder.path() / (name + ".jpg"));
    Marks m = marksOf(s);
    m.photo = name + ".jpg";
    writeMarks(folder.file(name + ".marks.json"), m);
}

// A row without its date and time cell.
inline std::string undated(const std::string& row) {
    const auto first = row.find(',');
    const auto second = row.find(',', first + 1);
    return row.substr(0, first) + row.substr(second);
}

}  // namespace lesionmeter::cli_tests
