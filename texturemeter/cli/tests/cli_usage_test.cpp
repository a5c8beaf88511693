// texturemeter-cli's command line: a reported photo seed repeats its image alone, every usage
// error exits with status 2 and a message that starts with the program's name, and a JPEG stored
// turned (EXIF orientation) is analysed as stored, with a warning and the orientation reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "testdata/exif_jpeg.hpp"
#include "testdata/scratch_folder.hpp"
#include "testdata/tool_run.hpp"

namespace {

namespace fs = std::filesystem;
using morph::testdata::readFile;
using morph::testdata::lines;
using morph::testdata::readJson;
using morph::testdata::runTool;
using morph::testdata::ScratchFolder;
using morph::testdata::ToolRun;

const std::string kSkin = std::string(MORPH_SAMPLES_DIR) + "/skin_sample.jpg";
const std::string kTexture = std::string(MORPH_TESTDATA_DIR) + "/reference/skin_texture.jpg";

ToolRun run(const ScratchFolder& folder, const std::vector<std::string>& args) {
    return runTool(TEXTUREMETER_CLI_PATH, folder.path(), args);
}

void writeBytes(const fs::path& path, const morph::testdata::ByteString& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

morph::testdata::ByteString bytesOf(const std::string& path) {
    const std::string text = readFile(path);
    return morph::testdata::ByteString(text.begin(), text.end());
}

TEST(TexturemeterCliSeeds, ThePhotoSeedOfPlaceOneRepeatsItsRowsWithTheImageAlone) {
    ScratchFolder folder("texturemeter-seed");
    const ToolRun batch = run(folder, {"--seed", "1", "--output", "batch.csv", "--json", "batch.json", kSkin, kTexture});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const imaging::Json report = readJson(folder.path() / "batch.json");
    ASSERT_EQ(report["images"].size(), 2u);
    EXPECT_EQ(report["images"][0]["seed"].get<uint64_t>(), 1u);
    const uint64_t seed = report["images"][1]["seed"].get<uint64_t>();
    EXPECT_EQ(seed, imaging::photoSeed(1, 1));
    EXPECT_NE(seed, 1u);
    const auto batchRows = lines(readFile(folder.path() / "batch.csv"));
    ASSERT_EQ(batchRows.size(), 5u);  // header, then a result row and a sampling line per image

    const ToolRun alone = run(folder, {"--seed", std::to_string(seed), "--output", "alone.csv", "--json", "alone.json",
                                       kTexture});
    ASSERT_EQ(alone.status, 0) << alone.err;
    const auto aloneRows = lines(readFile(folder.path() / "alone.csv"));
    ASSERT_EQ(aloneRows.size(), 3u);
    EXPECT_EQ(aloneRows[0], batchRows[0]);
    EXPECT_EQ(aloneRows[1], batchRows[3]);
    EXPECT_EQ(aloneRows[2], batchRows[4]) << "sampling line (the random probes)";
    const imaging::Json again = readJson(folder.path() / "alone.json");
    EXPECT_EQ(again["images"][0]["seed"].get<uint64_t>(), seed);
    EXPECT_EQ(again["images"][0]["measurements"], report["images"][1]["measurements"]);

    // The base seed alone with the second image gives other random probes: the place matters.
    const ToolRun base = run(folder, {"--seed", "1", "--output", "base.csv", kTexture});
    ASSERT_EQ(base.status, 0) << base.err;
    EXPECT_NE(lines(readFile(folder.path() / "base.csv"))[2], batchRows[4]);
}

TEST(TexturemeterCliUsage, EveryUsageErrorExitsWithTwoAndNamesTheProgram) {
    ScratchFolder folder("texturemeter-usage");
    const std::vector<std::vector<std::string>> cases = {
        {"--no-such-option", kSkin},
        {},
        {"--jobs", "0", kSkin},
        {"--jobs", "many", kSkin},
        {"--jobs", "-1", kSkin},
        {"--variant", "D", kSkin},
        {"--seed", "-1", kSkin},
        {"--seed", "18446744073709551616", kSkin},
        {"--seed", "1.5", kSkin},
        {"--keep-derived", "no-such-folder", kSkin},
        {"--x", "left", kSkin},
        {"--side", "500", kSkin},
        {"--seed"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        const ToolRun r = run(folder, [&] {
            std::vector<std::string> withOutput = args;
            withOutput.insert(withOutput.begin(), {"--output", "r.csv"});
            return withOutput;
        }());
        EXPECT_EQ(r.status, 2) << shown << r.err;
        EXPECT_EQ(r.err.rfind("texturemeter-cli: ", 0), 0u) << shown << r.err;
        EXPECT_FALSE(fs::exists(folder.path() / "r.csv")) << shown << ": no results file after a usage error";
    }
    // The largest seed is a seed.
    const ToolRun largest = run(folder, {"--seed", "18446744073709551615", "--output", "r.csv", kSkin});
    EXPECT_EQ(largest.status, 0) << largest.err;
}

TEST(TexturemeterCliUsage, HelpListsTheExitStatusesAndExitsWithZero) {
    ScratchFolder folder("texturemeter-help");
    const ToolRun help = run(folder, {"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("Exit status: 0 when every image was analysed and written; 1 when an image failed"),
              std::string::npos)
        << help.out;
    EXPECT_NE(help.out.find("2 for a usage error"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("130 when interrupted"), std::string::npos) << help.out;
}

TEST(TexturemeterCliExif, ATurnedJpegIsAnalysedAsStoredWithAWarningAndItsOrientation) {
    ScratchFolder folder("texturemeter-exif");
    fs::create_directories(folder.path() / "plain");
    fs::create_directories(folder.path() / "turned");
    fs::create_directories(folder.path() / "upright");
    const auto bytes = bytesOf(kSkin);
    writeBytes(folder.path() / "plain" / "photo.jpg", bytes);
    writeBytes(folder.path() / "turned" / "photo.jpg",
               morph::testdata::withSegment(bytes, morph::testdata::orientationSegment(6)));
    writeBytes(folder.path() / "upright" / "photo.jpg",
               morph::testdata::withSegment(bytes, morph::testdata::orientationSegment(1, true)));

    const ToolRun r = run(folder, {"--seed", "3", "--output", "r.csv", "--json", "r.json", "plain/photo.jpg",
                                   "turned/photo.jpg", "upright/photo.jpg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("texturemeter-cli: turned/photo.jpg: warning: EXIF orientation 6: viewers that follow it "
                         "show the photograph turned 90 degrees clockwise; the analysis uses the pixels as stored "
                         "and every position is a position in them\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("plain/photo.jpg: warning"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("upright/photo.jpg: warning"), std::string::npos) << r.err;
    const imaging::Json report = readJson(folder.path() / "r.json");
    EXPECT_EQ(report["images"][0]["exifOrientation"], 0);
    EXPECT_EQ(report["images"][1]["exifOrientation"], 6);
    EXPECT_EQ(report["images"][2]["exifOrientation"], 1);
    // The pixels as stored: the turned photograph alone gives the plain one's rows, value for value.
    const ToolRun plain = run(folder, {"--seed", "3", "--output", "plain.csv", "plain/photo.jpg"});
    const ToolRun turned = run(folder, {"--seed", "3", "--output", "turned.csv", "turned/photo.jpg"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(turned.status, 0) << turned.err;
    EXPECT_EQ(readFile(folder.path() / "turned.csv"), readFile(folder.path() / "plain.csv"));
    EXPECT_EQ(lines(readFile(folder.path() / "turned.csv")).size(), 3u);
}

}  // namespace
