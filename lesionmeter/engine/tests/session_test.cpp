// The session's window-level behaviour: loading and its reset rules, sampling and the RGB output
// file, the refusals of "Calc + Draw", and the visibility and enabled tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/stages.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

struct Session : ::testing::Test {
    testing::ScratchFolder scratch;
    imaging::FastRandom random{4};
    LesionSession session{random};

    // Writes a uniform photograph into the scratch folder.
    std::string writePhoto(const std::string& name, int w, int h, imaging::Colour c) {
        imaging::saveBmp(imaging::Image(w, h, c), scratch.file(name));
        return name;
    }
    std::string readAll(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
};

TEST(RgbOutputLine, ExactFormatWithCrLf) {
    EXPECT_EQ(rgbOutputLine("lesion01.jpg", SampleClass::In, 200, 150, 120, "161.7"),
              "lesion01.jpg,IN, 200 , 150 , 120 ,161.7\r\n");
    EXPECT_EQ(rgbOutputLine("a.jpg", SampleClass::Out, 0, 5, 255, "78.3"), "a.jpg,out, 0 , 5 , 255 ,78.3\r\n");
}

TEST_F(Session, SamplesAreAppendedToTheRgbOutputFileOnlyWhenTicked) {
    const std::string rgb = scratch.file("RGBa.txt");
    session.setText(13, rgb);
    session.startUp();
    EXPECT_TRUE(session.rgbOutputOpen());
    session.setText(13, scratch.file("other.txt"));  // the name was read at start-up
    session.openChooser();
    session.loadImage(scratch.path().string(), writePhoto("lesion01.bmp", 50, 40, imaging::rgbColour(200, 150, 120)));
    session.leftClick(3, 3);  // unticked: stored, not written
    session.setCheck1(true);
    session.leftClick(4, 3);
    session.selectOut();
    session.leftClick(5, 3);
    session.leftClick(80, 3);  // outside the picture: white
    EXPECT_EQ(session.text(12), "255");
    session.end();
    EXPECT_FALSE(session.rgbOutputOpen());
    EXPECT_EQ(readAll(rgb),
              "lesion01.bmp,IN, 200 , 150 , 120 ,161.7\r\n"
              "lesion01.bmp,out, 200 , 150 , 120 ,161.7\r\n"
              "lesion01.bmp,out, 255 , 255 , 255 ,255\r\n");
    EXPECT_FALSE(std::filesystem::exists(scratch.file("other.txt")));
    EXPECT_EQ(session.state().inCount, 2);
    EXPECT_EQ(session.state().outCount, 2);
}

TEST_F(Session, ReadoutShowsChannelsSumAndLuminance) {
    session.picture(1).psetAt(7, 8, 0x00050A0F);
    session.pointerMove(7.4f, 8.0f);
    EXPECT_EQ(session.text(1), "5");
    EXPECT_EQ(session.text(2), "10");
    EXPECT_EQ(session.text(3), "15");
    EXPECT_EQ(session.text(4), "25");
    EXPECT_EQ(session.text(12), imaging::numberText(0.11 * 5 + 0.59 * 10 + 0.3 * 15));
}

TEST_F(Session, The51stSampleIsRefusedAndTheFiftyStay) {
    session.picture(1).psetAt(1, 1, imaging::rgbColour(10, 20, 30));
    for (int i = 0; i < 50; ++i) session.leftClick(1, 1);
    EXPECT_EQ(session.state().inCount, 50);
    try {
        session.leftClick(2, 2);
        FAIL() << "the 51st sample must be refused";
    } catch (const imaging::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("at most 50 samples per class"), std::string::npos);
    }
    EXPECT_EQ(session.state().inCount, 50);
    EXPECT_EQ(session.state().inRed[50], 10.0f);
    EXPECT_EQ(session.state().inX[50], 1.0f);
    EXPECT_EQ(session.picture(3).printedLines(), std::vector<std::string>{" 50 "});
    session.selectIn();  // reselecting starts the class anew
    session.leftClick(2, 2);
    EXPECT_EQ(session.state().inCount, 1);
}

TEST_F(Session, SelectingOutAfterFiveInSamplesShowsZero) {
    for (int i = 0; i < 5; ++i) session.leftClick(1, 1);
    EXPECT_EQ(session.picture(3).printedLines(), std::vector<std::string>{" 5 "});
    session.selectOut();
    EXPECT_EQ(session.picture(3).printedLines(), std::vector<std::string>{" 0 "});
    EXPECT_EQ(session.state().inCount, 5);
    session.rightClick(160, 120);  // records nothing
    EXPECT_EQ(session.state().outCount, 0);
    EXPECT_EQ(session.state().centreX, 160.0f);
    session.mouseDown(3, 1, 1);  // both buttons: nothing
    EXPECT_EQ(session.state().outCount, 0);
}

TEST_F(Session, LoadingAnImageResetsTheStateButKeepsTheMapAndCentre) {
    session.openChooser();
    session.loadImage(scratch.path().string(), writePhoto("first.bmp", 320, 240, imaging::rgbColour(120, 70, 50)));
    session.leftClick(10, 10);
    session.selectOut();
    session.leftClick(20, 20);
    session.rightClick(100, 90);
    session.calcAndDrawWithWeights(Discriminant{1, 0, 0, 0, 0, 0});
    session.state().weightRed = 0.25f;
    session.showInformation();
    const float mapCell = session.state().greyMap(30, 30);
    session.state().greyMap(400, 400) = 7.0f;

    session.loadImage(scratch.path().string() + "/", writePhoto("a.b.bmp", 100, 80, imaging::kWhite));
    const AnalysisState& s = session.state();
    EXPECT_EQ(s.inCount, 0);
    EXPECT_EQ(s.outCount, 0);
    EXPECT_EQ(s.inRed[1], 0.0f);
    EXPECT_EQ(s.outBlue[1], 0.0f);
    EXPECT_EQ(s.inX[1], 0.0f);
    EXPECT_EQ(s.outY[1], 0.0f);
    EXPECT_EQ(s.weightRed, 0.0f);
    EXPECT_EQ(s.scanWidth, 0.0f);
    EXPECT_EQ(s.scanHeight, 0.0f);
    EXPECT_EQ(s.greyMap(30, 30), mapCell);
    EXPECT_EQ(s.greyMap(400, 400), 7.0f);
    EXPECT_EQ(s.centreX, 100.0f);
    EXPECT_EQ(s.centreY, 90.0f);
    EXPECT_EQ(session.sampleClass(), SampleClass::In);
    EXPECT_TRUE(session.picture(3).printedLines().empty());
    EXPECT_TRUE(session.picture(14).printedLines().empty());
    EXPECT_EQ(session.picture(1).width(), 100);
    EXPECT_EQ(session.text(5), scratch.path().string() + "/a.b.bmp");
    EXPECT_EQ(session.text(6), "c:\\a.bmp");
    EXPECT_EQ(session.text(21), "c:\\aP.bmp");
    EXPECT_EQ(session.text(22), "c:\\aU.bmp");
    EXPECT_FALSE(session.visible(Control::Picture10));
}

// Every picture that a whole analysis drew or printed into is blank after loading the next
// photograph; the result texts stay until a command writes them again.
TEST_F(Session, LoadingAnImageClearsEveryPictureButKeepsTheResultTexts) {
    session.openChooser();
    session.loadImage(scratch.path().string(), writePhoto("first.bmp", 320, 240, imaging::rgbColour(120, 70, 50)));
    session.picture(1).line(100, 60, 220, 180, imaging::rgbColour(20, 10, 5), imaging::LineKind::FilledBox);
    session.leftClick(160, 120);
    session.selectOut();
    session.leftClick(20, 20);
    session.rightClick(160, 120);
    session.calcAndDraw();  // prints the counters into Picture4 and Picture6..Picture9
    // Then a discriminant that surely separates the dark square (red 20) from the skin (red 120).
    session.calcAndDrawWithWeights(Discriminant{1.0f, 0, 0, -1.0f / 70.0f, 0, 0});
    session.selectLine();
    session.fractalCalc();
    session.axis();
    session.showInformation();
    for (int n : {4, 6, 7, 8, 9, 14}) ASSERT_FALSE(session.picture(n).printedLines().empty()) << n;
    auto blackPixels = [&](int n) {
        const imaging::PictureSurface& p = session.picture(n);
        int count = 0;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) count += p.pointAt(x, y) == imaging::kBlack;
        return count;
    };
    for (int n : {2, 16, 15, 17, 18}) ASSERT_GT(blackPixels(n), 0) << n;
    const std::string text7 = session.text(7), text10 = session.text(10), text14 = session.text(14),
                      text20 = session.text(20);
    ASSERT_FALSE(text7.empty());
    ASSERT_FALSE(text14.empty());

    // Picture12 and Picture13 now hold their snapshot and copy as background pictures, which
    // clearing keeps; every drawing and printed number goes.
    session.loadImage(scratch.path().string(), writePhoto("second.bmp", 200, 150, imaging::kWhite));
    for (int n = 1; n <= 18; ++n) EXPECT_TRUE(session.picture(n).printedLines().empty()) << n;
    for (int n : {2, 16, 15, 17, 18}) EXPECT_EQ(blackPixels(n), 0) << n;
    EXPECT_EQ(session.picture(13).pointAt(160, 120), session.picture(13).picture().at(160, 120));
    EXPECT_EQ(session.picture(1).pointAt(150, 100), imaging::kWhite);
    EXPECT_EQ(session.text(7), text7);
    EXPECT_EQ(session.text(10), text10);
    EXPECT_EQ(session.text(14), text14);
    EXPECT_EQ(session.text(20), text20);
    // "File" empties Text7 only.
    session.openChooser();
    EXPECT_EQ(session.text(7), "");
    EXPECT_EQ(session.text(20), text20);
}

TEST_F(Session, OpeningTheChooserMarksEveryMapCellUnset) {
    session.state().greyMap(0, 0) = 0.0f;
    session.state().greyMap(500, 500) = 0.0f;
    session.setText(7, "1.5");
    session.openChooser();
    EXPECT_EQ(session.state().greyMap(0, 0), 256.0f);
    EXPECT_EQ(session.state().greyMap(500, 500), 256.0f);
    EXPECT_TRUE(session.visible(Control::Picture10));
    EXPECT_TRUE(session.visible(Control::Picture2));
    EXPECT_FALSE(session.visible(Control::Picture12));
    EXPECT_EQ(session.text(7), "");
}

TEST_F(Session, AnUnreadableImageChangesNothing) {
    session.setText(5, "before");
    EXPECT_THROW(session.loadImage(scratch.path().string(), "missing.jpg"), imaging::RunError);
    EXPECT_EQ(session.text(5), "before");
}

TEST_F(Session, CalcAndDrawRefusesWithoutSamplesOfBothClasses) {
    session.leftClick(10, 10);
    session.state().greyMap(3, 3) = 42.0f;
    try {
        session.calcAndDraw();
        FAIL();
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("\"OUT\""), std::string::npos);
    }
    EXPECT_EQ(session.state().greyMap(3, 3), 42.0f);
    EXPECT_EQ(session.text(10), "");
}

TEST_F(Session, CalcAndDrawRefusesAPhotographTooLargeForTheMap) {
    session.picture(1).setPicture(imaging::Image(501, 200, imaging::kWhite));
    session.leftClick(10, 10);
    session.selectOut();
    session.leftClick(20, 20);
    session.state().greyMap(3, 3) = 42.0f;
    try {
        session.calcAndDraw();
        FAIL();
    } catch (const imaging::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("500 x 503"), std::string::npos) << e.what();
    }
    EXPECT_EQ(session.state().greyMap(3, 3), 42.0f);
    EXPECT_EQ(session.text(10), "");
    // 500 x 503 is the largest that fits.
    session.picture(1).setPicture(imaging::Image(500, 503, imaging::kWhite));
    EXPECT_NO_THROW(session.calcAndDrawWithWeights(Discriminant{}));
    EXPECT_EQ(session.state().scanHeight, 500.0f);
}

TEST_F(Session, SearchWithoutAnyAcceptedSetStoresAndPrintsZeros) {
    session.picture(1).setPicture(imaging::Image(320, 240, imaging::rgbColour(100, 100, 100)));
    for (int i = 0; i < 3; ++i) session.leftClick(10, 10);
    session.selectOut();
    for (int i = 0; i < 3; ++i) session.leftClick(20, 20);  // same colour: never separated
    int beeps = 0, accepted = 0;
    session.calcAndDraw({[&](const AcceptedSet&) { ++accepted; }, [&] { ++beeps; }});
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(session.acceptedSetCount(), 0);
    EXPECT_EQ(session.picture(9).printedLines(), std::vector<std::string>{" 0 "});
    EXPECT_EQ(session.picture(6).printedLines(), std::vector<std::string>{" 0 "});
    EXPECT_EQ(session.chosenDiscriminant().squareWeightRed, 0.0f);
    EXPECT_EQ(session.state().greyMap(50, 50), 255.0f);  // zero weights: all white
}

TEST_F(Session, SearchReportsEachAcceptedSetAfterReprintingTheCounters) {
    session.picture(1).setPicture(imaging::Image(320, 240, imaging::rgbColour(100, 60, 40)));
    session.picture(1).psetAt(20, 20, imaging::rgbColour(230, 180, 160));
    session.leftClick(10, 10);
    session.selectOut();
    session.leftClick(20, 20);
    std::vector<std::string> shown;
    session.calcAndDraw({[&](const AcceptedSet& a) {
                             shown.push_back(session.picture(4).printedLines().at(0));
                             EXPECT_EQ(session.picture(6).printedLines().at(0), imaging::printForm(a.weightRed));
                         },
                         nullptr});
    EXPECT_EQ(shown, (std::vector<std::string>{" 1 ", " 2 ", " 3 ", " 4 ", " 5 ", " 6 ", " 7 "}));
    EXPECT_EQ(session.picture(6).printedLines().at(0), imaging::printForm(session.state().weightRed));
    EXPECT_EQ(session.chosenDiscriminant().weightRed, session.state().weightRed);
}

TEST_F(Session, VisibilityAndSave2Tables) {
    session.startUp(false);
    EXPECT_TRUE(session.visible(Control::Picture2));
    EXPECT_FALSE(session.visible(Control::Picture12));
    EXPECT_FALSE(session.visible(Control::Picture13));
    EXPECT_FALSE(session.enabled(Control::Command4));

    session.selectLine();
    EXPECT_FALSE(session.visible(Control::Picture2));
    EXPECT_TRUE(session.visible(Control::Picture12));
    EXPECT_TRUE(session.enabled(Control::Command4));

    session.picture(12).psetAt(50, 50, imaging::kBlack);
    session.axis();
    EXPECT_FALSE(session.visible(Control::Picture2));  // unchanged
    EXPECT_FALSE(session.visible(Control::Picture12));
    EXPECT_TRUE(session.visible(Control::Picture13));
    EXPECT_TRUE(session.enabled(Control::Command4));  // unchanged

    session.picture(1).setPicture(imaging::Image(100, 100, imaging::kWhite));
    session.leftClick(1, 1);
    session.selectOut();
    session.leftClick(2, 2);
    session.calcAndDrawWithWeights(Discriminant{});
    EXPECT_TRUE(session.visible(Control::Picture2));
    EXPECT_FALSE(session.visible(Control::Picture12));  // unchanged
    EXPECT_FALSE(session.visible(Control::Picture13));
    EXPECT_FALSE(session.enabled(Control::Command4));

    session.selectBlackWhite();
    EXPECT_TRUE(session.visible(Control::Picture2));
    EXPECT_FALSE(session.enabled(Control::Command4));
    EXPECT_FALSE(session.visible(Control::Command6));
    EXPECT_FALSE(session.visible(Control::Check1));
    EXPECT_FALSE(session.visible(Control::Option7));
}

TEST_F(Session, PaintingCommandsCountAsChangesForTheWindow) {
    session.picture(1).setPicture(imaging::Image(100, 100, imaging::kWhite));
    session.leftClick(1, 1);
    session.selectOut();
    session.leftClick(2, 2);
    const auto before = session.picture(2).revision();
    session.calcAndDrawWithWeights(Discriminant{});
    EXPECT_GT(session.picture(2).revision(), before);
    session.selectLine();
    const auto afterLine = session.picture(12).revision();
    session.eraserMove(kLeftButton, 50, 50);
    EXPECT_GT(session.picture(12).revision(), afterLine);
}

TEST_F(Session, InformationPrintsAgainBelowAndAClickHidesIt) {
    session.showInformation();
    session.showInformation();
    EXPECT_TRUE(session.visible(Control::Picture14));
    EXPECT_EQ(session.picture(14).printedLines(),
              (std::vector<std::string>{"Morphex 5 for Win2000, XP", "Morphex 5 for Win2000, XP"}));
    session.hideInformation();
    EXPECT_FALSE(session.visible(Control::Picture14));
}

TEST_F(Session, PointerOverPicture2FollowsTheEraser) {
    session.selectEraser(EraserMode::Wide);
    session.pointerOverPicture2(0);
    EXPECT_EQ(session.picture2Pointer(), PointerShape::Move);
    session.selectEraser(EraserMode::Put);
    session.pointerOverPicture2(kLeftButton);
    EXPECT_EQ(session.picture2Pointer(), PointerShape::Move);
    session.selectEraser(EraserMode::Narrow);
    session.pointerOverPicture2(kRightButton);
    EXPECT_EQ(session.picture2Pointer(), PointerShape::Move);
    session.pointerOverPicture2(kLeftButton);
    EXPECT_EQ(session.picture2Pointer(), PointerShape::Arrow);
}

TEST_F(Session, StartUpFailsClearlyWhenTheRgbFileCannotBeOpened) {
    session.setText(13, scratch.file("no-such-folder/RGBa.txt"));
    try {
        session.startUp();
        FAIL();
    } catch (const imaging::RunError& e) {
        EXPECT_NE(std::string(e.what()).find("RGBa.txt"), std::string::npos);
    }
    EXPECT_FALSE(session.rgbOutputOpen());
}

}  // namespace
}  // namespace lesionmeter
