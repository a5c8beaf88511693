#pragma once
// Helpers shared by the engine tests: a private scratch folder per test and scripted runs.

#include <filesystem>
#include <string>

#include "lesionmeter/lesion_session.hpp"
#include "testdata/reference_data.hpp"

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

// "File", load the scenario's photograph, sample IN and OUT, right-click the centre.
void loadAndSample(LesionSession& session, const morph::testdata::LesionScenario& scenario);

// The reference discriminant of "Calc + Draw".
Discriminant referenceWeights(const morph::testdata::LesionReference& reference);

}  // namespace lesionmeter::testing
