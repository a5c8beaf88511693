// End-to-end check of whole runs against results computed by an independent implementation
// (tests/data/expected.json on tests/data/skin_texture.jpg): every non-random column to 1e-12
// relative (1e-6 for the single-precision columns 2, 5 and 14), the outline dimension among its
// possible values, S1 exactly and S2..S12 within the range seen over 200 runs.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "mini_json.hpp"
#include "texturemeter/run_driver.hpp"

namespace {

using namespace texturemeter;

const std::string kData = TEXTUREMETER_TEST_DATA;

Variant variantOf(const std::string& v) {
    if (v == "B") return Variant::B;
    if (v == "C") return Variant::C;
    return Variant::A;
}

double relativeError(double got, double want) {
    if (want == 0) return std::fabs(got);
    return std::fabs(got - want) / std::fabs(want);
}

class ReferenceRuns : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() {
        expected_ = new minijson::Value(minijson::parseFile(kData + "/expected.json"));
        photo_ = new imaging::Image(imaging::loadImageFile(kData + "/skin_texture.jpg"));
    }
    static void TearDownTestSuite() {
        delete expected_;
        delete photo_;
    }
    static minijson::Value* expected_;
    static imaging::Image* photo_;
};

minijson::Value* ReferenceRuns::expected_ = nullptr;
imaging::Image* ReferenceRuns::photo_ = nullptr;

TEST_P(ReferenceRuns, MatchesIndependentResults) {
    const minijson::Value& entry = (*expected_)["texturemeter"].items.at(std::size_t(GetParam()));
    ASSERT_EQ(entry["image"].text, "skin_texture.jpg");
    AnalysisParameters p;
    p.variant = variantOf(entry["variant"].text);
    p.region = {int16_t(entry["x"].number), int16_t(entry["y"].number), int16_t(entry["side"].number)};
    p.windowSize = entry["window"].number;
    p.neighbourDistance = entry["neighbour"].number;
    SCOPED_TRACE("variant " + entry["variant"].text + " corner " + std::to_string(p.region.regionX) + "," +
                 std::to_string(p.region.regionY) + " side " + std::to_string(p.region.regionSide));

    for (uint64_t seed : {1u, 2u, 3u}) {
        imaging::FastRandom random(seed);
        const AnalysisResults r = analyseSquare(PhotoView(*photo_), p, random);
        const minijson::Value& columns = entry["columns"];
        for (int column = 2; column <= 14; ++column) {
            const minijson::Value& want = columns[std::to_string(column)];
            const ResultCell& got = r.row.column(column);
            if (want.isNull()) {
                EXPECT_EQ(got.form, ResultCell::Form::Empty) << "column " << column;
                continue;
            }
            if (want.has("value")) {
                const bool single = column == 2 || column == 5 || column == 14;
                EXPECT_EQ(got.form, single ? ResultCell::Form::Single : ResultCell::Form::Double) << column;
                EXPECT_LE(relativeError(got.value, want["value"].number), single ? 1e-6 : 1e-12)
                    << "column " << column << ": got " << got.value << " want " << want["value"].number;
            } else {
                bool found = false;
                for (const auto& v : want["possible_values"].items)
                    if (relativeError(got.value, v.number) <= 1e-12) found = true;
                EXPECT_TRUE(found) << "column " << column << " value " << got.value << " is not a possible value";
            }
        }
        const minijson::Value& s = entry["sampling"];
        EXPECT_EQ(r.sampling.s1, s["S1"]["value"].number);
        const double values[12] = {r.sampling.s1,  r.sampling.frameShares[0], r.sampling.frameShares[1],
                                   r.sampling.frameShares[2], r.sampling.frameShares[3],
                                   r.sampling.frameShares[4], r.sampling.s7,  r.sampling.s8,
                                   r.sampling.s9,  r.sampling.s10, r.sampling.s11, r.sampling.s12};
        // One run's random values lie in the range seen over 200 runs, widened by two standard
        // deviations (a range of 200 draws is exceeded now and then by a correct generator).
        for (int i = 2; i <= 12; ++i) {
            const minijson::Value& range = s["S" + std::to_string(i)];
            const double margin = 2 * range["sd"].number;
            EXPECT_GE(values[i - 1], range["min"].number - margin) << "S" << i << " seed " << seed;
            EXPECT_LE(values[i - 1], range["max"].number + margin) << "S" << i << " seed " << seed;
        }
    }
}

// The distribution of the random probes: the mean of S2..S12 over 100 seeded samplings of the
// reference square lies within 5 standard errors of the mean over the independent 200 runs.
TEST_P(ReferenceRuns, SamplingMeansMatchIndependentRuns) {
    const minijson::Value& entry = (*expected_)["texturemeter"].items.at(std::size_t(GetParam()));
    const RegionSquare region{int16_t(entry["x"].number), int16_t(entry["y"].number), int16_t(entry["side"].number)};
    const Variant variant = variantOf(entry["variant"].text);
    const minijson::Value& s = entry["sampling"];
    constexpr int kRuns = 100;
    double sums[13] = {};
    WorkGrids grids;
    PictureSurface picture2(region.regionSide + 1, region.regionSide + 1);
    const GreyImageSums grey = prepareGreyImage(PhotoView(*photo_), region, variant, grids.gridA, grids.gridB, picture2);
    for (int run = 0; run < kRuns; ++run) {
        imaging::FastRandom random(imaging::deriveSeed(77, uint64_t(run)));
        const SamplingLine r =
            randomTextureSampling(grids.gridA, grey.heightSum, grey.heightCount, region.regionSide, random);
        EXPECT_EQ(r.s1, s["S1"]["value"].number);
        const double values[13] = {0, r.s1, r.frameShares[0], r.frameShares[1], r.frameShares[2], r.frameShares[3],
                                   r.frameShares[4], r.s7, r.s8, r.s9, r.s10, r.s11, r.s12};
        for (int i = 2; i <= 12; ++i) sums[i] += values[i];
    }
    for (int i = 2; i <= 12; ++i) {
        const minijson::Value& want = s["S" + std::to_string(i)];
        const double tolerance = 5 * want["sd"].number / std::sqrt(double(kRuns)) + 1e-9;
        EXPECT_NEAR(sums[i] / kRuns, want["mean"].number, tolerance) << "S" << i;
    }
}

INSTANTIATE_TEST_SUITE_P(SkinTexture, ReferenceRuns, ::testing::Range(0, 5));

}  // namespace
