// The load-time placement and the nested-pause policy that every front end shares.
#include <gtest/gtest.h>

#include "shell/centring.h"
#include "shell/pause_nesting.h"

namespace tarnwick {
namespace {

TEST(PlaceOnLoad, TheLoadSizeIsTheMinimumAndTheWindowIsCentred) {
    struct Case {
        float w, h, screenW, screenH, left, top;
    };
    const Case cases[] = {
        {7605, 4140, 19200, 10800, 5797.5f, 3330},  // 1280 x 720 pixels
        {7605, 4140, 7605, 4140, 0, 0},             // exactly the screen
        {7605, 4140, 6000, 3000, -802.5f, -570},    // larger than the screen
    };
    for (const Case& c : cases) {
        const LoadPlacement p = PlaceOnLoad(c.w, c.h, c.screenW, c.screenH);
        EXPECT_EQ(p.minWidth, c.w);
        EXPECT_EQ(p.minHeight, c.h);
        EXPECT_EQ(p.left, c.left) << c.screenW;
        EXPECT_EQ(p.top, c.top) << c.screenH;
    }
}

TEST(PauseNesting, DeliversUpToEightDeepAndResumesWhenOneReturns) {
    PauseNesting pauses;
    for (int depth = 0; depth < PauseNesting::MaxDepth; ++depth) {
        EXPECT_TRUE(pauses.DeliverAllowed()) << depth;
        pauses.Enter();
    }
    EXPECT_EQ(pauses.Depth(), 8);
    EXPECT_FALSE(pauses.DeliverAllowed());
    // Leaving the innermost pause frees delivery, and says so once.
    EXPECT_TRUE(pauses.Leave());
    EXPECT_TRUE(pauses.DeliverAllowed());
    int resumes = 0;
    while (pauses.Depth() > 0) resumes += pauses.Leave() ? 1 : 0;
    EXPECT_EQ(resumes, 0);
}

}  // namespace
}  // namespace tarnwick
