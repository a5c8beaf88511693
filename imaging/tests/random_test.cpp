// The uniform generator: reproducible with a fixed seed, values in [0, 1).

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "imaging/random.hpp"

namespace {

std::vector<double> draw(imaging::UniformRandom& g, int n) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(g.next());
    return v;
}

}  // namespace

TEST(FastRandom, SameSeedSameSequence) {
    imaging::FastRandom a(12345), b(12345);
    EXPECT_EQ(draw(a, 1000), draw(b, 1000));
}

TEST(FastRandom, DifferentSeedsDiffer) {
    imaging::FastRandom a(1), b(2);
    EXPECT_NE(draw(a, 10), draw(b, 10));
}

TEST(FastRandom, ValuesInHalfOpenUnitInterval) {
    imaging::FastRandom g(7);
    double sum = 0.0;
    std::set<double> distinct;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        const double v = g.next();
        ASSERT_GE(v, 0.0);
        ASSERT_LT(v, 1.0);
        sum += v;
        distinct.insert(v);
    }
    // A uniform stream: mean near 1/2 (about seven standard errors of slack), no repeats to speak of.
    EXPECT_NEAR(sum / n, 0.5, 0.015);
    EXPECT_GT(distinct.size(), std::size_t(n - 5));
}

TEST(FastRandom, ReseedFromClockIsDeterministicForAFixedSeed) {
    imaging::FastRandom a(99), b(99);
    (void)draw(a, 5);  // reseeding does not depend on how much was drawn before
    a.reseedFromClock();
    b.reseedFromClock();
    const std::vector<double> first = draw(a, 50);
    EXPECT_EQ(first, draw(b, 50));
    // The second reseed gives the same stream in both, and a new one.
    a.reseedFromClock();
    b.reseedFromClock();
    const std::vector<double> second = draw(a, 50);
    EXPECT_EQ(second, draw(b, 50));
    EXPECT_NE(first, second);
}

TEST(FastRandom, ExplicitSeedRestartsTheStream) {
    imaging::FastRandom g(5);
    g.seed(77);
    const std::vector<double> first = draw(g, 20);
    g.seed(77);
    EXPECT_EQ(first, draw(g, 20));
}

TEST(FastRandom, MakeRandomWithSeedIsReproducible) {
    auto a = imaging::makeRandom(2024);
    auto b = imaging::makeRandom(2024);
    EXPECT_EQ(draw(*a, 100), draw(*b, 100));
}

TEST(FastRandom, ClockSeededGeneratorStaysInRange) {
    auto g = imaging::makeRandom();
    g->reseedFromClock();
    for (double v : draw(*g, 1000)) {
        EXPECT_GE(v, 0.0);
        EXPECT_LT(v, 1.0);
    }
}

TEST(DeriveSeed, DeterministicAndDistinctPerIndex) {
    EXPECT_EQ(imaging::deriveSeed(1, 0), imaging::deriveSeed(1, 0));
    std::set<uint64_t> seeds;
    for (uint64_t i = 0; i < 1000; ++i) seeds.insert(imaging::deriveSeed(42, i));
    EXPECT_EQ(seeds.size(), 1000u);
    EXPECT_NE(imaging::deriveSeed(1, 5), imaging::deriveSeed(2, 5));
}

TEST(PhotoSeed, PlaceZeroIsTheBaseSeedAndEveryPhotoSeedRepeatsItsGenerator) {
    EXPECT_EQ(imaging::photoSeed(1, 0), 1u);
    EXPECT_EQ(imaging::generatorSeed(1), imaging::deriveSeed(1, 0));
    // Given back as the base seed of a run of that photograph alone (place 0), a photo seed
    // seeds the generator the batch used for it.
    for (const uint64_t base : {uint64_t{0}, uint64_t{1}, uint64_t{42}, ~uint64_t{0}, uint64_t{1} << 63})
        for (uint64_t i = 0; i < 200; ++i) {
            const uint64_t seed = imaging::photoSeed(base, i);
            ASSERT_EQ(imaging::generatorSeed(seed), imaging::deriveSeed(base, i)) << base << " " << i;
            ASSERT_EQ(imaging::photoSeed(seed, 0), seed);
        }
    // Distinct places get distinct seeds.
    std::set<uint64_t> seeds;
    for (uint64_t i = 0; i < 1000; ++i) seeds.insert(imaging::photoSeed(7, i));
    EXPECT_EQ(seeds.size(), 1000u);
}

// The one seed rule of every route.
TEST(SeedRule, ATexturePhotographGetsThePhotoSeedOfItsPlace) {
    const imaging::ChosenSeed given = imaging::placeSeed(uint64_t{7}, 99, 3);
    EXPECT_EQ(given.seed, imaging::photoSeed(7, 3));
    EXPECT_STREQ(given.source, "option");
    const imaging::ChosenSeed first = imaging::placeSeed(uint64_t{7}, 99, 0);
    EXPECT_EQ(first.seed, 7u);
    const imaging::ChosenSeed clock = imaging::placeSeed(std::nullopt, 99, 3);
    EXPECT_EQ(clock.seed, imaging::photoSeed(99, 3));
    EXPECT_STREQ(clock.source, "clock");
    EXPECT_EQ(imaging::placeSeed(std::nullopt, 99, 0).seed, 99u);
}

TEST(SeedRule, ALesionPhotographTakesTheOptionThenItsMarksThenItsPlace) {
    const imaging::ChosenSeed option = imaging::markedSeed(uint64_t{5}, uint64_t{6}, 99, 4);
    EXPECT_EQ(option.seed, 5u);  // the same for every place
    EXPECT_STREQ(option.source, "option");
    const imaging::ChosenSeed marks = imaging::markedSeed(std::nullopt, uint64_t{6}, 99, 4);
    EXPECT_EQ(marks.seed, 6u);
    EXPECT_STREQ(marks.source, "marks");
    const imaging::ChosenSeed clock = imaging::markedSeed(std::nullopt, std::nullopt, 99, 4);
    EXPECT_EQ(clock.seed, imaging::photoSeed(99, 4));
    EXPECT_STREQ(clock.source, "clock");
    // A single photograph is place 0: the clock seed itself, below 2^53.
    EXPECT_EQ(imaging::markedSeed(std::nullopt, std::nullopt, 12345, 0).seed, 12345u);
}
