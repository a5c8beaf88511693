// lesionmeter-cli's command line: usage errors exit with status 2 and a message that starts with
// the program's name, seeds outside 0..2^64-1 are refused, a batch's clock-drawn photo seed
// repeats its photograph alone, and a JPEG stored turned (EXIF orientation) is analysed as stored,
// with a warning and the orientation reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/report.hpp"
#include "lesionmeter/marks.hpp"
#include "cli_support.hpp"
#include "testdata/exif_jpeg.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/scratch_folder.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter {
namespace {

namespace fs = std::filesystem;
using morph::testdata::readFile;
using morph::testdata::lines;
using morph::testdata::readJson;
using morph::testdata::ToolRun;
using cli_tests::Folder;
using cli_tests::placePhoto;
using cli_tests::undated;

morph::testdata::ByteString bytesOf(const std::string& path) {
    const std::string text = readFile(path);
    return morph::testdata::ByteString(text.begin(), text.end());
}

void writeBytes(const fs::path& path, const morph::testdata::ByteString& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The arguments followed by the sample's samples and centre.
std::vector<std::string> withSample(std::vector<std::string> args) {
    const auto options = cli_tests::sampleOptions(morph::testdata::lesionSample());
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

TEST(LesionmeterCliUsage, EveryUsageErrorExitsWithTwoAndNamesTheProgram) {
    Folder folder("usage");
    fs::copy_file(morph::testdata::lesionSample().image, folder.path() / "me.jpg");
    const std::vector<std::vector<std::string>> cases = {
        withSample({"me.jpg", "--no-such-option"}),
        {"--csv", "r.csv"},
        withSample({"--seed", "-1", "me.jpg"}),
        withSample({"--seed", "18446744073709551616", "me.jpg"}),
        withSample({"--seed", "seven", "me.jpg"}),
        {"--jobs", "0", "--csv", "r.csv", "me.jpg", "me.jpg"},
        {"--jobs", "two", "--csv", "r.csv", "me.jpg", "me.jpg"},
        {"me.jpg", "--in", "left", "--out", "40,40"},
        {"me.jpg", "--in", "160,120", "--out", "40;40"},
        {"me.jpg", "--in", "160,120", "--out", "40,40", "--centre", "x,1"},
        {"me.jpg", "--in", "160,120", "--out", "-1,-1"},
        {"me.jpg", "--in", "160,120", "--out", "40,40", "--centre", "9999,9999"},
        {"me.jpg", "--in", "160,120"},
        {"me.jpg", "--seed"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        const ToolRun r = folder.run(args);
        EXPECT_EQ(r.status, 2) << shown << r.err;
        EXPECT_EQ(r.err.rfind("lesionmeter-cli: ", 0), 0u) << shown << r.err;
        EXPECT_TRUE(r.out.empty()) << shown << r.out;
        EXPECT_FALSE(fs::exists(folder.path() / "r.csv")) << shown;
    }
    const ToolRun word = folder.run({"me.jpg", "--in", "left", "--out", "40,40"});
    EXPECT_EQ(word.err, "lesionmeter-cli: --in left: Type mismatch: \"left\" is not a number\n");
    const ToolRun negative = folder.run(withSample({"--seed", "-1", "me.jpg"}));
    EXPECT_NE(negative.err.find("must be a whole number from 0..18446744073709551615, not \"-1\""), std::string::npos)
        << negative.err;
}

TEST(LesionmeterCliUsage, TheLargestSeedIsASeedAndHelpListsTheExitStatuses) {
    Folder folder("largest-seed");
    fs::copy_file(morph::testdata::lesionSample().image, folder.path() / "me.jpg");
    const ToolRun largest = folder.run(withSample({"me.jpg", "--seed", "18446744073709551615", "--json", "r.json"}));
    ASSERT_EQ(largest.status, 0) << largest.err;
    const imaging::Json report = readJson(folder.path() / "r.json");
    EXPECT_EQ(report["images"][0]["seed"].get<uint64_t>(), 18446744073709551615u);

    const ToolRun help = folder.run({"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("Exit status: 0 when every photograph was analysed and written; 1 when an analysis "
                            "failed"),
              std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("2 for a usage error"), std::string::npos) << help.out;
}

TEST(LesionmeterCliSeeds, AClockDrawnPhotoSeedOfABatchRepeatsThePhotographAlone) {
    Folder folder("batch-seed");
    placePhoto(folder, morph::testdata::lesionSample(), "p1");
    placePhoto(folder, morph::testdata::lesionReference(), "p2");
    const ToolRun batch = folder.run({"--csv", "batch.csv", "--json", "batch.json", "p1.jpg", "p2.jpg"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const imaging::Json report = readJson(folder.path() / "batch.json");
    ASSERT_EQ(report["images"].size(), 2u);
    const uint64_t seed = report["images"][1]["seed"].get<uint64_t>();
    EXPECT_EQ(report["images"][1]["seedSource"], "clock");
    const auto rows = lines(readFile(folder.path() / "batch.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(morph::testdata::csvCells(rows[2]).at(3), std::to_string(seed)) << "the row's seed column is the reported seed";
    EXPECT_NE(batch.err.find("lesionmeter-cli: p2.jpg: seed " + std::to_string(seed) + " (from the clock; --seed " +
                             std::to_string(seed) + " with this photograph alone repeats it)\n"),
              std::string::npos)
        << batch.err;

    const ToolRun alone = folder.run({"--seed", std::to_string(seed), "--csv", "alone.csv", "p2.jpg"});
    ASSERT_EQ(alone.status, 0) << alone.err;
    const auto own = lines(readFile(folder.path() / "alone.csv"));
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(undated(own[1]), undated(rows[2]));
}

TEST(LesionmeterCliExif, ATurnedJpegIsAnalysedAsStoredWithAWarningAndItsOrientation) {
    Folder folder("exif");
    const auto bytes = bytesOf(morph::testdata::lesionSample().image);
    writeBytes(folder.path() / "plain.jpg", bytes);
    writeBytes(folder.path() / "turned.jpg",
               morph::testdata::withSegment(bytes, morph::testdata::orientationSegment(8, true)));
    const ToolRun plain = folder.run(withSample({"plain.jpg", "--seed", "4", "--json", "plain.json"}));
    const ToolRun turned = folder.run(withSample({"turned.jpg", "--seed", "4", "--json", "turned.json"}));
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(turned.status, 0) << turned.err;
    EXPECT_EQ(turned.out, plain.out) << "the pixels as stored";
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(turned.err,
              "lesionmeter-cli: turned.jpg: warning: EXIF orientation 8: viewers that follow it show the photograph "
              "turned 90 degrees counter-clockwise; the analysis uses the pixels as stored and every position is a "
              "position in them\n");
    EXPECT_EQ(readJson(folder.path() / "plain.json")["images"][0]["exifOrientation"], 0);
    EXPECT_EQ(readJson(folder.path() / "turned.json")["images"][0]["exifOrientation"], 8);

    // In a batch: the warning names the photograph, the report carries the orientation.
    fs::copy_file(folder.path() / "turned.jpg", folder.path() / "batch.jpg");
    Marks m;
    m.photo = "batch.jpg";
    for (auto [x, y] : morph::testdata::lesionSample().in) m.in.push_back({float(x), float(y)});
    for (auto [x, y] : morph::testdata::lesionSample().out) m.out.push_back({float(x), float(y)});
    const auto centre = morph::testdata::lesionSample().centre;
    m.centre = MarkPosition{float(centre.x), float(centre.y)};
    writeMarks((folder.path() / "batch.marks.json").string(), m);
    const ToolRun batch = folder.run({"--seed", "4", "--csv", "b.csv", "--json", "b.json", "batch.jpg"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_NE(batch.err.find("lesionmeter-cli: batch.jpg: warning: EXIF orientation 8: "), std::string::npos)
        << batch.err;
    EXPECT_EQ(readJson(folder.path() / "b.json")["images"][0]["exifOrientation"], 8);
}

}  // namespace
}  // namespace lesionmeter
