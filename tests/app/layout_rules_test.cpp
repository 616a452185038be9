#include "app/layout_rules.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

constexpr float MinW = 7485;
constexpr float MinH = 3630;

LayoutInput Input(float w, float h, WindowShowState state = WindowShowState::Normal) {
    LayoutInput in;
    in.outerWidth = w;
    in.outerHeight = h;
    in.minWidth = MinW;
    in.minHeight = MinH;
    in.state = state;
    return in;
}

TEST(FormResize, NothingHappensWhileMinimizedOrMaximized) {
    EXPECT_FALSE(FormResize(Input(100, 100, WindowShowState::Minimized)));
    EXPECT_FALSE(FormResize(Input(20000, 15000, WindowShowState::Maximized)));
}

struct SizeCase {
    float w, h;
    float expectW, expectH;
    bool widthCorrected, heightCorrected;
};

class FormResizeSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FormResizeSizes, RaisesEachDimensionToItsMinimumAlone) {
    const SizeCase& c = GetParam();
    const auto r = FormResize(Input(c.w, c.h));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->outerWidth, c.expectW);
    EXPECT_EQ(r->outerHeight, c.expectH);
    EXPECT_EQ(r->widthCorrected, c.widthCorrected);
    EXPECT_EQ(r->heightCorrected, c.heightCorrected);
    // The rest of the pass works with the corrected size.
    EXPECT_EQ(r->listWidth, c.expectW - 360);
    EXPECT_EQ(r->listHeight, c.expectH - 700);
    EXPECT_EQ(r->addTop, 120 + c.expectH - 700 + 105);
    EXPECT_EQ(r->removeTop, r->addTop);
    EXPECT_TRUE(r->hideStatusBar);
    EXPECT_TRUE(r->hideAdd);
    EXPECT_TRUE(r->hideRemove);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FormResizeSizes,
    ::testing::Values(SizeCase{MinW, MinH, MinW, MinH, false, false},
                      SizeCase{9000, 6000, 9000, 6000, false, false},
                      SizeCase{5000, 6000, MinW, 6000, true, false},  // too narrow only
                      SizeCase{9000, 1000, 9000, MinH, false, true},  // too low only
                      SizeCase{100, 100, MinW, MinH, true, true},     // both
                      SizeCase{MinW - 15, MinH, MinW, MinH, true, false}));

TEST(FormResize, DesignSizeGivesTheListItsMarginsAndButtonsBelowIt) {
    const auto r = FormResize(Input(MinW, MinH));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->listWidth, 7125);
    EXPECT_EQ(r->listHeight, 2930);
    EXPECT_EQ(r->addTop, 3155);
}

TEST(FormResize, APassWithTheCorrectedSizeChangesNothingFurther) {
    // The nested pass raised by a correction sees the corrected size and corrects nothing.
    const auto outer = FormResize(Input(100, 9000));
    ASSERT_TRUE(outer);
    const auto nested = FormResize(Input(outer->outerWidth, outer->outerHeight));
    ASSERT_TRUE(nested);
    EXPECT_FALSE(nested->widthCorrected);
    EXPECT_FALSE(nested->heightCorrected);
    EXPECT_EQ(nested->listWidth, outer->listWidth);
    EXPECT_EQ(nested->listHeight, outer->listHeight);
    EXPECT_EQ(nested->addTop, outer->addTop);
}

TEST(Twips, ConvertAtFifteenPerPixelRoundingToTheNearestPixel) {
    EXPECT_EQ(PixelsFromTwips(7485), 499);
    EXPECT_EQ(PixelsFromTwips(3630), 242);
    EXPECT_EQ(PixelsFromTwips(2930), 195);  // 195.33
    EXPECT_EQ(PixelsFromTwips(3155), 210);  // 210.33
    EXPECT_EQ(PixelsFromTwips(1815), 121);
    EXPECT_EQ(PixelsFromTwips(-15), -1);
    EXPECT_EQ(TwipsFromPixels(499), 7485);
}

}  // namespace
}  // namespace tarnwick
