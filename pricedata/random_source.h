#pragma once
// NextRandom's source: a small, exactly specified generator with a fixed default seed.
// (Implementation and the choice of algorithm: random_source.cpp.)
#include <cstdint>

namespace tarnwick {

class RandomSource {
public:
    RandomSource();
    // A uniform 32-bit float in [0, 1).
    float Next();

private:
    uint64_t state_[2];
};

}  // namespace tarnwick
