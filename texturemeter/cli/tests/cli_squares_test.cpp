// texturemeter-cli --squares: each photograph of a batch analysed in its own square, from its
// square file beside it or from a square table. A batch gives exactly the rows of each photograph
// run alone with its square's numbers and seed; a table gives the rows of the square files; the
// report names each photograph's square, its source and its seed; a photograph without a square is
// its own error.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "imaging/report.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/square_file.hpp"
#include "testdata/scratch_folder.hpp"
#include "testdata/tool_run.hpp"

namespace texturemeter {
namespace {

namespace fs = std::filesystem;
using imaging::Json;
using morph::testdata::lines;
using morph::testdata::readFile;
using morph::testdata::readJson;
using morph::testdata::ScratchFolder;
using morph::testdata::ToolRun;

constexpr uint64_t kBatchSeed = 4242;
constexpr int kPhotos = 32;

ToolRun run(const ScratchFolder& folder, const std::vector<std::string>& args) {
    return morph::testdata::runTool(TEXTUREMETER_CLI_PATH, folder.path(), args);
}

void writeText(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// Photograph i: ripples of its own frequency and centre over a tinted ramp, 300 x 280.
void writePhoto(const std::string& file, int i) {
    imaging::Image image(300, 280);
    const double cx = 40 + 7 * i, cy = 200 - 5 * i, k = 0.15 + 0.013 * i;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double v = 110 + 60 * std::sin(std::hypot(x - cx, y - cy) * k) + 25 * std::cos((x + 3 * i) * 0.09) +
                             0.1 * y;
            const int g = std::clamp(int(v), 0, 255);
            image.at(x, y) = imaging::rgbColour(std::clamp(g + 30 - i, 0, 255), g, std::clamp(g - 15 + i, 0, 255));
        }
    imaging::saveBmp(image, file);
}

// The square of photograph i: corners, sides, tile sides, neighbour distances, variants and
// seeds all differ from photograph to photograph; every fifth leaves its seed out (the batch's
// --seed gives it its place's), every seventh its side (--side gives it).
Square squareOf(int i, const std::string& photo) {
    Square s;
    s.photo = photo;
    s.x = int16_t(3 + (i * 13) % 70);
    s.y = int16_t(2 + (i * 17) % 50);
    if (i % 7 != 3) s.side = int16_t(130 + (i * 11) % 90);
    s.window = std::vector<double>{20, 25, 30, 40, 22.5}[std::size_t(i % 5)];
    s.neighbour = 2 + i % 4;
    s.variant = std::vector<Variant>{Variant::A, Variant::B, Variant::C}[std::size_t(i % 3)];
    if (i % 5 != 4) s.seed = 1000 + uint64_t(i) * 7919;
    return s;
}

// The batch's photographs: most in the folder, a few in a subfolder (named there with it).
std::string photoPath(int i) {
    const std::string name = "p" + std::to_string(100 + i) + ".bmp";
    return i % 6 == 5 ? "sub/" + name : name;
}

struct Study {
    ScratchFolder folder{"texturemeter-squares"};
    std::vector<std::string> photos;
    std::vector<Square> squares;
    const std::string sideOption = "190";

    Study() {
        fs::create_directories(folder.path() / "sub");
        for (int i = 0; i < kPhotos; ++i) {
            photos.push_back(photoPath(i));
            writePhoto(folder.file(photos.back()), i);
            squares.push_back(squareOf(i, fs::path(photos.back()).filename().string()));
            writeSquare(folder.file(squareFileFor(photos.back())), squares.back());
        }
    }

    ToolRun batch(std::vector<std::string> args, const std::string& output, const std::string& json) const {
        args.insert(args.end(), {"--seed", std::to_string(kBatchSeed), "--side", sideOption, "--output", output,
                                 "--json", json, "--jobs", "2"});
        args.insert(args.end(), photos.begin(), photos.end());
        return run(folder, args);
    }

    // The photo seed photograph i is analysed with: its square's, else its place's in the batch.
    uint64_t seedOf(int i) const { return squares[std::size_t(i)].seed.value_or(imaging::photoSeed(kBatchSeed, uint64_t(i))); }
};

// The result row and sampling line of one photograph in a results file of a batch.
std::vector<std::string> entryOf(const std::vector<std::string>& file, int i) {
    return {file.at(1 + 2 * std::size_t(i)), file.at(2 + 2 * std::size_t(i))};
}

TEST(TexturemeterCliSquares, EachPhotographsSquareFileGivesTheRowsOfThatPhotographAlone) {
    const Study study;
    const ToolRun r = study.batch({"--squares"}, "batch.csv", "batch.json");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> file = lines(readFile(study.folder.path() / "batch.csv"));
    ASSERT_EQ(file.size(), 1u + 2u * kPhotos);
    EXPECT_EQ(file[0], std::string(kResultsHeader) + "\r");
    const Json report = readJson(study.folder.path() / "batch.json");
    EXPECT_EQ(report["parameters"]["squares"], "beside");
    ASSERT_EQ(report["images"].size(), std::size_t(kPhotos));

    for (int i = 0; i < kPhotos; ++i) {
        SCOPED_TRACE(study.photos[std::size_t(i)]);
        const Square& s = study.squares[std::size_t(i)];
        const std::string side = s.side ? std::to_string(*s.side) : study.sideOption;
        const std::string output = "alone" + std::to_string(i) + ".csv";
        const ToolRun alone = run(study.folder, {"--x", std::to_string(s.x), "--y", std::to_string(s.y), "--side", side,
                                                 "--window", imaging::exactText(*s.window), "--neighbour",
                                                 imaging::exactText(*s.neighbour), "--variant",
                                                 variantLetter(*s.variant), "--seed", std::to_string(study.seedOf(i)),
                                                 "--output", output, study.photos[std::size_t(i)]});
        ASSERT_EQ(alone.status, 0) << alone.err;
        const std::vector<std::string> own = lines(readFile(study.folder.path() / output));
        ASSERT_EQ(own.size(), 3u);
        EXPECT_EQ(entryOf(file, i), (std::vector<std::string>{own[1], own[2]}));

        const Json& image = report["images"][std::size_t(i)];
        EXPECT_EQ(image["seed"].get<uint64_t>(), study.seedOf(i));
        EXPECT_EQ(image["seedSource"], s.seed ? "square" : "batch");
        EXPECT_EQ(image["squareSource"], "square file");
        EXPECT_EQ(image["squareFile"], squareFileFor(study.photos[std::size_t(i)]));
        const Json& square = image["square"];
        EXPECT_EQ(square["x"], s.x);
        EXPECT_EQ(square["y"], s.y);
        EXPECT_EQ(square["side"], std::stoi(side));
        EXPECT_EQ(square["window"].get<double>(), *s.window);
        EXPECT_EQ(square["neighbour"].get<double>(), *s.neighbour);
        EXPECT_EQ(square["variant"], variantLetter(*s.variant));
    }
}

TEST(TexturemeterCliSquares, ATableGivesTheRowsOfTheSquareFiles) {
    const Study study;
    ASSERT_EQ(study.batch({"--squares"}, "files.csv", "files.json").status, 0);
    // The table's rows in another order than the batch's; the photographs in the subfolder are
    // named by their path as given, the others by their name alone.
    std::string table = "seed,photo,variant,x,y,side,window,neighbour\r\n";
    for (int i = kPhotos - 1; i >= 0; --i) {
        const Square& s = study.squares[std::size_t(i)];
        const std::string& path = study.photos[std::size_t(i)];
        table += (s.seed ? std::to_string(*s.seed) : "") + "," + (path.find('/') != std::string::npos ? path : s.photo) +
                 "," + variantLetter(*s.variant) + "," + std::to_string(s.x) + "," + std::to_string(s.y) + "," +
                 (s.side ? std::to_string(*s.side) : "") + "," + imaging::exactText(*s.window) + "," +
                 imaging::exactText(*s.neighbour) + "\r\n";
    }
    writeText(study.folder.file("squares.csv"), table);
    const ToolRun r = study.batch({"--squares", "squares.csv"}, "table.csv", "table.json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(study.folder.path() / "table.csv"), readFile(study.folder.path() / "files.csv"));

    const Json files = readJson(study.folder.path() / "files.json");
    Json fromTable = readJson(study.folder.path() / "table.json");
    EXPECT_EQ(fromTable["parameters"]["squares"], "squares.csv");
    for (std::size_t i = 0; i < kPhotos; ++i) {
        Json& image = fromTable["images"][i];
        EXPECT_EQ(image["squareSource"], "table");
        EXPECT_EQ(image["squareFile"], "squares.csv");
        image["squareSource"] = "square file";
        image["squareFile"] = squareFileFor(study.photos[i]);
    }
    EXPECT_EQ(fromTable["images"], files["images"]);
}

TEST(TexturemeterCliSquares, APhotographWithoutASquareIsItsOwnErrorUnlessTheCornerIsGiven) {
    ScratchFolder folder("texturemeter-squares-missing");
    writePhoto(folder.file("a.bmp"), 1);
    writePhoto(folder.file("b.bmp"), 2);
    writePhoto(folder.file("c.bmp"), 3);
    writeSquare(folder.file("a.square.json"), squareOf(1, "a.bmp"));
    writeSquare(folder.file("c.square.json"), squareOf(3, "c.bmp"));
    const ToolRun r = run(folder, {"--squares", "--seed", "1", "--output", "r.csv", "--json", "r.json", "a.bmp",
                                   "b.bmp", "c.bmp"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("texturemeter-cli: b.bmp: no square: no square file b.square.json beside it (--squares "
                         "without --x/--y gives no corner to fall back on)\n"),
              std::string::npos)
        << r.err;
    const std::vector<std::string> file = lines(readFile(folder.path() / "r.csv"));
    ASSERT_EQ(file.size(), 5u);
    EXPECT_EQ(file[1].substr(0, 6), "a.bmp,");
    EXPECT_EQ(file[3].substr(0, 6), "c.bmp,");
    const Json report = readJson(folder.path() / "r.json");
    EXPECT_TRUE(report["images"][1]["square"].is_null());
    EXPECT_TRUE(report["images"][1]["squareSource"].is_null());
    EXPECT_EQ(report["images"][1]["error"].get<std::string>().substr(0, 10), "no square:");
    EXPECT_EQ(report["images"][2]["squareSource"], "square file");

    // With --x/--y the photograph without a square takes the command line's corner and options.
    const ToolRun corner = run(folder, {"--squares", "--x", "12", "--y", "7", "--side", "150", "--seed", "1",
                                        "--output", "c.csv", "--json", "c.json", "a.bmp", "b.bmp", "c.bmp"});
    ASSERT_EQ(corner.status, 0) << corner.err;
    const Json withCorner = readJson(folder.path() / "c.json");
    const Json& b = withCorner["images"][1];
    EXPECT_EQ(b["squareSource"], "command line");
    EXPECT_TRUE(b["squareFile"].is_null());
    EXPECT_EQ(b["square"], Json({{"x", 12}, {"y", 7}, {"side", 150}, {"window", 40.0}, {"neighbour", 4.0},
                                 {"variant", "A"}}));
    EXPECT_EQ(b["seed"].get<uint64_t>(), imaging::photoSeed(1, 1));
    EXPECT_EQ(b["seedSource"], "batch");
    const ToolRun alone = run(folder, {"--x", "12", "--y", "7", "--side", "150", "--seed",
                                       std::to_string(imaging::photoSeed(1, 1)), "--output", "b.csv", "b.bmp"});
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(entryOf(lines(readFile(folder.path() / "c.csv")), 1),
              entryOf(lines(readFile(folder.path() / "b.csv")), 0));
}

TEST(TexturemeterCliSquares, ASquareThatCannotBeRunOrBelongsToAnotherPhotographIsThatPhotographsError) {
    ScratchFolder folder("texturemeter-squares-bad");
    writePhoto(folder.file("a.bmp"), 1);
    writePhoto(folder.file("b.bmp"), 2);
    writePhoto(folder.file("c.bmp"), 3);
    Square tooLarge = squareOf(1, "a.bmp");
    tooLarge.side = 500;
    writeSquare(folder.file("a.square.json"), tooLarge);
    writeSquare(folder.file("b.square.json"), squareOf(2, "c.bmp"));
    writeSquare(folder.file("c.square.json"), squareOf(3, "c.bmp"));
    const ToolRun r = run(folder, {"--squares", "--output", "r.csv", "a.bmp", "b.bmp", "c.bmp"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("texturemeter-cli: a.bmp: Subscript out of range (--side 500 with --window 25: --side must be at "
                         "most 499) (in the square of a.square.json)\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("texturemeter-cli: b.bmp: --squares b.square.json holds the square of c.bmp, not of b.bmp\n"),
              std::string::npos)
        << r.err;
    const std::vector<std::string> file = lines(readFile(folder.path() / "r.csv"));
    ASSERT_EQ(file.size(), 3u);
    EXPECT_EQ(file[1].substr(0, 6), "c.bmp,");
}

TEST(TexturemeterCliSquares, TheOptionsAndTheTableAreCheckedBeforeAnyWork) {
    ScratchFolder folder("texturemeter-squares-refused");
    writePhoto(folder.file("a.bmp"), 1);
    writeSquare(folder.file("a.square.json"), squareOf(1, "a.bmp"));
    writeText(folder.file("r.csv"), "kept");
    // Under --squares the options only fill in, so a side and tile side that do not fit each other
    // are not refused for the batch; an option that is no number is.
    const ToolRun filling = run(folder, {"--squares", "--side", "499", "--window", "20", "--output", "f.csv", "a.bmp"});
    EXPECT_EQ(filling.status, 0) << filling.err;
    const ToolRun notANumber = run(folder, {"--squares", "--window", "wide", "--output", "r.csv", "a.bmp"});
    EXPECT_EQ(notANumber.status, 2);
    EXPECT_EQ(notANumber.err, "texturemeter-cli: Type mismatch: \"wide\" is not a number\n");
    writeText(folder.file("bad.csv"), "photo,x\na.bmp,1\n");
    const ToolRun badTable = run(folder, {"--squares", "bad.csv", "--output", "r.csv", "a.bmp"});
    EXPECT_EQ(badTable.status, 2);
    EXPECT_EQ(badTable.err, "texturemeter-cli: Square table bad.csv: no column \"y\" in the header\n");
    const ToolRun noTable = run(folder, {"--squares", "none.csv", "--output", "r.csv", "a.bmp"});
    EXPECT_EQ(noTable.status, 2);
    EXPECT_NE(noTable.err.find("none.csv"), std::string::npos) << noTable.err;
    EXPECT_EQ(readFile(folder.path() / "r.csv"), "kept");
}

// The square table and the square files are inputs: no output replaces one, and they are kept.
TEST(TexturemeterCliSquares, NoOutputReplacesTheSquaresTheBatchReads) {
    ScratchFolder folder("texturemeter-squares-as-output");
    writePhoto(folder.file("a.bmp"), 1);
    writeSquare(folder.file("a.square.json"), squareOf(1, "a.bmp"));
    writeText(folder.file("t.csv"), "photo,x,y\na.bmp,3,4\n");
    const std::string square = readFile(folder.path() / "a.square.json");
    const ToolRun overTable = run(folder, {"--squares", "t.csv", "--output", "./t.csv", "a.bmp"});
    EXPECT_EQ(overTable.status, 2);
    EXPECT_NE(overTable.err.find("--output ./t.csv is the input square table t.csv itself"), std::string::npos)
        << overTable.err;
    const ToolRun overSquare = run(folder, {"--squares", "--output", "r.csv", "--json", "a.square.json", "a.bmp"});
    EXPECT_EQ(overSquare.status, 2);
    EXPECT_NE(overSquare.err.find("--json a.square.json is the input square file a.square.json itself"),
              std::string::npos)
        << overSquare.err;
    EXPECT_EQ(readFile(folder.path() / "t.csv"), "photo,x,y\na.bmp,3,4\n");
    EXPECT_EQ(readFile(folder.path() / "a.square.json"), square);
    EXPECT_FALSE(fs::exists(folder.path() / "r.csv"));
}

TEST(TexturemeterCliSquares, TheWordAfterSquaresIsATableOnlyWhenItNamesACsvFile) {
    ScratchFolder folder("texturemeter-squares-words");
    writePhoto(folder.file("a.bmp"), 1);
    writePhoto(folder.file("b.bmp"), 2);
    writeSquare(folder.file("a.square.json"), squareOf(1, "a.bmp"));
    writeSquare(folder.file("b.square.json"), squareOf(2, "b.bmp"));
    // "--squares a.bmp": a.bmp is the first photograph, analysed in its square file's square.
    const ToolRun photo = run(folder, {"--squares", "a.bmp", "b.bmp", "--output", "p.csv", "--json", "p.json"});
    ASSERT_EQ(photo.status, 0) << photo.err;
    const Json report = readJson(folder.path() / "p.json");
    ASSERT_EQ(report["images"].size(), 2u);
    EXPECT_EQ(report["images"][0]["name"], "a.bmp");
    EXPECT_EQ(report["images"][0]["squareSource"], "square file");
    EXPECT_EQ(report["parameters"]["squares"], "beside");
    // "--squares T.CSV" (any case) and "--squares=T" name a table.
    writeText(folder.file("T.CSV"), "photo,x,y\na.bmp,5,6\nb.bmp,7,8\n");
    writeText(folder.file("t.txt"), "photo,x,y\na.bmp,5,6\nb.bmp,7,8\n");
    for (const std::string& form : {std::string("--squares T.CSV"), std::string("--squares=t.txt")}) {
        SCOPED_TRACE(form);
        std::vector<std::string> args;
        if (form == "--squares T.CSV")
            args = {"--squares", "T.CSV"};
        else
            args = {form};
        args.insert(args.end(), {"--output", "t.csv", "--json", "t.json", "a.bmp", "b.bmp"});
        const ToolRun table = run(folder, args);
        ASSERT_EQ(table.status, 0) << table.err;
        const Json t = readJson(folder.path() / "t.json");
        EXPECT_EQ(t["images"][1]["square"]["x"], 7);
        EXPECT_EQ(t["images"][1]["squareSource"], "table");
    }
}

TEST(TexturemeterCliSquares, WithoutSquaresEveryPhotographReportsTheCommandLinesSquare) {
    ScratchFolder folder("texturemeter-squares-none");
    writePhoto(folder.file("a.bmp"), 1);
    // A square file beside the photograph is not read without --squares.
    writeSquare(folder.file("a.square.json"), squareOf(1, "a.bmp"));
    const ToolRun r = run(folder, {"--x", "9", "--seed", "3", "--output", "r.csv", "--json", "r.json", "a.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json report = readJson(folder.path() / "r.json");
    EXPECT_TRUE(report["parameters"]["squares"].is_null());
    const Json& image = report["images"][0];
    EXPECT_EQ(image["squareSource"], "command line");
    EXPECT_EQ(image["square"]["x"], 9);
    EXPECT_EQ(image["square"]["side"], 200);
    EXPECT_EQ(image["seed"].get<uint64_t>(), 3u);
    EXPECT_EQ(image["seedSource"], "batch");
}

}  // namespace
}  // namespace texturemeter
