#pragma once
// The synthetic price generator: one random walk shared by every symbol.
#include <cmath>
#include <cstdint>

#include "random_source.h"

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
// r = 1/16 (312.5 -> 312) is recognised as one. The result lies in 0..5000.
inline int32_t VolumeFromDraw(float r) {
    const double v = static_cast<double>(r) * 5000.0;
    const int32_t whole = static_cast<int32_t>(v);  // v >= 0: truncation is floor
    const double rest = v - whole;                  // exact
    return (rest > 0.5 || (rest == 0.5 && (whole & 1) != 0)) ? whole + 1 : whole;
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
    RandomSource random_;
};

// Both operations are inline: they are the innermost loop of every history transfer.

inline void PriceGenerator::GetNextTick() {
    // Direction first: up with probability 0.51, the comparison made in 32-bit floats.
    const float direction = NextRandom();
    if (direction > 0.49f) {
        LastPrice += 0.01;
    } else {
        LastPrice -= 0.01;
    }
    LastPrice = RoundToCents(LastPrice);
    LastVolume = static_cast<double>(VolumeFromDraw(NextRandom()));
}

inline void PriceGenerator::GetNextPriceBar() {
    float sum = 0;  // the bar's volume is summed in 32-bit floats
    GetNextTick();
    BarOpen = BarHigh = BarLow = LastPrice;  // the open is the price after the first tick
    sum = static_cast<float>(static_cast<double>(sum) + LastVolume);
    for (int k = 2; k <= 20; ++k) {
        GetNextTick();
        if (LastPrice > BarHigh) BarHigh = LastPrice;
        if (LastPrice < BarLow) BarLow = LastPrice;
        sum = static_cast<float>(static_cast<double>(sum) + LastVolume);
    }
    LastVolume = sum;
}

}  // namespace tarnwick
