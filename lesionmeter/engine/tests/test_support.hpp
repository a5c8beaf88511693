#pragma once
// Helpers shared by the engine tests: a private scratch folder per test and the scripted run.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "lesionmeter/lesion_session.hpp"

namespace lesionmeter::testing {

// A fresh empty folder under the system's temporary folder, removed when the object ends.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

using Point = std::pair<float, float>;

// The reference analysis of lesion.jpg: samples, centre and weights of the reference results.
struct ReferenceScript {
    std::vector<Point> in{{160, 120}, {140, 105}, {180, 130}, {150, 145}, {175, 100}, {135, 125}};
    std::vector<Point> out{{245, 120}, {220, 180}, {160, 205}, {100, 180}, {75, 120}, {100, 60}, {160, 35}, {220, 60}};
    Point centre{160, 120};
    Discriminant weights{-0.33987653255462646f, 0.12686161696910858f, -0.013764576986432076f,
                         0.022703522816300392f, 0.011989961378276348f, -0.08351901918649673f};
};

// "File", load `folder/fileName`, sample IN and OUT, right-click the centre.
void loadAndSample(LesionSession& session, const std::string& folder, const std::string& fileName,
                   const ReferenceScript& script);

std::string testDataDir();

}  // namespace lesionmeter::testing
