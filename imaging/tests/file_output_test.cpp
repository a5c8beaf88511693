// Checked file writing: whole-file replacement through a temporary file, the system's reason in
// every failure, same-file detection by device and inode, and line-by-line output files.

#include "imaging/file_output.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "test_support.hpp"

namespace {

using imaging_test::TempDir;
namespace fs = std::filesystem;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int entriesIn(const fs::path& folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

// The message of the RunError `f` throws ("" when it throws none).
template <typename F>
std::string errorOf(F f) {
    try {
        f();
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::FileError) << e.what();
        return e.what();
    }
    return "";
}

// Files may grow to `bytes` only while the object lives; a longer write fails with "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

bool haveDevFull() { return fs::exists("/dev/full") && fs::is_character_file("/dev/full"); }

TEST(WholeFile, ReplacesTheFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string file = dir.file("results.csv");
    writeText(file, "old content that is longer than the new one");
    imaging::writeWholeFile(file, "new");
    EXPECT_EQ(readText(file), "new");
    EXPECT_EQ(entriesIn(dir.path()), 1);
}

TEST(WholeFile, AFailedWriteKeepsThePreviousFileAndLeavesNoFragment) {
    TempDir dir;
    const std::string file = dir.file("map.bmp");
    writeText(file, "previous");
    std::string message;
    {
        FileSizeLimit limit(1000);
        message = errorOf([&] { imaging::writeWholeFile(file, std::string(5000, 'x')); });
    }
    EXPECT_EQ(message, "Cannot write file (File too large): " + file);
    EXPECT_EQ(readText(file), "previous");
    EXPECT_EQ(entriesIn(dir.path()), 1);
}

TEST(WholeFile, AFullDeviceNamesTheFileAndTheSystemsReason) {
    if (!haveDevFull()) GTEST_SKIP() << "no /dev/full here";
    EXPECT_EQ(errorOf([] { imaging::writeWholeFile("/dev/full", "data"); }),
              "Cannot write file (No space left on device): /dev/full");
    // The device stays a device (it is written in place, not replaced by a renamed file).
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_EQ(errorOf([] { imaging::saveBmp(imaging::Image(3, 2), "/dev/full"); }),
              "Cannot write file (No space left on device): /dev/full");
}

TEST(WholeFile, AFolderOrAMissingFolderIsRefusedWithTheReason) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    EXPECT_EQ(errorOf([&] { imaging::writeWholeFile(dir.file("sub"), "x"); }),
              "Cannot write file (Is a directory): " + dir.file("sub"));
    EXPECT_EQ(errorOf([&] { imaging::writeWholeFile(dir.file("no/such.bmp"), "x"); }),
              "Cannot write file (No such file or directory): " + dir.file("no/such.bmp"));
    EXPECT_TRUE(fs::is_directory(dir.file("sub")));
}

TEST(WholeFile, ExistingPermissionsAreKeptAndNewFilesGetTheUmasksOnes) {
    TempDir dir;
    const std::string kept = dir.file("kept.txt");
    writeText(kept, "a");
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    imaging::writeWholeFile(kept, "b");
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const mode_t mask = umask(022);
    umask(mask);
    const std::string fresh = dir.file("fresh.txt");
    imaging::writeWholeFile(fresh, "c");
    struct stat st {};
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(WholeFile, ASymbolicLinkIsFollowedAndStays) {
    TempDir dir;
    const std::string target = dir.file("real.bmp");
    const std::string link = dir.file("link.bmp");
    writeText(target, "old");
    fs::create_symlink(target, link);
    imaging::writeWholeFile(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readText(target), "new");
}

TEST(SameFile, ComparesFilesNotSpellings) {
    TempDir dir;
    const std::string photo = dir.file("photo.jpg");
    writeText(photo, "jpeg");
    fs::create_directory(dir.file("sub"));
    EXPECT_TRUE(imaging::sameFile(photo, dir.file("sub/../photo.jpg")));
    EXPECT_TRUE(imaging::sameFile(photo, dir.file("./photo.jpg")));
    fs::create_hard_link(photo, dir.file("hard.jpg"));
    fs::create_symlink(photo, dir.file("soft.jpg"));
    EXPECT_TRUE(imaging::sameFile(photo, dir.file("hard.jpg")));
    EXPECT_TRUE(imaging::sameFile(dir.file("soft.jpg"), photo));
    writeText(dir.file("other.jpg"), "jpeg");
    EXPECT_FALSE(imaging::sameFile(photo, dir.file("other.jpg")));
    EXPECT_FALSE(imaging::sameFile(photo, dir.file("missing.jpg")));
    EXPECT_FALSE(imaging::sameFile(dir.file("missing.jpg"), dir.file("missing.jpg")));
    // Names not written yet are the same destination when they resolve to the same place.
    EXPECT_TRUE(imaging::sameDestination(dir.file("missing.jpg"), dir.file("sub/../missing.jpg")));
    EXPECT_FALSE(imaging::sameDestination(dir.file("a.csv"), dir.file("b.csv")));
}

TEST(CheckWritable, GivesTheReasonAWriteWouldGive) {
    TempDir dir;
    EXPECT_NO_THROW(imaging::checkWritable(dir.file("new.csv")));
    writeText(dir.file("old.csv"), "x");
    EXPECT_NO_THROW(imaging::checkWritable(dir.file("old.csv")));
    EXPECT_EQ(errorOf([&] { imaging::checkWritable(dir.file("no/new.csv")); }),
              "Cannot write file (No such file or directory): " + dir.file("no/new.csv"));
    EXPECT_EQ(errorOf([&] { imaging::checkWritable(dir.path().string()); }),
              "Cannot write file (Is a directory): " + dir.path().string());
    EXPECT_EQ(errorOf([&] { imaging::checkWritable(dir.file("old.csv/new.csv")); }),
              "Cannot write file (Not a directory): " + dir.file("old.csv/new.csv"));
    EXPECT_FALSE(fs::exists(dir.file("new.csv")));
}

TEST(OutputFileLines, AppendsWholeLinesAndKnowsTheSizeAtOpen) {
    TempDir dir;
    const std::string file = dir.file("rows.csv");
    imaging::OutputFile out;
    out.open(file, imaging::OutputFile::Mode::Append, "CSV file");
    EXPECT_EQ(out.sizeAtOpen(), 0);
    out.write("header\n");
    out.close();
    out.open(file, imaging::OutputFile::Mode::Append, "CSV file");
    EXPECT_EQ(out.sizeAtOpen(), 7);
    out.write("row\n");
    out.close();
    EXPECT_EQ(readText(file), "header\nrow\n");
    out.open(file, imaging::OutputFile::Mode::Replace, "CSV file");
    out.write("fresh\n");
    out.close();
    EXPECT_EQ(readText(file), "fresh\n");
}

TEST(OutputFileLines, ALineCutShortIsTakenBackAndTheErrorNamesTheFile) {
    TempDir dir;
    const std::string file = dir.file("results.csv");
    imaging::OutputFile out;
    out.open(file, imaging::OutputFile::Mode::Replace, "results file");
    out.write("header\r\n");
    std::string message;
    {
        FileSizeLimit limit(20);
        message = errorOf([&] { out.write(std::string(30, 'r') + "\r\n"); });
    }
    EXPECT_EQ(message, "Cannot write results file (File too large): " + file);
    out.write("next\r\n");
    out.close();
    EXPECT_EQ(readText(file), "header\r\nnext\r\n");
}

TEST(OutputFileLines, OpenAndWriteFailuresGiveTheReason) {
    TempDir dir;
    imaging::OutputFile out;
    EXPECT_EQ(errorOf([&] { out.open(dir.file("no/r.csv"), imaging::OutputFile::Mode::Replace, "results file"); }),
              "Cannot open results file (No such file or directory): " + dir.file("no/r.csv"));
    if (!haveDevFull()) GTEST_SKIP() << "no /dev/full here";
    out.open("/dev/full", imaging::OutputFile::Mode::Replace, "results file");
    EXPECT_EQ(errorOf([&] { out.write("header\r\n"); }), "Cannot write results file (No space left on device): /dev/full");
}

TEST(ReadingAFolder, AFolderNamedLikeAPictureIsADirectory) {
    TempDir dir;
    fs::create_directory(dir.file("x.jpg"));
    EXPECT_EQ(errorOf([&] { (void)imaging::loadImageFile(dir.file("x.jpg")); }),
              "Cannot read file (Is a directory): " + dir.file("x.jpg"));
}

}  // namespace
