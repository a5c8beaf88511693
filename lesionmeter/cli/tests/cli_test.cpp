// The command-line tool end to end on the bundled lesion sample, and its output forms.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "scripted_analysis.hpp"
#include "cli_support.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace lesionmeter::cli {
namespace {

using morph::testdata::readFile;
using morph::testdata::lines;
using morph::testdata::ToolRun;

std::string sampleImage() { return morph::testdata::lesionSample().image; }

using cli_tests::Folder;

// The tool's arguments for a scripted analysis: photograph, seed, samples and centre.
std::vector<std::string> scenarioArguments(const morph::testdata::LesionScenario& s) {
    std::vector<std::string> args = {s.image, "--seed", std::to_string(s.seed)};
    const std::vector<std::string> samples = cli_tests::sampleOptions(s);
    args.insert(args.end(), samples.begin(), samples.end());
    return args;
}

std::vector<std::string> sampleArguments() { return scenarioArguments(morph::testdata::lesionSample()); }

TEST(LesionmeterCli, SameSeedGivesTheSameOutputTwice) {
    const Folder folder("twice");
    const ToolRun first = folder.run(sampleArguments());
    const ToolRun second = folder.run(sampleArguments());
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(first.out, second.out);
    // The temporary files of "Fractal calc" and "axis" are gone afterwards.
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "testt.bmp"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "testt2.bmp"));
}

// The measurement names, in the order of the results file's columns.
const std::vector<std::string> kMeasurementNames = {
    "weightRed",        "weightGreen",     "weightBlue",       "squareWeightRed",  "squareWeightGreen",
    "squareWeightBlue", "inMeanRed",       "inMeanGreen",      "inMeanBlue",       "outMeanRed",
    "outMeanGreen",     "outMeanBlue",     "outlineDimension", "profileRow140",    "profileRow170",
    "profileColumn140", "profileColumn170", "profileDimension", "centroidX",        "centroidY"};

// The value of each "name: value" line, checked to come in the order of kMeasurementNames.
std::vector<std::string> printedValues(const std::string& out) {
    const auto got = lines(out);
    EXPECT_EQ(got.size(), kMeasurementNames.size()) << out;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < got.size() && i < kMeasurementNames.size(); ++i) {
        const std::string prefix = kMeasurementNames[i] + ": ";
        EXPECT_EQ(got[i].rfind(prefix, 0), 0u) << got[i];
        values.push_back(got[i].substr(std::min(prefix.size(), got[i].size())));
    }
    return values;
}

// The numbers of a sample means text ("皮疹内-- R: 103  G: 67  B: 49.66667"), after each ":".
std::vector<double> meansOfText(const std::string& text) {
    std::vector<double> numbers;
    for (std::size_t colon = text.find(':'); colon != std::string::npos; colon = text.find(':', colon + 1))
        numbers.push_back(std::stod(text.substr(colon + 1)));
    return numbers;
}

TEST(LesionmeterCli, PrintsEveryResultAsNameValueInOrder) {
    const Folder folder("names");
    const ToolRun run = folder.run(sampleArguments());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> values = printedValues(run.out);
    ASSERT_EQ(values.size(), 20u);
    // Every value is a plain number that reads back as itself (no display text around it).
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_FALSE(values[i].empty()) << kMeasurementNames[i];
        std::size_t used = 0;
        std::stod(values[i], &used);
        EXPECT_EQ(used, values[i].size()) << kMeasurementNames[i] << ": " << values[i];
    }
}

// The reference photograph with the reference clicks: the sample means and the four strip
// dimensions depend on the photograph and the clicks only, so every seed prints them exactly,
// each under its own name.
TEST(LesionmeterCli, ReferencePhotographPrintsTheReferenceMeansAndStrips) {
    const Folder folder("reference");
    const morph::testdata::LesionReference& reference = morph::testdata::lesionReference();
    const ToolRun run = folder.run(scenarioArguments(reference));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> values = printedValues(run.out);
    ASSERT_EQ(values.size(), 20u);
    // The means as numbers: the window shows them with 7 significant digits.
    const std::vector<double> in = meansOfText(reference.inMeansText);
    const std::vector<double> out = meansOfText(reference.outMeansText);
    ASSERT_EQ(in.size(), 3u);
    ASSERT_EQ(out.size(), 3u);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(std::stod(values[6 + c]), in[c], 5e-7 * std::abs(in[c]) + 1e-9) << kMeasurementNames[6 + c];
        EXPECT_NEAR(std::stod(values[9 + c]), out[c], 5e-7 * std::abs(out[c]) + 1e-9) << kMeasurementNames[9 + c];
    }
    // Rows 140 and 170, then columns 140 and 170; the reference lists upper row, left column,
    // lower row, right column.
    const std::array<std::pair<std::size_t, double>, 5> strips = {{{13, reference.strips[0]},
                                                                   {14, reference.strips[2]},
                                                                   {15, reference.strips[1]},
                                                                   {16, reference.strips[3]},
                                                                   {17, reference.frd2}}};
    for (const auto& [index, expected] : strips)
        EXPECT_NEAR(std::stod(values[index]), expected, 1e-12) << kMeasurementNames[index];
}

// Printed values and the results file's cells are the same texts.
TEST(LesionmeterCli, PrintedValuesAreTheCellsOfTheResultsRow) {
    const Folder folder("printed-row");
    auto args = sampleArguments();
    args.insert(args.end(), {"--csv", "results.csv"});
    const ToolRun run = folder.run(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> values = printedValues(run.out);
    const auto rows = lines(readFile(folder.path() / "results.csv"));
    ASSERT_EQ(rows.size(), 2u);
    std::vector<std::string> header, cells;
    for (std::stringstream h(rows[0]); h.good();) header.emplace_back(), std::getline(h, header.back(), ',');
    // The sample positions "x y;x y" hold no comma, and the photo name is plain here.
    for (std::stringstream r(rows[1]); r.good();) cells.emplace_back(), std::getline(r, cells.back(), ',');
    ASSERT_EQ(header.size(), cells.size());
    // The columns that hold measurements, by the results file's own names.
    const std::vector<std::string> columns = {
        "weightRed", "weightGreen", "weightBlue", "squareWeightRed", "squareWeightGreen", "squareWeightBlue",
        "inMeanRed", "inMeanGreen", "inMeanBlue", "outMeanRed", "outMeanGreen", "outMeanBlue",
        "FRD1", "profileRow140", "profileRow170", "profileColumn140", "profileColumn170", "FRD2",
        "centroidX", "centroidY"};
    ASSERT_EQ(values.size(), columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto at = std::find(header.begin(), header.end(), columns[i]);
        ASSERT_NE(at, header.end()) << columns[i];
        EXPECT_EQ(cells[std::size_t(at - header.begin())], values[i]) << columns[i];
    }
}

TEST(LesionmeterCli, CsvGetsOneHeaderAndOneRowPerRun) {
    const Folder folder("csv");
    auto args = sampleArguments();
    auto again = args;
    args.insert(args.end(), {"--csv", "results.csv", "--save-map", "map.bmp", "--save-outline", "outline.bmp"});
    ASSERT_EQ(folder.run(args).status, 0);
    // An existing picture is never replaced, so the second run saves its pictures under new names.
    again.insert(again.end(), {"--csv", "results.csv", "--save-map", "map2.bmp", "--save-outline", "outline2.bmp"});
    ASSERT_EQ(folder.run(again).status, 0);
    const auto rows = lines(readFile(folder.path() / "results.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], resultsHeader());
    // The same row twice but for the date and time.
    EXPECT_EQ(rows[1].substr(rows[1].find(",1,1,")), rows[2].substr(rows[2].find(",1,1,")));
    EXPECT_EQ(rows[1].rfind("lesion_sample.jpg,", 0), 0u);
    // The saved pictures are the lesion map and the outline (313 x 305).
    const imaging::Image map = imaging::loadImageFile((folder.path() / "map.bmp").string());
    const imaging::Image outline = imaging::loadImageFile((folder.path() / "outline.bmp").string());
    EXPECT_EQ(map.width, 313);
    EXPECT_EQ(map.height, 305);
    EXPECT_EQ(outline.width, 313);
}

// A uniform photo gives a map without a lesion and an outline without a dark pixel: "axis" has no
// centroid, but every other result is still printed and written before the tool reports it.
TEST(LesionmeterCli, OutlineWithoutDarkPixelKeepsTheOtherResults) {
    const Folder folder("no-dark-pixel");
    imaging::saveBmp(imaging::Image(320, 240, imaging::rgbColour(200, 150, 120)), (folder.path() / "plain.bmp").string());
    const ToolRun run = folder.run({"plain.bmp", "--seed", "1", "--in", "160,120", "--out", "40,40", "--csv",
                                         "results.csv", "--save-outline", "outline.bmp"});
    EXPECT_EQ(run.status, 1);
    // Said in the tool's terms, not with the window's LINE / loadcal advice.
    EXPECT_NE(run.err.find("the discriminant found no lesion pixel; add IN and OUT samples"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("LINE"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("loadcal"), std::string::npos) << run.err;
    const auto printed = lines(run.out);
    ASSERT_EQ(printed.size(), 20u) << run.out;
    EXPECT_EQ(printed[12], "outlineDimension: -0.09");
    EXPECT_EQ(printed[18], "centroidX: ");
    EXPECT_EQ(printed[19], "centroidY: ");
    const auto rows = lines(readFile(folder.path() / "results.csv"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].substr(rows[1].size() - 2), ",,");
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "outline.bmp"));
}

TEST(LesionmeterCli, ErrorsGoToStderrWithNonZeroExit) {
    const Folder folder("errors");
    const ToolRun missing = folder.run({"no-such-photo.jpg", "--in", "1,1", "--out", "2,2"});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("File not found"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    const ToolRun badPosition = folder.run({sampleImage(), "--in", "12;5", "--out", "2,2"});
    EXPECT_NE(badPosition.status, 0);
    EXPECT_NE(badPosition.err.find("12;5"), std::string::npos) << badPosition.err;

    const ToolRun noOut = folder.run({sampleImage(), "--in", "1,1"});
    EXPECT_NE(noOut.status, 0);

    std::vector<std::string> tooMany = {sampleImage(), "--out", "2,2"};
    for (int i = 0; i < 51; ++i) tooMany.insert(tooMany.end(), {"--in", "160,120"});
    const ToolRun refused = folder.run(tooMany);
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("at most 50 samples"), std::string::npos) << refused.err;
}

// ---- Nothing given on the command line replaces an input or writes a falsified result ----------

// A copy of the sample photograph in the folder, as "me.jpg".
std::string placeSample(const std::filesystem::path& folder) {
    std::filesystem::copy_file(sampleImage(), folder / "me.jpg");
    return readFile(folder / "me.jpg");
}

// The sample's samples and centre on "me.jpg" with a seed, then `extra`.
std::vector<std::string> meArguments(const std::vector<std::string>& extra) {
    std::vector<std::string> args = sampleArguments();
    args[0] = "me.jpg";
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(LesionmeterCliSafety, AnOutputThatIsThePhotographIsRefusedBeforeAnyWork) {
    const Folder folder("output-is-input");
    const std::string photo = placeSample(folder.path());
    std::filesystem::create_directories(folder.path() / "sub");
    std::filesystem::create_symlink(folder.path() / "me.jpg", folder.path() / "link.jpg");
    const std::vector<std::vector<std::string>> cases = {
        {"--save-map", "me.jpg"},     {"--save-map", "./me.jpg"},   {"--save-outline", "sub/../me.jpg"},
        {"--save-map", (folder.path() / "me.jpg").string()},               {"--csv", "link.jpg"},
        {"--json", "./sub/../me.jpg"}, {"--save-marks", "me.jpg"}};
    for (const auto& c : cases) {
        const ToolRun run = folder.run(meArguments(c));
        EXPECT_EQ(run.status, 2) << c[0] << " " << c[1] << ": " << run.err;
        EXPECT_NE(run.err.find(c[0] + " " + c[1] + " is the input photograph me.jpg itself"), std::string::npos)
            << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;   // refused before the analysis
        EXPECT_EQ(readFile(folder.path() / "me.jpg"), photo);
    }
}

TEST(LesionmeterCliSafety, TwoOutputsNamingOneFileAreRefused) {
    const Folder folder("two-outputs");
    placeSample(folder.path());
    const ToolRun run = folder.run(meArguments({"--save-map", "x.bmp", "--save-outline", "./x.bmp"}));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--save-map and --save-outline name the same file ./x.bmp"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "x.bmp"));
    const ToolRun csvJson = folder.run(meArguments({"--csv", "r.txt", "--json", "r.txt"}));
    EXPECT_EQ(csvJson.status, 2);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "r.txt"));
}

TEST(LesionmeterCliSafety, UnwritableOutputsAndPicturesAsTextAreRefusedBeforeTheAnalysis) {
    const Folder folder("unwritable");
    const std::string photo = placeSample(folder.path());
    for (const std::string option : {"--csv", "--json", "--save-map", "--save-outline", "--save-marks"}) {
        const ToolRun run = folder.run(meArguments({option, "missing-folder/out"}));
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_NE(run.err.find("missing-folder/out"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << option << ": " << run.out;
    }
    // A picture under the name of a text output is neither extended nor replaced.
    std::filesystem::copy_file(folder.path() / "me.jpg", folder.path() / "other.jpg");
    for (const std::string option : {"--csv", "--json"}) {
        const ToolRun run = folder.run(meArguments({option, "other.jpg"}));
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_NE(run.err.find(option + " other.jpg is a JPEG picture"), std::string::npos) << run.err;
        EXPECT_EQ(readFile(folder.path() / "other.jpg"), photo);
    }
    // A batch checks its results file and report the same way.
    const ToolRun batch = folder.run({"--csv", "me.jpg", "me.jpg", "other.jpg"});
    EXPECT_EQ(batch.status, 2);
    EXPECT_EQ(readFile(folder.path() / "me.jpg"), photo);
}

TEST(LesionmeterCliSafety, AFullDiskIsAnErrorForEveryOutput) {
    const Folder folder("full");
    placeSample(folder.path());
    for (const std::string option : {"--csv", "--json", "--save-map", "--save-outline", "--save-marks"}) {
        const ToolRun run = folder.run(meArguments({option, "/dev/full"}));
        EXPECT_EQ(run.status, 1) << option << ": " << run.err;
        EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << option << ": " << run.err;
        EXPECT_NE(run.err.find("/dev/full"), std::string::npos) << run.err;
    }
}

TEST(LesionmeterCliSafety, PositionsOffThePhotographAreRefusedWithOptionPositionAndSize) {
    const Folder folder("positions");
    placeSample(folder.path());
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"me.jpg", "--seed", "1", "--in", "160,120", "--out", "-1,-1"}, "--out -1,-1 lies outside"},
        {{"me.jpg", "--seed", "1", "--in", "319.6,10", "--out", "40,40"}, "--in 319.6,10 lies outside"},
        {{"me.jpg", "--seed", "1", "--in", "160,120", "--out", "40,40", "--centre", "9999,9999"},
         "--centre 9999,9999 lies outside"},
        {{"me.jpg", "--seed", "1", "--in", "160,240", "--out", "40,40"}, "--in 160,240 lies outside"},
    };
    for (const auto& [args, expected] : cases) {
        const ToolRun run = folder.run(args);
        EXPECT_NE(run.status, 0) << expected;
        EXPECT_NE(run.err.find(expected + " the photograph (320 x 240 pixels: X 0..319, Y 0..239)"),
                  std::string::npos)
            << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    // 319.4 reads pixel 319, the last column.
    const ToolRun edge = folder.run({"me.jpg", "--seed", "1", "--in", "319.4,10", "--in", "160,120", "--out",
                                          "40,40", "--out", "280,200"});
    EXPECT_EQ(edge.status, 0) << edge.err;
    EXPECT_EQ(edge.err.find("lies outside"), std::string::npos) << edge.err;
}

TEST(LesionmeterCliSafety, HelpSaysWhichSamplesTakePart) {
    const Folder folder("help");
    const ToolRun run = folder.run({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("the first min(IN, OUT) samples of each class, at most 6"), std::string::npos) << run.out;
}

TEST(ScriptedAnalysisForms, PositionsParseAndRejectOtherText) {
    EXPECT_EQ(parsePosition("160,120"), (Position{160.0f, 120.0f}));
    EXPECT_EQ(parsePosition("12.5, 7"), (Position{12.5f, 7.0f}));
    EXPECT_THROW(parsePosition("160"), imaging::RunError);
    EXPECT_THROW(parsePosition("a,b"), imaging::RunError);
}

TEST(ScriptedAnalysisForms, FullPrecisionReadsBackExactly) {
    const double w = static_cast<float>(-0.33987653255462646);
    EXPECT_EQ(fullPrecision(w), "-0.33987653255462646");
    EXPECT_EQ(std::stod(fullPrecision(1.0 / 3.0)), 1.0 / 3.0);
    EXPECT_EQ(fullPrecision(-0.09), "-0.09");
}

}  // namespace
}  // namespace lesionmeter::cli
