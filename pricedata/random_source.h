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
//
// The same steps are written twice: on 64-bit words, and on 32-bit halves for 32-bit targets,
// where each 64-bit rotation or multiplication would otherwise become several instructions
// spilled through memory. The halves form keeps only the top 32 bits of the output (the draws
// use 24). Both produce the same draws; the 32-bit build uses the halves.
#include <cstdint>

namespace tarnwick {

// xoroshiro128** on 64-bit words.
class Xoroshiro64Words {
  public:
    Xoroshiro64Words(uint64_t s0, uint64_t s1) : s0_(s0), s1_(s1) {}
    // The top 32 bits of the next output.
    uint32_t NextTop32() { return static_cast<uint32_t>(NextBits() >> 32); }
    uint64_t NextBits() {
        const uint64_t s0 = s0_;
        uint64_t s1 = s1_;
        const uint64_t result = Rotl(s0 * 5, 7) * 9;
        s1 ^= s0;
        s0_ = Rotl(s0, 24) ^ s1 ^ (s1 << 16);
        s1_ = Rotl(s1, 37);
        return result;
    }

  private:
    static constexpr uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s0_, s1_;
};

// xoroshiro128** on 32-bit halves (h: bits 63..32, l: bits 31..0), output's top 32 bits only.
class Xoroshiro32Halves {
  public:
    Xoroshiro32Halves(uint64_t s0, uint64_t s1)
        : s0h_(static_cast<uint32_t>(s0 >> 32)),
          s0l_(static_cast<uint32_t>(s0)),
          s1h_(static_cast<uint32_t>(s1 >> 32)),
          s1l_(static_cast<uint32_t>(s1)) {}
    uint32_t NextTop32() {
        const uint32_t h = s0h_, l = s0l_;
        // x = s0 * 5: the low half's product is one 32 x 32 -> 64 multiplication.
        const uint64_t l5 = uint64_t{l} * 5u;
        const auto xl = static_cast<uint32_t>(l5);
        const uint32_t xh = h * 5u + static_cast<uint32_t>(l5 >> 32);
        // r = rotl(x, 7); the top half of r * 9 takes the carry out of the low half's product.
        const uint32_t rh = (xh << 7) | (xl >> 25);
        const uint32_t rl = (xl << 7) | (xh >> 25);
        const uint32_t top = rh * 9u + static_cast<uint32_t>((uint64_t{rl} * 9u) >> 32);
        // s1 ^= s0; s0 = rotl(s0, 24) ^ s1 ^ (s1 << 16); s1 = rotl(s1, 37).
        const uint32_t th = s1h_ ^ h, tl = s1l_ ^ l;
        s0h_ = ((h << 24) | (l >> 8)) ^ th ^ ((th << 16) | (tl >> 16));
        s0l_ = ((l << 24) | (h >> 8)) ^ tl ^ (tl << 16);
        s1h_ = (tl << 5) | (th >> 27);
        s1l_ = (th << 5) | (tl >> 27);
        return top;
    }

  private:
    uint32_t s0h_, s0l_, s1h_, s1l_;
};

class RandomSource {
  public:
    // The seed every run starts from.
    static constexpr uint64_t DefaultSeed = 0x5441524E5749434BULL;

    RandomSource() : RandomSource(DefaultSeed) {}
    explicit RandomSource(uint64_t seed) : RandomSource(SeedPair(seed)) {}

    // A uniform 32-bit float in [0, 1): NextUnits() * 2^-24.
    float Next() { return static_cast<float>(NextUnits()) * 0x1p-24f; }

    // The same draw as a whole number k in [0, 2^24), for callers that can use k / 2^24 in
    // integer arithmetic: the top 24 bits of one output.
    uint32_t NextUnits() { return engine_.NextTop32() >> 8; }

  private:
    struct Pair {
        uint64_t S0, S1;
    };
    explicit RandomSource(Pair p) : engine_(p.S0, p.S1) {}
    static Pair SeedPair(uint64_t seed) {
        const uint64_t s0 = SplitMix64(seed);
        return {s0, SplitMix64(seed)};
    }
    // Advances seed by the splitmix64 increment and returns the mixed value. Never yields an
    // all-zero state for both words from one seed (splitmix64 is a bijection of distinct inputs).
    static uint64_t SplitMix64(uint64_t& seed) {
        uint64_t z = (seed += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

#if UINTPTR_MAX > 0xFFFFFFFFu
    Xoroshiro64Words engine_;
#else
    Xoroshiro32Halves engine_;
#endif
};

}  // namespace tarnwick
