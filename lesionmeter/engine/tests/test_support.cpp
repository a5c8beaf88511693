#include "test_support.hpp"

#include <atomic>
#include <random>

#include <unistd.h>

namespace lesionmeter::testing {

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("lesionmeter-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void loadAndSample(LesionSession& session, const std::string& folder, const std::string& fileName,
                   const ReferenceScript& script) {
    session.openChooser();
    session.loadImage(folder, fileName);
    session.selectIn();
    for (auto [x, y] : script.in) session.leftClick(x, y);
    session.selectOut();
    for (auto [x, y] : script.out) session.leftClick(x, y);
    session.rightClick(script.centre.first, script.centre.second);
}

std::string testDataDir() { return LESIONMETER_TEST_DATA_DIR; }

}  // namespace lesionmeter::testing
