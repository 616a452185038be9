#include "pricedata/random_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace tarnwick {
namespace {

// xoroshiro128** written out independently, to pin the algorithm down.
struct ReferenceXoroshiro {
    uint64_t s[2];
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t next() {
        const uint64_t s0 = s[0];
        uint64_t s1 = s[1];
        const uint64_t result = rotl(s0 * 5, 7) * 9;
        s1 ^= s0;
        s[0] = rotl(s0, 24) ^ s1 ^ (s1 << 16);
        s[1] = rotl(s1, 37);
        return result;
    }
};

uint64_t SplitMix(uint64_t& x) {
    uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

TEST(RandomSource, MatchesXoroshiro128StarStarSeededBySplitMix64) {
    uint64_t seed = RandomSource::DefaultSeed;
    ReferenceXoroshiro ref{};
    ref.s[0] = SplitMix(seed);
    ref.s[1] = SplitMix(seed);
    RandomSource source;
    for (int i = 0; i < 1000; ++i) {
        const uint64_t bits = ref.next();
        ASSERT_EQ(source.Next(), static_cast<float>(bits >> 40) / 16777216.0f) << "draw " << i;
    }
}

TEST(RandomSource, WordAndHalvesEnginesAgreeWithTheReference) {
    // Only one of the two runs inside RandomSource on a given target: both are checked here.
    for (uint64_t seed : {uint64_t{RandomSource::DefaultSeed}, uint64_t{0}, ~uint64_t{0}}) {
        ReferenceXoroshiro ref{};
        ref.s[0] = SplitMix(seed);
        ref.s[1] = SplitMix(seed);
        Xoroshiro64Words words(ref.s[0], ref.s[1]);
        Xoroshiro32Halves halves(ref.s[0], ref.s[1]);
        for (int i = 0; i < 100000; ++i) {
            const auto top = static_cast<uint32_t>(ref.next() >> 32);
            ASSERT_EQ(words.NextTop32(), top) << "draw " << i;
            ASSERT_EQ(halves.NextTop32(), top) << "draw " << i;
        }
    }
}

TEST(RandomSource, StartsFromTheSameFixedSeedEveryTime) {
    RandomSource a;
    RandomSource b;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(a.Next(), b.Next());
}

TEST(RandomSource, FirstDrawsArePinned) {
    // A change of algorithm, seed or scaling changes every price the program has ever sent.
    RandomSource source;
    const float expected[] = {0x1.c8dap-2f,  0x1.424eacp-1f, 0x1.8977e4p-1f,
                              0x1.27c34p-4f, 0x1.11a91ep-1f, 0x1.338c4cp-1f};
    for (float e : expected) EXPECT_EQ(source.Next(), e);
}

TEST(RandomSource, DrawsAreWholeMultiplesOfTwoToTheMinus24InUnitInterval) {
    RandomSource source;
    double sum = 0;
    const int draws = 200000;
    for (int i = 0; i < draws; ++i) {
        const float r = source.Next();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        const double scaled = static_cast<double>(r) * 16777216.0;
        ASSERT_EQ(scaled, std::floor(scaled));
        sum += r;
    }
    EXPECT_NEAR(sum / draws, 0.5, 0.01);
}

TEST(RandomSource, DifferentSeedsGiveDifferentSequences) {
    RandomSource a(1);
    RandomSource b(2);
    int same = 0;
    for (int i = 0; i < 100; ++i) same += a.Next() == b.Next() ? 1 : 0;
    EXPECT_LT(same, 5);
}

}  // namespace
}  // namespace tarnwick
