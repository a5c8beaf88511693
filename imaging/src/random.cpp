#include "imaging/random.hpp"

#include <chrono>

namespace imaging {

namespace {

uint64_t splitmix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
constexpr uint64_t kMix1 = 0xBF58476D1CE4E5B9ULL;
constexpr uint64_t kMix2 = 0x94D049BB133111EBULL;

// The multiplicative inverse of an odd number modulo 2^64 (Newton's iteration doubles the
// correct low bits each step: 3, 6, 12, 24, 48, 96).
constexpr uint64_t inverseOf(uint64_t odd) {
    uint64_t inverse = odd;
    for (int i = 0; i < 5; ++i) inverse *= 2 - odd * inverse;
    return inverse;
}
static_assert(inverseOf(kMix1) * kMix1 == 1 && inverseOf(kMix2) * kMix2 == 1);

// Undoes z ^= z >> shift.
constexpr uint64_t unshiftXor(uint64_t z, int shift) {
    uint64_t x = z;
    for (int done = shift; done < 64; done += shift) x = z ^ (x >> shift);
    return x;
}

// The inverse of splitmix64's output function.
constexpr uint64_t unmix(uint64_t z) {
    z = unshiftXor(z, 31);
    z *= inverseOf(kMix2);
    z = unshiftXor(z, 27);
    z *= inverseOf(kMix1);
    return unshiftXor(z, 30);
}

inline uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

FastRandom::FastRandom(std::optional<uint64_t> fixedSeed) : fixedSeed_(fixedSeed) {
    if (fixedSeed_) {
        seed(*fixedSeed_);
    } else {
        reseedFromClock();
    }
}

void FastRandom::seed(uint64_t s) {
    uint64_t state = s;
    for (auto& word : s_) word = splitmix64(state);
}

double FastRandom::next() {
    const uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return static_cast<double>(result >> 11) * 0x1.0p-53;
}

void FastRandom::reseedFromClock() {
    ++reseedCount_;
    if (fixedSeed_) {
        seed(deriveSeed(*fixedSeed_, reseedCount_));
        return;
    }
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    // The counter keeps two reseeds within one clock tick apart.
    seed(static_cast<uint64_t>(now) ^ (reseedCount_ * 0xD1B54A32D192ED03ULL));
}

std::unique_ptr<UniformRandom> makeRandom(std::optional<uint64_t> fixedSeed) {
    return std::make_unique<FastRandom>(fixedSeed);
}

uint64_t deriveSeed(uint64_t baseSeed, uint64_t index) {
    uint64_t state = baseSeed ^ (index * 0x9E3779B97F4A7C15ULL);
    splitmix64(state);
    return splitmix64(state);
}

uint64_t generatorSeed(uint64_t photoSeed) { return deriveSeed(photoSeed, 0); }

uint64_t photoSeed(uint64_t baseSeed, uint64_t index) {
    if (index == 0) return baseSeed;
    // deriveSeed(s, 0) is splitmix64's output function applied to s + 2 * golden: undo both.
    return unmix(deriveSeed(baseSeed, index)) - 2 * kGolden;
}

uint64_t clockSeed() {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    uint64_t state = static_cast<uint64_t>(now);
    return splitmix64(state) >> 11;
}

ChosenSeed placeSeed(std::optional<uint64_t> given, uint64_t clockBase, uint64_t index) {
    return {photoSeed(given ? *given : clockBase, index), given ? "option" : "clock"};
}

ChosenSeed markedSeed(std::optional<uint64_t> given, std::optional<uint64_t> marks, uint64_t clockBase,
                      uint64_t index) {
    if (given) return {*given, "option"};
    if (marks) return {*marks, "marks"};
    return {photoSeed(clockBase, index), "clock"};
}

}  // namespace imaging
