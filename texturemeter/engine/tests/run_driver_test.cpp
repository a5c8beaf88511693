// The run driver, the results file and the session: status words, file bytes, derived images,
// and run-time errors.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "texturemeter/results_file.hpp"
#include "testdata/reference_data.hpp"
#include "texturemeter/run_driver.hpp"
#include "texturemeter/square_placement.hpp"
#include "texturemeter/texture_session.hpp"

namespace {

using namespace texturemeter;
namespace fs = std::filesystem;

const std::string kSkinPhoto = morph::testdata::path("reference/skin_texture.jpg");

// Labels for the outputs as a window gives them, naming its boxes.
const OutputLabels kBoxLabels{"results file (box R)", "box H", "box M", "box L", "box D", "box E"};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

int countFields(const std::string& line) { return int(std::count(line.begin(), line.end(), ',')) + 1; }

// A scratch directory with the reference photo copied in as "P1234.jpg".
class SessionRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tm_session_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::copy_file(kSkinPhoto, dir_ / "P1234.jpg");
        texts_.resultsName = (dir_ / "results.txt").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    RunTexts texts_;
};

class RecordingObserver : public RunObserver {
public:
    void statusPrinted(const std::string& word) override { words.push_back(word); }
    void beep() override { ++beeps; }
    std::vector<std::string> words;
    int beeps = 0;
};

TEST(ResultsFile, HeaderBytes) {
    EXPECT_EQ(std::string(kResultsHeader),
              "NAME,Monochrome--FR-AVE,FR-Standard deviation,FR-Standard deviation/FR-AVE,hesian--FR-AVE,"
              "FR-Standard deviation,FR-Standard deviation/FR-AVE,FR tatal, Line-, dot-, Curve-,line fr dim,"
              "Standard deviation of color tone,Standard deviation of color tone distribution");
    EXPECT_EQ(countFields(std::string(kResultsHeader)), 14);
}

// Each measurement goes to its own column, in the precision it is kept in; " Curve-" stays empty.
TEST(ResultsFile, RowPrintsEachMeasurementInItsColumnAndPrecision) {
    TextureMeasurements m;
    m.monochrome = {2.5313279f, -0.07622714360633256, 0.4};
    m.hessian = {2.894181f, 0.6, 0.7};
    m.totalDimension = 0.8;
    m.lineShare = 0.9;
    m.dotShare = 1;
    m.outlineDimension = 1.2;
    m.tone = {1.3, 256000000.0f};
    const std::string line = resultRowText("P1234.jpg", m);
    EXPECT_EQ(line,
              "P1234.jpg, 2.531328 ,-0.0762271436063326 , 0.4 , 2.894181 , 0.6 , 0.7 , 0.8 , 0.9 , 1 ,, 1.2 , "
              "1.3 , 2.56E+08 ");
    EXPECT_EQ(countFields(line), 14);
}

TEST(ResultsFile, SamplingLineHasTwelveNumbersInPrintForm) {
    TextureSampling s;
    s.meanBrightness = 0.78125;
    s.darkFrameShareR2 = 0.005f;
    s.darkFrameShareR4 = 0.25f;
    s.darkFrameShareR10 = 0.1f;
    s.darkLineShare = 1;
    s.boxDarknessMean = 96.46875;
    s.boxDarknessSd = 2.5;
    s.ringBrightnessR5to11 = 39.0625;
    s.ringBrightnessR23to29 = 3.5;
    s.ringBrightnessR41to47 = -1;
    EXPECT_EQ(samplingLineText(s),
              " 0.78125 , 0.005 , 0.25 , 0 , 0 , 0.1 , 1 , 96.46875 , 2.5 , 39.0625 , 3.5 ,-1 ");
}

TEST(ResultsFile, UnwritableResultsFileIsAFileError) {
    ResultsFile f;
    try {
        f.open("/nonexistent-dir/x/results.txt");
        FAIL() << "opened";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::FileError);
        EXPECT_NE(std::string(e.what()).find("results.txt"), std::string::npos);
    }
}

TEST(ResultsFile, EmptyResultsNameSaysSo) {
    ResultsFile f;
    const auto messageOf = [&] {
        try {
            f.open("");
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::FileError);
            return std::string(e.what());
        }
        return std::string("opened");
    };
    EXPECT_EQ(messageOf(), "Cannot open results file: no file name given");
    // Named as the caller names the file (the window: by the box that holds its name).
    f.label = kBoxLabels.resultsFile;
    EXPECT_EQ(messageOf(), "Cannot open results file (box R): no file name given");
}

// A minimal RFC 4180 reader: the records of a text, each a list of fields.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = records.back().back();
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            if (i + 1 < text.size()) records.emplace_back(1);
        } else {
            field += c;
        }
    }
    return records;
}

TEST(ResultsFile, NameIsQuotedOnlyWhenItHoldsACommaAQuoteOrALineBreak) {
    EXPECT_EQ(nameField("P1234.jpg"), "P1234.jpg");
    EXPECT_EQ(nameField("skin sample ü 'x'; 1.jpg"), "skin sample ü 'x'; 1.jpg");
    EXPECT_EQ(nameField("P1,2.jpg"), "\"P1,2.jpg\"");
    EXPECT_EQ(nameField("say \"cheese\".jpg"), "\"say \"\"cheese\"\".jpg\"");
    EXPECT_EQ(nameField("two\nlines.jpg"), "\"two\nlines.jpg\"");
    EXPECT_EQ(nameField("cr\r.jpg"), "\"cr\r.jpg\"");

    TextureMeasurements row;
    row.monochrome.meanDimension = 1.5f;
    EXPECT_EQ(resultRowText("P1234.jpg", row).rfind("P1234.jpg, 1.5 ,", 0), 0u);
    for (const std::string name : {"P1,2.jpg", "a\"b\".jpg", "two\r\nlines,\".jpg"}) {
        const std::string file = std::string(kResultsHeader) + "\r\n" + resultRowText(name, row) + "\r\n";
        const auto records = readCsv(file);
        ASSERT_EQ(records.size(), 2u) << name;
        EXPECT_EQ(records[0].size(), 14u);
        ASSERT_EQ(records[1].size(), 14u) << name;
        EXPECT_EQ(records[1][0], name);
        EXPECT_EQ(records[1][1], " 1.5 ");
    }
}

// A whole run on photographs whose names hold a comma and a line break: the results file reads
// back as three records of 14, 14 and 12 fields with the names as they are.
TEST_F(SessionRun, PhotoNamesWithACommaOrALineBreakKeepTheFileParseable) {
    for (const std::string name : {"P1,2.jpg", "Pline\nbreak.jpg"}) {
        SCOPED_TRACE(name);
        fs::copy_file(dir_ / "P1234.jpg", dir_ / name);
        imaging::FastRandom random(1);
        TextureSession s(random);
        s.selectImage(dir_.string(), name);
        s.run(Variant::A, texts_, nullptr, FreezeStrategy::InMemory);
        const auto records = readCsv(readFile(dir_ / "results.txt"));
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[0].size(), 14u);
        ASSERT_EQ(records[1].size(), 14u);
        EXPECT_EQ(records[1][0], name);
        EXPECT_EQ(records[2].size(), 12u);
    }
}

TEST(ResultsFile, AFullDiskNamesTheFileAndTheReason) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    ResultsFile f;
    f.open("/dev/full");
    try {
        f.writeLine(std::string(kResultsHeader));
        FAIL() << "wrote to a full device";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write results file (No space left on device): /dev/full");
    }
}

TEST(DerivedNames, DropFirstCharacterAndExtension) {
    const DerivedNames n = derivedNames("/img/set1", "P1234.jpg");
    EXPECT_EQ(n.hessian, "/img/set1/1234h.bmp");
    EXPECT_EQ(n.monochrome, "/img/set1/1234a.bmp");
    EXPECT_EQ(n.lineFigure, "/img/set1/1234b.bmp");
    EXPECT_EQ(n.dotFigure, "/img/set1/1234c.bmp");
    EXPECT_EQ(n.unused, "/img/set1/1234d.bmp");
    EXPECT_EQ(n.outline, "/img/set1/1234e.bmp");
}

TEST_F(SessionRun, SelectImageFillsTextsAndResetsTheRegion) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.regionX = 50;
    s.boxSizes[3] = 4;
    s.p2Picture.setVisible(true);
    s.selectImage(dir_.string(), "P1234.jpg");
    EXPECT_EQ(s.inputPathText, (dir_ / "P1234.jpg").string());
    EXPECT_EQ(s.imagePath, s.inputPathText);
    EXPECT_EQ(s.imageFileName, "P1234.jpg");
    EXPECT_EQ(s.heightText, "300");
    EXPECT_EQ(s.widthText, "400");
    EXPECT_EQ(s.derivedImageNames.hessian, (dir_ / "1234h.bmp").string());
    EXPECT_EQ(s.derivedImageNames.unused, (dir_ / "1234d.bmp").string());
    EXPECT_EQ(s.derivedImageNames.outline, (dir_ / "1234e.bmp").string());
    EXPECT_EQ(s.regionX, 0);
    EXPECT_EQ(s.regionSide, 0);
    EXPECT_EQ(s.boxSizes[3], 0);
    EXPECT_FALSE(s.p2Picture.visible());
    EXPECT_EQ(s.photo.width(), 400);
}

TEST_F(SessionRun, CornerClickDrawsTheBoxOnlyWhereTheSquareFits) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.pressPhoto(20.5, 31.5, "100");
    EXPECT_EQ(s.regionX, 20);  // halves to even
    EXPECT_EQ(s.regionY, 32);
    EXPECT_EQ(s.regionSide, 100);
    EXPECT_EQ(s.regionXText, "20");
    EXPECT_EQ(s.regionYText, "32");
    EXPECT_EQ(s.plotLabel, "Plot");
    EXPECT_FALSE(s.hessianImage.visible());
    const imaging::Colour cyan = imaging::rgbColour(0, 255, 255);
    EXPECT_EQ(s.photo.pointAt(18, 30), cyan);
    EXPECT_EQ(s.photo.pointAt(122, 134), cyan);
    // A second click near the right edge takes the corner but draws nothing; the old box is gone.
    s.pressPhoto(350, 10, "100");
    EXPECT_EQ(s.regionX, 350);
    EXPECT_NE(s.photo.pointAt(18, 30), cyan);
    EXPECT_NE(s.photo.pointAt(348, 8), cyan);
    EXPECT_THROW(s.pressPhoto(1, 1, "abc"), imaging::RunError);
    s.pressP1();
    EXPECT_TRUE(s.hessianImage.visible());
}

TEST_F(SessionRun, BoxConditionUsesTheUnroundedPointerPosition) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");  // 400 x 300
    const imaging::Colour cyan = imaging::rgbColour(0, 255, 255);
    // 200 + 199.6 < 400 although the corner rounds to 200 (where 200 + 200 would not fit).
    s.pressPhoto(199.6, 100, "200");
    EXPECT_EQ(s.regionX, 200);
    EXPECT_EQ(s.photo.pointAt(198, 98), cyan);
    // 200 + 100.4 > 300 although the corner rounds to 100 (where 200 + 100 <= 300 would fit).
    s.pressPhoto(199, 100.4, "200");
    EXPECT_EQ(s.regionY, 100);
    EXPECT_NE(s.photo.pointAt(197, 98), cyan);
    EXPECT_NE(s.photo.pointAt(198, 98), cyan);
    // Exactly at the bottom edge the square still fits (<=); at the right edge it does not (<).
    s.pressPhoto(0, 100, "200");
    EXPECT_EQ(s.photo.pointAt(0, 98), cyan);
    s.pressPhoto(200, 0, "200");
    EXPECT_NE(s.photo.pointAt(200, 0), cyan);
    EXPECT_NE(s.photo.pointAt(198, 0), cyan);
}

TEST_F(SessionRun, GreyReadoutPrintsTheGreyUnderThePointer) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.movePointerOverPhoto(5000, 5000);  // outside: white
    ASSERT_EQ(s.greyReadout.printedLines().size(), 1u);
    EXPECT_EQ(s.greyReadout.printedLines()[0], imaging::printForm(imaging::greyOf(imaging::kOutside)));
    s.movePointerOverPhoto(10, 10);
    EXPECT_EQ(s.greyReadout.printedLines().size(), 1u);
}

TEST_F(SessionRun, StartAWritesThreeLinesShowsStatusWordsAndDeletesTheDerivedImages) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.pressPhoto(20, 30, "200");
    std::ofstream(dir_ / "1234d.bmp") << "keep me";
    RecordingObserver observer;
    const RunOutcome out = s.run(Variant::A, texts_, &observer, FreezeStrategy::ThroughFiles);
    EXPECT_EQ(observer.words, (std::vector<std::string>{"Start", "白黒変化", "ヘシアン", "白黒全体", "line", "dot",
                                                        "curve", "END"}));
    EXPECT_EQ(observer.beeps, 1);
    ASSERT_EQ(s.statusView.printedLines().size(), 1u);
    EXPECT_EQ(s.statusView.printedLines()[0], "END");

    const std::vector<std::string> lines = crlfLines(readFile(dir_ / "results.txt"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(kResultsHeader));
    EXPECT_EQ(lines[1], resultRowText("P1234.jpg", out.measurements));
    EXPECT_EQ(countFields(lines[1]), 14);
    EXPECT_NE(lines[1].find(",,"), std::string::npos);
    EXPECT_EQ(lines[2], samplingLineText(out.measurements.sampling));
    EXPECT_EQ(countFields(lines[2]), 12);

    for (const char* e : {"h", "a", "b", "c", "e"}) EXPECT_FALSE(fs::exists(dir_ / ("1234" + std::string(e) + ".bmp"))) << e;
    EXPECT_EQ(readFile(dir_ / "1234d.bmp"), "keep me");
    EXPECT_EQ(s.lastColumnText, "200");
    EXPECT_EQ(s.lastRowText, "200");
    EXPECT_EQ(s.regionSide, 200);
    EXPECT_EQ(s.boxSizes[6], 20);
    EXPECT_EQ(s.monochromeImage.width(), 201);
    EXPECT_EQ(s.figure.pointAt(100, 100), imaging::kWhite);  // cleared at the end
}

TEST_F(SessionRun, FreezingThroughFilesGivesTheSameResultsAsInMemory) {
    imaging::FastRandom r1(5), r2(5);
    TextureSession a(r1), b(r2);
    a.selectImage(dir_.string(), "P1234.jpg");
    b.selectImage(dir_.string(), "P1234.jpg");
    a.pressPhoto(20, 30, "200");
    b.pressPhoto(20, 30, "200");
    const RunOutcome fa = a.run(Variant::C, texts_, nullptr, FreezeStrategy::ThroughFiles);
    const std::string fileA = readFile(dir_ / "results.txt");
    const RunOutcome fb = b.run(Variant::C, texts_, nullptr, FreezeStrategy::InMemory);
    EXPECT_EQ(fileA, readFile(dir_ / "results.txt"));
    EXPECT_EQ(resultRowText("x", fa.measurements), resultRowText("x", fb.measurements));
}

TEST_F(SessionRun, VariantsPrintTheirJapaneseStageLabels) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    for (Variant v : {Variant::B, Variant::C}) {
        RecordingObserver observer;
        s.run(v, texts_, &observer, FreezeStrategy::InMemory);
        EXPECT_EQ(observer.words, (std::vector<std::string>{"Start", "白黒変化", "ヘシアン", "白黒全体", "直線", "点",
                                                            "曲線", "END"}));
    }
}

TEST_F(SessionRun, ASecondRunLeavesOnlyItsOwnLines) {
    fs::copy_file(kSkinPhoto, dir_ / "Q77.jpg");
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.run(Variant::A, texts_);
    s.selectImage(dir_.string(), "Q77.jpg");
    texts_.regionSide = "150";
    s.run(Variant::A, texts_);
    const std::vector<std::string> lines = crlfLines(readFile(dir_ / "results.txt"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind("Q77.jpg,", 0), 0u);
    EXPECT_EQ(s.monochromeImage.width(), 151);
}

TEST_F(SessionRun, ErrorsStopTheRunAndKeepWhatWasWritten) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    RunTexts t = texts_;
    t.regionSide = "abc";
    try {
        s.run(Variant::A, t);
        FAIL();
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::TypeMismatch);
    }
    EXPECT_FALSE(fs::exists(dir_ / "results.txt"));  // stopped before the file was opened

    t = texts_;
    t.regionSide = "500";
    EXPECT_THROW(s.run(Variant::A, t), imaging::RunError);
    t.regionSide = "0";
    EXPECT_THROW(s.run(Variant::A, t), imaging::RunError);
    t = texts_;
    t.neighbourDistance = "four";
    EXPECT_THROW(s.run(Variant::A, t), imaging::RunError);
    EXPECT_FALSE(fs::exists(dir_ / "results.txt"));
}

// After a good run, a run that fails on one of its own parameters fails before the results file
// is opened: the previous file stays byte for byte, no derived image is left beside the photo, no
// status word is printed. The error text is the one the run would give at that parameter.
TEST_F(SessionRun, ParameterErrorsComeBeforeTheResultsFileIsOpened) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.run(Variant::A, texts_);
    const std::string previous = readFile(dir_ / "results.txt");
    ASSERT_EQ(crlfLines(previous).size(), 3u);

    struct Case {
        std::string RunTexts::*box;
        std::string text;
        imaging::ErrorKind kind;
        std::string message;
    };
    const Case cases[] = {
        {&RunTexts::tileSide, "abc", imaging::ErrorKind::TypeMismatch, "Type mismatch: \"abc\" is not a number"},
        {&RunTexts::neighbourDistance, "abc", imaging::ErrorKind::TypeMismatch, "Type mismatch: \"abc\" is not a number"},
        {&RunTexts::regionSide, "abc", imaging::ErrorKind::TypeMismatch, "Type mismatch: \"abc\" is not a number"},
        {&RunTexts::tileSide, "19", imaging::ErrorKind::InvalidArgument,
         "Invalid procedure call or argument: logarithm of 0"},
        {&RunTexts::regionSide, "500", imaging::ErrorKind::SubscriptOutOfRange, "Subscript out of range"},
        {&RunTexts::regionSide, "481", imaging::ErrorKind::SubscriptOutOfRange, "Subscript out of range"},
        {&RunTexts::regionSide, "0", imaging::ErrorKind::DivisionByZero, "Division by zero"},
        {&RunTexts::regionSide, "40000", imaging::ErrorKind::Overflow, "Overflow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RunTexts t = texts_;
        t.*c.box = c.text;
        RecordingObserver observer;
        try {
            s.run(Variant::A, t, &observer);
            FAIL() << "ran";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), c.kind);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_TRUE(observer.words.empty());
        EXPECT_EQ(readFile(dir_ / "results.txt"), previous);
        for (const char* derived : {"1234h.bmp", "1234a.bmp", "1234b.bmp", "1234c.bmp", "1234e.bmp"})
            EXPECT_FALSE(fs::exists(dir_ / derived)) << derived;
    }
    // The same parameters read by the engine's own reading, as the command line uses it.
    RunTexts texts;
    texts.tileSide = "abc";
    EXPECT_THROW(readParameters(texts, 0, 0, Variant::A), ParameterError);
    EXPECT_EQ(readParameters(RunTexts{}, 0, 0, Variant::A).region.regionSide, 200);
}

// A photograph whose own name is one of its derived names ("aa.bmp" -> "a" + "a.bmp", "hhh.bmp"
// -> "hh" + "h.bmp") would be overwritten by the run and deleted at its end: refused before
// anything is written, the photograph and the earlier results file untouched.
TEST_F(SessionRun, ADerivedNameEqualToThePhotographIsRefused) {
    const imaging::Image photo = imaging::loadImageFile((dir_ / "P1234.jpg").string());
    std::ofstream(dir_ / "results.txt", std::ios::binary) << "earlier results\r\n";
    for (const auto& [name, box] : {std::pair<std::string, std::string>{"aa.bmp", "box M"}, {"hhh.bmp", "box H"},
                                    {"bb.bmp", "box L"}, {"ee.bmp", "box E"}}) {
        SCOPED_TRACE(name);
        imaging::saveBmp(photo, (dir_ / name).string());
        const std::string bytes = readFile(dir_ / name);
        imaging::FastRandom random(1);
        TextureSession s(random);
        s.outputLabels = kBoxLabels;
        s.selectImage(dir_.string(), name);
        RecordingObserver observer;
        try {
            s.run(Variant::A, texts_, &observer, FreezeStrategy::ThroughFiles);
            FAIL() << "ran over its own photograph";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            EXPECT_NE(std::string(e.what()).find(box), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("is the photograph itself"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(observer.words.empty());
        EXPECT_EQ(readFile(dir_ / name), bytes);
        EXPECT_EQ(readFile(dir_ / "results.txt"), "earlier results\r\n");
    }
}

// The results file named as the photograph (in any spelling), or as one of the derived images
// the run deletes at its end, is refused before anything is written.
TEST_F(SessionRun, AResultsFileThatIsThePhotographOrADerivedImageIsRefused) {
    const std::string photoBytes = readFile(dir_ / "P1234.jpg");
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.outputLabels = kBoxLabels;
    s.selectImage(dir_.string(), "P1234.jpg");
    fs::create_directory(dir_ / "sub");
    for (const fs::path& spelling : {dir_ / "P1234.jpg", dir_ / "sub" / ".." / "P1234.jpg", dir_ / "." / "P1234.jpg"}) {
        RunTexts t = texts_;
        t.resultsName = spelling.string();
        try {
            s.run(Variant::A, t);
            FAIL() << "wrote the results over the photograph";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            EXPECT_NE(std::string(e.what()).find("box R"), std::string::npos) << e.what();
        }
        EXPECT_EQ(readFile(dir_ / "P1234.jpg"), photoBytes);
    }
    RunTexts t = texts_;
    t.resultsName = s.derivedImageNames.monochrome;
    try {
        s.run(Variant::A, t, nullptr, FreezeStrategy::ThroughFiles);
        FAIL() << "the results file would be deleted as a derived image";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("box M"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(s.derivedImageNames.monochrome));
}

// A click whose square lies entirely outside the photograph (400 x 300) is refused with the
// square rule's message and changes nothing; one reaching past an edge is taken with its warning.
TEST_F(SessionRun, AClickEntirelyOutsideThePhotographIsRefusedAndKeepsTheCorner) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.pressPhoto(20, 30, "200");
    const imaging::Image boxed = s.photo.image();
    for (const auto& [x, y, side] : {std::tuple{5000.0, 10.0, "200"}, {10.0, 300.0, "200"}, {400.0, 0.0, "5"}}) {
        try {
            s.pressPhoto(x, y, side);
            FAIL() << "took a corner outside the photograph";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            EXPECT_NE(std::string(e.what()).find("lies entirely outside the photograph (400 x 300)"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(s.regionX, 20);
        EXPECT_EQ(s.regionY, 30);
        EXPECT_EQ(s.regionSide, 200);
        EXPECT_EQ(s.regionXText, "20");
        EXPECT_TRUE(s.photo.image().pixels == boxed.pixels);
        EXPECT_EQ(s.squareWarning, "");
    }
    s.pressPhoto(399, 299, "200");  // one pixel inside: taken, with the warning
    EXPECT_EQ(s.regionX, 399);
    EXPECT_EQ(s.squareWarning, squareOverhang(399, 299, 200, 400, 300, TextureSession::kSquareWords).value());
    EXPECT_EQ(s.checkCorner(0, 0, "200"), "");
    EXPECT_EQ(s.checkCorner(0, 0, "abc"), "");  // the click reports the side's own error
    EXPECT_THROW(s.pressPhoto(0, 0, "abc"), imaging::RunError);
    s.pressPhoto(0, 0, "200");
    EXPECT_EQ(s.squareWarning, "");
    EXPECT_EQ(s.regionX, 0);
}

// The results file named as an existing picture (by its content, whatever its name) is refused
// before the run writes anything; a results file of an earlier run is replaced as before.
TEST_F(SessionRun, AResultsFileThatIsAnExistingPictureIsRefused) {
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.outputLabels = kBoxLabels;
    s.selectImage(dir_.string(), "P1234.jpg");
    imaging::saveBmp(imaging::Image(8, 8, imaging::kWhite), (dir_ / "notes.txt").string());
    const std::string bytes = readFile(dir_ / "notes.txt");
    RunTexts t = texts_;
    t.resultsName = (dir_ / "notes.txt").string();
    RecordingObserver observer;
    try {
        s.run(Variant::A, t, &observer);
        FAIL() << "replaced a picture";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_EQ(std::string(e.what()), "results file (box R) " + t.resultsName +
                                             " is a BMP picture, not a results file; it is not replaced");
    }
    EXPECT_TRUE(observer.words.empty());
    EXPECT_EQ(readFile(dir_ / "notes.txt"), bytes);
    s.run(Variant::A, texts_);
    s.run(Variant::A, texts_);
    EXPECT_EQ(crlfLines(readFile(dir_ / "results.txt")).size(), 3u);
}

TEST_F(SessionRun, RunWithoutAPhotographIsRefusedAndLeavesTheResultsFileAlone) {
    std::ofstream(dir_ / "results.txt", std::ios::binary) << "earlier results\r\n";
    imaging::FastRandom random(1);
    TextureSession fresh(random);
    RecordingObserver observer;
    try {
        fresh.run(Variant::A, texts_, &observer);
        FAIL() << "a run without a photograph went ahead";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_EQ(std::string(e.what()), "No photograph selected: choose a file first");
    }
    EXPECT_EQ(readFile(dir_ / "results.txt"), "earlier results\r\n");
    EXPECT_TRUE(observer.words.empty());
    EXPECT_TRUE(fresh.statusView.printedLines().empty());
    EXPECT_EQ(fresh.regionSide, 0);
    // A click on the empty picture is refused the same way and takes no corner.
    try {
        fresh.pressPhoto(10, 20, "200");
        FAIL() << "a click without a photograph took a corner";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("No photograph selected"), std::string::npos);
    }
    EXPECT_EQ(fresh.regionXText, "");
    EXPECT_TRUE(fresh.plotLabel.empty());
}

TEST_F(SessionRun, AfterAnUnreadableSelectionTheEarlierPhotoIsNotMeasuredUnderTheNewName) {
    std::ofstream(dir_ / "Pbad.jpg") << "not a picture";
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.run(Variant::A, texts_, nullptr, FreezeStrategy::InMemory);
    const std::string before = readFile(dir_ / "results.txt");
    EXPECT_THROW(s.selectImage(dir_.string(), "Pbad.jpg"), imaging::RunError);
    EXPECT_FALSE(s.photoLoaded());
    // The photo still shows P1234.jpg, but the NAME would be Pbad.jpg: the run is refused.
    try {
        s.run(Variant::A, texts_);
        FAIL() << "the earlier photo was measured under the name of the unreadable one";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("Pbad.jpg"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(dir_ / "results.txt"), before);
    EXPECT_THROW(s.pressPhoto(5, 5, "100"), imaging::RunError);
    EXPECT_EQ(s.regionSide, 0);
    // Selecting a readable file again makes everything work.
    s.selectImage(dir_.string(), "P1234.jpg");
    EXPECT_TRUE(s.photoLoaded());
    s.pressPhoto(5, 5, "100");
    EXPECT_EQ(s.regionSide, 100);
}

TEST(RunDriver, EmptyDerivedNameIsRefusedBeforeAnythingIsWritten) {
    const imaging::Image photo = imaging::loadImageFile(kSkinPhoto);
    imaging::FastRandom random(1);
    PictureSurface p2, p3, p7, p8;
    RunRequest request;
    request.imageFileName = "P1234.jpg";
    request.derived.freeze = FreezeStrategy::ThroughFiles;
    request.derived.names = derivedNames((fs::temp_directory_path() / "tm_never_written").string(), "P1234.jpg");
    request.derived.names.lineFigure.clear();  // the line figure's name emptied by the user
    request.labels = kBoxLabels;
    CollectedLines lines;
    try {
        runAnalysis(PhotoView(photo), request, RunSurfaces{p2, p3, p7, p8}, lines, random);
        FAIL() << "ran without a name for the line figure";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_EQ(std::string(e.what()),
                  "No derived image name in box L: select the photograph in the file list first");
    }
    EXPECT_TRUE(lines.name.empty());  // the results file was not even opened
    EXPECT_TRUE(lines.lines.empty());
    EXPECT_TRUE(p8.printedLines().empty());
    EXPECT_FALSE(fs::exists(request.derived.names.hessian));
    // Freezing in memory needs no names at all.
    request.derived.freeze = FreezeStrategy::InMemory;
    request.derived.names = {};
    EXPECT_NO_THROW(runAnalysis(PhotoView(photo), request, RunSurfaces{p2, p3, p7, p8}, lines, random));
}

TEST(RunDriver, SideBeyondTheGridsFailsBeforeAnythingIsDrawnOrWritten) {
    const imaging::Image photo = imaging::loadImageFile(kSkinPhoto);
    imaging::FastRandom random(1);
    PictureSurface p2, p3, p7, p8;
    RunRequest request;
    request.imageFileName = "P1234.jpg";
    CollectedLines lines;
    for (const int16_t side : {2000, 501, 500}) {
        request.parameters.region.regionSide = side;
        try {
            runAnalysis(PhotoView(photo), request, RunSurfaces{p2, p3, p7, p8}, lines, random);
            FAIL() << "side " << side << " ran";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::SubscriptOutOfRange) << e.what();
        }
        EXPECT_TRUE(lines.name.empty());  // the results file was not opened
        EXPECT_TRUE(lines.lines.empty());
        for (const PictureSurface* p : {&p2, &p3, &p7, &p8}) EXPECT_EQ(p->width(), 0) << side;
    }
}

TEST_F(SessionRun, UnreadablePhotoIsAnErrorAfterTheReset) {
    std::ofstream(dir_ / "Pbad.jpg") << "not a picture";
    imaging::FastRandom random(1);
    TextureSession s(random);
    s.selectImage(dir_.string(), "P1234.jpg");
    s.pressPhoto(10, 10, "200");
    EXPECT_THROW(s.selectImage(dir_.string(), "Pbad.jpg"), imaging::RunError);
    EXPECT_EQ(s.regionX, 0);
    EXPECT_EQ(s.imageFileName, "Pbad.jpg");
}

// The measurements analyseSquare returns are those the results file of the same run holds.
TEST(AnalyseSquare, MeasurementsAreTheNumbersOfTheResultsFile) {
    const imaging::Image photo = imaging::loadImageFile(kSkinPhoto);
    TextureParameters p;
    p.region = {20, 30, 200};
    imaging::FastRandom random(3);
    const TextureMeasurements m = analyseSquare(PhotoView(photo), p, random);

    imaging::FastRandom sameSeed(3);
    RunRequest request;
    request.parameters.region = {20, 30, 200};
    request.imageFileName = "skin_texture.jpg";
    PictureSurface a, b, c, d;
    CollectedLines lines;
    runAnalysis(PhotoView(photo), request, RunSurfaces{a, b, c, d}, lines, sameSeed);
    ASSERT_EQ(lines.lines.size(), 3u);
    EXPECT_EQ(lines.lines[1], resultRowText("skin_texture.jpg", m));
    EXPECT_EQ(lines.lines[2], samplingLineText(m.sampling));
    EXPECT_GT(m.monochrome.meanDimension, 2.0f);
    EXPECT_GT(m.outlineDimension, 0.0);
}

}  // namespace
