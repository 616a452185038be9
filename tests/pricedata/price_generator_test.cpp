#include "pricedata/price_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

PriceGenerator StartedGenerator() {
    PriceGenerator g;
    g.LastPrice = 30.0;
    return g;
}

struct CentsCase {
    double in;
    double out;
};

class RoundToCentsTest : public ::testing::TestWithParam<CentsCase> {};

TEST_P(RoundToCentsTest, RoundsTheExactValueHalvesToEven) {
    const CentsCase c = GetParam();
    EXPECT_EQ(RoundToCents(c.in), c.out) << "input " << c.in;
}

// Expected values are the exact decimal value of each input double rounded half to even. Exact
// halves are the odd multiples of 1/8; values such as 0.005 or 0.015 sit beside a half, where
// x * 100 alone rounds onto the half and would decide wrongly.
INSTANTIATE_TEST_SUITE_P(
    Table, RoundToCentsTest,
    ::testing::Values(CentsCase{0.125, 0.12}, CentsCase{0.375, 0.38}, CentsCase{0.625, 0.62},
                      CentsCase{0.875, 0.88}, CentsCase{30.125, 30.12}, CentsCase{30.375, 30.38},
                      CentsCase{-0.125, -0.12}, CentsCase{-0.375, -0.38},
                      CentsCase{-30.625, -30.62}, CentsCase{10000000000000.125, 10000000000000.12},
                      CentsCase{0.005, 0.01}, CentsCase{0.015, 0.01}, CentsCase{0.025, 0.03},
                      CentsCase{0.075, 0.07}, CentsCase{-0.005, -0.01}, CentsCase{30.005, 30.0},
                      CentsCase{30.015, 30.02}, CentsCase{1.005, 1.0}, CentsCase{2.675, 2.67},
                      CentsCase{0.285, 0.28}, CentsCase{30.124999999999996, 30.12},
                      CentsCase{30.125000000000004, 30.13}, CentsCase{0.12500000000000003, 0.13},
                      CentsCase{0.12499999999999999, 0.12}, CentsCase{12345678.905, 12345678.9},
                      CentsCase{29.99, 29.99}, CentsCase{30.020000000000003, 30.02},
                      CentsCase{1e-300, 0.0}, CentsCase{0.0, 0.0}, CentsCase{30.0, 30.0}));

TEST(RoundToCents, LeavesNonFiniteAndHugeValuesAsTheyAre) {
    EXPECT_TRUE(std::isnan(RoundToCents(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(RoundToCents(std::numeric_limits<double>::infinity()),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(RoundToCents(1e300), 1e300);
    EXPECT_EQ(RoundToCents(-1e300), -1e300);
}

struct VolumeCase {
    float draw;
    int32_t volume;
};

class VolumeFromDrawTest : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeFromDrawTest, RoundsTheExactProductHalvesToEven) {
    EXPECT_EQ(VolumeFromDraw(GetParam().draw), GetParam().volume) << GetParam().draw;
}

INSTANTIATE_TEST_SUITE_P(Table, VolumeFromDrawTest,
                         ::testing::Values(VolumeCase{0.0f, 0}, VolumeCase{0.0625f, 312},
                                           VolumeCase{0.1875f, 938}, VolumeCase{0.3125f, 1562},
                                           VolumeCase{0.5f, 2500}, VolumeCase{0x1p-24f, 0},
                                           VolumeCase{0x1p-13f, 1},
                                           VolumeCase{1.0f - 0x1p-24f, 5000},
                                           VolumeCase{0.0001f, 0}, VolumeCase{0.9999f, 4999}));

TEST(VolumeFromDraw, ValuesThatAreNoDrawAreClamped) {
    EXPECT_EQ(VolumeFromDraw(-1.0f), 0);
    EXPECT_EQ(VolumeFromDraw(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(VolumeFromDraw(1.0f), 5000);
    EXPECT_EQ(VolumeFromDraw(1e30f), std::numeric_limits<int32_t>::max());
}

TEST(PriceGenerator, FirstTickFromThirtyIsOneCentAwayAndUsesTwoDraws) {
    PriceGenerator g = StartedGenerator();
    RandomSource reference;
    const float direction = reference.Next();
    const float volumeDraw = reference.Next();
    g.GetNextTick();
    EXPECT_EQ(g.LastPrice, direction > 0.49f ? 30.01 : 29.99);
    EXPECT_EQ(g.LastVolume, static_cast<double>(VolumeFromDraw(volumeDraw)));
    EXPECT_EQ(g.NextRandom(), reference.Next());
}

TEST(PriceGenerator, TicksFollowTheDirectionDrawAndStayOnWholeCents) {
    PriceGenerator g = StartedGenerator();
    RandomSource reference;
    double price = 30.0;
    for (int i = 0; i < 20000; ++i) {
        const float direction = reference.Next();
        const float volumeDraw = reference.Next();
        price = RoundToCents(price + (direction > 0.49f ? 0.01 : -0.01));
        g.GetNextTick();
        ASSERT_EQ(g.LastPrice, price);
        ASSERT_EQ(g.LastPrice, RoundToCents(g.LastPrice));
        ASSERT_EQ(g.LastVolume, VolumeFromDraw(volumeDraw));
        ASSERT_GE(g.LastVolume, 0.0);
        ASSERT_LE(g.LastVolume, 5000.0);
    }
}

TEST(PriceGenerator, PriceRisesSlightlyMoreOftenThanItFalls) {
    PriceGenerator g = StartedGenerator();
    int ups = 0;
    const int ticks = 100000;
    for (int i = 0; i < ticks; ++i) {
        const double before = g.LastPrice;
        g.GetNextTick();
        ups += g.LastPrice > before ? 1 : 0;
    }
    EXPECT_NEAR(static_cast<double>(ups) / ticks, 0.51, 0.01);
}

TEST(PriceGenerator, FirstBarStaysWithinNineteenCentsOfItsOpen) {
    PriceGenerator g = StartedGenerator();
    g.GetNextPriceBar();
    EXPECT_TRUE(g.BarOpen == 30.01 || g.BarOpen == 29.99) << g.BarOpen;
    EXPECT_LE(g.BarHigh, g.BarOpen + 0.19 + 1e-9);
    EXPECT_GE(g.BarLow, g.BarOpen - 0.19 - 1e-9);
}

TEST(PriceGenerator, BarFoldsTwentyTicksAndFortyDraws) {
    PriceGenerator bars = StartedGenerator();
    PriceGenerator ticks = StartedGenerator();
    for (int bar = 0; bar < 500; ++bar) {
        bars.GetNextPriceBar();
        float volume = 0;
        double open = 0, high = 0, low = 0;
        for (int k = 1; k <= 20; ++k) {
            ticks.GetNextTick();
            if (k == 1) open = high = low = ticks.LastPrice;
            high = std::max(high, ticks.LastPrice);
            low = std::min(low, ticks.LastPrice);
            volume += static_cast<float>(ticks.LastVolume);
        }
        ASSERT_EQ(bars.BarOpen, open);
        ASSERT_EQ(bars.BarHigh, high);
        ASSERT_EQ(bars.BarLow, low);
        ASSERT_EQ(bars.LastPrice, ticks.LastPrice);
        ASSERT_EQ(bars.LastVolume, static_cast<double>(volume));
        ASSERT_GE(bars.BarHigh, std::max(bars.BarOpen, bars.LastPrice));
        ASSERT_LE(bars.BarLow, std::min(bars.BarOpen, bars.LastPrice));
        ASSERT_LE(bars.LastVolume, 100000.0);
    }
    // Same number of draws consumed: the next draws agree.
    EXPECT_EQ(bars.NextRandom(), ticks.NextRandom());
}

TEST(PriceGenerator, BarDrawsExactlyFortyNumbers) {
    PriceGenerator g = StartedGenerator();
    RandomSource reference;
    g.GetNextPriceBar();
    for (int i = 0; i < 40; ++i) reference.Next();
    EXPECT_EQ(g.NextRandom(), reference.Next());
}

TEST(PriceGenerator, NextTickContinuesFromTheBarsClose) {
    PriceGenerator g = StartedGenerator();
    g.GetNextPriceBar();
    const double close = g.LastPrice;
    g.GetNextTick();
    EXPECT_NEAR(std::fabs(g.LastPrice - close), 0.01, 1e-9);
}

TEST(PriceGenerator, TwoRunsWithTheSameCallsAgree) {
    PriceGenerator a = StartedGenerator();
    PriceGenerator b = StartedGenerator();
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 == 0) {
            a.GetNextPriceBar();
            b.GetNextPriceBar();
        } else {
            a.GetNextTick();
            b.GetNextTick();
        }
        ASSERT_EQ(a.LastPrice, b.LastPrice);
        ASSERT_EQ(a.LastVolume, b.LastVolume);
        ASSERT_EQ(a.BarOpen, b.BarOpen);
        ASSERT_EQ(a.BarHigh, b.BarHigh);
        ASSERT_EQ(a.BarLow, b.BarLow);
    }
}

TEST(PriceGenerator, HasNoFloorOrCeiling) {
    PriceGenerator g;
    g.LastPrice = 0.0;
    bool below = false;
    for (int i = 0; i < 20000 && !below; ++i) {
        g.GetNextTick();
        below = g.LastPrice < 0;
    }
    EXPECT_TRUE(below);
}

TEST(PriceGenerator, CentStepsOfWholeCentPricesAreExact) {
    // The walk steps whole cents as integers; this is what the rounded sum must give.
    auto check = [](int64_t k) {
        const double price = static_cast<double>(k) / 100.0;
        ASSERT_EQ(RoundToCents(price + 0.01), static_cast<double>(k + 1) / 100.0) << k;
        ASSERT_EQ(RoundToCents(price - 0.01), static_cast<double>(k - 1) / 100.0) << k;
    };
    for (int64_t k = -300000; k <= 300000; ++k) check(k);
    for (int64_t k = int64_t{1} << 40; k > 1000; k = k / 3 * 2) {
        check(k);
        check(-k);
        check(k + 1);
    }
}

TEST(PriceGenerator, PricesSetFromOutsideAreRoundedExactlyThenWalked) {
    for (double start : {30.005, 0.125, 30.0, -0.375, 1e14, 12.3456}) {
        PriceGenerator g;
        g.LastPrice = start;
        RandomSource reference;
        double price = start;
        for (int i = 0; i < 200; ++i) {
            const float direction = reference.Next();
            reference.Next();
            price = RoundToCents(direction > 0.49f ? price + 0.01 : price - 0.01);
            g.GetNextTick();
            ASSERT_EQ(g.LastPrice, price) << "start " << start << " tick " << i;
            if (i == 100) {
                g.LastPrice = price = start;  // set again in mid-walk
            }
        }
    }
}

TEST(PriceGenerator, BarsFromAnyStartingPriceEqualTheirTwentyTicks) {
    // Whole-cent prices take the integer walk, others (and prices near the limit of that walk)
    // the exact rounding of every tick; both must fold the same ticks into the same bar.
    const double nearLimit = static_cast<double>((int64_t{1} << 40) - 25) / 100.0;
    for (double start : {30.0, 30.005, 0.125, -12.34, 1e14, nearLimit, -nearLimit}) {
        PriceGenerator bars;
        PriceGenerator ticks;
        bars.LastPrice = ticks.LastPrice = start;
        for (int bar = 0; bar < 50; ++bar) {
            bars.GetNextPriceBar();
            float volume = 0;
            double open = 0, high = 0, low = 0;
            for (int k = 1; k <= 20; ++k) {
                ticks.GetNextTick();
                if (k == 1) open = high = low = ticks.LastPrice;
                if (ticks.LastPrice > high) high = ticks.LastPrice;
                if (ticks.LastPrice < low) low = ticks.LastPrice;
                volume += static_cast<float>(ticks.LastVolume);
            }
            ASSERT_EQ(bars.BarOpen, open) << start;
            ASSERT_EQ(bars.BarHigh, high) << start;
            ASSERT_EQ(bars.BarLow, low) << start;
            ASSERT_EQ(bars.LastPrice, ticks.LastPrice) << start;
            ASSERT_EQ(bars.LastVolume, static_cast<double>(volume)) << start;
        }
    }
}

TEST(PriceGenerator, IntegerDrawRulesEqualTheFloatRulesForEveryDraw) {
    // The walk decides direction and volume on the draw's whole number k (r = k / 2^24); this
    // checks both against the stated float rules for every possible draw.
    constexpr uint32_t count = uint32_t{1} << 24;
    for (uint32_t k = 0; k < count; ++k) {
        const float r = static_cast<float>(k) * 0x1p-24f;
        const bool upByFloat = r > 0.49f;
        const bool upByUnits = k > static_cast<uint32_t>(0.49f * 16777216.0f);
        if (upByFloat != upByUnits) FAIL() << "direction differs at " << k;
        if (VolumeFromDrawUnits(k) != VolumeFromDraw(r)) FAIL() << "volume differs at " << k;
    }
}

TEST(PriceGenerator, NonFinitePriceStaysNonFinite) {
    PriceGenerator g;
    g.LastPrice = std::numeric_limits<double>::quiet_NaN();
    g.GetNextTick();
    EXPECT_TRUE(std::isnan(g.LastPrice));
    g.LastPrice = 30.0;
    g.GetNextTick();
    EXPECT_NEAR(g.LastPrice, 30.0, 0.010001);
}

}  // namespace
}  // namespace tarnwick
