// The results row of "Save 2" (and lesionmeter-cli --csv): header, cells, empty cells for steps
// not taken, appending without touching earlier rows, and the drive-letter name of the results file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/results_row.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::vector<std::string> cellsOf(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(row);
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    if (!row.empty() && row.back() == ',') cells.push_back("");
    return cells;
}

TEST(ResultsRow, HeaderNamesEveryColumn) {
    EXPECT_EQ(resultsHeader(),
              "photo,dateTime,scale,seed,inCount,inPositions,outCount,outPositions,centreX,centreY,"
              "weightRed,weightGreen,weightBlue,squareWeightRed,squareWeightGreen,squareWeightBlue,"
              "inMeanRed,inMeanGreen,inMeanBlue,outMeanRed,outMeanGreen,outMeanBlue,"
              "FRD1,profileRow140,profileRow170,profileColumn140,profileColumn170,FRD2,centroidX,centroidY");
}

TEST(ResultsRow, ExactCellsOfARecord) {
    ResultsRecord r;
    r.photo = "a,b.jpg";
    r.dateTime = "2026-12-07 10:11:12";
    r.marks.in = {{160, 120}, {140.5f, 105}};
    r.marks.out = {{1, 2}};
    r.marks.seed = 9;
    r.marks.scale = 0.78125;
    EXPECT_EQ(resultsRow(r), "\"a,b.jpg\",2026-12-07 10:11:12,0.78125,9,2,160 120;140.5 105,1,1 2,,"
                             ",,,,,,,,,,,,,,,,,,,,");
    r.marks.centre = MarkPosition{160, 120.25f};
    r.weights = Discriminant{0.5f, -0.25f, 0.1f, 0.2f, 0.3f, -0.4f};
    r.means = SampleMeans{122.83333f, 72.833336f, 52.833332f, 219.16667f, 169.16667f, 149.5f};
    FractalResults f;
    f.outlineDimension = 1.011585121420402;
    f.profiles.upperRow = 1.2102956067826243;
    f.profiles.lowerRow = 1.211870929423192;
    f.profiles.leftColumn = 1.2217155228580636;
    f.profiles.rightColumn = 1.2457757544535364;
    f.profileDimension = 1.222414453379354;
    r.fractal = f;
    r.centroid = std::make_pair(159.5047619047619, 118.31238095238095);
    EXPECT_EQ(resultsRow(r),
              "\"a,b.jpg\",2026-12-07 10:11:12,0.78125,9,2,160 120;140.5 105,1,1 2,160,120.25,"
              "0.5,-0.25,0.1,0.2,0.3,-0.4,122.83333,72.833336,52.833332,219.16667,169.16667,149.5,"
              "1.011585121420402,1.2102956067826243,1.211870929423192,1.2217155228580636,1.2457757544535364,"
              "1.222414453379354,159.5047619047619,118.31238095238095");
}

struct Save2 : ::testing::Test {
    testing::ScratchFolder scratch;
    std::string previousHome;
    imaging::FastRandom random{5};
    LesionSession session{random};
    Save2() {
        previousHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        ::setenv("HOME", scratch.path().c_str(), 1);
        session.setDateTimeSource([] { return std::string("2026-12-07 10:11:12"); });
        session.setSeed(77);
    }
    ~Save2() override { ::setenv("HOME", previousHome.c_str(), 1); }
};

TEST_F(Save2, AppendsARowToTheFileInTheBoxHeaderOnce) {
    EXPECT_EQ(session.texts().resultsFileName, "c:\\10esult.txt");
    testing::loadAndSample(session, morph::testdata::lesionReference());
    session.calcAndDraw();
    session.selectLine();
    session.appendResultsRow();  // no "Fractal calc" or "axis" yet: their cells stay empty
    session.measureFractalDimensions();
    session.measureAxis();
    session.appendResultsRow();
    const std::string text = readAll(scratch.file("10esult.txt"));
    std::istringstream lines(text);
    std::string header, first, second, extra;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, extra));
    EXPECT_EQ(header, resultsHeader());
    const auto a = cellsOf(first), b = cellsOf(second);
    ASSERT_EQ(a.size(), 30u);
    ASSERT_EQ(b.size(), 30u);
    EXPECT_EQ(b[0], "lesion.jpg");
    EXPECT_EQ(b[1], "2026-12-07 10:11:12");
    EXPECT_EQ(b[2], "1");
    EXPECT_EQ(b[3], "77");
    EXPECT_EQ(b[4], "6");
    EXPECT_EQ(b[5], "160 120;140 105;180 130;150 145;175 100;135 125");
    EXPECT_EQ(b[6], "8");
    EXPECT_EQ(b[8], "160");
    EXPECT_EQ(b[16], "122.833336");  // the float behind 皮疹内-- R: 122.8333
    EXPECT_EQ(b[21], "149.5");
    EXPECT_EQ(std::stod(b[22]), session.fractalResults().outlineDimension);
    EXPECT_EQ(std::stod(b[27]), session.fractalResults().profileDimension);
    EXPECT_EQ(std::stod(b[28]), session.axisResults().centroidX);
    for (int k = 0; k < 22; ++k) EXPECT_EQ(a[std::size_t(k)], b[std::size_t(k)]) << "column " << k;
    for (int k = 22; k < 30; ++k) EXPECT_EQ(a[std::size_t(k)], "") << "column " << k;
}

TEST_F(Save2, NeverRewritesEarlierRowsAndAFailureKeepsTheSession) {
    const std::string file = scratch.file("results.csv");
    {
        std::ofstream f(file, std::ios::binary);
        f << resultsHeader() << "\nearlier row, kept\n";
    }
    session.texts().resultsFileName = (file);
    testing::loadAndSample(session, morph::testdata::lesionReference());
    session.appendResultsRow();
    const std::string text = readAll(file);
    // No second header for a file that has one.
    EXPECT_EQ(text.rfind(resultsHeader() + "\nearlier row, kept\nlesion.jpg,", 0), 0u) << text;

    session.texts().resultsFileName = ("c:\\no such folder\\r.txt");
    try {
        session.appendResultsRow();
        FAIL() << "no error";
    } catch (const imaging::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("c:\\no such folder\\r.txt"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
    EXPECT_EQ(session.state().inCount, 6);
    EXPECT_EQ(readAll(file), text);
    session.texts().resultsFileName = ("");
    EXPECT_THROW(session.appendResultsRow(), imaging::RunError);
}

// Samples added, a class started anew or the centre moved after "Calc + Draw": the row would pair
// those positions with the means of the samples measured, so "Save 2" refuses until "Calc + Draw"
// runs again. A session without a "Calc + Draw" has nothing to compare.
TEST_F(Save2, RefusesSamplesChangedSinceCalcAndDraw) {
    const std::string file = scratch.file("10esult.txt");
    testing::loadAndSample(session, morph::testdata::lesionReference());
    EXPECT_FALSE(session.samplesChangedSinceCalc());
    const std::vector<std::function<void()>> changes = {
        [&] { session.leftClick(12, 12); },            // an OUT sample added
        [&] { session.selectIn(); },                   // the IN class started anew
        [&] { session.rightClick(100, 100); },         // the centre moved
    };
    for (std::size_t k = 0; k < changes.size(); ++k) {
        SCOPED_TRACE(k);
        session.calcAndDraw();
        session.selectLine();
        EXPECT_FALSE(session.samplesChangedSinceCalc());
        changes[k]();
        EXPECT_TRUE(session.samplesChangedSinceCalc());
        try {
            session.appendResultsRow();
            FAIL() << "saved a row of changed samples";
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            EXPECT_STREQ(e.what(), "samples changed since Calc + Draw; press Calc + Draw again");
        }
        EXPECT_FALSE(std::filesystem::exists(file));
        if (k == 1) {  // IN again needs samples before "Calc + Draw"
            for (auto [x, y] : morph::testdata::lesionReference().in) session.leftClick(float(x), float(y));
            session.selectOut();
            for (auto [x, y] : morph::testdata::lesionReference().out) session.leftClick(float(x), float(y));
        }
    }
    // Measured again, the row is written with the samples measured.
    session.calcAndDraw();
    session.selectLine();
    session.appendResultsRow();
    const std::string text = readAll(file);
    EXPECT_EQ(cellsOf(text.substr(text.find('\n') + 1))[6], std::to_string(session.state().outCount));
}

// The Save 2 file named as a photograph (another one, or the input itself in another spelling)
// is refused and left as it was.
TEST_F(Save2, RefusesAPhotographAsItsFile) {
    testing::loadAndSample(session, morph::testdata::lesionReference());
    const std::string victim = scratch.file("victim.jpg");
    std::filesystem::copy_file(morph::testdata::lesionReference().image, victim);
    const std::string bytes = readAll(victim);
    const std::filesystem::path input(morph::testdata::lesionReference().image);
    for (const std::string& name : {victim, (input.parent_path() / "." / input.filename()).string()}) {
        session.texts().resultsFileName = name;
        try {
            session.appendResultsRow();
            FAIL() << "wrote into " << name;
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
            EXPECT_EQ(std::string(e.what()).rfind("Save 2 file " + name + " is ", 0), 0u) << e.what();
        }
    }
    EXPECT_EQ(readAll(victim), bytes);
}

// The marks file beside the photograph holds its samples: neither the Save 2 file nor the outline
// file replaces it.
TEST_F(Save2, RefusesTheMarksFileBesideThePhotograph) {
    morph::testdata::LesionScenario copy = morph::testdata::lesionReference();
    copy.image = scratch.file("spot.jpg");
    std::filesystem::copy_file(morph::testdata::lesionReference().image, copy.image);
    const std::string marks = scratch.file("spot.marks.json");
    {
        std::ofstream(marks, std::ios::binary) << "{\"format\": \"marks\"}\n";
    }
    testing::loadAndSample(session, copy);
    session.texts().resultsFileName = marks;
    try {
        session.appendResultsRow();
        FAIL() << "wrote into " << marks;
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find(" is the input marks file " + marks + " itself"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(session.analysis().outlineWouldReplaceAnotherFile(marks), imaging::RunError);
    EXPECT_EQ(readAll(marks), "{\"format\": \"marks\"}\n");
}

TEST_F(Save2, AFileWithAnotherHeaderIsRefusedAndAGluedLastLineIsEnded) {
    testing::loadAndSample(session, morph::testdata::lesionReference());
    const std::string other = scratch.file("other.csv");
    {
        std::ofstream f(other, std::ios::binary);
        f << "NAME,Monochrome--FR-AVE\r\n";
    }
    session.texts().resultsFileName = other;
    try {
        session.appendResultsRow();
        FAIL() << "no error";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_EQ(std::string(e.what()), "Cannot append to the results file " + other +
                                             ": its first line is not this file's header, so no row is added "
                                             "(first line: \"NAME,Monochrome--FR-AVE\"; header: \"" +
                                             resultsHeader() + "\")");
    }
    EXPECT_EQ(readAll(other), "NAME,Monochrome--FR-AVE\r\n");

    // A file whose last row lost its line end: the new row starts on a line of its own.
    const std::string cut = scratch.file("cut.csv");
    {
        std::ofstream f(cut, std::ios::binary);
        f << resultsHeader() << "\nlesion.jpg,2026-12-07";
    }
    session.texts().resultsFileName = cut;
    session.appendResultsRow();
    const std::string text = readAll(cut);
    EXPECT_EQ(text.rfind(resultsHeader() + "\nlesion.jpg,2026-12-07\nlesion.jpg,", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
}  // namespace lesionmeter
