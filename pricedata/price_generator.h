#pragma once
// The synthetic price generator: one random walk shared by every symbol.
#include <cmath>
#include <cstdint>
#include <limits>

#include "pricedata/random_source.h"

namespace tarnwick {

// x rounded to two decimal places, halves to even, as the double nearest to the rounded decimal.
//
// x * 100 is usually inexact, so it alone cannot tell an exact half from a value just beside one.
// The product is therefore split exactly: p = fl(x * 100) and e = fma(x, 100, -p), with
// p + e == x * 100 exactly. Far from a half (the fractional part of p below 1/4 or above 3/4)
// p alone decides, since |e| is at most half an ulp of p. Near a half, the exact comparison of
// (frac(p) - 1/2) with -e decides, and an exact half goes to the even whole number of cents.
// The whole number n is then divided by 100 once, which yields the double nearest to n / 100.
//
// Exact halves exist: 0.125, 30.375 and every odd multiple of 1/8 are exact doubles. Values whose
// magnitude reaches 2^51 / 100 (about 2.2e13) are returned unchanged, as are NaN and infinities:
// no walk reaches them (a tick moves the price by one cent), and near there the spacing of doubles
// approaches a cent. Needs the default rounding mode, which the program never changes.
inline double RoundToCents(double x) {
    const double p = x * 100.0;
    if (!(std::fabs(p) < 0x1p51)) return x;
    double fl = static_cast<double>(static_cast<int64_t>(p));  // truncation, exact
    if (fl > p) fl -= 1.0;                                     // floor
    const double d = p - fl;                                   // exact, 0 <= d < 1
    double n = fl;
    if (d > 0.75) {
        n = fl + 1.0;
    } else if (d >= 0.25) {
        const double e = std::fma(x, 100.0, -p);  // x * 100 == p + e exactly
        const double t = d - 0.5;                 // exact for d in [1/4, 3/4]
        if (t > -e || (t == -e && std::fmod(fl, 2.0) != 0.0)) n = fl + 1.0;
    }
    return n / 100.0;
}

// The volume of one tick from its draw r: r * 5000 rounded to a whole number, halves to even.
// The product is formed in 64-bit floating point, where it is exact (r has 24 significant bits,
// 5000 has 13), so the only rounding is the one to a whole number and an exact half such as
// r = 1/16 (312.5 -> 312) is recognised as one. The result lies in 0..5000 for every draw; a
// value that is no draw at all is clamped to the 32-bit range (NaN gives 0).
inline int32_t VolumeFromDraw(float r) {
    const double v = static_cast<double>(r) * 5000.0;
    if (!(v >= 0.0)) return 0;  // not a draw (negative or NaN): no volume
    if (v >= 2147483647.0) return 2147483647;
    const int32_t whole = static_cast<int32_t>(v);  // v >= 0: truncation is floor
    const double rest = v - whole;                  // exact
    return (rest > 0.5 || (rest == 0.5 && (whole & 1) != 0)) ? whole + 1 : whole;
}

// VolumeFromDraw for the draw r = units / 2^24, in integer arithmetic: r * 5000 is
// units * 625 / 2^21 exactly, so the quotient and remainder by 2^21 give the rounding, halves to
// even. Equals VolumeFromDraw(units * 2^-24) for every units in [0, 2^24). The product is split
// at bit 21 of units so that every step fits 32 bits: units = a * 2^21 + b gives
// units * 625 = a * 625 * 2^21 + b * 625, with b * 625 below 2^31.
inline int32_t VolumeFromDrawUnits(uint32_t units) {
    constexpr uint32_t low21 = (uint32_t{1} << 21) - 1;
    const uint32_t low = (units & low21) * 625u;
    const uint32_t whole = (units >> 21) * 625u + (low >> 21);
    const uint32_t rest = low & low21;
    constexpr uint32_t half = uint32_t{1} << 20;
    // rest is a whole number, so "rest > half, or rest == half with whole odd" is this:
    const bool up = rest + (whole & 1u) > half;
    return static_cast<int32_t>(whole + (up ? 1u : 0u));
}

class PriceGenerator {
  public:
    double LastPrice = 0;
    double BarOpen = 0;
    double BarHigh = 0;
    double BarLow = 0;
    double LastVolume = 0;

    // A uniform 32-bit float in [0, 1).
    float NextRandom() { return random_.Next(); }
    // Advances the walk by one tick: LastPrice and LastVolume.
    void GetNextTick();
    // Advances the walk by twenty ticks: BarOpen, BarHigh, BarLow, LastPrice, LastVolume.
    void GetNextPriceBar();

  private:
    // Whole cents beyond which the fast path of GetNextTick is not used (about 1.1e10 in price:
    // far beyond any walk, well within the range where one cent is far above the spacing of
    // doubles, so k / 100.0 + 0.01 rounds to (k + 1) / 100.0 exactly).
    static constexpr int64_t CentsLimit = int64_t{1} << 40;
    // Whole cents within which a bar's twenty steps stay inside 32-bit integers.
    static constexpr int64_t Cents32Limit = int64_t{1} << 30;
    // r > 0.49f exactly when r's whole number k (r = k / 2^24) exceeds this: 0.49f * 2^24 is
    // exact (a power-of-two scaling), and k > x is k > floor(x) for a whole number k.
    static constexpr uint32_t UpThreshold = static_cast<uint32_t>(0.49f * 16777216.0f);
    // One tick; returns its volume.
    int32_t Tick();
    // One bar on the whole-cent walk, in integers of type Cents; returns its volume.
    template <typename Cents>
    int32_t CentsBar();
    // Re-derives cents_ from LastPrice after a slow step.
    void SyncCents();

    RandomSource random_;
    // LastPrice as a whole number of cents, valid while LastPrice == centsPrice_ (a NaN
    // centsPrice_ matches nothing). The walk then steps the integer, keeping the division by 100
    // off the chain from one tick to the next; anyone who sets LastPrice (the program sets 30 at
    // start) simply makes the next tick take the exact slow path once.
    int64_t cents_ = 0;
    double centsPrice_ = 0;
};

// Both operations are inline: they are the innermost loop of every history transfer.

inline int32_t PriceGenerator::Tick() {
    // Direction first: up with probability 0.51 (r > 0.49 in 32-bit floats, made on the draw's
    // whole number; see UpThreshold).
    const bool up = random_.NextUnits() > UpThreshold;
    if (LastPrice == centsPrice_ && cents_ < CentsLimit && cents_ > -CentsLimit) {
        // LastPrice is k / 100.0: adding or subtracting 0.01 and rounding to cents gives exactly
        // (k +- 1) / 100.0, computed here without the rounding steps.
        cents_ += up ? 1 : -1;
        LastPrice = centsPrice_ = static_cast<double>(cents_) / 100.0;
    } else {
        LastPrice = RoundToCents(up ? LastPrice + 0.01 : LastPrice - 0.01);
        SyncCents();
    }
    const int32_t volume = VolumeFromDrawUnits(random_.NextUnits());
    LastVolume = static_cast<double>(volume);
    return volume;
}

inline void PriceGenerator::GetNextTick() {
    Tick();
}

inline void PriceGenerator::SyncCents() {
    const double scaled = LastPrice * 100.0;
    if (std::fabs(scaled) < static_cast<double>(CentsLimit)) {
        const auto k = static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
        if (static_cast<double>(k) / 100.0 == LastPrice) {
            cents_ = k;
            centsPrice_ = LastPrice;
            return;
        }
    }
    centsPrice_ = std::numeric_limits<double>::quiet_NaN();
}

template <typename Cents>
int32_t PriceGenerator::CentsBar() {
    // Whole-cent walk: every tick would set LastPrice to k / 100.0, which orders exactly as k
    // does, so open, high, low and close are followed as whole cents and divided once.
    auto k = static_cast<Cents>(cents_);
    int32_t sum = 0;
    k += random_.NextUnits() > UpThreshold ? 1 : -1;
    sum += VolumeFromDrawUnits(random_.NextUnits());
    const Cents open = k;
    Cents high = k;
    Cents low = k;
    for (int tick = 2; tick <= 20; ++tick) {
        k += random_.NextUnits() > UpThreshold ? 1 : -1;
        sum += VolumeFromDrawUnits(random_.NextUnits());
        high = k > high ? k : high;
        low = k < low ? k : low;
    }
    cents_ = k;
    LastPrice = centsPrice_ = static_cast<double>(k) / 100.0;
    BarOpen = static_cast<double>(open) / 100.0;
    BarHigh = static_cast<double>(high) / 100.0;
    BarLow = static_cast<double>(low) / 100.0;
    return sum;
}

inline void PriceGenerator::GetNextPriceBar() {
    // The bar's volume is the sum of its ticks' volumes in 32-bit floats. Every partial sum is a
    // whole number of at most 20 * 5000 = 100000, which a 32-bit float holds exactly, so each
    // float addition is exact and an integer sum gives the same value without the conversions.
    int32_t sum = 0;
    if (LastPrice == centsPrice_ && cents_ < Cents32Limit && cents_ > -Cents32Limit) {
        sum = CentsBar<int32_t>();  // 32-bit cents: single instructions on 32-bit targets
    } else if (LastPrice == centsPrice_ && cents_ < CentsLimit - 20 && cents_ > 20 - CentsLimit) {
        sum = CentsBar<int64_t>();
    } else {
        sum = Tick();
        BarOpen = BarHigh = BarLow = LastPrice;  // the open is the price after the first tick
        for (int tick = 2; tick <= 20; ++tick) {
            sum += Tick();
            if (LastPrice > BarHigh) BarHigh = LastPrice;
            if (LastPrice < BarLow) BarLow = LastPrice;
        }
    }
    LastVolume = static_cast<double>(static_cast<float>(sum));
}

}  // namespace tarnwick
