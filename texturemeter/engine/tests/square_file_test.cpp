// Square files and square tables: exact text, reading back, refusals naming the source, the
// photograph a square belongs to, and a table that gives the same squares as the files.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "imaging/errors.hpp"
#include "imaging/random.hpp"
#include "testdata/scratch_folder.hpp"
#include "texturemeter/square_file.hpp"
#include "texturemeter/square_source.hpp"
#include "texturemeter/square_table.hpp"

namespace texturemeter {
namespace {

template <typename F>
std::string messageOf(F action) {
    try {
        action();
    } catch (const imaging::RunError& e) {
        EXPECT_TRUE(e.kind() == imaging::ErrorKind::Refused || e.kind() == imaging::ErrorKind::FileNotFound ||
                    e.kind() == imaging::ErrorKind::FileError)
            << e.what();
        return e.what();
    }
    return "";
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

Square sample() {
    Square s;
    s.photo = "P0001.jpg";
    s.x = 12;
    s.y = -3;
    s.side = 180;
    s.window = 40;
    s.neighbour = 4.5;
    s.variant = Variant::B;
    s.seed = 18446744073709551615ull;
    return s;
}

TEST(SquareFile, ExactText) {
    EXPECT_EQ(squareText(sample()),
              "{\n"
              "  \"format\": \"texturemeter-square\",\n"
              "  \"version\": 1,\n"
              "  \"photo\": \"P0001.jpg\",\n"
              "  \"x\": 12,\n"
              "  \"y\": -3,\n"
              "  \"side\": 180,\n"
              "  \"window\": 40,\n"
              "  \"neighbour\": 4.5,\n"
              "  \"variant\": \"B\",\n"
              "  \"seed\": 18446744073709551615\n"
              "}\n");
    Square bare;
    bare.photo = "p.jpg";
    EXPECT_EQ(squareText(bare),
              "{\n  \"format\": \"texturemeter-square\",\n  \"version\": 1,\n  \"photo\": \"p.jpg\",\n  \"x\": 0,\n"
              "  \"y\": 0,\n  \"side\": null,\n  \"window\": null,\n  \"neighbour\": null,\n  \"variant\": null,\n"
              "  \"seed\": null\n}\n");
}

TEST(SquareFile, ReadsBackExactly) {
    Square s = sample();
    EXPECT_EQ(parseSquare(squareText(s), "s"), s);
    s.window = 0.1;  // not a whole number: its shortest exact text
    s.neighbour = 1.0 / 3.0;
    s.variant = Variant::C;
    s.seed = 9007199254740993ull;
    EXPECT_EQ(parseSquare(squareText(s), "s"), s);
    Square bare;
    bare.photo = "";
    bare.x = -32768;
    bare.y = 32767;
    EXPECT_EQ(parseSquare(squareText(bare), "s"), bare);
    // Fields in any order, the optional ones absent.
    const Square minimal = parseSquare(R"({"y": 5, "x": 7, "photo": "a.jpg", "version": 1, "format": "texturemeter-square",
                                          "variant": "c"})",
                                       "s");
    EXPECT_EQ(minimal.x, 7);
    EXPECT_EQ(minimal.y, 5);
    EXPECT_EQ(minimal.variant, Variant::C);
    EXPECT_EQ(minimal.side, std::nullopt);
    EXPECT_EQ(minimal.seed, std::nullopt);
}

TEST(SquareFile, RefusesWhatIsNotASquareDocumentNamingTheFile) {
    const std::string good = squareText(sample());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const auto at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    const auto refusal = [](const std::string& text) { return messageOf([&] { parseSquare(text, "s.json"); }); };
    const std::string head = "Square file s.json: ";
    EXPECT_EQ(refusal(replaced("texturemeter-square", "lesionmeter-marks")),
              head + "not a square document (\"format\" is not \"texturemeter-square\")");
    EXPECT_EQ(refusal(replaced("\"version\": 1", "\"version\": 2")),
              head + "version 2 is not supported (this program reads version 1)");
    EXPECT_EQ(refusal(replaced("\"x\": 12,\n", "")), head + "\"x\" is missing");
    EXPECT_EQ(refusal(replaced("\"y\": -3", "\"y\": null")), head + "\"y\" is missing");
    EXPECT_EQ(refusal(replaced("\"x\": 12", "\"x\": 32768")), head + "\"x\" is not a whole number from -32768 to 32767");
    EXPECT_EQ(refusal(replaced("\"x\": 12", "\"x\": 12.5")), head + "\"x\" is not a whole number from -32768 to 32767");
    EXPECT_EQ(refusal(replaced("\"side\": 180", "\"side\": \"180\"")),
              head + "\"side\" is not a whole number from -32768 to 32767");
    EXPECT_EQ(refusal(replaced("\"window\": 40", "\"window\": \"40\"")), head + "\"window\" is not a number");
    EXPECT_EQ(refusal(replaced("\"neighbour\": 4.5", "\"neighbour\": true")), head + "\"neighbour\" is not a number");
    EXPECT_EQ(refusal(replaced("\"variant\": \"B\"", "\"variant\": \"D\"")),
              head + "\"variant\" \"D\" is not \"A\", \"B\" or \"C\"");
    EXPECT_EQ(refusal(replaced("\"variant\": \"B\"", "\"variant\": 1")), head + "\"variant\" 1 is not \"A\", \"B\" or \"C\"");
    EXPECT_EQ(refusal(replaced("\"seed\": 18446744073709551615", "\"seed\": -1")),
              head + "\"seed\" is not a whole number from 0 up");
    EXPECT_EQ(refusal(replaced("\"photo\": \"P0001.jpg\"", "\"photo\": null")), head + "\"photo\" is not a file name");
}

TEST(SquareFile, WriteReadAndThePhotographItBelongsTo) {
    morph::testdata::ScratchFolder scratch("square-file");
    const std::string name = scratch.file("P0001.square.json");
    writeSquare(name, sample());
    EXPECT_EQ(readAll(name), squareText(sample()));
    EXPECT_EQ(readSquare(name), sample());
    Square moved = sample();
    moved.x = 99;
    writeSquare(name, moved);
    EXPECT_EQ(readSquare(name), moved);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
    EXPECT_EQ(messageOf([&] { readSquare(scratch.file("none.json")); }), "File not found: " + scratch.file("none.json"));
    EXPECT_EQ(messageOf([&] { readSquare(scratch.path().string()); }),
              "Cannot read the square file (is a directory): " + scratch.path().string());

    EXPECT_EQ(squareFileFor("/data/study/P0001.jpg"), "/data/study/P0001.square.json");
    EXPECT_EQ(squareFileFor("a.b.png"), "a.b.square.json");
    EXPECT_EQ(messageOf([] { checkSquarePhoto(sample(), "s.json", "P0001.jpg"); }), "");
    EXPECT_EQ(messageOf([] { checkSquarePhoto(sample(), "s.json", "P0002.jpg", "Load square: "); }),
              "Load square: s.json holds the square of P0001.jpg, not of P0002.jpg");
}

// ---- Tables ----------------------------------------------------------------------------------

TEST(SquareTable, ColumnsInAnyOrderOptionalCellsAndQuoting) {
    const SquareTable t = parseSquareTable(
        "\xEF\xBB\xBFseed,y,photo,x,variant,side,window,neighbour\r\n"
        "7,20,a.jpg,10,b,150.5,40.5,3\r\n"
        ",0,\"dir/with, comma \"\"q\"\".jpg\",-5,,,,\r\n"
        "\r\n"
        "18446744073709551615,1,c.jpg,2,C,200,40,4\n",
        "t.csv");
    ASSERT_EQ(t.squares.size(), 3u);
    EXPECT_EQ(t.rows, (std::vector<int>{2, 3, 4}));
    const Square& a = t.squares[0];
    EXPECT_EQ(a.photo, "a.jpg");
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 20);
    EXPECT_EQ(a.side, int16_t(150));  // read as the run reads "Sampling width": halves to even
    EXPECT_EQ(a.window, 40.5);
    EXPECT_EQ(a.neighbour, 3.0);
    EXPECT_EQ(a.variant, Variant::B);
    EXPECT_EQ(a.seed, uint64_t(7));
    const Square& b = t.squares[1];
    EXPECT_EQ(b.photo, "dir/with, comma \"q\".jpg");
    EXPECT_EQ(b.x, -5);
    EXPECT_EQ(b.side, std::nullopt);
    EXPECT_EQ(b.window, std::nullopt);
    EXPECT_EQ(b.neighbour, std::nullopt);
    EXPECT_EQ(b.variant, std::nullopt);
    EXPECT_EQ(b.seed, std::nullopt);
    EXPECT_EQ(t.squares[2].seed, uint64_t(18446744073709551615ull));
    // Only the required columns.
    const SquareTable plain = parseSquareTable("photo,x,y\nq.jpg,1,2\n", "t.csv");
    ASSERT_EQ(plain.squares.size(), 1u);
    EXPECT_EQ(plain.squares[0].side, std::nullopt);
}

TEST(SquareTable, APhotographIsMatchedByItsPathThenByItsName) {
    const SquareTable t = parseSquareTable("photo,x,y\nstudy/a.jpg,1,1\na.jpg,2,2\nb.jpg,3,3\n", "t.csv");
    ASSERT_NE(findSquare(t, "study/a.jpg"), nullptr);
    EXPECT_EQ(findSquare(t, "study/a.jpg")->x, 1);
    EXPECT_EQ(findSquare(t, "other/a.jpg")->x, 2);
    EXPECT_EQ(findSquare(t, "a.jpg")->x, 2);
    EXPECT_EQ(findSquare(t, "/x/y/b.jpg")->x, 3);
    EXPECT_EQ(findSquare(t, "c.jpg"), nullptr);
    EXPECT_EQ(findSquare(t, "study/b.jpg/"), nullptr);
}

TEST(SquareTable, RefusalsNameTheTableTheRowAndTheColumn) {
    const auto refusal = [](const std::string& text) { return messageOf([&] { parseSquareTable(text, "t.csv"); }); };
    const std::string head = "Square table t.csv: ";
    EXPECT_EQ(refusal(""), head + "no header (the first row names the columns: photo, x, y ...)");
    EXPECT_EQ(refusal("photo,x\na.jpg,1\n"), head + "no column \"y\" in the header");
    EXPECT_EQ(refusal("photo,x,y,sied\n"),
              head + "unknown column \"sied\" (the columns are photo, x, y, side, window, neighbour, variant, seed)");
    EXPECT_EQ(refusal("photo,x,y,x\n"), head + "the column \"x\" is named twice");
    EXPECT_EQ(refusal("photo,x,y\na.jpg,1\n"), head + "row 2: 2 cells, but the header names 3 columns");
    EXPECT_EQ(refusal("photo,x,y\n,1,2\n"), head + "row 2: no photo");
    EXPECT_EQ(refusal("photo,x,y\na.jpg,,2\n"), head + "row 2: no \"x\"");
    EXPECT_EQ(refusal("photo,x,y\na.jpg,1,2\nb.jpg,one,2\n"),
              head + "row 3: \"x\": Type mismatch: \"one\" is not a number");
    EXPECT_EQ(refusal("photo,x,y,side\na.jpg,1,2,40000\n"), head + "row 2: \"side\": Overflow");
    EXPECT_EQ(refusal("photo,x,y,window\na.jpg,1,2,wide\n"),
              head + "row 2: \"window\": Type mismatch: \"wide\" is not a number");
    EXPECT_EQ(refusal("photo,x,y,variant\na.jpg,1,2,D\n"), head + "row 2: \"variant\" \"D\" is not A, B or C");
    EXPECT_EQ(refusal("photo,x,y,seed\na.jpg,1,2,-1\n"),
              head + "row 2: \"seed\" \"-1\" is not a whole number from 0 to 18446744073709551615");
    EXPECT_EQ(refusal("photo,x,y\na.jpg,1,2\nb.jpg,1,2\na.jpg,3,4\n"),
              head + "row 4: the photo a.jpg has a square already, in row 2");
    EXPECT_NE(refusal("photo,x,y\n\"a.jpg,1,2\n").find(head + "row 2: "), std::string::npos) << refusal("photo,x,y\n\"a.jpg,1,2\n");
    EXPECT_NE(refusal("photo,x,y\na\"b.jpg,1,2\n").find(head + "row 2: "), std::string::npos);
    morph::testdata::ScratchFolder scratch("square-table");
    EXPECT_EQ(messageOf([&] { readSquareTable(scratch.file("none.csv")); }), "File not found: " + scratch.file("none.csv"));
}

// A table written from square files gives the same squares as the files, photograph by photograph.
TEST(SquareTable, GivesTheSameSquaresAsTheSquareFiles) {
    morph::testdata::ScratchFolder scratch("square-table-files");
    std::string table = "photo,x,y,side,window,neighbour,variant,seed\n";
    std::vector<std::string> photos;
    for (int i = 0; i < 30; ++i) {
        Square s;
        s.photo = "P" + std::to_string(1000 + i) + ".jpg";
        s.x = int16_t(i * 7 - 20);
        s.y = int16_t(300 - i * 11);
        s.side = int16_t(121 + i * 12);
        s.window = i % 3 == 0 ? 20.0 : 20.0 + i * 0.25;
        s.neighbour = 1 + i % 5;
        s.variant = Variant(i % 3);
        if (i % 4 != 0) s.seed = uint64_t(i) * 0x9E3779B97F4A7C15ull;
        const std::string photo = scratch.file(s.photo);
        writeSquare(squareFileFor(photo), s);
        photos.push_back(photo);
        const auto text = [](double v) {
            std::ostringstream o;
            o.precision(17);
            o << v;
            return o.str();
        };
        table += s.photo + "," + std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(*s.side) + "," +
                 text(*s.window) + "," + text(*s.neighbour) + "," + variantLetter(*s.variant) + "," +
                 (s.seed ? std::to_string(*s.seed) : "") + "\n";
    }
    std::ofstream(scratch.file("squares.csv"), std::ios::binary) << table;
    const SquareTable t = readSquareTable(scratch.file("squares.csv"));
    ASSERT_EQ(t.squares.size(), photos.size());
    for (const std::string& photo : photos) {
        const Square* row = findSquare(t, photo);
        ASSERT_NE(row, nullptr) << photo;
        EXPECT_EQ(*row, readSquare(squareFileFor(photo))) << photo;
    }
}

// ---- Where a batch finds a photograph's square -----------------------------------------------

TEST(SquareSource, TheTableRowOrTheSquareFileBesideThePhotograph) {
    morph::testdata::ScratchFolder scratch("square-source");
    const std::string photo = scratch.file("P0001.jpg");
    EXPECT_STREQ(squareSourceName(SquareSource::SquareFile), "square file");
    EXPECT_STREQ(squareSourceName(SquareSource::Table), "table");
    EXPECT_STREQ(squareSourceName(SquareSource::CommandLine), "command line");

    // No square file beside it: none.
    EXPECT_EQ(findSquareFor(photo, nullptr), std::nullopt);
    writeSquare(squareFileFor(photo), sample());
    const std::optional<FoundSquare> beside = findSquareFor(photo, nullptr, "--squares ");
    ASSERT_TRUE(beside.has_value());
    EXPECT_EQ(beside->square, sample());
    EXPECT_EQ(beside->source, SquareSource::SquareFile);
    EXPECT_EQ(beside->file, scratch.file("P0001.square.json"));

    // A table takes the place of the files: its row, or none even where a file lies beside.
    const SquareTable table = parseSquareTable("photo,x,y,seed\nP0001.jpg,5,6,7\n", "t.csv");
    const std::optional<FoundSquare> row = findSquareFor(photo, &table);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->source, SquareSource::Table);
    EXPECT_EQ(row->file, "t.csv");
    EXPECT_EQ(row->square.x, 5);
    EXPECT_EQ(row->square.seed, std::optional<uint64_t>(7));
    EXPECT_EQ(findSquareFor(scratch.file("P0002.jpg"), &table), std::nullopt);

    // The square file beside a photograph must be its own; a broken one is its error.
    const std::string other = scratch.file("P0003.jpg");
    writeSquare(squareFileFor(other), sample());
    EXPECT_EQ(messageOf([&] { findSquareFor(other, nullptr, "--squares "); }),
              "--squares " + scratch.file("P0003.square.json") + " holds the square of P0001.jpg, not of P0003.jpg");
    const std::string broken = scratch.file("P0004.jpg");
    std::ofstream(squareFileFor(broken)) << "{";
    EXPECT_EQ(messageOf([&] { findSquareFor(broken, nullptr); }).rfind("Square file " + squareFileFor(broken) + ": not a JSON document", 0),
              0u);
}

// ---- A photograph's run in a batch -------------------------------------------------------------

// A square of P0001.jpg that holds its corner and nothing else.
Square cornerOnly(int16_t x, int16_t y) {
    Square s;
    s.photo = "P0001.jpg";
    s.x = x;
    s.y = y;
    return s;
}

TEST(SquareRun, TheSquaresSeedWinsTheBatchSeedsTheRest) {
    const imaging::ChosenSeed own = squareSeed(77, 5, 99, 3);
    EXPECT_EQ(own.seed, 77u);
    EXPECT_STREQ(own.source, "square");
    const imaging::ChosenSeed given = squareSeed(std::nullopt, 5, 99, 3);
    EXPECT_EQ(given.seed, imaging::photoSeed(5, 3));
    EXPECT_STREQ(given.source, "option");
    const imaging::ChosenSeed clock = squareSeed(std::nullopt, std::nullopt, 99, 3);
    EXPECT_EQ(clock.seed, imaging::photoSeed(99, 3));
    EXPECT_STREQ(clock.source, "clock");
}

TEST(SquareRun, TheSquareGivesWhatItHoldsTheOptionsTheRest) {
    SquareFill fill;
    fill.texts.regionSide = "150";
    fill.texts.tileSide = "30";
    fill.texts.neighbourDistance = "2.5";
    fill.texts.resultsName = "r.csv";
    fill.x = "7";
    fill.y = "8";
    fill.variant = Variant::C;

    // Without a square: the options alone, the seed of the place.
    const PhotoSquare plain = squareRun(nullptr, 2, fill, 11, 99);
    EXPECT_EQ(plain.source, SquareSource::CommandLine);
    EXPECT_EQ(plain.file, "");
    EXPECT_EQ(plain.parameters.region.regionX, 7);
    EXPECT_EQ(plain.parameters.region.regionY, 8);
    EXPECT_EQ(plain.parameters.region.regionSide, 150);
    EXPECT_EQ(plain.parameters.tileSide, 30);
    EXPECT_EQ(plain.parameters.neighbourDistance, 2.5);
    EXPECT_EQ(plain.parameters.variant, Variant::C);
    EXPECT_EQ(plain.parameters.resultsName, "r.csv");
    EXPECT_EQ(plain.seed.seed, imaging::photoSeed(11, 2));

    // A square holding everything: all of it, numbers exactly as held.
    FoundSquare whole{sample(), SquareSource::Table, "t.csv"};
    whole.square.window = 22.1;
    whole.square.neighbour = 0.1;
    const PhotoSquare full = squareRun(&whole, 2, fill, 11, 99);
    EXPECT_EQ(full.source, SquareSource::Table);
    EXPECT_EQ(full.file, "t.csv");
    EXPECT_EQ(full.parameters.region.regionX, 12);
    EXPECT_EQ(full.parameters.region.regionY, -3);
    EXPECT_EQ(full.parameters.region.regionSide, 180);
    EXPECT_EQ(full.parameters.tileSide, 22.1);
    EXPECT_EQ(full.parameters.neighbourDistance, 0.1);
    EXPECT_EQ(full.parameters.variant, Variant::B);
    EXPECT_EQ(full.seed.seed, 18446744073709551615ull);
    EXPECT_STREQ(full.seed.source, "square");

    // A square holding only its corner: the options fill in the rest, the seed of the place.
    FoundSquare corner{cornerOnly(20, 30), SquareSource::SquareFile, "P0001.square.json"};
    const PhotoSquare filled = squareRun(&corner, 4, fill, std::nullopt, 99);
    EXPECT_EQ(filled.parameters.region.regionX, 20);
    EXPECT_EQ(filled.parameters.region.regionY, 30);
    EXPECT_EQ(filled.parameters.region.regionSide, 150);
    EXPECT_EQ(filled.parameters.tileSide, 30);
    EXPECT_EQ(filled.parameters.neighbourDistance, 2.5);
    EXPECT_EQ(filled.parameters.variant, Variant::C);
    EXPECT_EQ(filled.seed.seed, imaging::photoSeed(99, 4));
    EXPECT_STREQ(filled.seed.source, "clock");
    // Reports name a square's own seed "square", any other the batch's.
    EXPECT_STREQ(photoSeedSource(full), "square");
    EXPECT_STREQ(photoSeedSource(filled), "batch");
    EXPECT_STREQ(photoSeedSource(plain), "batch");
}

TEST(SquareRun, ASquareThatCannotBeRunFailsAsItsParameter) {
    FoundSquare tooLarge{sample(), SquareSource::SquareFile, "P0001.square.json"};
    tooLarge.square.side = 500;
    try {
        squareRun(&tooLarge, 0, SquareFill{}, std::nullopt, 1);
        FAIL() << "a side of 500 was run";
    } catch (const ParameterError& e) {
        EXPECT_EQ(e.parameter(), TextureParameter::RegionSide);
        EXPECT_STREQ(e.what(), "Subscript out of range");
        // Reported in the shell's words, naming the square it came from.
        const ParameterWords words{"side", "window", "=", "x", "y"};
        EXPECT_EQ(squareRunFailure(e, words, &tooLarge),
                  "Subscript out of range (side=500 with window=40: side must be at most 499) (in the square of "
                  "P0001.square.json)");
        EXPECT_EQ(squareRunFailure(e, words, nullptr),
                  "Subscript out of range (side=500 with window=40: side must be at most 499)");
    }
    // An option that fills in fails as its own parameter.
    SquareFill fill;
    fill.texts.tileSide = "wide";
    FoundSquare noWindow{cornerOnly(1, 2), SquareSource::SquareFile, "P0001.square.json"};
    try {
        squareRun(&noWindow, 0, fill, std::nullopt, 1);
        FAIL() << "a tile side \"wide\" was read";
    } catch (const ParameterError& e) {
        EXPECT_EQ(e.parameter(), TextureParameter::TileSide);
    }
}

TEST(SquareRun, APhotographWithoutASquareIsRefusedUnlessACornerWasGiven) {
    morph::testdata::ScratchFolder scratch("square-run");
    const std::string photo = scratch.file("P0001.jpg");
    SquareChoice choice;
    // Without a per-photograph choice no square is looked for, even beside the photograph.
    writeSquare(squareFileFor(scratch.file("P0009.jpg")), sample());
    EXPECT_EQ(chosenSquare(scratch.file("P0009.jpg"), choice), std::nullopt);

    choice.perPhoto = true;
    choice.label = "--squares ";
    choice.noSquareHint = "--squares without --x/--y gives no corner to fall back on";
    EXPECT_EQ(messageOf([&] { chosenSquare(photo, choice); }),
              "no square: no square file " + squareFileFor(photo) +
                  " beside it (--squares without --x/--y gives no corner to fall back on)");
    const SquareTable table = parseSquareTable("photo,x,y\nP0002.jpg,5,6\n", "t.csv");
    choice.table = &table;
    EXPECT_EQ(messageOf([&] { chosenSquare(photo, choice); }),
              "no square: no row for it in the square table t.csv (--squares without --x/--y gives no corner to "
              "fall back on)");
    EXPECT_EQ(chosenSquare(scratch.file("P0002.jpg"), choice)->square.x, 5);
    choice.cornerGiven = true;
    EXPECT_EQ(chosenSquare(photo, choice), std::nullopt);
}

}  // namespace
}  // namespace texturemeter
