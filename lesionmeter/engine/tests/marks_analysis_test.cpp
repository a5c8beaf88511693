// A whole analysis from marks: from a photograph file, and from its pixels decoded elsewhere.

#include <gtest/gtest.h>

#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/marks.hpp"
#include "lesionmeter/marks_analysis.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

Marks referenceMarks(uint64_t seed) {
    const morph::testdata::LesionReference& script = morph::testdata::lesionReference();
    Marks marks;
    marks.photo = "lesion.jpg";
    for (const auto& c : script.in) marks.in.push_back({float(c.x), float(c.y)});
    for (const auto& c : script.out) marks.out.push_back({float(c.x), float(c.y)});
    marks.centre = MarkPosition{float(script.centre.x), float(script.centre.y)};
    marks.seed = seed;
    return marks;
}

struct Analysed {
    std::string axisError;
    LesionMeasurements measurements;
    std::string imagePath, outlineFileName;
    std::optional<uint64_t> seed;
};

template <typename Photo>
Analysed analyse(Photo&& photo, const Marks& marks, bool fit = false) {
    imaging::FastRandom random{5};
    LesionAnalysis analysis(random);
    analysis.setSeed(marks.seed);
    Analysed a;
    a.axisError = analyseWithMarks(analysis, std::forward<Photo>(photo), marks, fit);
    a.measurements = analysis.measurements();
    a.imagePath = analysis.photographPath();
    a.outlineFileName = derivedFileNames(analysis.photographName()).outline;
    a.seed = analysis.lastRunSeed();
    return a;
}

void expectSameMeasurements(const LesionMeasurements& a, const LesionMeasurements& b) {
    ASSERT_TRUE(a.weights && b.weights && a.means && b.means && a.fractal && b.fractal);
    EXPECT_EQ(a.weights->weightRed, b.weights->weightRed);
    EXPECT_EQ(a.weights->squareWeightBlue, b.weights->squareWeightBlue);
    EXPECT_EQ(a.means->inRed, b.means->inRed);
    EXPECT_EQ(a.means->outBlue, b.means->outBlue);
    EXPECT_EQ(a.fractal->outlineDimension, b.fractal->outlineDimension);
    EXPECT_EQ(a.fractal->profiles.rightColumn, b.fractal->profiles.rightColumn);
    EXPECT_EQ(a.fractal->profileDimension, b.fractal->profileDimension);
    ASSERT_EQ(a.axis.has_value(), b.axis.has_value());
    if (!a.axis) return;
    EXPECT_EQ(a.axis->centroidX, b.axis->centroidX);
    EXPECT_EQ(a.axis->centroidY, b.axis->centroidY);
    EXPECT_EQ(a.axis->farthestX, b.axis->farthestX);
    EXPECT_EQ(a.axis->nearestY, b.axis->nearestY);
}

TEST(MarksAnalysis, NamedMarksOfAnotherPhotographAreRefusedOnceThePhotographIsLoaded) {
    const std::string file = morph::testdata::path("reference/lesion.jpg");
    Marks other = referenceMarks(3);
    other.photo = "other.jpg";
    imaging::FastRandom random{5};
    auto messageOf = [&](const std::string& photo, const Marks& marks, const MarksName& name) -> std::string {
        LesionAnalysis analysis(random);
        try {
            analyseWithMarks(analysis, photo, marks, false, name);
        } catch (const imaging::RunError& e) {
            EXPECT_EQ(analysis.state().inCount, 0) << "refused after a click";
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(messageOf(file, other, {"m.json", "--marks "}),
              "--marks m.json holds the marks of other.jpg, not of lesion.jpg");
    // A photograph that cannot be loaded is said first.
    const std::string missing = morph::testdata::path("reference/missing.jpg");
    EXPECT_EQ(messageOf(missing, other, {"m.json", "--marks "}), "File not found: " + missing);
    // Unnamed marks are made from positions given for this photograph and not compared.
    EXPECT_EQ(messageOf(file, other, {}), "");
    EXPECT_EQ(messageOf(file, referenceMarks(3), {"m.json", ""}), "");
}

TEST(MarksAnalysis, PixelsDecodedElsewhereMeasureAsTheFile) {
    const std::string file = morph::testdata::path("reference/lesion.jpg");
    const Marks marks = referenceMarks(17);
    const Analysed fromFile = analyse(file, marks);
    const Analysed fromPixels = analyse(imaging::loadImageFile(file), marks);
    EXPECT_EQ(fromFile.axisError, "");
    EXPECT_EQ(fromPixels.axisError, "");
    EXPECT_TRUE(fromPixels.measurements.axis.has_value());
    EXPECT_EQ(fromPixels.seed, std::optional<uint64_t>(17));
    expectSameMeasurements(fromPixels.measurements, fromFile.measurements);
    // The pixels are shown under the marks' photo name, which names the derived files.
    EXPECT_EQ(fromPixels.imagePath, "lesion.jpg");
    EXPECT_EQ(fromPixels.outlineFileName, "c:\\lesionU.bmp");
    EXPECT_EQ(fromFile.outlineFileName, "c:\\lesionU.bmp");
    // Another seed is another search: the comparison above can tell runs apart.
    const Analysed other = analyse(imaging::loadImageFile(file), referenceMarks(18));
    EXPECT_NE(other.measurements.weights->weightRed, fromFile.measurements.weights->weightRed);
}

TEST(MarksAnalysis, LargePixelsAreReducedToFitOnlyWhenAsked) {
    // The reference photograph doubled in both directions: 640 x 480, too large for the map.
    const imaging::Image small = imaging::loadImageFile(morph::testdata::path("reference/lesion.jpg"));
    imaging::Image large(small.width * 2, small.height * 2);
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x)
            large.pixels[std::size_t(y) * std::size_t(large.width) + std::size_t(x)] =
                small.pixels[std::size_t(y / 2) * std::size_t(small.width) + std::size_t(x / 2)];
    Marks marks = referenceMarks(3);
    EXPECT_THROW(analyse(large, marks), imaging::RunError);
    marks.scale = 500.0 / 640.0;
    for (MarkPosition& p : marks.in) p = {p.x * 0.78125f, p.y * 0.78125f};
    for (MarkPosition& p : marks.out) p = {p.x * 0.78125f, p.y * 0.78125f};
    marks.centre = MarkPosition{marks.centre->x * 0.78125f, marks.centre->y * 0.78125f};
    // From pixels as from the same pixels in a file.
    testing::ScratchFolder scratch;
    const std::string file = scratch.file("large.bmp");
    imaging::savePicture(large, file);
    const Analysed fromPixels = analyse(large, marks, true);
    const Analysed fromFile = analyse(file, marks, true);
    EXPECT_EQ(fromPixels.axisError, fromFile.axisError);
    expectSameMeasurements(fromPixels.measurements, fromFile.measurements);
}

TEST(MarksAnalysis, AnAxisWithoutLesionIsExplainedInTheToolsTerms) {
    // One grey: the discriminant classifies no pixel as lesion, the outline is empty.
    Marks marks;
    marks.photo = "grey.bmp";
    marks.in = {{10, 10}};
    marks.out = {{20, 20}};
    marks.seed = 1;
    const Analysed grey = analyse(imaging::Image(320, 240, imaging::rgbColour(128, 128, 128)), marks);
    EXPECT_EQ(grey.axisError, kNoLesionPixelMessage);
    // The other results stand; the centroid is not measured.
    EXPECT_TRUE(grey.measurements.weights.has_value());
    EXPECT_TRUE(grey.measurements.fractal.has_value());
    EXPECT_FALSE(grey.measurements.axis.has_value());
}

}  // namespace
}  // namespace lesionmeter
