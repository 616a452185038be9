#pragma once
// NextRandom's source: xoroshiro128** (Blackman and Vigna, 2018), a small, fast generator whose
// every step is exact 64-bit integer arithmetic, so every compiler and standard library produces
// the same sequence. Its period is 2^128 - 1, far beyond the few billion numbers a lifetime of
// history transfers can draw (a tick history from 2003 draws under a billion).
//
// The 128-bit state starts from a fixed default seed, expanded with splitmix64 as the algorithm's
// authors recommend, so every run repeats the same sequence. A draw keeps the top 24 bits of one
// 64-bit output and scales them by 2^-24: the result is k / 2^24 for an integer k in
// [0, 2^24), exactly representable as a 32-bit float, uniform over [0, 1), never 1.
#include <cstdint>

namespace tarnwick {

class RandomSource {
  public:
    // The seed every run starts from.
    static constexpr uint64_t DefaultSeed = 0x5441524E5749434BULL;

    RandomSource() : RandomSource(DefaultSeed) {}
    explicit RandomSource(uint64_t seed) {
        state_[0] = SplitMix64(seed);
        state_[1] = SplitMix64(seed);
    }

    // A uniform 32-bit float in [0, 1): NextUnits() * 2^-24.
    float Next() { return static_cast<float>(NextUnits()) * 0x1p-24f; }

    // The same draw as a whole number k in [0, 2^24), for callers that can use k / 2^24 in
    // integer arithmetic: the top 24 bits of one output.
    uint32_t NextUnits() { return static_cast<uint32_t>(NextBits() >> 40); }

    // One raw 64-bit output of xoroshiro128**.
    uint64_t NextBits() {
        const uint64_t s0 = state_[0];
        uint64_t s1 = state_[1];
        const uint64_t result = Rotl(s0 * 5, 7) * 9;
        s1 ^= s0;
        state_[0] = Rotl(s0, 24) ^ s1 ^ (s1 << 16);
        state_[1] = Rotl(s1, 37);
        return result;
    }

  private:
    static constexpr uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    // Advances seed by the splitmix64 increment and returns the mixed value. Never yields an
    // all-zero state for both words from one seed (splitmix64 is a bijection of distinct inputs).
    static uint64_t SplitMix64(uint64_t& seed) {
        uint64_t z = (seed += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    uint64_t state_[2];
};

}  // namespace tarnwick
