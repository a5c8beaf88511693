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

uint64_t clockSeed() {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    uint64_t state = static_cast<uint64_t>(now);
    return splitmix64(state) >> 11;
}

}  // namespace imaging
