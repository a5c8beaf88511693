#pragma once
// A private scratch folder for a test, for every test suite.

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace morph::testdata {

// A fresh empty folder under the system's temporary folder, removed with everything in it when the
// object ends. `label` goes into the folder's name, to tell whose folder is left after a crash.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& label = "test") {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("morph-" + label + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace morph::testdata
