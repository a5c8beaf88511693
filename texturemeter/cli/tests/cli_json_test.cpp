// texturemeter-cli's JSON report end to end: it parses, names the program, version, parameters
// and seed, identifies each image by size and SHA-256, and holds every number of the results file
// at full precision; a clock-seeded run reports its seed and repeats exactly with it.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "texturemeter/measurements_json.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/run_driver.hpp"
#include "testdata/tool_run.hpp"

namespace texturemeter {
namespace {

namespace fs = std::filesystem;

const std::string kSkin = std::string(MORPH_SAMPLES_DIR) + "/skin_sample.jpg";

using morph::testdata::readFile;
using morph::testdata::ToolRun;
using morph::testdata::csvCells;
using morph::testdata::linesWithoutCr;
using morph::testdata::readJson;

class TexturemeterJson : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("texturemeter-json-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    ToolRun run(const std::vector<std::string>& args) {
        return morph::testdata::runTool(TEXTUREMETER_CLI_PATH, dir_, args);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

using morph::testdata::sha256sum;

// The print form of a JSON number, in the precision the results file writes it.
std::string single(const imaging::Json& v) { return imaging::printForm(v.get<float>()); }
std::string dbl(const imaging::Json& v) { return imaging::printForm(v.get<double>()); }

TEST_F(TexturemeterJson, ReportHoldsVersionParametersSeedIdentityAndEveryNumberOfTheResultsFile) {
    const ToolRun r = run({"--seed", "5", "--x", "20", "--y", "30", "--side", "200", "--window", "40", "--output",
                           path("r.csv"), "--json", path("r.json"), kSkin, path("missing.jpg")});
    EXPECT_EQ(r.status, 1) << r.err;
    const imaging::Json doc = readJson(path("r.json"));
    EXPECT_EQ(doc["program"], "texturemeter-cli");
    EXPECT_EQ(doc["version"], std::string(imaging::programVersion()));
    EXPECT_EQ(doc["seed"], 5u);
    EXPECT_EQ(doc["seedSource"], "option");
    const imaging::Json& p = doc["parameters"];
    EXPECT_EQ(p["x"], 20);
    EXPECT_EQ(p["y"], 30);
    EXPECT_EQ(p["side"], 200);
    EXPECT_EQ(p["window"], 40.0);
    EXPECT_EQ(p["neighbour"], 4.0);
    EXPECT_EQ(p["variant"], "A");
    EXPECT_EQ(p["output"], path("r.csv"));
    EXPECT_TRUE(p["keepDerived"].is_null());
    ASSERT_EQ(doc["images"].size(), 2u);

    const imaging::Json& image = doc["images"][0];
    EXPECT_EQ(image["name"], "skin_sample.jpg");
    EXPECT_EQ(image["path"], kSkin);
    EXPECT_EQ(image["sizeBytes"], fs::file_size(kSkin));
    EXPECT_EQ(image["sha256"], sha256sum(kSkin));
    EXPECT_EQ(image["seed"], 5u);  // place 0: the photo seed is the base seed itself
    EXPECT_FALSE(image.contains("error"));

    // Every number of the result row and the sampling line, by name.
    const imaging::Json& m = image["measurements"];
    const auto file = linesWithoutCr(readFile(path("r.csv")));
    ASSERT_EQ(file.size(), 3u);
    const std::vector<std::string> row = csvCells(file[1]);
    ASSERT_EQ(row.size(), 14u);
    const std::vector<std::string> expectedRow = {
        "skin_sample.jpg",
        single(m["monochrome"]["meanDimension"]), dbl(m["monochrome"]["dimensionSd"]),
        dbl(m["monochrome"]["sdToMean"]),
        single(m["hessian"]["meanDimension"]), dbl(m["hessian"]["dimensionSd"]), dbl(m["hessian"]["sdToMean"]),
        dbl(m["totalDimension"]), dbl(m["lineShare"]), dbl(m["dotShare"]), "", dbl(m["outlineDimension"]),
        dbl(m["tone"]["deviation"]), single(m["tone"]["histogramSpread"])};
    EXPECT_EQ(row, expectedRow);
    const imaging::Json& s = m["sampling"];
    const std::vector<std::string> expectedSampling = {
        dbl(s["meanBrightness"]),  single(s["darkFrameShareR2"]),  single(s["darkFrameShareR4"]),
        single(s["darkFrameShareR6"]), single(s["darkFrameShareR8"]), single(s["darkFrameShareR10"]),
        dbl(s["darkLineShare"]),   dbl(s["boxDarknessMean"]),      dbl(s["boxDarknessSd"]),
        dbl(s["ringBrightnessR5to11"]), dbl(s["ringBrightnessR23to29"]), dbl(s["ringBrightnessR41to47"])};
    EXPECT_EQ(csvCells(file[2]), expectedSampling);

    // Full precision: the numbers are bit for bit those of the same analysis in this process.
    const imaging::Image photo = imaging::loadImageFile(kSkin);
    TextureParameters parameters;
    parameters.region = {20, 30, 200};
    imaging::FastRandom random(imaging::deriveSeed(5, 0));
    TextureFits expectedFits;
    const TextureMeasurements expected = analyseSquare(PhotoView(photo), parameters, random, &expectedFits);
    EXPECT_EQ(m, toJson(expected, expectedFits));
    const TextureMeasurements back = textureMeasurementsFromJson(m);
    EXPECT_EQ(resultRowText("x", back), resultRowText("x", expected));
    EXPECT_EQ(back.monochrome.meanDimension, expected.monochrome.meanDimension);
    EXPECT_EQ(back.tone.deviation, expected.tone.deviation);
    EXPECT_EQ(back.sampling.boxDarknessSd, expected.sampling.boxDarknessSd);

    // The image that could not be read: its error, no measurements, no size or digest.
    const imaging::Json& missing = doc["images"][1];
    EXPECT_EQ(missing["name"], "missing.jpg");
    EXPECT_EQ(missing["error"], "File not found: " + path("missing.jpg"));
    EXPECT_FALSE(missing.contains("measurements"));
    EXPECT_FALSE(missing.contains("sha256"));
}

TEST_F(TexturemeterJson, ClockSeededRunReportsItsSeedAndRepeatsExactlyWithIt) {
    const ToolRun first = run({"--output", path("a.csv"), "--json", path("a.json"), kSkin, kSkin});
    ASSERT_EQ(first.status, 0) << first.err;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(first.err, match, std::regex("seed ([0-9]+) \\(from the clock; --seed \\1 repeats")))
        << first.err;
    const std::string seed = match[1];
    const imaging::Json doc = readJson(path("a.json"));
    EXPECT_EQ(doc["seed"].get<uint64_t>(), std::stoull(seed));
    EXPECT_EQ(doc["seedSource"], "clock");

    const ToolRun again = run({"--seed", seed, "--output", path("b.csv"), "--json", path("b.json"), kSkin, kSkin});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err.find("from the clock"), std::string::npos) << again.err;
    EXPECT_EQ(readFile(path("a.csv")), readFile(path("b.csv")));
    const imaging::Json repeated = readJson(path("b.json"));
    EXPECT_EQ(repeated["images"], doc["images"]);
    EXPECT_EQ(repeated["seedSource"], "option");

    // Another clock-seeded run draws another seed.
    const ToolRun other = run({"--output", path("c.csv"), kSkin});
    ASSERT_EQ(other.status, 0);
    EXPECT_EQ(other.err.find("seed " + seed + " "), std::string::npos);
}

// A report that cannot be written is refused before any work, like an unwritable results file;
// one whose write fails after the analysis (a full device) is an output error, and the results
// file is complete all the same.
TEST_F(TexturemeterJson, UnwritableReportIsAnOutputError) {
    const ToolRun r = run({"--seed", "1", "--output", path("r.csv"), "--json", path("no/such/dir/r.json"), kSkin});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Cannot write file (No such file or directory): " + path("no/such/dir/r.json")),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(path("r.csv")));  // refused before the results file was opened

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const ToolRun full = run({"--seed", "1", "--output", path("f.csv"), "--json", "/dev/full", kSkin});
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.err.find("Cannot write JSON file (No space left on device): /dev/full"), std::string::npos)
        << full.err;
    EXPECT_EQ(linesWithoutCr(readFile(path("f.csv"))).size(), 3u);
}

// The report never replaces an input photograph (in any spelling) or the results file.
TEST_F(TexturemeterJson, AReportOverAnInputOrTheResultsFileIsRefused) {
    fs::copy_file(kSkin, path("photo.jpg"));
    const std::string photo = readFile(path("photo.jpg"));
    for (const std::string& spelling : {path("photo.jpg"), path("./photo.jpg")}) {
        const ToolRun r = run({"--seed", "1", "--output", path("r.csv"), "--json", spelling, path("photo.jpg")});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--json " + spelling + " is the input photograph"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(path("photo.jpg")), photo);
        EXPECT_FALSE(fs::exists(path("r.csv")));
    }
    const ToolRun same = run({"--seed", "1", "--output", path("r.csv"), "--json", path("r.csv"), kSkin});
    EXPECT_EQ(same.status, 2);
    EXPECT_NE(same.err.find("--output and --json name the same file"), std::string::npos) << same.err;
    EXPECT_FALSE(fs::exists(path("r.csv")));
}

}  // namespace
}  // namespace texturemeter
