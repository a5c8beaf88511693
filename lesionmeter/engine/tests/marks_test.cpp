// Marks files: their exact text, reading them back, refusals, and replaying them into a session
// exactly as clicks by hand; seeds that make a whole analysis repeatable.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/stages.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

std::string referenceFolder() {
    return std::filesystem::path(morph::testdata::lesionReference().image).parent_path().string();
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The error message of `action`, or "" when it succeeds.
template <typename F>
std::string messageOf(F action) {
    try {
        action();
    } catch (const imaging::RunError& e) {
        return e.what();
    }
    return "";
}

Marks sampleMarks() {
    Marks m;
    m.photo = "lesion.jpg";
    m.in = {{160, 120}, {140.5f, 105}};
    m.out = {{245, 120}};
    m.centre = MarkPosition{160, 120};
    m.seed = 42;
    m.scale = 1.0;
    return m;
}

TEST(MarksFile, ExactText) {
    EXPECT_EQ(marksText(sampleMarks()),
              "{\n"
              "  \"format\": \"lesionmeter-marks\",\n"
              "  \"version\": 1,\n"
              "  \"photo\": \"lesion.jpg\",\n"
              "  \"in\": [\n    [\n      160,\n      120\n    ],\n    [\n      140.5,\n      105\n    ]\n  ],\n"
              "  \"out\": [\n    [\n      245,\n      120\n    ]\n  ],\n"
              "  \"centre\": [\n    160,\n    120\n  ],\n"
              "  \"seed\": 42,\n"
              "  \"scale\": 1.0\n"
              "}\n");
    Marks none;
    none.photo = "a.bmp";
    const std::string text = marksText(none);
    EXPECT_NE(text.find("\"in\": [],"), std::string::npos) << text;
    EXPECT_NE(text.find("\"centre\": null,"), std::string::npos) << text;
    EXPECT_NE(text.find("\"seed\": null,"), std::string::npos) << text;
}

TEST(MarksFile, ReadsBackExactlyIncludingFractionsLargeSeedsAndScale) {
    Marks m = sampleMarks();
    m.in.push_back({0.1f, 337.33334f});
    m.out.push_back({1e-3f, 499.99f});
    m.seed = (uint64_t(1) << 53) - 1;
    m.scale = 0.78125;
    m.photo = "Läsion, \"eins\".jpg";
    EXPECT_EQ(parseMarks(marksText(m), "x"), m);
    m.centre.reset();
    m.seed.reset();
    EXPECT_EQ(parseMarks(marksText(m), "x"), m);
    // Written by another program: fields in another order, integers as floats, no scale.
    const Marks other = parseMarks(R"({"seed": 7, "photo": "p.jpg", "out": [[1.0, 2]], "in": [],
        "centre": null, "version": 1, "format": "lesionmeter-marks"})",
                                   "other.json");
    EXPECT_EQ(other.photo, "p.jpg");
    EXPECT_EQ(other.out, (std::vector<MarkPosition>{{1, 2}}));
    EXPECT_EQ(other.seed, uint64_t(7));
    EXPECT_EQ(other.scale, 1.0);
}

TEST(MarksFile, RefusesWhatIsNotAMarksDocumentNamingTheFile) {
    const std::string good = marksText(sampleMarks());
    auto refusal = [](const std::string& text) { return messageOf([&] { parseMarks(text, "m.json"); }); };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    for (const std::string& bad :
         {std::string("not json"), std::string("[1, 2]"), replaced("lesionmeter-marks", "texturemeter"),
          replaced("\"version\": 1", "\"version\": 2"), replaced("\"version\": 1", "\"version\": \"1\""),
          replaced("\"seed\": 42", "\"seed\": -1"), replaced("\"seed\": 42", "\"seed\": 1.5"),
          replaced("\"scale\": 1.0", "\"scale\": 0"), replaced("\"scale\": 1.0", "\"scale\": 1.5"),
          replaced("\"photo\": \"lesion.jpg\"", "\"photo\": 3"), replaced("[\n      245,\n      120\n    ]", "[245]"),
          replaced("[\n      245,\n      120\n    ]", "[\"a\", 1]"), replaced("\"centre\": [\n    160,\n    120\n  ]", "\"centre\": 5")}) {
        const std::string message = refusal(bad);
        EXPECT_NE(message.find("m.json"), std::string::npos) << bad << "\n-> " << message;
    }
    EXPECT_NE(refusal(replaced("\"version\": 1", "\"version\": 2")).find("version 2 is not supported"),
              std::string::npos);
    // At most 50 samples of a class.
    Marks many = sampleMarks();
    many.in.assign(51, MarkPosition{1, 1});
    EXPECT_NE(refusal(marksText(many)).find("at most 50"), std::string::npos);
    many.in.assign(50, MarkPosition{1, 1});
    EXPECT_EQ(parseMarks(marksText(many), "m.json").in.size(), 50u);
}

TEST(MarksFile, WriteAndReadFilesWithTheirErrors) {
    testing::ScratchFolder scratch;
    const std::string name = scratch.file("a.marks.json");
    writeMarks(name, sampleMarks());
    EXPECT_EQ(readAll(name), marksText(sampleMarks()));
    EXPECT_EQ(readMarks(name), sampleMarks());
    // Replaced as a whole; nothing left beside it.
    Marks changed = sampleMarks();
    changed.in.clear();
    writeMarks(name, changed);
    EXPECT_EQ(readMarks(name), changed);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);

    EXPECT_EQ(messageOf([&] { readMarks(scratch.file("none.json")); }), "File not found: " + scratch.file("none.json"));
    const std::string missingFolder = scratch.file("no/such/folder/m.json");
    EXPECT_NE(messageOf([&] { writeMarks(missingFolder, sampleMarks()); }).find(missingFolder), std::string::npos);
    EXPECT_NE(messageOf([&] { readMarks(scratch.path().string()); }).find("is a directory"), std::string::npos);
}

TEST(MarksFile, BelongsToThePhotographByItsName) {
    EXPECT_EQ(marksFileFor("/data/study/p01.jpg"), "/data/study/p01.marks.json");
    EXPECT_EQ(marksFileFor("p01.bmp"), "p01.marks.json");
    EXPECT_EQ(marksFileFor("dir/a.b.jpg"), "dir/a.b.marks.json");
}

TEST(MarksFile, MarksOfAnotherPhotographAreRefusedNamingBoth) {
    Marks m;
    m.photo = "p01.jpg";
    EXPECT_EQ(messageOf([&] { checkMarksPhoto(m, "p01.marks.json", "p01.jpg"); }), "");
    EXPECT_EQ(messageOf([&] { checkMarksPhoto(m, "p02.marks.json", "p02.jpg"); }),
              "p02.marks.json holds the marks of p01.jpg, not of p02.jpg");
    EXPECT_EQ(messageOf([&] { checkMarksPhoto(m, "/x/m.json", "P01.jpg", "Load marks: "); }),
              "Load marks: /x/m.json holds the marks of p01.jpg, not of P01.jpg");
    try {
        checkMarksPhoto(m, "m.json", "p01.bmp", "--marks ");
        ADD_FAILURE() << "marks of p01.jpg accepted for p01.bmp";
    } catch (const imaging::RunError& e) {
        EXPECT_EQ(e.kind(), imaging::ErrorKind::Refused);
        EXPECT_STREQ(e.what(), "--marks m.json holds the marks of p01.jpg, not of p01.bmp");
    }
    // Marks without a photo name fit any photograph, and a photograph without a name any marks.
    EXPECT_EQ(messageOf([&] { checkMarksPhoto(m, "m.json", ""); }), "");
    m.photo.clear();
    EXPECT_EQ(messageOf([&] { checkMarksPhoto(m, "m.json", "p02.jpg"); }), "");
}

// ---- Replay ---------------------------------------------------------------------------------

struct Replay : ::testing::Test {
    testing::ScratchFolder scratch;
    imaging::FastRandom randomA{1}, randomB{99};
    LesionSession byHand{randomA}, replayed{randomB};

    void start(LesionSession& s, const std::string& rgbName) {
        s.texts().rgbOutputName = (scratch.file(rgbName));
        s.startUp();
        s.setRgbOutputTicked(true);
        s.openChooser();
        s.loadImage(referenceFolder(), "lesion.jpg");
    }
};

TEST_F(Replay, GivesTheCountsReadoutsRgbLinesAndProfilesOfTheClicks) {
    start(byHand, "a.txt");
    start(replayed, "b.txt");
    const morph::testdata::LesionReference& script = morph::testdata::lesionReference();
    byHand.selectIn();
    for (auto [x, y] : script.in) {
        byHand.pointerMove(float(x), float(y));
        byHand.leftClick(float(x), float(y));
    }
    byHand.selectOut();
    for (auto [x, y] : script.out) {
        byHand.pointerMove(float(x), float(y));
        byHand.leftClick(float(x), float(y));
    }
    byHand.pointerMove(150.5f, 110);
    byHand.rightClick(150.5f, 110);

    const Marks marks = marksOf(byHand);
    EXPECT_EQ(marks.photo, "lesion.jpg");
    ASSERT_EQ(marks.in.size(), script.in.size());
    EXPECT_EQ(marks.in[2], (MarkPosition{180, 130}));
    ASSERT_EQ(marks.out.size(), script.out.size());
    EXPECT_EQ(marks.out.back(), (MarkPosition{220, 60}));
    EXPECT_EQ(marks.centre, (MarkPosition{150.5f, 110}));
    EXPECT_FALSE(marks.seed.has_value());
    EXPECT_EQ(marks.scale, 1.0);

    replayMarks(replayed, parseMarks(marksText(marks), "m"));
    byHand.end();
    replayed.end();
    EXPECT_EQ(replayed.state().inCount, 6);
    EXPECT_EQ(replayed.state().outCount, 8);
    EXPECT_EQ(replayed.sampleClass(), SampleClass::Out);
    for (auto text : {&LesionTexts::pixelBlue, &LesionTexts::pixelGreen, &LesionTexts::pixelRed,
                      &LesionTexts::greenPlusRed, &LesionTexts::luminance})
        EXPECT_EQ(replayed.texts().*text, byHand.texts().*text);
    EXPECT_EQ(replayed.state().inRed, byHand.state().inRed);
    EXPECT_EQ(replayed.state().outBlue, byHand.state().outBlue);
    EXPECT_EQ(replayed.state().outX, byHand.state().outX);
    EXPECT_EQ(replayed.state().centreX, 150.5f);
    const std::string lines = readAll(scratch.file("a.txt"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 14);
    EXPECT_EQ(readAll(scratch.file("b.txt")), lines);
    using View = imaging::PictureSurface LesionPictures::*;
    for (View view : std::initializer_list<View>{&LesionPictures::sampleCount, &LesionPictures::leftColumnProfile,
                                                 &LesionPictures::upperRowProfile, &LesionPictures::lowerRowProfile,
                                                 &LesionPictures::rightColumnProfile}) {
        EXPECT_EQ((replayed.pictures().*view).image().pixels, (byHand.pictures().*view).image().pixels);
        EXPECT_EQ((replayed.pictures().*view).printedLines(), (byHand.pictures().*view).printedLines());
    }
}

TEST_F(Replay, AWholeAnalysisRepeatsFromTheMarksAndTheirSeed) {
    start(byHand, "a.txt");
    start(replayed, "b.txt");
    testing::loadAndSample(byHand, morph::testdata::lesionReference());
    auto analyse = [](LesionSession& s) {
        s.calcAndDraw();
        s.selectLine();
        s.measureFractalDimensions();
        s.measureAxis();
    };
    analyse(byHand);
    ASSERT_TRUE(byHand.lastRunSeed().has_value());
    const Marks marks = marksOf(byHand);
    EXPECT_EQ(marks.seed, byHand.lastRunSeed());

    const Marks loaded = parseMarks(marksText(marks), "m");
    replayMarks(replayed, loaded);
    replayed.setNextRunSeed(loaded.seed);
    analyse(replayed);
    EXPECT_EQ(replayed.lastRunSeed(), byHand.lastRunSeed());
    EXPECT_FALSE(replayed.nextRunSeed().has_value());  // used once
    for (auto text : {&LesionTexts::outlineDimension, &LesionTexts::inMeans, &LesionTexts::outMeans,
                      &LesionTexts::centroidX, &LesionTexts::centroidY, &LesionTexts::upperRowProfileDimension,
                      &LesionTexts::leftColumnProfileDimension, &LesionTexts::lowerRowProfileDimension,
                      &LesionTexts::rightColumnProfileDimension, &LesionTexts::profileDimension})
        EXPECT_EQ(replayed.texts().*text, byHand.texts().*text);
    const Discriminant& a = byHand.chosenDiscriminant();
    const Discriminant& b = replayed.chosenDiscriminant();
    EXPECT_EQ(a.weightRed, b.weightRed);
    EXPECT_EQ(a.squareWeightBlue, b.squareWeightBlue);
    EXPECT_EQ(replayed.pictures().lesionMap.image().pixels, byHand.pictures().lesionMap.image().pixels);
    EXPECT_EQ(replayed.pictures().axisView.image().pixels, byHand.pictures().axisView.image().pixels);
    for (auto view : {&LesionPictures::acceptedCount, &LesionPictures::weightRed, &LesionPictures::weightGreen,
                      &LesionPictures::weightBlue, &LesionPictures::minimumMargin})
        EXPECT_EQ((replayed.pictures().*view).printedLines(), (byHand.pictures().*view).printedLines());
}

TEST_F(Replay, IsRefusedBeforeAnyClickWhenItCannotBeTheSameClicks) {
    // No photograph yet.
    EXPECT_NE(messageOf([&] { replayMarks(replayed, sampleMarks()); }).find("load lesion.jpg first"),
              std::string::npos);
    start(replayed, "b.txt");
    // Outside the 320 x 240 photograph, where no click can land.
    Marks outside = sampleMarks();
    outside.out.push_back({319.4f, 239.4f});
    replayMarks(replayed, outside);
    EXPECT_EQ(replayed.state().outCount, 2);
    // 319.5 reads pixel 320 (half to even), one beyond the last column.
    Marks half = outside;
    half.out.back() = {319.5f, 10};
    EXPECT_EQ(messageOf([&] { replayMarks(replayed, half); }),
              "Marks: OUT sample 2 at (319.5, 10) lies outside the 320 x 240 photograph");
    outside.out.push_back({320, 10});
    replayed.selectIn();
    const std::string message = messageOf([&] { replayMarks(replayed, outside); });
    EXPECT_EQ(message, "Marks: OUT sample 3 at (320, 10) lies outside the 320 x 240 photograph");
    EXPECT_EQ(replayed.state().inCount, 0);
    // Made at another reduction.
    Marks reduced = sampleMarks();
    reduced.scale = 0.5;
    EXPECT_NE(messageOf([&] { replayMarks(replayed, reduced); }).find("reduced by 0.5"), std::string::npos);
}

// ---- Seeds ----------------------------------------------------------------------------------

TEST(RunSeeds, AGivenSeedDecidesTheRunWhateverTheSessionsGenerator) {
    imaging::FastRandom r1(1), r2(2);
    LesionSession a(r1), b(r2);
    testing::ScratchFolder scratch;
    for (LesionSession* s : {&a, &b}) {
        s->setSeed(12345);
        testing::loadAndSample(*s, morph::testdata::lesionReference());
        s->calcAndDraw();
        EXPECT_EQ(s->lastRunSeed(), uint64_t(12345));
    }
    EXPECT_EQ(a.texts().inMeans, b.texts().inMeans);
    EXPECT_EQ(a.chosenDiscriminant().weightGreen, b.chosenDiscriminant().weightGreen);
    EXPECT_EQ(a.pictures().lesionMap.image().pixels, b.pictures().lesionMap.image().pixels);
    // The same seed again gives the same run; the fixed seed beats a seed from marks.
    a.setNextRunSeed(7);
    a.calcAndDraw();
    EXPECT_EQ(a.lastRunSeed(), uint64_t(12345));
    EXPECT_EQ(a.pictures().lesionMap.image().pixels, b.pictures().lesionMap.image().pixels);
    // Without a seed every run draws a new one below 2^53, and loading forgets it.
    a.setSeed(std::nullopt);
    a.calcAndDraw();
    const auto first = a.lastRunSeed();
    a.calcAndDraw();
    ASSERT_TRUE(first && a.lastRunSeed());
    EXPECT_NE(*first, *a.lastRunSeed());
    EXPECT_LT(*a.lastRunSeed(), uint64_t(1) << 53);
    a.loadImage(referenceFolder(), "lesion.jpg");
    EXPECT_FALSE(a.lastRunSeed().has_value());
}

// ---- Photographs reduced to fit --------------------------------------------------------------

TEST(FitToMap, ALargePhotographIsReducedOnlyWhenAsked) {
    testing::ScratchFolder scratch;
    imaging::saveBmp(imaging::Image(640, 480, imaging::rgbColour(200, 150, 120)), scratch.file("big.bmp"));
    imaging::FastRandom random(3);
    LesionSession s(random);
    s.loadImage(scratch.path().string(), "big.bmp");
    EXPECT_TRUE(s.photographTooLarge());
    EXPECT_EQ(s.photographScale(), 1.0);
    s.leftClick(10, 10);
    s.selectOut();
    s.leftClick(20, 20);
    EXPECT_NE(messageOf([&] { s.calcAndDraw(); }).find("640 x 480"), std::string::npos);

    s.loadImage(scratch.path().string(), "big.bmp", true);
    EXPECT_FALSE(s.photographTooLarge());
    EXPECT_EQ(s.photographScale(), 0.78125);
    EXPECT_EQ(s.pictures().photo.width(), 500);
    EXPECT_EQ(s.pictures().photo.height(), 375);
    EXPECT_EQ(s.pictures().photo.point(499, 374), imaging::rgbColour(200, 150, 120));
    EXPECT_EQ(marksOf(s).scale, 0.78125);
    s.leftClick(10, 10);
    s.selectOut();
    s.leftClick(20, 20);
    s.calcAndDraw();
    EXPECT_EQ(s.state().scanWidth, 500.0f);
    // A photograph that fits is never changed, asked or not.
    s.loadImage(referenceFolder(), "lesion.jpg", true);
    EXPECT_EQ(s.photographScale(), 1.0);
    EXPECT_EQ(s.pictures().photo.width(), 320);
}

}  // namespace
}  // namespace lesionmeter
