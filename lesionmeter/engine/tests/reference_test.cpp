// End-to-end check of the whole analysis of lesion.jpg against independently computed results
// (tests/data/lesion.jpg, with the samples, centre and discriminant weights of that computation).

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

using testing::ReferenceScript;
using testing::ScratchFolder;

struct ReferenceRun {
    ScratchFolder scratch;
    imaging::FastRandom random{7};
    LesionSession session{random};

    explicit ReferenceRun(uint64_t seed) : random(seed) {
        session.setTemporaryFolder(scratch.path().string());
        ReferenceScript script;
        testing::loadAndSample(session, testing::testDataDir(), "lesion.jpg", script);
        session.calcAndDrawWithWeights(script.weights);
        session.selectLine();
        session.fractalCalc();
        session.axis();
    }
};

TEST(ReferenceAnalysis, SampleMeansAreTheExactTexts) {
    ReferenceRun run(1);
    EXPECT_EQ(run.session.text(10), "皮疹内-- R: 122.8333  G: 72.83334  B: 52.83333");
    EXPECT_EQ(run.session.text(11), "皮疹外--R: 219.1667  G: 169.1667  B: 149.5");
}

TEST(ReferenceAnalysis, StripDimensionsAndFrd2MatchTo1e12) {
    ReferenceRun run(1);
    const FractalResults& f = run.session.fractalResults();
    EXPECT_NEAR(f.picture16, 1.2102956067826243, 1e-12);
    EXPECT_NEAR(f.picture15, 1.2217155228580636, 1e-12);
    EXPECT_NEAR(f.picture17, 1.211870929423192, 1e-12);
    EXPECT_NEAR(f.picture18, 1.2457757544535364, 1e-12);
    EXPECT_NEAR(f.frd2, 1.222414453379354, 1e-12);
    EXPECT_EQ(run.session.text(20), imaging::numberText(f.frd2));
}

TEST(ReferenceAnalysis, Frd1AndCentroidAreExactForEveryDither) {
    // The reference saw no spread over 100 fringe dithers; neither may a few seeds here.
    for (uint64_t seed : {1u, 2u, 3u}) {
        ReferenceRun run(seed);
        EXPECT_DOUBLE_EQ(run.session.fractalResults().frd1, 1.011585121420402) << "seed " << seed;
        EXPECT_DOUBLE_EQ(run.session.axisResults().centroidX, 159.5047619047619) << "seed " << seed;
        EXPECT_DOUBLE_EQ(run.session.axisResults().centroidY, 118.31238095238095) << "seed " << seed;
        EXPECT_EQ(run.session.text(14), imaging::numberText(159.5047619047619));
        EXPECT_EQ(run.session.text(15), imaging::numberText(118.31238095238095));
    }
}

TEST(ReferenceAnalysis, MapExtentsFollowThePictureSize) {
    ReferenceRun run(1);
    EXPECT_EQ(run.session.picture(1).width(), 320);
    EXPECT_EQ(run.session.state().scanWidth, 320.0f);
    EXPECT_EQ(run.session.state().scanHeight, 237.0f);
}

}  // namespace
}  // namespace lesionmeter
