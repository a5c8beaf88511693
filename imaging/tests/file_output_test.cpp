// Checked file writing: whole-file replacement through a temporary file, the system's reason in
// every failure, same-file detection by device and inode, and line-by-line output files.

#include "imaging/file_output.hpp"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <future>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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

// ---- Whole appends ---------------------------------------------------------------------------

// The message of the refusal `f` throws ("" when it throws none).
template <typename F>
std::string refusalOf(F f) {
    try {
        f();
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused) << e.what();
        return e.what();
    }
    return "";
}

imaging::OutputOptions csvOptions() {
    imaging::OutputOptions options;
    options.header = "photo,value";
    return options;
}

// Appends one entry to `file` as a run does: open, one write, close.
void appendEntry(const std::string& file, const std::string& entry,
                 const imaging::OutputOptions& options = csvOptions()) {
    imaging::OutputFile out;
    out.open(file, imaging::OutputFile::Mode::Append, "CSV file", options);
    out.write(entry);
    out.close();
}

TEST(WholeAppends, ANewFileGetsTheHeaderWithItsFirstRowAndLaterRowsAlone) {
    TempDir dir;
    const std::string file = dir.file("rows.csv");
    appendEntry(file, "a.jpg,1\n");
    EXPECT_EQ(readText(file), "photo,value\na.jpg,1\n");
    appendEntry(file, "b.jpg,2\n");
    EXPECT_EQ(readText(file), "photo,value\na.jpg,1\nb.jpg,2\n");
    // An empty file is a new one.
    writeText(dir.file("empty.csv"), "");
    appendEntry(dir.file("empty.csv"), "c.jpg,3\n");
    EXPECT_EQ(readText(dir.file("empty.csv")), "photo,value\nc.jpg,3\n");
}

TEST(WholeAppends, ARowCutShortByTheFileSizeLimitIsTakenBackLeavingTheEarlierBytes) {
    TempDir dir;
    const std::string file = dir.file("rows.csv");
    const std::string before = "photo,value\na.jpg,1\n";
    writeText(file, before);
    std::string message;
    {
        // The first 10 bytes of the row fit, the rest fails with "File too large".
        FileSizeLimit limit(before.size() + 10);
        message = errorOf([&] { appendEntry(file, "b.jpg," + std::string(40, '9') + "\n"); });
    }
    EXPECT_EQ(message, "Cannot write CSV file (File too large): " + file);
    EXPECT_EQ(readText(file), before);
    // The next row follows the last whole one.
    appendEntry(file, "c.jpg,3\n");
    EXPECT_EQ(readText(file), before + "c.jpg,3\n");
}

TEST(WholeAppends, AHeaderAndRowThatDoNotFitLeaveANewFileEmpty) {
    TempDir dir;
    const std::string file = dir.file("rows.csv");
    std::string message;
    {
        FileSizeLimit limit(15);
        message = errorOf([&] { appendEntry(file, "a.jpg,1\n"); });
    }
    EXPECT_EQ(message, "Cannot write CSV file (File too large): " + file);
    EXPECT_EQ(readText(file), "");
    appendEntry(file, "a.jpg,1\n");
    EXPECT_EQ(readText(file), "photo,value\na.jpg,1\n");
}

// A small tmpfs mounted for the test (when the test may mount one), removed at the end.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& folder) : folder_(folder) {
        fs::create_directory(folder_);
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=16k") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST(WholeAppends, ARowCutShortOnAFullFileSystemIsTakenBackLeavingTheEarlierBytes) {
    TempDir dir;
    SmallFileSystem small(dir.file("small"));
    if (!small.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here (the file size limit test covers this)";
    const std::string file = dir.file("small/rows.csv");
    const std::string before = "photo,value\na.jpg,1\n";
    writeText(file, before);
    // Everything else on the file system is taken by another file.
    {
        const int filler = ::open(dir.file("small/filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(filler, 0);
        const std::string block(4096, 'f');
        while (::write(filler, block.data(), block.size()) > 0) {
        }
        ::close(filler);
    }
    // The row fills the rest of the file's block, then the file system is full.
    const std::string message = errorOf([&] { appendEntry(file, "b.jpg," + std::string(9000, '9') + "\n"); });
    EXPECT_EQ(message, "Cannot write CSV file (No space left on device): " + file);
    EXPECT_EQ(readText(file), before);
}

TEST(WholeAppends, ARowAfterACutLineStartsOnANewLine) {
    TempDir dir;
    const std::string file = dir.file("rows.csv");
    writeText(file, "photo,value\na.jpg,1");
    appendEntry(file, "b.jpg,2\n");
    EXPECT_EQ(readText(file), "photo,value\na.jpg,1\nb.jpg,2\n");

    // A CR LF file cut after its CR gets only the LF.
    imaging::OutputOptions crlf;
    crlf.lineEnd = "\r\n";
    const std::string lines = dir.file("lines.txt");
    writeText(lines, "a.jpg,in\r\nb.jpg,out\r");
    appendEntry(lines, "c.jpg,in\r\n", crlf);
    EXPECT_EQ(readText(lines), "a.jpg,in\r\nb.jpg,out\r\nc.jpg,in\r\n");
    writeText(lines, "a.jpg,in");
    appendEntry(lines, "c.jpg,in\r\n", crlf);
    EXPECT_EQ(readText(lines), "a.jpg,in\r\nc.jpg,in\r\n");
}

TEST(WholeAppends, AFileWithAnotherHeaderIsRefusedNamingBothAndStaysAsItWas) {
    TempDir dir;
    const std::string file = dir.file("other.csv");
    writeText(file, "NAME,Monochrome--FR-AVE\r\nx.jpg,2\r\n");
    EXPECT_EQ(refusalOf([&] { appendEntry(file, "a.jpg,1\n"); }),
              "Cannot append to CSV file " + file +
                  ": its first line is not this file's header, so no row is added (first line: "
                  "\"NAME,Monochrome--FR-AVE\"; header: \"photo,value\")");
    EXPECT_EQ(readText(file), "NAME,Monochrome--FR-AVE\r\nx.jpg,2\r\n");
    // A binary file shows its first bytes with the control bytes escaped.
    const std::string picture = dir.file("picture.bmp");
    writeText(picture, std::string("BM\x01\x02", 4));
    EXPECT_EQ(refusalOf([&] { appendEntry(picture, "a.jpg,1\n"); }),
              "Cannot append to CSV file " + picture +
                  ": its first line is not this file's header, so no row is added (first line: "
                  "\"BM\\x01\\x02\"; header: \"photo,value\")");
    // The header itself, with or without CR LF, is this file's header.
    writeText(file, "photo,value\r\n");
    appendEntry(file, "a.jpg,1\n");
    EXPECT_EQ(readText(file), "photo,value\r\na.jpg,1\n");
}

// ---- One writer at a time ----------------------------------------------------------------------

imaging::OutputOptions lockedOptions(bool wait) {
    imaging::OutputOptions options = csvOptions();
    options.lock = true;
    options.whenLocked.wait = wait;
    return options;
}

TEST(OneWriter, ASecondWriterThatMayNotWaitIsRefusedAndChangesNothing) {
    TempDir dir;
    const std::string file = dir.file("results.csv");
    imaging::OutputFile first;
    first.open(file, imaging::OutputFile::Mode::Replace, "results file", lockedOptions(true));
    first.write("photo,value\r\n");
    imaging::OutputFile second;
    EXPECT_EQ(refusalOf([&] {
                  second.open(file, imaging::OutputFile::Mode::Replace, "results file", lockedOptions(false));
              }),
              "results file " + file + " is being written by another run; nothing was written to it");
    EXPECT_EQ(refusalOf([&] {
                  second.open(file, imaging::OutputFile::Mode::Append, "results file", lockedOptions(false));
              }),
              "results file " + file + " is being written by another run; nothing was written to it");
    EXPECT_FALSE(second.isOpen());
    first.write("row\r\n");
    first.close();
    EXPECT_EQ(readText(file), "photo,value\r\nrow\r\n");
    // Free again once the first writer is done.
    second.open(file, imaging::OutputFile::Mode::Append, "results file", lockedOptions(false));
    second.close();
}

TEST(OneWriter, ASecondWriterWaitsWithANoteAndWritesAfterTheFirst) {
    TempDir dir;
    const std::string file = dir.file("rows.csv");
    imaging::OutputFile first;
    first.open(file, imaging::OutputFile::Mode::Append, "CSV file", lockedOptions(true));
    std::promise<std::string> noted;
    std::thread second([&] {
        imaging::OutputOptions options = lockedOptions(true);
        options.whenLocked.onWait = [&](const std::string& note) { noted.set_value(note); };
        appendEntry(file, "second,2\n", options);
    });
    // The second writer says what it waits for, and only then does the first write its row.
    EXPECT_EQ(noted.get_future().get(), "waiting for another run to finish writing CSV file " + file);
    first.write("first,1\n");
    first.close();
    second.join();
    EXPECT_EQ(readText(file), "photo,value\nfirst,1\nsecond,2\n");
}

TEST(OneWriter, AReservedFileIsLockedButUntouchedUntilItIsOpened) {
    TempDir dir;
    const std::string file = dir.file("results.csv");
    writeText(file, "earlier results\r\n");
    imaging::OutputFile run;
    run.reserve(file, "results file", lockedOptions(true));
    EXPECT_FALSE(run.isOpen());
    imaging::OutputFile other;
    EXPECT_NE(refusalOf([&] {
                  other.open(file, imaging::OutputFile::Mode::Replace, "results file", lockedOptions(false));
              }),
              "");
    EXPECT_EQ(readText(file), "earlier results\r\n");
    // A run with nothing to write leaves the file as it was.
    run.close();
    EXPECT_EQ(readText(file), "earlier results\r\n");

    // Opened for replacing, the reserved file is emptied only then, still under the same lock.
    run.reserve(file, "results file", lockedOptions(true));
    run.open(file, imaging::OutputFile::Mode::Replace, "results file", lockedOptions(true));
    EXPECT_EQ(readText(file), "");
    EXPECT_NE(refusalOf([&] {
                  other.open(file, imaging::OutputFile::Mode::Replace, "results file", lockedOptions(false));
              }),
              "");
    run.write("header\r\n");
    run.close();
    EXPECT_EQ(readText(file), "header\r\n");

    // A missing file stays missing until it is opened.
    const std::string fresh = dir.file("fresh.csv");
    run.reserve(fresh, "results file", lockedOptions(true));
    EXPECT_FALSE(fs::exists(fresh));
    run.open(fresh, imaging::OutputFile::Mode::Replace, "results file", lockedOptions(true));
    run.write("header\r\n");
    run.close();
    EXPECT_EQ(readText(fresh), "header\r\n");
}

TEST(ReadingAFolder, AFolderNamedLikeAPictureIsADirectory) {
    TempDir dir;
    fs::create_directory(dir.file("x.jpg"));
    EXPECT_EQ(errorOf([&] { (void)imaging::loadImageFile(dir.file("x.jpg")); }),
              "Cannot read file (Is a directory): " + dir.file("x.jpg"));
}

}  // namespace
