// The output guard: no route may replace a photograph, another picture or an input of its run.

#include "imaging/output_guard.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include "imaging/errors.hpp"
#include "test_support.hpp"

namespace {

using imaging_test::Bytes;
using imaging_test::readBytes;
using imaging_test::TempDir;
using imaging_test::writeBytes;

std::string refusal(const std::string& label, const std::string& name, const std::string& what,
                    const std::vector<std::string>& inputs = {}, const imaging::WrittenFiles* written = nullptr) {
    try {
        imaging::guardOutput(label, name, what, inputs, written);
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        return e.what();
    }
    return "";
}

TEST(OutputGuard, RefusesPicturesByContentWhateverTheirName) {
    TempDir dir;
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10};
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0};
    const Bytes bmp = {'B', 'M', 0, 0};
    writeBytes(dir.file("victim.jpg"), jpeg);
    writeBytes(dir.file("photo.csv"), png);  // a picture under a text name
    writeBytes(dir.file("old.bmp"), bmp);
    writeBytes(dir.file("notes.jpg"), Bytes{'a', ',', 'b', '\n'});  // text under a picture name

    EXPECT_EQ(refusal("--csv", dir.file("victim.jpg"), "results file"),
              "--csv " + dir.file("victim.jpg") + " is a JPEG picture, not a results file; it is not replaced");
    EXPECT_EQ(refusal("--json", dir.file("photo.csv"), "JSON report"),
              "--json " + dir.file("photo.csv") + " is a PNG picture, not a JSON report; it is not replaced");
    EXPECT_EQ(refusal("--save-map", dir.file("old.bmp"), ""),
              "--save-map " + dir.file("old.bmp") + " is an existing BMP picture; it is not replaced");
    EXPECT_EQ(refusal("--csv", dir.file("notes.jpg"), "results file"), "");
    EXPECT_EQ(refusal("--csv", dir.file("new.csv"), "results file"), "");
    EXPECT_EQ(refusal("--csv", "", "results file"), "");
    EXPECT_EQ(readBytes(dir.file("victim.jpg")), jpeg);
}

TEST(OutputGuard, RefusesAnInputOfTheRunInAnySpelling) {
    TempDir dir;
    writeBytes(dir.file("list.txt"), Bytes{'x', '\n'});
    ASSERT_EQ(::link(dir.file("list.txt").c_str(), dir.file("hard.txt").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("list.txt").c_str(), dir.file("soft.txt").c_str()), 0);
    const std::vector<std::string> inputs = {dir.file("other.txt"), dir.file("list.txt")};
    for (const std::string& spelling : {dir.file("list.txt"), dir.file("./list.txt"), dir.file("hard.txt"),
                                       dir.file("soft.txt")})
        EXPECT_EQ(refusal("--save-marks", spelling, "marks file", inputs),
                  "--save-marks " + spelling + " is the input photograph " + dir.file("list.txt") +
                      " itself; choose another file");
    EXPECT_EQ(refusal("--save-marks", dir.file("marks.json"), "marks file", inputs), "");
}

// An input that is not a photograph is named as what the caller says it is.
TEST(OutputGuard, NamesEachInputAsWhatItIs) {
    TempDir dir;
    writeBytes(dir.file("photo.txt"), Bytes{'x', '\n'});
    writeBytes(dir.file("a.marks.json"), Bytes{'{', '}'});
    writeBytes(dir.file("a.square.json"), Bytes{'{', '}'});
    const std::vector<imaging::InputFile> inputs = {
        dir.file("photo.txt"), {dir.file("a.marks.json"), "marks file"}, {dir.file("a.square.json"), "square file"}};
    const auto refusedAs = [&](const std::string& name) {
        try {
            imaging::guardOutput("--json", name, "JSON file", inputs);
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(refusedAs(dir.file("photo.txt")),
              "--json " + dir.file("photo.txt") + " is the input photograph " + dir.file("photo.txt") +
                  " itself; choose another file");
    EXPECT_EQ(refusedAs(dir.file("./a.marks.json")),
              "--json " + dir.file("./a.marks.json") + " is the input marks file " + dir.file("a.marks.json") +
                  " itself; choose another file");
    EXPECT_EQ(refusedAs(dir.file("a.square.json")),
              "--json " + dir.file("a.square.json") + " is the input square file " + dir.file("a.square.json") +
                  " itself; choose another file");
    EXPECT_EQ(refusedAs(dir.file("report.json")), "");
    // An input given without a kind is a photograph, whichever way it is given.
    const imaging::InputFile byName(std::string("p.jpg")), byText("p.jpg");
    EXPECT_EQ(byName.kind, "photograph");
    EXPECT_EQ(byText.kind, "photograph");
}

TEST(OutputGuard, APictureTheRunWroteItselfMayBeWrittenAgain) {
    TempDir dir;
    const Bytes bmp = {'B', 'M', 1, 2};
    writeBytes(dir.file("mine.bmp"), bmp);
    writeBytes(dir.file("theirs.bmp"), bmp);
    imaging::WrittenFiles written;
    EXPECT_FALSE(written.contains(dir.file("mine.bmp")));
    written.remember(dir.file("mine.bmp"));
    written.remember(dir.file("missing.bmp"));  // ignored
    EXPECT_TRUE(written.contains(dir.file("./mine.bmp")));
    EXPECT_FALSE(written.contains(dir.file("theirs.bmp")));
    EXPECT_FALSE(written.contains(dir.file("missing.bmp")));
    EXPECT_EQ(refusal("save1", dir.file("mine.bmp"), "", {}, &written), "");
    EXPECT_NE(refusal("save1", dir.file("theirs.bmp"), "", {}, &written), "");
    // Edited in place, it is still the file the run wrote.
    writeBytes(dir.file("mine.bmp"), Bytes{'B', 'M', 9, 9});
    EXPECT_TRUE(written.contains(dir.file("mine.bmp")));
    // Deleted and made anew by someone else (which may reuse the inode): no longer the run's.
    std::filesystem::remove(dir.file("mine.bmp"));
    ::usleep(2000);
    writeBytes(dir.file("mine.bmp"), bmp);
    EXPECT_FALSE(written.contains(dir.file("mine.bmp")));
    EXPECT_NE(refusal("save1", dir.file("mine.bmp"), "", {}, &written), "");
    // Written or not, an input of the run is never replaced.
    EXPECT_NE(refusal("save1", dir.file("mine.bmp"), "", {dir.file("mine.bmp")}, &written), "");
}

}  // namespace
