// A worker's reused grids and pictures: a sequence of runs on one workspace gives, run by run,
// exactly what each run gives on fresh grids and pictures, whatever the sides and corners before.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/run_driver.hpp"

namespace {

using namespace texturemeter;

const std::string kPhoto = morph::testdata::path("reference/skin_texture.jpg");

struct RunCase {
    Variant variant;
    int16_t x, y;
    int16_t side;
    double window;
};

// What a run leaves: its lines, the exact measurements, the table and the three pictures.
struct RunTrace {
    std::vector<std::string> lines;
    TextureMeasurements measurements;
    BoxSizes boxSizes{};
    imaging::Image monochromeImage, hessianImage, figure;
};

RunRequest requestFor(const RunCase& c) {
    RunRequest r;
    r.parameters.variant = c.variant;
    r.parameters.region = {c.x, c.y, c.side};
    r.parameters.tileSide = c.window;
    r.imageFileName = "P1.jpg";
    return r;
}

RunTrace traceOf(const CollectedLines& lines, const RunOutcome& o, RunSurfaces s) {
    return {lines.lines, o.measurements, o.boxSizes, s.monochromeImage.image(), s.hessianImage.image(), s.figure.image()};
}

RunTrace freshRun(const imaging::Image& photo, const RunCase& c, uint64_t seed) {
    PictureSurface p2, p3, p7, p8;
    CollectedLines lines;
    imaging::FastRandom random(seed);
    const RunOutcome o = runAnalysis(PhotoView(photo), requestFor(c), RunSurfaces{p2, p3, p7, p8}, lines, random);
    return traceOf(lines, o, RunSurfaces{p2, p3, p7, p8});
}

RunTrace reusedRun(const imaging::Image& photo, const RunCase& c, uint64_t seed, RunWorkspace& w) {
    CollectedLines lines;
    imaging::FastRandom random(seed);
    const RunOutcome o = runAnalysis(PhotoView(photo), requestFor(c), w, lines, random);
    return traceOf(lines, o, w.surfaces());
}

template <typename T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every number, bit for bit.
bool sameBits(const TextureMeasurements& a, const TextureMeasurements& b) {
    const TextureSampling &p = a.sampling, &q = b.sampling;
    return sameBits(a.monochrome.meanDimension, b.monochrome.meanDimension) &&
           sameBits(a.monochrome.dimensionSd, b.monochrome.dimensionSd) &&
           sameBits(a.monochrome.sdToMean, b.monochrome.sdToMean) &&
           sameBits(a.hessian.meanDimension, b.hessian.meanDimension) &&
           sameBits(a.hessian.dimensionSd, b.hessian.dimensionSd) && sameBits(a.hessian.sdToMean, b.hessian.sdToMean) &&
           sameBits(a.totalDimension, b.totalDimension) && sameBits(a.lineShare, b.lineShare) &&
           sameBits(a.dotShare, b.dotShare) && sameBits(a.outlineDimension, b.outlineDimension) &&
           sameBits(a.tone.deviation, b.tone.deviation) && sameBits(a.tone.histogramSpread, b.tone.histogramSpread) &&
           sameBits(p.meanBrightness, q.meanBrightness) && sameBits(p.darkFrameShareR2, q.darkFrameShareR2) &&
           sameBits(p.darkFrameShareR4, q.darkFrameShareR4) && sameBits(p.darkFrameShareR6, q.darkFrameShareR6) &&
           sameBits(p.darkFrameShareR8, q.darkFrameShareR8) && sameBits(p.darkFrameShareR10, q.darkFrameShareR10) &&
           sameBits(p.darkLineShare, q.darkLineShare) && sameBits(p.boxDarknessMean, q.boxDarknessMean) &&
           sameBits(p.boxDarknessSd, q.boxDarknessSd) && sameBits(p.ringBrightnessR5to11, q.ringBrightnessR5to11) &&
           sameBits(p.ringBrightnessR23to29, q.ringBrightnessR23to29) &&
           sameBits(p.ringBrightnessR41to47, q.ringBrightnessR41to47);
}

void expectSame(const RunTrace& fresh, const RunTrace& reused, std::size_t step) {
    EXPECT_EQ(fresh.lines, reused.lines) << "run " << step;
    EXPECT_TRUE(sameBits(fresh.measurements, reused.measurements)) << "run " << step;
    EXPECT_EQ(fresh.boxSizes, reused.boxSizes) << "run " << step;
    for (const auto& [a, b] : {std::pair{&fresh.monochromeImage, &reused.monochromeImage},
                               std::pair{&fresh.hessianImage, &reused.hessianImage},
                               std::pair{&fresh.figure, &reused.figure}}) {
        EXPECT_EQ(a->width, b->width) << "run " << step;
        EXPECT_TRUE(a->pixels == b->pixels) << "run " << step;
    }
}

// Large squares first leave written cells far out; the smaller squares after them read beyond
// their own side (tiles of side 40 over a side of 210 reach cell 240, rings reach past the
// square), where a fresh grid holds zeros. Squares past the photo's edge read white.
const RunCase kSequence[] = {
    {Variant::A, 0, 0, 460, 40},   {Variant::A, 20, 30, 210, 40}, {Variant::C, 50, 10, 300, 25},
    {Variant::B, 5, 5, 121, 40},   {Variant::C, 250, 150, 210, 40}, {Variant::A, 390, 290, 200, 40},
    {Variant::B, 100, 60, 250, 33}, {Variant::A, 20, 30, 210, 40},
};

TEST(WorkspaceReuse, EveryRunOfASequenceEqualsTheSameRunOnFreshGridsAndPictures) {
    const imaging::Image photo = imaging::loadImageFile(kPhoto);
    RunWorkspace workspace;
    uint64_t seed = 11;
    for (std::size_t i = 0; i < std::size(kSequence); ++i, ++seed) {
        const RunTrace reused = reusedRun(photo, kSequence[i], seed, workspace);
        expectSame(freshRun(photo, kSequence[i], seed), reused, i);
    }
}

TEST(WorkspaceReuse, ARunThatFailsHalfwayLeavesNothingForTheNextRun) {
    const imaging::Image photo = imaging::loadImageFile(kPhoto);
    RunWorkspace workspace;
    // A large square first, then a side below 121: every stage runs and writes the grids, and the
    // run fails only at the sampling line, whose rings leave the square.
    const RunCase large{Variant::A, 0, 0, 460, 40};
    reusedRun(photo, large, 3, workspace);
    const RunCase failing{Variant::A, 10, 10, 80, 20};
    CollectedLines lines;
    imaging::FastRandom random(1);
    EXPECT_THROW(runAnalysis(PhotoView(photo), requestFor(failing), workspace, lines, random), imaging::RunError);
    EXPECT_EQ(lines.lines.size(), 2u);  // header and result row: it failed after the whole image
    const RunCase next{Variant::A, 20, 30, 210, 40};
    expectSame(freshRun(photo, next, 5), reusedRun(photo, next, 5, workspace), 1);
}

TEST(WorkspaceReuse, AnalyseSquareOnAWorkspaceEqualsAFreshOne) {
    const imaging::Image photo = imaging::loadImageFile(kPhoto);
    RunWorkspace workspace;
    for (const Variant v : {Variant::C, Variant::A, Variant::B}) {
        TextureParameters p;
        p.variant = v;
        p.region = {40, 20, v == Variant::C ? int16_t(260) : int16_t(200)};
        imaging::FastRandom r1(9), r2(9);
        TextureFits freshFits, reusedFits;
        const TextureMeasurements fresh = analyseSquare(PhotoView(photo), p, r1, &freshFits);
        const TextureMeasurements reused = analyseSquare(PhotoView(photo), p, r2, workspace, &reusedFits);
        EXPECT_EQ(resultRowText("x", fresh), resultRowText("x", reused));
        EXPECT_TRUE(sameBits(fresh, reused));
        EXPECT_EQ(freshFits.outline.logMeasure, reusedFits.outline.logMeasure);
        EXPECT_EQ(freshFits.outline.slope, reusedFits.outline.slope);
    }
}

}  // namespace
