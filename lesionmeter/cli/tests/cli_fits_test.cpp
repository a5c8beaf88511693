// The fits behind FRD1 and the four profile dimensions in lesionmeter-cli --json, over five
// different lesion cases: each fit's slope and standard error are the ordinary least squares of its
// own points, R² lies in [0, 1], the 95 % interval is Student's t about the dimension, and each
// dimension is the one the results row reports.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/report.hpp"
#include "cli_support.hpp"
#include "testdata/fit_checks.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace {

namespace fs = std::filesystem;
using imaging::Json;

using morph::testdata::readFile;
using morph::testdata::csvCells;
using morph::testdata::readJson;

using morph::testdata::csvRow;

// Box counting of five sizes: the dimension is -slope - 0.09.
void expectFitOfItsOwnPoints(const Json& fit, const std::string& what) {
    morph::testdata::expectFitOfItsOwnPoints(fit, 5, -0.09, what);
}

// A dark blot with a ragged edge on skin tones, written as BMP.
void writeBlot(const std::string& path, double roughness) {
    imaging::Image image(320, 240, imaging::Colour(0x95A9DB));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double a = std::atan2(y - 120.0, x - 160.0);
            const double r = 55 + roughness * (std::sin(7 * a) + 0.5 * std::sin(19 * a));
            if (std::hypot(x - 160.0, y - 120.0) < r) image.at(x, y) = imaging::Colour(0x203050 + ((x * y) % 17));
        }
    imaging::saveBmp(image, path);
}

TEST(LesionmeterCliFits, FiveLesionsReportTheFitsBehindTheirDimensions) {
    const fs::path dir = fs::temp_directory_path() / ("lesionmeter-fits-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    writeBlot((dir / "smooth.bmp").string(), 3);
    writeBlot((dir / "wavy.bmp").string(), 8);
    writeBlot((dir / "ragged.bmp").string(), 14);
    const auto& reference = morph::testdata::lesionReference();
    const auto& sample = morph::testdata::lesionSample();
    // Five photographs, each with the clicks of one of the two scripted analyses.
    struct Case {
        std::string image;
        const morph::testdata::LesionScenario* clicks;
    };
    const std::vector<Case> cases = {{reference.image, &reference},
                                     {sample.image, &sample},
                                     {(dir / "wavy.bmp").string(), &sample},
                                     {(dir / "smooth.bmp").string(), &reference},
                                     {(dir / "ragged.bmp").string(), &sample}};
    const std::map<std::string, std::string> columns = {{"outline", "FRD1"},
                                                        {"profileRow140", "profileRow140"},
                                                        {"profileRow170", "profileRow170"},
                                                        {"profileColumn140", "profileColumn140"},
                                                        {"profileColumn170", "profileColumn170"}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.image);
        const fs::path csv = dir / ("r" + std::to_string(i) + ".csv");
        const fs::path json = dir / ("r" + std::to_string(i) + ".json");
        std::vector<std::string> args = {c.image, "--seed", "3", "--csv", csv.string(), "--json", json.string()};
        const std::vector<std::string> samples = lesionmeter::cli_tests::sampleOptions(*c.clicks);
        args.insert(args.end(), samples.begin(), samples.end());
        const morph::testdata::ToolRun run = morph::testdata::runTool(LESIONMETER_CLI_PATH, dir, args);
        ASSERT_EQ(run.status, 0) << run.err;

        const Json report = readJson(json);
        ASSERT_EQ(report.at("images").size(), 1u);
        const Json& m = report["images"][0].at("measurements");
        const Json& fits = m.at("fits");
        ASSERT_EQ(fits.size(), columns.size());
        const auto row = csvRow(csv);
        for (const auto& [name, column] : columns) {
            expectFitOfItsOwnPoints(fits.at(name), name);
            // The dimension is the reported field and the results row's cell, to the last bit.
            const double d = fits[name]["dimension"].get<double>();
            EXPECT_EQ(fits[name]["dimension"], m.at(name == "outline" ? std::string("outlineDimension") : name))
                << name;
            EXPECT_EQ(imaging::exactText(d), row.at(column)) << name;
        }
        // FRD2 is the mean of the four profile dimensions the fits give.
        const double frd2 = (fits["profileRow140"]["dimension"].get<double>() +
                             fits["profileRow170"]["dimension"].get<double>() +
                             fits["profileColumn140"]["dimension"].get<double>() +
                             fits["profileColumn170"]["dimension"].get<double>()) / 4;
        EXPECT_NEAR(frd2, m.at("profileDimension").get<double>(), 1e-12);
    }
    fs::remove_all(dir);
}

}  // namespace
