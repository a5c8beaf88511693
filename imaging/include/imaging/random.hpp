#pragma once
// The uniform random generator behind every random stage. The programs reseed it "from the
// clock" where their commands say so; a fixed seed (tests, the tools' --seed) makes every
// reseed deterministic instead: the n-th reseed of a seeded generator always gives the same
// stream. Seeding costs a few nanoseconds (one stage reseeds for every pixel).

#include <cstdint>
#include <memory>
#include <optional>

namespace imaging {

class UniformRandom {
public:
    virtual ~UniformRandom() = default;
    // A number in [0, 1).
    virtual double next() = 0;
    // Starts a new stream "from the clock" (deterministic for a fixed-seed generator).
    virtual void reseedFromClock() = 0;
};

// xoshiro256** seeded through splitmix64; 53-bit doubles in [0, 1).
class FastRandom final : public UniformRandom {
public:
    // Without a seed: reseedFromClock() reads the clock. With a seed: reseeds are derived from
    // the seed and a reseed counter.
    explicit FastRandom(std::optional<uint64_t> fixedSeed = std::nullopt);
    double next() override;
    void reseedFromClock() override;
    // Restarts the stream from an explicit seed.
    void seed(uint64_t s);

private:
    uint64_t s_[4];
    std::optional<uint64_t> fixedSeed_;
    uint64_t reseedCount_ = 0;
};

// A clock-seeded generator, or one with a fixed seed when given.
std::unique_ptr<UniformRandom> makeRandom(std::optional<uint64_t> fixedSeed = std::nullopt);

// A seed for item `index` of a batch run from one base seed (independent of threads and order).
uint64_t deriveSeed(uint64_t baseSeed, uint64_t index);

// The one seed rule of every route (both tools, both windows, the Python package). A photograph
// is analysed with the generator seeded by generatorSeed(its photo seed); the photo seed of the
// photograph at place `index` of a batch with base seed `baseSeed` is photoSeed(baseSeed, index),
// and is what the routes report. Place 0 gets the base seed itself, so a photo seed given back as
// the seed of a run of that photograph alone repeats its numbers exactly; generatorSeed(
// photoSeed(b, i)) == deriveSeed(b, i), the seed every batch has always used.
uint64_t photoSeed(uint64_t baseSeed, uint64_t index);
uint64_t generatorSeed(uint64_t photoSeed);

// A seed read from the clock, for a run that was given none: it is reported, so that the run
// can be repeated exactly with it. Below 2^53, so that every JSON reader keeps it exact.
uint64_t clockSeed();

// Where a photograph's seed came from, as the reports name it: "option" (the tool's --seed, the
// Python seed argument), "marks" (a marks file's seed) or "clock".
struct ChosenSeed {
    uint64_t seed = 0;  // the photo seed: the run uses generatorSeed of it (texture) or it (lesion)
    const char* source = "clock";
};

// The seed of the photograph at place `index` of a texture batch (a single photograph is place 0):
// the photo seed of its place in a batch whose base seed is `given`, else `clockBase` (one
// clockSeed() per batch, so that the batch can be repeated with it).
ChosenSeed placeSeed(std::optional<uint64_t> given, uint64_t clockBase, uint64_t index);

// The seed of a lesion analysis of the photograph at place `index` of a batch (a single
// photograph is place 0): `given` for every photograph; else its marks' seed; else the photo seed
// of its place in a batch whose base seed is `clockBase` (one clockSeed() per batch).
ChosenSeed markedSeed(std::optional<uint64_t> given, std::optional<uint64_t> marks, uint64_t clockBase,
                      uint64_t index);

}  // namespace imaging
