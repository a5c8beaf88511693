// The analysis steps called directly (as the command-line tool, marks analysis and Python call
// them) give exactly what the gestures of the interaction model give: the same samples, profiles,
// lesion map, outline, dimensions and axis, bit for bit; and the model shows what the analysis
// reports in the described order.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/marks_analysis.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

const morph::testdata::LesionReference& reference() { return morph::testdata::lesionReference(); }

Marks referenceMarks() {
    Marks marks;
    marks.photo = std::filesystem::path(reference().image).filename().string();
    for (const auto& c : reference().in) marks.in.push_back({float(c.x), float(c.y)});
    for (const auto& c : reference().out) marks.out.push_back({float(c.x), float(c.y)});
    marks.centre = MarkPosition{float(reference().centre.x), float(reference().centre.y)};
    return marks;
}

void expectSamePictures(const AnalysisPictures& a, const AnalysisPictures& b) {
    for (auto view : {&AnalysisPictures::photo, &AnalysisPictures::lesionMap, &AnalysisPictures::outline,
                      &AnalysisPictures::axisView, &AnalysisPictures::upperRowProfile,
                      &AnalysisPictures::lowerRowProfile, &AnalysisPictures::leftColumnProfile,
                      &AnalysisPictures::rightColumnProfile})
        EXPECT_EQ((a.*view).image().pixels, (b.*view).image().pixels);
}

TEST(StepsAndGestures, AWholeAnalysisIsTheSameBitForBit) {
    constexpr uint64_t kSeed = 77;
    imaging::FastRandom randomA(1), randomB(2);
    LesionSession session(randomA);
    session.setSeed(kSeed);
    session.startUp(false);
    testing::loadAndSample(session, reference());
    session.calcAndDraw();
    session.selectLine();
    session.measureFractalDimensions();
    session.measureAxis();

    LesionAnalysis analysis(randomB);
    analysis.setSeed(kSeed);
    EXPECT_EQ(analyseWithMarks(analysis, reference().image, referenceMarks(), false), "");

    EXPECT_EQ(analysis.lastRunSeed(), session.lastRunSeed());
    EXPECT_EQ(analysis.state().inX, session.state().inX);
    EXPECT_EQ(analysis.state().outBlue, session.state().outBlue);
    int differing = 0;
    for (int y = 0; y <= session.state().greyMap.maxY(); ++y)
        for (int x = 0; x <= session.state().greyMap.maxX(); ++x)
            differing += analysis.state().greyMap(x, y) != session.state().greyMap(x, y);
    EXPECT_EQ(differing, 0);
    const LesionMeasurements a = analysis.measurements(), s = session.measurements();
    ASSERT_TRUE(a.weights && s.weights && a.fractal && s.fractal && a.axis && s.axis);
    EXPECT_EQ(a.weights->weightRed, s.weights->weightRed);
    EXPECT_EQ(a.weights->squareWeightBlue, s.weights->squareWeightBlue);
    EXPECT_EQ(a.means->outGreen, s.means->outGreen);
    EXPECT_EQ(a.fractal->outlineDimension, s.fractal->outlineDimension);
    EXPECT_EQ(a.fractal->profiles.upperRow, s.fractal->profiles.upperRow);
    EXPECT_EQ(a.fractal->profileDimension, s.fractal->profileDimension);
    EXPECT_EQ(a.axis->centroidX, s.axis->centroidX);
    EXPECT_EQ(a.axis->farthestY, s.axis->farthestY);
    EXPECT_EQ(a.axis->nearestX, s.axis->nearestX);
    expectSamePictures(analysis.pictures(), session.pictures());
    EXPECT_EQ(marksOf(analysis).in, marksOf(session).in);
}

// The centre set before "Calc + Draw" draws its click profiles, which "Calc + Draw" replaces with
// the fixed rows and columns; set after it, they stay and are what "Fractal calc" measures.
TEST(StepsAndGestures, ACentreSetAfterCalcAndDrawIsMeasuredInBothRoutes) {
    imaging::FastRandom randomA(1), randomB(1);
    LesionSession session(randomA);
    session.setSeed(5);
    testing::loadAndSample(session, reference());
    session.calcAndDraw();
    session.rightClick(100, 90);
    session.measureFractalDimensions();

    LesionAnalysis analysis(randomB);
    analysis.setSeed(5);
    analysis.clearMaps();
    const auto [path, fileName] = choosePhotograph(reference().image);
    analysis.loadPhotographFile(path, fileName);
    placeMarks(analysis, referenceMarks());
    analysis.calcAndDraw();
    analysis.setCentre(100, 90);
    analysis.measureFractalDimensions();
    EXPECT_EQ(analysis.fractalResults().profiles.leftColumn, session.fractalResults().profiles.leftColumn);
    EXPECT_EQ(analysis.fractalResults().profileDimension, session.fractalResults().profileDimension);
    EXPECT_EQ(analysis.pictures().rightColumnProfile.image().pixels,
              session.pictures().rightColumnProfile.image().pixels);
    EXPECT_TRUE(analysis.samplesChangedSinceCalc());
}

// What a window is told while "Calc + Draw" runs, in order.
struct Recorder : AnalysisObserver {
    std::vector<std::string> events;
    void calcStarted() override { events.push_back("started"); }
    void sampleMeansReady(int pairs) override { events.push_back("means " + std::to_string(pairs)); }
    void weightSetAccepted(const AcceptedSet& set) override {
        events.push_back("accepted " + std::to_string(set.accepted));
    }
    void searchFinished(float) override { events.push_back("finished"); }
    void weightsChosen(const Discriminant&) override { events.push_back("chosen"); }
    void beep() override { events.push_back("beep"); }
};

TEST(StepsAndGestures, TheObserverHearsCalcAndDrawInTheDescribedOrder) {
    imaging::FastRandom random(1);
    LesionAnalysis analysis(random);
    analysis.setSeed(3);
    analysis.clearMaps();
    const auto [path, fileName] = choosePhotograph(reference().image);
    analysis.loadPhotographFile(path, fileName);
    Recorder refused;
    EXPECT_THROW(analysis.calcAndDraw(refused), imaging::RunError);
    EXPECT_TRUE(refused.events.empty());  // a refusal tells nothing
    placeMarks(analysis, referenceMarks());
    Recorder heard;
    analysis.calcAndDraw(heard);
    ASSERT_GE(heard.events.size(), 6u);
    EXPECT_EQ(heard.events[0], "started");
    EXPECT_EQ(heard.events[1], "means 6");
    const std::size_t n = heard.events.size();
    EXPECT_EQ(std::vector<std::string>(heard.events.end() - 4, heard.events.end()),
              (std::vector<std::string>{"finished", "chosen", "beep", "beep"}));
    for (std::size_t i = 2; i + 4 < n; ++i) EXPECT_EQ(heard.events[i], "accepted " + std::to_string(i - 1));
    EXPECT_EQ(analysis.acceptedSetCount(), int(n) - 6);

    Recorder given;
    analysis.calcAndDrawWithWeights(testing::referenceWeights(reference()), given);
    EXPECT_EQ(given.events, (std::vector<std::string>{"started", "means 6", "chosen", "beep", "beep"}));
}

TEST(StepsAndGestures, OutlineFileErrorsSayWhatFailedAndName) {
    testing::ScratchFolder scratch;
    imaging::FastRandom random(1);
    LesionAnalysis analysis(random);
    auto problemOf = [](const std::function<void()>& step) {
        try {
            step();
        } catch (const OutlineFileError& e) {
            return std::make_pair(e.problem(), std::string(e.what()));
        }
        ADD_FAILURE() << "no OutlineFileError";
        return std::make_pair(OutlineFileProblem::NoName, std::string());
    };
    auto [noName, noNameText] = problemOf([&] { analysis.saveOutline(""); });
    EXPECT_EQ(noName, OutlineFileProblem::NoName);
    EXPECT_EQ(noNameText, "the outline file has no name (load a photograph first)");
    const std::string other = scratch.file("notes.bmp");
    std::ofstream(other) << "notes";
    auto [replaces, replacesText] = problemOf([&] { analysis.saveOutline(other); });
    EXPECT_EQ(replaces, OutlineFileProblem::ReplacesAnotherFile);
    EXPECT_EQ(replacesText, "the outline file " + other +
                                " already exists and was not written by this analysis; it is not replaced");
    imaging::saveBmp(imaging::Image(4, 4, imaging::kWhite), scratch.file("picture.bmp"));
    auto [guarded, guardedText] = problemOf([&] { analysis.saveOutline(scratch.file("picture.bmp"), true); });
    EXPECT_EQ(guarded, OutlineFileProblem::RefusedByGuard);
    EXPECT_EQ(guardedText.rfind("the outline file " + scratch.file("picture.bmp"), 0), 0u) << guardedText;
    const std::string missing = scratch.file("missingU.bmp");
    auto [notFound, notFoundText] = problemOf([&] { analysis.reloadOutline(missing); });
    EXPECT_EQ(notFound, OutlineFileProblem::NotFound);
    EXPECT_EQ(notFoundText, "the outline file " + missing +
                                " was not found (saving the outline writes it, reloading it consumes it)");
}

TEST(StepsAndGestures, DerivedFileNamesFollowThePhotographsName) {
    const DerivedFileNames names = derivedFileNames("oval02a.jpg");
    EXPECT_EQ(names.map, "c:\\oval02a.bmp");
    EXPECT_EQ(names.profile, "c:\\oval02aP.bmp");
    EXPECT_EQ(names.outline, "c:\\oval02aU.bmp");
    EXPECT_EQ(derivedFileNames("a.b.jpg").outline, "c:\\aU.bmp");
    EXPECT_EQ(derivedFileNames("plain").map, "c:\\plain.bmp");
    EXPECT_EQ(chosenFilePath("/", "x.jpg"), "/x.jpg");
    EXPECT_EQ(chosenFilePath("dir", "x.jpg"), "dir/x.jpg");
    EXPECT_EQ(choosePhotograph("x.jpg"), (std::pair<std::string, std::string>{"./x.jpg", "x.jpg"}));
}

}  // namespace
}  // namespace lesionmeter
