// Windows-style file names typed into text boxes, opened on Linux.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/paths.hpp"
#include "test_support.hpp"

namespace {

// Sets $HOME for one test and restores it afterwards.
class HomeOverride {
public:
    explicit HomeOverride(const std::string& home) {
        if (const char* h = std::getenv("HOME")) saved_ = h;
        ::setenv("HOME", home.c_str(), 1);
    }
    ~HomeOverride() {
        if (saved_) ::setenv("HOME", saved_->c_str(), 1);
        else ::unsetenv("HOME");
    }

private:
    std::optional<std::string> saved_;
};

}  // namespace

TEST(HostPath, DriveLetterMapsToHome) {
    HomeOverride home("/home/tester");
    EXPECT_EQ(imaging::hostPath("C:\\frHgg.txt"), "/home/tester/frHgg.txt");
    EXPECT_EQ(imaging::hostPath("c:\\RGBa.txt"), "/home/tester/RGBa.txt");
    EXPECT_EQ(imaging::hostPath("c:\\dir\\x.bmp"), "/home/tester/dir/x.bmp");
}

TEST(HostPath, PlainPathsAreUnchanged) {
    HomeOverride home("/home/tester");
    EXPECT_EQ(imaging::hostPath("/tmp/x"), "/tmp/x");
    EXPECT_EQ(imaging::hostPath("testt.bmp"), "testt.bmp");
    EXPECT_EQ(imaging::hostPath("/tmp/a b/photo 1.jpg"), "/tmp/a b/photo 1.jpg");
}

TEST(HostPath, BackslashIsASeparator) {
    HomeOverride home("/home/tester");
    EXPECT_EQ(imaging::hostPath("dir\\x.bmp"), "dir/x.bmp");
}

TEST(HostPath, OpensTheMappedFile) {
    imaging_test::TempDir dir;
    HomeOverride home(dir.path().string());
    imaging_test::writeBytes(dir.file("frHgg.txt"), {'o', 'k'});
    EXPECT_TRUE(imaging::fileExists(imaging::hostPath("C:\\frHgg.txt")));
    EXPECT_FALSE(imaging::fileExists(imaging::hostPath("C:\\other.txt")));
}

TEST(DeleteFile, RemovesTheFileAndReportsAMissingOne) {
    imaging_test::TempDir dir;
    const std::string name = dir.file("testt.bmp");
    imaging_test::writeBytes(name, {1, 2, 3});
    ASSERT_TRUE(imaging::fileExists(name));
    imaging::deleteFile(name);
    EXPECT_FALSE(imaging::fileExists(name));
    const std::string message = imaging_test::runErrorMessage([&] { imaging::deleteFile(name); });
    EXPECT_NE(message.find(name), std::string::npos) << message;
}
