// The fits behind the dimensions in texturemeter-cli --json, over five different photographs: each
// fit's slope and standard error are the ordinary least squares of its own points, R² lies in
// [0, 1], the 95 % interval is Student's t about the dimension, and each dimension is the one the
// results file reports.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/report.hpp"
#include "testdata/fit_checks.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/tool_run.hpp"

namespace {

namespace fs = std::filesystem;
using imaging::Json;

using morph::testdata::readFile;
using morph::testdata::csvCells;
using morph::testdata::linesWithoutCr;
using morph::testdata::expectFitOfItsOwnPoints;
using morph::testdata::readJson;

// A synthetic photograph unlike the bundled ones: interfering ripples, written as BMP.
void writeRipples(const std::string& file) {
    imaging::Image image(240, 230);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double v = 120 + 70 * std::sin(std::hypot(x - 90.0, y - 80.0) * 0.35) + 30 * std::cos(x * 0.11);
            const int g = std::clamp(int(v), 0, 255);
            image.at(x, y) = imaging::Colour(std::clamp(g + 40, 0, 255) | (g << 8) | (std::clamp(g - 20, 0, 255) << 16));
        }
    imaging::saveBmp(image, file);
}

TEST(TexturemeterCliFits, FivePhotographsReportTheFitsBehindTheirDimensions) {
    const fs::path dir = fs::temp_directory_path() / ("texturemeter-fits-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    writeRipples((dir / "ripples.bmp").string());
    const std::vector<std::string> photos = {
        morph::testdata::samplePath("skin_sample.jpg"), morph::testdata::samplePath("lesion_sample.jpg"),
        morph::testdata::path("reference/skin_texture.jpg"), morph::testdata::path("reference/lesion.jpg"),
        (dir / "ripples.bmp").string()};
    std::vector<std::string> args = {"--seed", "9", "--output", (dir / "r.csv").string(), "--json",
                                     (dir / "r.json").string()};
    args.insert(args.end(), photos.begin(), photos.end());
    const morph::testdata::ToolRun run = morph::testdata::runTool(TEXTUREMETER_CLI_PATH, dir, args);
    ASSERT_EQ(run.status, 0) << run.err;

    const Json doc = readJson(dir / "r.json");
    const std::vector<std::string> file = linesWithoutCr(readFile(dir / "r.csv"));
    ASSERT_EQ(doc.at("images").size(), photos.size());
    ASSERT_EQ(file.size(), 1 + 2 * photos.size());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        SCOPED_TRACE(photos[i]);
        const Json& m = doc["images"][i].at("measurements");
        const Json& fits = m.at("fits");
        const std::vector<std::string> row = csvCells(file[1 + 2 * i]);
        ASSERT_GE(row.size(), 12u);

        expectFitOfItsOwnPoints(fits.at("outline"), 5, -0.09, "outline");
        expectFitOfItsOwnPoints(fits.at("monochrome").at("wholeWindow"), 6, 2.0, "monochrome whole window");
        expectFitOfItsOwnPoints(fits.at("hessian").at("wholeWindow"), 6, 2.0, "Hessian whole window");

        // The dimensions are the reported columns: "line fr dim" and "FR tatal".
        EXPECT_EQ(imaging::printForm(fits["outline"]["dimension"].get<double>()), row[11]);
        EXPECT_EQ(fits["outline"]["dimension"], m["outlineDimension"]);
        EXPECT_EQ(imaging::printForm(fits["monochrome"]["wholeWindow"]["dimension"].get<double>()), row[7]);
        EXPECT_EQ(fits["monochrome"]["wholeWindow"]["dimension"], m["totalDimension"]);

        // The tiles: dimension and R² each; their single-precision mean is the reported mean.
        for (const char* image : {"monochrome", "hessian"}) {
            SCOPED_TRACE(image);
            const Json& tiles = fits[image].at("tiles");
            ASSERT_EQ(tiles.size(), 25u);  // 200 / 40 squared
            float sum = 0.0f;
            for (const Json& t : tiles) {
                ASSERT_EQ(t.size(), 2u);
                sum += t.at("dimension").get<float>();
                EXPECT_GE(t.at("rSquared").get<double>(), 0.0);
                EXPECT_LE(t.at("rSquared").get<double>(), 1.0);
            }
            EXPECT_EQ(imaging::printForm(sum / 25.0f), row[std::string(image) == "monochrome" ? 1 : 4]);
            EXPECT_EQ(double(sum / 25.0f), m[image]["meanDimension"].get<double>());
        }
        // The Hessian image's whole window is its first tile.
        EXPECT_EQ(fits["hessian"]["tiles"][0]["dimension"].get<float>(),
                  float(fits["hessian"]["wholeWindow"]["dimension"].get<double>()));
        EXPECT_EQ(fits["hessian"]["tiles"][0]["rSquared"], fits["hessian"]["wholeWindow"]["rSquared"]);
    }
    fs::remove_all(dir);
}

}  // namespace
