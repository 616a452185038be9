#pragma once
// The synthetic price generator: one random walk shared by every symbol.
#include "random_source.h"

namespace tarnwick {

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

}  // namespace tarnwick
