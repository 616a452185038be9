// NumberValue on very long numbers: the value of a number does not depend on how many digits it
// spends on zeros.
#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "host/text_rules.h"

namespace tarnwick {
namespace {

// A million zeros after the point, then 1, then an exponent that moves the point back past them:
// the value is .1. The leading zeros lower the scale without bound while the exponent is capped
// near 100 000, and 0 comes out instead.
TEST(NumberValueRegression, ManyLeadingFractionZerosThenLargeExponent) {
    const std::string text = "." + std::string(1000000, '0') + "1e1000000";
    EXPECT_EQ(NumberValue(text), 0.1);
}

// 1 followed by 200 000 zeros, times 10^-200000, is 1. Integer digits past the kept ones raise
// the scale only up to its cap, so the exponent then takes the value to 0.
TEST(NumberValueRegression, ManyIntegerZerosThenNegativeExponent) {
    const std::string text = "1" + std::string(200000, '0') + "e-200000";
    EXPECT_EQ(NumberValue(text), 1.0);
}

// The same numbers at a length the caps do not reach are read correctly.
TEST(NumberValueRegression, LongZeroRunsWithinTheCaps) {
    EXPECT_EQ(NumberValue("." + std::string(5000, '0') + "1e5001"), 1.0);
    EXPECT_EQ(NumberValue("1" + std::string(5000, '0') + "e-5000"), 1.0);
}

}  // namespace
}  // namespace tarnwick
