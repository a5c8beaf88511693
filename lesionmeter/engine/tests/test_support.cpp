#include "test_support.hpp"

#include <filesystem>

namespace lesionmeter::testing {

void loadAndSample(LesionSession& session, const morph::testdata::LesionScenario& scenario) {
    const std::filesystem::path photo(scenario.image);
    session.openChooser();
    session.loadImage(photo.parent_path().string(), photo.filename().string());
    session.selectIn();
    for (auto [x, y] : scenario.in) session.leftClick(float(x), float(y));
    session.selectOut();
    for (auto [x, y] : scenario.out) session.leftClick(float(x), float(y));
    session.rightClick(float(scenario.centre.x), float(scenario.centre.y));
}

Discriminant referenceWeights(const morph::testdata::LesionReference& reference) {
    const auto& w = reference.weights;
    return {w[0], w[1], w[2], w[3], w[4], w[5]};
}

}  // namespace lesionmeter::testing
