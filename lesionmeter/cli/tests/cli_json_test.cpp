// lesionmeter-cli --json: the report parses, identifies the photograph, holds the seed and every
// number of the results row at full precision; a clock-seeded run repeats exactly with its seed.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "imaging/numeric.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/measurements_json.hpp"
#include "lesionmeter/results_row.hpp"
#include "cli_support.hpp"
#include "scripted_analysis.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter::cli {
namespace {

namespace fs = std::filesystem;

using morph::testdata::readFile;
using morph::testdata::csvCells;
using morph::testdata::readJson;
using morph::testdata::ToolRun;

using cli_tests::Folder;
using morph::testdata::csvRow;

using morph::testdata::sha256sum;

// Measurement name in the report -> its column in the results file, and whether it is held in
// single precision.
struct Column {
    const char* json;
    const char* csv;
    bool single;
};
constexpr Column kColumns[] = {
    {"weightRed", "weightRed", true},           {"weightGreen", "weightGreen", true},
    {"weightBlue", "weightBlue", true},         {"squareWeightRed", "squareWeightRed", true},
    {"squareWeightGreen", "squareWeightGreen", true}, {"squareWeightBlue", "squareWeightBlue", true},
    {"inMeanRed", "inMeanRed", true},           {"inMeanGreen", "inMeanGreen", true},
    {"inMeanBlue", "inMeanBlue", true},         {"outMeanRed", "outMeanRed", true},
    {"outMeanGreen", "outMeanGreen", true},     {"outMeanBlue", "outMeanBlue", true},
    {"outlineDimension", "FRD1", false},        {"profileRow140", "profileRow140", false},
    {"profileRow170", "profileRow170", false},  {"profileColumn140", "profileColumn140", false},
    {"profileColumn170", "profileColumn170", false}, {"profileDimension", "FRD2", false},
    {"centroidX", "centroidX", false},          {"centroidY", "centroidY", false},
};

TEST(LesionmeterJson, ReportHoldsVersionParametersSeedIdentityAndEveryNumberOfTheRow) {
    Folder folder("report");
    const auto& s = morph::testdata::lesionSample();
    std::vector<std::string> args = {s.image, "--seed", "7", "--csv", "r.csv", "--json", "r.json"};
    for (const auto& a : cli_tests::sampleOptions(s)) args.push_back(a);
    const ToolRun run = folder.run(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");   // a given seed is not reported on stderr

    const Json report = readJson(folder.path() / "r.json");
    EXPECT_EQ(report.at("program"), "lesionmeter-cli");
    EXPECT_EQ(report.at("version"), std::string(imaging::programVersion()));
    EXPECT_EQ(report.at("seed"), 7u);
    EXPECT_EQ(report.at("seedSource"), "option");
    const Json& p = report.at("parameters");
    EXPECT_EQ(p.at("in").size(), s.in.size());
    EXPECT_EQ(p.at("in")[0][0].get<double>(), double(s.in[0].x));
    EXPECT_EQ(p.at("out").size(), s.out.size());
    EXPECT_EQ(p.at("centre")[1].get<double>(), double(s.centre.y));
    EXPECT_EQ(p.at("seed"), 7u);
    EXPECT_EQ(p.at("csv"), "r.csv");
    EXPECT_TRUE(p.at("saveMap").is_null());
    EXPECT_EQ(p.at("fit"), false);

    ASSERT_EQ(report.at("images").size(), 1u);
    const Json& image = report.at("images")[0];
    EXPECT_EQ(image.at("name"), fs::path(s.image).filename().string());
    EXPECT_EQ(image.at("path"), s.image);
    EXPECT_EQ(image.at("sizeBytes").get<std::uintmax_t>(), fs::file_size(s.image));
    EXPECT_EQ(image.at("sha256"), sha256sum(s.image));
    EXPECT_EQ(image.at("seed"), 7u);
    EXPECT_EQ(image.at("scale"), 1.0);
    EXPECT_FALSE(image.contains("error"));

    // Every measurement cell of the results row is the number of the same name, to the last bit.
    const Json& m = image.at("measurements");
    const auto row = csvRow(folder.file("r.csv"));
    for (const Column& c : kColumns) {
        ASSERT_TRUE(m.at(c.json).is_number()) << c.json;
        const double value = m.at(c.json).get<double>();
        const std::string cell = row.at(c.csv);
        if (c.single) {
            EXPECT_EQ(double(float(value)), value) << c.json << " is a single-precision value";
            EXPECT_EQ(imaging::exactText(float(value)), cell) << c.json;
        } else {
            EXPECT_EQ(imaging::exactText(value), cell) << c.json;
        }
        // The cell reads back to the same value (a single-precision one as that float).
        const double read = imaging::parseNumber(cell);
        EXPECT_EQ(c.single ? double(float(read)) : read, value) << c.json;
    }
    EXPECT_EQ(row.at("seed"), "7");
    ASSERT_TRUE(m.contains("fits"));
    EXPECT_EQ(m.at("fits").at("outline").at("dimension").get<double>(), m.at("outlineDimension").get<double>());

    // The same analysis in-process gives the same document, and it reads back to itself.
    ScriptedAnalysis script;
    script.image = s.image;
    for (auto c : s.in) script.in.push_back({float(c.x), float(c.y)});
    for (auto c : s.out) script.out.push_back({float(c.x), float(c.y)});
    script.centre = Position{float(s.centre.x), float(s.centre.y)};
    script.seed = 7;
    const AnalysisResults r = runScriptedAnalysis(script);
    ASSERT_TRUE(r.fits.has_value());
    EXPECT_EQ(m, toJson(r.measurements, *r.fits));
    Json withoutFits = m;
    withoutFits.erase("fits");
    EXPECT_EQ(toJson(lesionMeasurementsFromJson(m)), withoutFits);
}

TEST(LesionmeterJson, ClockSeededRunReportsItsSeedAndRepeatsExactlyWithIt) {
    Folder folder("clock");
    const auto& s = morph::testdata::lesionSample();
    std::vector<std::string> args = {s.image, "--csv", "first.csv", "--json", "first.json"};
    for (const auto& a : cli_tests::sampleOptions(s)) args.push_back(a);
    const ToolRun first = folder.run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string prefix = "lesionmeter-cli: seed ";
    ASSERT_EQ(first.err.rfind(prefix, 0), 0u) << first.err;
    const std::string seed =
        first.err.substr(prefix.size(), first.err.find_first_not_of("0123456789", prefix.size()) - prefix.size());
    const Json report = readJson(folder.path() / "first.json");
    EXPECT_EQ(std::to_string(report.at("seed").get<uint64_t>()), seed);
    EXPECT_EQ(report.at("seedSource"), "clock");
    EXPECT_LT(report.at("seed").get<uint64_t>(), uint64_t(1) << 53);   // exact in every JSON reader

    std::vector<std::string> again = {s.image, "--seed", seed, "--csv", "again.csv", "--json", "again.json"};
    for (const auto& a : cli_tests::sampleOptions(s)) again.push_back(a);
    const ToolRun second = folder.run(again);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, first.out);
    auto a = csvRow(folder.file("first.csv")), b = csvRow(folder.file("again.csv"));
    a.erase("dateTime");
    b.erase("dateTime");
    EXPECT_EQ(a, b);
    const Json repeated = readJson(folder.path() / "again.json");
    EXPECT_EQ(repeated.at("images")[0].at("measurements"), report.at("images")[0].at("measurements"));
}

TEST(LesionmeterJson, APhotographThatFailsHasItsErrorAndNoMeasurements) {
    Folder folder("error");
    const ToolRun run = folder.run({"missing.jpg", "--seed", "1", "--in", "1,1", "--out", "2,2", "--json", "r.json"});
    EXPECT_EQ(run.status, 1);
    const Json report = readJson(folder.path() / "r.json");
    const Json& image = report.at("images")[0];
    EXPECT_NE(image.at("error").get<std::string>().find("File not found"), std::string::npos) << image;
    EXPECT_FALSE(image.contains("measurements"));
    EXPECT_FALSE(image.contains("sha256"));
}

TEST(LesionmeterJson, ABatchReportsEachPhotographInInputOrder) {
    Folder folder("batch");
    const auto& s = morph::testdata::lesionSample();
    fs::copy_file(s.image, folder.file("a.jpg"));
    fs::copy_file(s.image, folder.file("b.jpg"));
    Marks marks;
    marks.photo = "a.jpg";
    for (auto c : s.in) marks.in.push_back({float(c.x), float(c.y)});
    for (auto c : s.out) marks.out.push_back({float(c.x), float(c.y)});
    marks.seed = 11;
    writeMarks(folder.file("a.marks.json"), marks);
    const ToolRun run = folder.run({"--csv", "r.csv", "--json", "r.json", "b.jpg", "a.jpg"});
    EXPECT_EQ(run.status, 1);   // b.jpg has no marks
    const Json report = readJson(folder.path() / "r.json");
    EXPECT_TRUE(report.at("seed").is_null());
    EXPECT_EQ(report.at("seedSource"), "each image");
    ASSERT_EQ(report.at("images").size(), 2u);
    EXPECT_EQ(report.at("images")[0].at("name"), "b.jpg");
    EXPECT_TRUE(report.at("images")[0].contains("error"));
    const Json& a = report.at("images")[1];
    EXPECT_EQ(a.at("name"), "a.jpg");
    EXPECT_EQ(a.at("seed"), 11u);
    EXPECT_EQ(a.at("seedSource"), "marks");
    const auto row = csvRow(folder.file("r.csv"));
    EXPECT_EQ(row.at("FRD1"), imaging::exactText(a.at("measurements").at("outlineDimension").get<double>()));
}

// A photograph that fails reports the seed its run used or would have used whenever it is known:
// the given seed always, the marks' seed once they were read; null only when the marks that would
// have named it could not be read.
TEST(LesionmeterJson, AFailedPhotographReportsItsSeedWhenItIsKnown) {
    Folder folder("failed-seed");
    const auto& s = morph::testdata::lesionSample();
    fs::copy_file(s.image, folder.file("off.jpg"));
    fs::copy_file(s.image, folder.file("unmarked.jpg"));
    Marks marks;
    marks.photo = "off.jpg";
    marks.in.push_back({5000.0f, 10.0f});   // beyond the photograph: fails after the marks were read
    marks.out.push_back({float(s.out.front().x), float(s.out.front().y)});
    marks.seed = 23;
    writeMarks(folder.file("off.marks.json"), marks);

    ASSERT_EQ(folder.run({"--csv", "r.csv", "--json", "each.json", "off.jpg", "unmarked.jpg"}).status, 1);
    const Json each = readJson(folder.file("each.json")).at("images");
    ASSERT_EQ(each.size(), 2u);
    EXPECT_NE(each[0].at("error").get<std::string>().find("lies outside"), std::string::npos) << each[0];
    EXPECT_EQ(each[0].at("seed"), 23u);
    EXPECT_EQ(each[0].at("seedSource"), "marks");
    EXPECT_NE(each[1].at("error").get<std::string>().find("File not found"), std::string::npos) << each[1];
    EXPECT_TRUE(each[1].at("seed").is_null());
    EXPECT_TRUE(each[1].at("seedSource").is_null());

    ASSERT_EQ(folder.run({"--csv", "r.csv", "--json", "given.json", "--seed", "18446744073709551615", "off.jpg",
                          "unmarked.jpg"})
                  .status,
              1);
    const Json given = readJson(folder.path() / "given.json");
    for (const Json& image : given.at("images")) {
        EXPECT_TRUE(image.contains("error")) << image;
        EXPECT_EQ(image.at("seed"), UINT64_MAX) << image;
        EXPECT_EQ(image.at("seedSource"), "option") << image;
    }

    // One photograph whose marks file cannot be read, with a given seed.
    ASSERT_EQ(folder.run({"unmarked.jpg", "--marks", "none.marks.json", "--seed", "4", "--json", "one.json"}).status,
              1);
    const Json one = readJson(folder.file("one.json"));
    EXPECT_NE(one.at("images")[0].at("error").get<std::string>().find("File not found"), std::string::npos) << one;
    EXPECT_EQ(one.at("images")[0].at("seed"), 4u);
    EXPECT_EQ(one.at("images")[0].at("seedSource"), "option");
    EXPECT_EQ(one.at("seed"), 4u);
}

TEST(LesionmeterJson, AnUnwritableReportIsRefusedFirstAndAFailedOneKeepsTheResults) {
    Folder folder("unwritable");
    const auto& s = morph::testdata::lesionSample();
    std::vector<std::string> args = {s.image, "--seed", "3", "--csv", "r.csv", "--json", "no-such-folder/r.json"};
    for (const auto& a : cli_tests::sampleOptions(s)) args.push_back(a);
    const ToolRun refused = folder.run(args);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("no-such-folder/r.json"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(folder.file("r.csv")));   // nothing analysed, nothing written

    // A report that fails while it is written: the error is named, the results row stays.
    args[6] = "/dev/full";
    const ToolRun full = folder.run(args);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    EXPECT_EQ(csvRow(folder.file("r.csv")).at("seed"), "3");
}

}  // namespace
}  // namespace lesionmeter::cli
