// End-to-end check of the whole analysis of the reference lesion photograph against independently
// computed results, with the samples, centre and discriminant weights of that computation.

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "test_support.hpp"

namespace lesionmeter {
namespace {

using testing::ScratchFolder;

const morph::testdata::LesionReference& reference() { return morph::testdata::lesionReference(); }

struct ReferenceRun {
    ScratchFolder scratch;
    imaging::FastRandom random;
    LesionSession session{random};

    explicit ReferenceRun(uint64_t seed = reference().seed) : random(seed) {
        testing::loadAndSample(session, reference());
        session.calcAndDrawWithWeights(testing::referenceWeights(reference()));
        session.selectLine();
        session.measureFractalDimensions();
        session.measureAxis();
    }
};

TEST(ReferenceAnalysis, SampleMeansAreTheExactTexts) {
    ReferenceRun run;
    EXPECT_EQ(run.session.texts().inMeans, reference().inMeansText);
    EXPECT_EQ(run.session.texts().outMeans, reference().outMeansText);
}

TEST(ReferenceAnalysis, StripDimensionsAndFrd2MatchTo1e12) {
    ReferenceRun run;
    const FractalResults& f = run.session.fractalResults();
    EXPECT_NEAR(f.profiles.upperRow, reference().strips[0], 1e-12);
    EXPECT_NEAR(f.profiles.leftColumn, reference().strips[1], 1e-12);
    EXPECT_NEAR(f.profiles.lowerRow, reference().strips[2], 1e-12);
    EXPECT_NEAR(f.profiles.rightColumn, reference().strips[3], 1e-12);
    EXPECT_NEAR(f.profileDimension, reference().frd2, 1e-12);
    EXPECT_EQ(run.session.texts().profileDimension, imaging::numberText(f.profileDimension));
}

TEST(ReferenceAnalysis, Frd1AndCentroidAreExactForEveryDither) {
    // The reference saw no spread over 100 fringe dithers; neither may a few seeds here.
    for (uint64_t seed : {1u, 2u, 3u}) {
        ReferenceRun run(seed);
        EXPECT_DOUBLE_EQ(run.session.fractalResults().outlineDimension, reference().frd1) << "seed " << seed;
        EXPECT_DOUBLE_EQ(run.session.axisResults().centroidX, reference().centroidX) << "seed " << seed;
        EXPECT_DOUBLE_EQ(run.session.axisResults().centroidY, reference().centroidY) << "seed " << seed;
        EXPECT_EQ(run.session.texts().centroidX, imaging::numberText(reference().centroidX));
        EXPECT_EQ(run.session.texts().centroidY, imaging::numberText(reference().centroidY));
    }
}

TEST(ReferenceAnalysis, MapExtentsFollowThePictureSize) {
    ReferenceRun run;
    EXPECT_EQ(run.session.pictures().photo.width(), 320);
    EXPECT_EQ(run.session.state().scanWidth, 320.0f);
    EXPECT_EQ(run.session.state().scanHeight, 237.0f);
}

}  // namespace
}  // namespace lesionmeter
