// The session's window-level behaviour: loading and its reset rules, sampling and the RGB output
// file, the refusals of "Calc + Draw", and the visibility and enabled tables.

#include <gtest/gtest.h>

#include <vector>

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
    session.texts().rgbOutputName = (rgb);
    session.startUp();
    EXPECT_TRUE(session.rgbOutputOpen());
    session.texts().rgbOutputName = (scratch.file("other.txt"));  // the name was read at start-up
    session.openChooser();
    session.loadImage(scratch.path().string(), writePhoto("lesion01.bmp", 50, 40, imaging::rgbColour(200, 150, 120)));
    session.leftClick(3, 3);  // unticked: stored, not written
    session.setRgbOutputTicked(true);
    session.leftClick(4, 3);
    session.selectOut();
    session.leftClick(5, 3);
    session.leftClick(80, 3);  // outside the picture: white
    EXPECT_EQ(session.texts().luminance, "255");
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
    session.pictures().photo.psetAt(7, 8, 0x00050A0F);
    session.pointerMove(7.4f, 8.0f);
    EXPECT_EQ(session.texts().pixelBlue, "5");
    EXPECT_EQ(session.texts().pixelGreen, "10");
    EXPECT_EQ(session.texts().pixelRed, "15");
    EXPECT_EQ(session.texts().greenPlusRed, "25");
    EXPECT_EQ(session.texts().luminance, imaging::numberText(0.11 * 5 + 0.59 * 10 + 0.3 * 15));
}

TEST_F(Session, The51stSampleIsRefusedAndTheFiftyStay) {
    session.pictures().photo.psetAt(1, 1, imaging::rgbColour(10, 20, 30));
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
    EXPECT_EQ(session.pictures().sampleCount.printedLines(), std::vector<std::string>{" 50 "});
    session.selectIn();  // reselecting starts the class anew
    session.leftClick(2, 2);
    EXPECT_EQ(session.state().inCount, 1);
}

TEST_F(Session, SelectingOutAfterFiveInSamplesShowsZero) {
    for (int i = 0; i < 5; ++i) session.leftClick(1, 1);
    EXPECT_EQ(session.pictures().sampleCount.printedLines(), std::vector<std::string>{" 5 "});
    session.selectOut();
    EXPECT_EQ(session.pictures().sampleCount.printedLines(), std::vector<std::string>{" 0 "});
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
    EXPECT_TRUE(session.pictures().sampleCount.printedLines().empty());
    EXPECT_TRUE(session.pictures().information.printedLines().empty());
    EXPECT_EQ(session.pictures().photo.width(), 100);
    EXPECT_EQ(session.texts().imagePath, scratch.path().string() + "/a.b.bmp");
    EXPECT_EQ(session.texts().mapFileName, "c:\\a.bmp");
    EXPECT_EQ(session.texts().profileFileName, "c:\\aP.bmp");
    EXPECT_EQ(session.texts().outlineFileName, "c:\\aU.bmp");
    EXPECT_FALSE(session.chooserShown());
}

// Every picture that a whole analysis drew or printed into is blank after loading the next
// photograph; the result texts stay until a command writes them again.
TEST_F(Session, LoadingAnImageClearsEveryPictureButKeepsTheResultTexts) {
    session.openChooser();
    session.loadImage(scratch.path().string(), writePhoto("first.bmp", 320, 240, imaging::rgbColour(120, 70, 50)));
    session.pictures().photo.line(100, 60, 220, 180, imaging::rgbColour(20, 10, 5), imaging::LineKind::FilledBox);
    session.leftClick(160, 120);
    session.selectOut();
    session.leftClick(20, 20);
    session.rightClick(160, 120);
    session.calcAndDraw();  // prints the accepted count, the weights and the minimum margin
    // Then a discriminant that surely separates the dark square (red 20) from the skin (red 120).
    session.calcAndDrawWithWeights(Discriminant{1.0f, 0, 0, -1.0f / 70.0f, 0, 0});
    session.selectLine();
    session.measureFractalDimensions();
    session.measureAxis();
    session.showInformation();
    LesionPictures& views = session.pictures();
    for (const imaging::PictureSurface* p : {&views.acceptedCount, &views.weightRed, &views.weightGreen,
                                             &views.weightBlue, &views.minimumMargin, &views.information})
        ASSERT_FALSE(p->printedLines().empty());
    const std::vector<const imaging::PictureSurface*> drawn = {&views.lesionMap, &views.upperRowProfile,
                                                               &views.leftColumnProfile, &views.lowerRowProfile,
                                                               &views.rightColumnProfile};
    auto blackPixels = [&](const imaging::PictureSurface& p) {
        int count = 0;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) count += p.pointAt(x, y) == imaging::kBlack;
        return count;
    };
    for (const imaging::PictureSurface* p : drawn) ASSERT_GT(blackPixels(*p), 0);
    const std::string frd1Text = session.texts().outlineDimension, inMeansText = session.texts().inMeans,
                      centroidXText = session.texts().centroidX, frd2Text = session.texts().profileDimension;
    ASSERT_FALSE(frd1Text.empty());
    ASSERT_FALSE(centroidXText.empty());

    // The outline and the axis view now hold their snapshot and copy as background pictures, which
    // clearing keeps; every drawing and printed number goes.
    session.loadImage(scratch.path().string(), writePhoto("second.bmp", 200, 150, imaging::kWhite));
    for (const imaging::PictureSurface* p :
         {&views.photo, &views.lesionMap, &views.sampleCount, &views.acceptedCount, &views.weightRed, &views.weightGreen,
          &views.weightBlue, &views.minimumMargin, &views.outline, &views.axisView, &views.information,
          &views.leftColumnProfile, &views.upperRowProfile, &views.lowerRowProfile, &views.rightColumnProfile})
        EXPECT_TRUE(p->printedLines().empty());
    for (const imaging::PictureSurface* p : drawn) EXPECT_EQ(blackPixels(*p), 0);
    EXPECT_EQ(session.pictures().axisView.pointAt(160, 120), session.pictures().axisView.picture().at(160, 120));
    EXPECT_EQ(session.pictures().photo.pointAt(150, 100), imaging::kWhite);
    EXPECT_EQ(session.texts().outlineDimension, frd1Text);
    EXPECT_EQ(session.texts().inMeans, inMeansText);
    EXPECT_EQ(session.texts().centroidX, centroidXText);
    EXPECT_EQ(session.texts().profileDimension, frd2Text);
    // "File" empties the FRD1 text only.
    session.openChooser();
    EXPECT_EQ(session.texts().outlineDimension, "");
    EXPECT_EQ(session.texts().profileDimension, frd2Text);
}

TEST_F(Session, OpeningTheChooserMarksEveryMapCellUnset) {
    session.state().greyMap(0, 0) = 0.0f;
    session.state().greyMap(500, 500) = 0.0f;
    session.texts().outlineDimension = ("1.5");
    session.openChooser();
    EXPECT_EQ(session.state().greyMap(0, 0), 256.0f);
    EXPECT_EQ(session.state().greyMap(500, 500), 256.0f);
    EXPECT_TRUE(session.chooserShown());
    EXPECT_TRUE(session.lesionMapShown());
    EXPECT_FALSE(session.outlineShown());
    EXPECT_EQ(session.texts().outlineDimension, "");
}

TEST_F(Session, AnUnreadableImageChangesNothing) {
    session.texts().imagePath = ("before");
    EXPECT_THROW(session.loadImage(scratch.path().string(), "missing.jpg"), imaging::RunError);
    EXPECT_EQ(session.texts().imagePath, "before");
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
    EXPECT_EQ(session.texts().inMeans, "");
}

TEST_F(Session, CalcAndDrawRefusesAPhotographTooLargeForTheMap) {
    session.pictures().photo.setPicture(imaging::Image(501, 200, imaging::kWhite));
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
    EXPECT_EQ(session.texts().inMeans, "");
    // 500 x 503 is the largest that fits.
    session.pictures().photo.setPicture(imaging::Image(500, 503, imaging::kWhite));
    EXPECT_NO_THROW(session.calcAndDrawWithWeights(Discriminant{}));
    EXPECT_EQ(session.state().scanHeight, 500.0f);
}

TEST_F(Session, SearchWithoutAnyAcceptedSetStoresAndPrintsZeros) {
    session.pictures().photo.setPicture(imaging::Image(320, 240, imaging::rgbColour(100, 100, 100)));
    for (int i = 0; i < 3; ++i) session.leftClick(10, 10);
    session.selectOut();
    for (int i = 0; i < 3; ++i) session.leftClick(20, 20);  // same colour: never separated
    int beeps = 0, accepted = 0;
    session.calcAndDraw({[&](const AcceptedSet&) { ++accepted; }, [&] { ++beeps; }});
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(session.acceptedSetCount(), 0);
    EXPECT_EQ(session.pictures().minimumMargin.printedLines(), std::vector<std::string>{" 0 "});
    EXPECT_EQ(session.pictures().weightRed.printedLines(), std::vector<std::string>{" 0 "});
    EXPECT_EQ(session.chosenDiscriminant().squareWeightRed, 0.0f);
    EXPECT_EQ(session.state().greyMap(50, 50), 255.0f);  // zero weights: all white
}

TEST_F(Session, SearchReportsEachAcceptedSetAfterReprintingTheCounters) {
    session.pictures().photo.setPicture(imaging::Image(320, 240, imaging::rgbColour(100, 60, 40)));
    session.pictures().photo.psetAt(20, 20, imaging::rgbColour(230, 180, 160));
    session.leftClick(10, 10);
    session.selectOut();
    session.leftClick(20, 20);
    std::vector<std::string> shown;
    session.calcAndDraw({[&](const AcceptedSet& a) {
                             shown.push_back(session.pictures().acceptedCount.printedLines().at(0));
                             EXPECT_EQ(session.pictures().weightRed.printedLines().at(0), imaging::printForm(a.weightRed));
                         },
                         nullptr});
    EXPECT_EQ(shown, (std::vector<std::string>{" 1 ", " 2 ", " 3 ", " 4 ", " 5 ", " 6 ", " 7 "}));
    EXPECT_EQ(session.pictures().weightRed.printedLines().at(0), imaging::printForm(session.state().weightRed));
    EXPECT_EQ(session.chosenDiscriminant().weightRed, session.state().weightRed);
}

TEST_F(Session, VisibilityAndSave2Tables) {
    session.startUp(false);
    EXPECT_TRUE(session.lesionMapShown());
    EXPECT_FALSE(session.outlineShown());
    EXPECT_FALSE(session.axisViewShown());
    EXPECT_FALSE(session.save2Enabled());

    session.selectLine();
    EXPECT_FALSE(session.lesionMapShown());
    EXPECT_TRUE(session.outlineShown());
    EXPECT_TRUE(session.save2Enabled());

    session.pictures().outline.psetAt(50, 50, imaging::kBlack);
    session.measureAxis();
    EXPECT_FALSE(session.lesionMapShown());  // unchanged
    EXPECT_FALSE(session.outlineShown());
    EXPECT_TRUE(session.axisViewShown());
    EXPECT_TRUE(session.save2Enabled());  // unchanged

    session.pictures().photo.setPicture(imaging::Image(100, 100, imaging::kWhite));
    session.leftClick(1, 1);
    session.selectOut();
    session.leftClick(2, 2);
    session.calcAndDrawWithWeights(Discriminant{});
    EXPECT_TRUE(session.lesionMapShown());
    EXPECT_FALSE(session.outlineShown());  // unchanged
    EXPECT_FALSE(session.axisViewShown());
    EXPECT_FALSE(session.save2Enabled());

    session.selectBlackWhite();
    EXPECT_TRUE(session.lesionMapShown());
    EXPECT_FALSE(session.save2Enabled());
}

TEST_F(Session, PaintingCommandsCountAsChangesForTheWindow) {
    session.pictures().photo.setPicture(imaging::Image(100, 100, imaging::kWhite));
    session.leftClick(1, 1);
    session.selectOut();
    session.leftClick(2, 2);
    const auto before = session.pictures().lesionMap.revision();
    session.calcAndDrawWithWeights(Discriminant{});
    EXPECT_GT(session.pictures().lesionMap.revision(), before);
    session.selectLine();
    const auto afterLine = session.pictures().outline.revision();
    session.eraserMove(kLeftButton, 50, 50);
    EXPECT_GT(session.pictures().outline.revision(), afterLine);
}

TEST_F(Session, InformationPrintsAgainBelowAndAClickHidesIt) {
    session.showInformation();
    session.showInformation();
    EXPECT_TRUE(session.informationShown());
    EXPECT_EQ(session.pictures().information.printedLines(),
              (std::vector<std::string>{"Morphex 5 for Win2000, XP", "Morphex 5 for Win2000, XP"}));
    session.hideInformation();
    EXPECT_FALSE(session.informationShown());
}

TEST_F(Session, PointerOverTheLesionMapFollowsTheEraser) {
    session.selectEraser(EraserMode::Wide);
    session.pointerOverLesionMap(0);
    EXPECT_EQ(session.lesionMapPointer(), PointerShape::Move);
    session.selectEraser(EraserMode::Put);
    session.pointerOverLesionMap(kLeftButton);
    EXPECT_EQ(session.lesionMapPointer(), PointerShape::Move);
    session.selectEraser(EraserMode::Narrow);
    session.pointerOverLesionMap(kRightButton);
    EXPECT_EQ(session.lesionMapPointer(), PointerShape::Move);
    session.pointerOverLesionMap(kLeftButton);
    EXPECT_EQ(session.lesionMapPointer(), PointerShape::Arrow);
}

TEST_F(Session, StartUpFailsClearlyWhenTheRgbFileCannotBeOpened) {
    session.texts().rgbOutputName = (scratch.file("no-such-folder/RGBa.txt"));
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
