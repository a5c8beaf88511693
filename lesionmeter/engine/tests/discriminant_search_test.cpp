// The discriminant search: acceptance rule, sample pairs, selection of the smallest margin, the
// iteration limit, and the sample-mean texts.

#include <gtest/gtest.h>

#include <vector>

#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {
namespace {

void addIn(AnalysisState& s, float r, float g, float b) {
    ++s.inCount;
    s.inRed[s.inCount] = r;
    s.inGreen[s.inCount] = g;
    s.inBlue[s.inCount] = b;
}

void addOut(AnalysisState& s, float r, float g, float b) {
    ++s.outCount;
    s.outRed[s.outCount] = r;
    s.outGreen[s.outCount] = g;
    s.outBlue[s.outCount] = b;
}

TEST(AcceptanceRule, OneSampleAcceptsEverySet) {
    EXPECT_TRUE(acceptsSet(0, 1));
    EXPECT_TRUE(acceptsSet(1, 1));
}

TEST(AcceptanceRule, TwoSamplesNeedOneSeparatedPair) {
    EXPECT_FALSE(acceptsSet(0, 2));
    EXPECT_TRUE(acceptsSet(1, 2));
    EXPECT_TRUE(acceptsSet(2, 2));
}

TEST(AcceptanceRule, ThreeToSixSamplesAllowOneUnseparatedPair) {
    EXPECT_FALSE(acceptsSet(1, 3));
    EXPECT_TRUE(acceptsSet(2, 3));
    EXPECT_FALSE(acceptsSet(4, 6));
    EXPECT_TRUE(acceptsSet(5, 6));
}

TEST(SeparatedPairs, CountsPairsByPolarityAndKeepsTheLastMargin) {
    AnalysisState s;
    addIn(s, 200, 0, 100);   // S = R - B = 100
    addIn(s, 100, 0, 150);   // -50
    addOut(s, 100, 0, 200);  // -100
    addOut(s, 100, 0, 90);   // 10
    const WeightSet w{1.0, 0.0, -1.0, 0.0, 0.0, 0.0};
    double margin = 0.0;
    EXPECT_EQ(separatedPairs(w, s, 2, 1, margin), 1);  // pair 1: 100 > 0, -100 < 0
    EXPECT_DOUBLE_EQ(margin, -50.0 - 10.0);
    EXPECT_EQ(separatedPairs(w, s, 2, 0, margin), 1);  // pair 2: -50 < 0, 10 > 0
    EXPECT_EQ(separatedPairs(w, s, 1, 1, margin), 1);
    EXPECT_DOUBLE_EQ(margin, 200.0);
}

TEST(SeparatedPairs, ScoreUsesTheQuadraticTermsLeftToRight) {
    const WeightSet w{0.1, 0.2, 0.3, 0.01, 0.02, 0.03};
    const double expected = 0.1 * 10.0 + 0.2 * 20.0 + 0.3 * 30.0 + 0.01 * 10.0 * 10.0 + 0.02 * 20.0 * 20.0 +
                            0.03 * 30.0 * 30.0;
    EXPECT_EQ(discriminantScore(w, 10, 20, 30), expected);
}

TEST(SamplePairs, AtMostSixAndTheSmallerClass) {
    AnalysisState s;
    for (int k = 0; k < 8; ++k) addIn(s, 10, 10, 10);
    for (int k = 0; k < 3; ++k) addOut(s, 10, 10, 10);
    EXPECT_EQ(samplePairCount(s), 3);
    for (int k = 0; k < 5; ++k) addOut(s, 10, 10, 10);
    EXPECT_EQ(samplePairCount(s), 6);
}

TEST(Search, OneSamplePairEndsAfterSevenIterations) {
    AnalysisState s;
    addIn(s, 100, 50, 40);
    addOut(s, 220, 170, 150);
    imaging::FastRandom random(11);
    int reported = 0;
    const SearchResult r = searchDiscriminant(s, random, nullptr, [&](const AcceptedSet& a) {
        ++reported;
        EXPECT_EQ(a.accepted, reported);
        EXPECT_EQ(a.iteration, reported);
    });
    EXPECT_EQ(r.accepted, 7);
    EXPECT_EQ(r.iterations, 7);
    EXPECT_EQ(reported, 7);
}

TEST(Search, SamplesBeyondTheSixthDoNotCount) {
    AnalysisState a, b;
    const float in[6][3] = {{120, 70, 50}, {130, 75, 55}, {110, 65, 45}, {125, 72, 52}, {118, 71, 49}, {121, 74, 53}};
    const float out[6][3] = {{220, 170, 150}, {215, 165, 145}, {225, 175, 155},
                             {218, 168, 149}, {221, 171, 151}, {219, 169, 148}};
    for (auto& c : in) {
        addIn(a, c[0], c[1], c[2]);
        addIn(b, c[0], c[1], c[2]);
    }
    for (auto& c : out) {
        addOut(a, c[0], c[1], c[2]);
        addOut(b, c[0], c[1], c[2]);
    }
    addIn(b, 255, 255, 255);
    addIn(b, 0, 0, 0);
    addOut(b, 0, 0, 0);
    imaging::FastRandom ra(5), rb(5);
    const SearchResult x = searchDiscriminant(a, ra, nullptr, nullptr);
    const SearchResult y = searchDiscriminant(b, rb, nullptr, nullptr);
    EXPECT_EQ(x.iterations, y.iterations);
    EXPECT_EQ(x.chosen.weightRed, y.chosen.weightRed);
    EXPECT_EQ(x.chosen.squareWeightBlue, y.chosen.squareWeightBlue);
    EXPECT_EQ(sampleMeansText(kInsidePrefix, b.inRed, b.inGreen, b.inBlue, samplePairCount(b)),
              sampleMeansText(kInsidePrefix, a.inRed, a.inGreen, a.inBlue, 6));
}

TEST(Search, AgreesWithThePlainRuleStepByStep) {
    // The search's early exit must not change which sets it accepts: replay it with the plain
    // rule on an identically seeded generator.
    AnalysisState s;
    const float in[4][3] = {{120, 70, 50}, {200, 160, 150}, {110, 65, 45}, {125, 72, 52}};
    const float out[4][3] = {{220, 170, 150}, {100, 60, 40}, {225, 175, 155}, {218, 168, 149}};
    for (auto& c : in) addIn(s, c[0], c[1], c[2]);
    for (auto& c : out) addOut(s, c[0], c[1], c[2]);
    const int n = samplePairCount(s);
    imaging::FastRandom searchRandom(21), replayRandom(21);
    std::vector<AcceptedSet> accepted;
    const SearchResult r =
        searchDiscriminant(s, searchRandom, nullptr, [&](const AcceptedSet& a) { accepted.push_back(a); });

    const int polarity = insidePolarityOf(replayRandom, s, n);
    EXPECT_EQ(polarity, r.insidePolarity);
    std::vector<AcceptedSet> replayed;
    for (long long t = 1; replayed.size() < 7 && t <= kSearchIterationLimit + 1; ++t) {
        const WeightSet w = drawWeightSet(replayRandom);
        double margin = 0.0;
        if (acceptsSet(separatedPairs(w, s, n, polarity, margin), n))
            replayed.push_back({int(replayed.size()) + 1, t, w.wR, w.wG, w.wB, w.qR, w.qG, w.qB, float(margin)});
    }
    ASSERT_EQ(accepted.size(), replayed.size());
    for (std::size_t i = 0; i < accepted.size(); ++i) {
        EXPECT_EQ(accepted[i].iteration, replayed[i].iteration);
        EXPECT_EQ(accepted[i].weightRed, replayed[i].weightRed);
        EXPECT_EQ(accepted[i].margin, replayed[i].margin);
    }
    EXPECT_GT(accepted.back().iteration, 7);  // some sets were rejected on the way
}

TEST(Search, InseparableSamplesRunToTheLimitAndChooseZeroWeights) {
    AnalysisState s;
    for (int k = 0; k < 3; ++k) {
        addIn(s, 100, 100, 100);
        addOut(s, 100, 100, 100);  // same colour: Si = So, never separated
    }
    imaging::FastRandom random(3);
    const SearchResult r = searchDiscriminant(s, random, nullptr, nullptr, 1000);
    EXPECT_EQ(r.accepted, 0);
    EXPECT_EQ(r.iterations, 1001);
    EXPECT_EQ(r.selection.index, 0);
    EXPECT_EQ(r.selection.minimum, 0.0f);
    EXPECT_EQ(r.chosen.weightRed, 0.0f);
    EXPECT_EQ(r.chosen.squareWeightRed, 0.0f);
}

TEST(Selection, TheLaterOfTwoEqualMarginsWins) {
    const std::array<float, 8> margins{0.0f, 3.0f, -1.5f, 2.0f, -1.5f, 7.0f, 0.0f, 0.0f};
    const Selection s = selectCandidate(margins, 5);
    EXPECT_EQ(s.minimum, -1.5f);
    EXPECT_EQ(s.index, 4);
    const std::array<float, 8> same{0.0f, 2.0f, 2.0f, 2.0f, 2.0f, 2.0f, 2.0f, 2.0f};
    EXPECT_EQ(selectCandidate(same, 7).index, 7);
    EXPECT_EQ(selectCandidate(same, 0).index, 0);
    EXPECT_EQ(selectCandidate(same, 0).minimum, 0.0f);
}

TEST(SampleMeans, SinglePrecisionMeansWithLeadingBlank) {
    AnalysisState s;
    const float blue[6] = {98, 98, 98, 98, 99, 99};  // 590 / 6 = 98.333336
    for (int k = 0; k < 6; ++k) addIn(s, k % 2 ? 201.0f : 200.0f, 120.0f, blue[k]);
    EXPECT_EQ(sampleMeansText(kInsidePrefix, s.inRed, s.inGreen, s.inBlue, 6),
              "皮疹内-- R: 200.5  G: 120  B: 98.33334");
    std::array<float, 51> negative{};
    negative[1] = -2.5f;
    EXPECT_EQ(sampleMeansText(kOutsidePrefix, negative, negative, negative, 1),
              "皮疹外--R:-2.5  G:-2.5  B:-2.5");
}

}  // namespace
}  // namespace lesionmeter
