// Telling the pump's completion report apart from the transfer's own 100.
#include "feedlib/progress_rule.h"

#include <gtest/gtest.h>

namespace orbfeed {
namespace {

using namespace std::chrono_literals;
using Clock = FinalProgressRule::Clock;

class RuleTest : public ::testing::Test {
  protected:
    // Commits rows spread over d, sampled every 50 ms as the library's thread does.
    void RowsFor(std::chrono::milliseconds d, uint64_t rowsPer50ms) {
        for (auto t = 0ms; t < d; t += 50ms) {
            now_ += 50ms;
            commits_ += rowsPer50ms;
            rule_.Sample(now_, commits_);
        }
    }
    void Idle(std::chrono::milliseconds d) { RowsFor(d, 0); }
    bool Percent(int32_t p) { return rule_.Percent(now_, p, commits_); }

    FinalProgressRule rule_;
    Clock::time_point now_ = Clock::time_point(1000s);
    uint64_t commits_ = 0;
};

TEST_F(RuleTest, TheTransfersOwn100ThenMoreRowsThenTheCompletion) {
    rule_.RequestSent();
    rule_.SetUp(now_, commits_);
    for (int p = 1; p < 100; ++p) {
        RowsFor(50ms, 20000);
        EXPECT_FALSE(Percent(p));
    }
    RowsFor(50ms, 20000);
    EXPECT_FALSE(Percent(100));  // rounds to 100, rows still coming
    RowsFor(1500ms, 20000);      // the tail of a long history
    Idle(1000ms);                // the pump's one-second pause
    EXPECT_TRUE(Percent(100));
}

TEST_F(RuleTest, AShortTransferThatNeverReported100) {
    rule_.RequestSent();
    rule_.SetUp(now_, commits_);
    RowsFor(50ms, 300);
    EXPECT_FALSE(Percent(40));
    RowsFor(50ms, 300);
    EXPECT_FALSE(Percent(99));
    RowsFor(50ms, 300);  // the last rows, no report
    Idle(1000ms);
    EXPECT_TRUE(Percent(100));
}

TEST_F(RuleTest, ATransferWithoutAnyReportBeforeItsCompletion) {
    rule_.RequestSent();
    rule_.SetUp(now_, commits_);
    RowsFor(50ms, 3);
    Idle(1000ms);
    EXPECT_TRUE(Percent(100));
}

TEST_F(RuleTest, LiveRowsDuringThePauseDoNotHideTheCompletion) {
    rule_.SetUp(now_, commits_);
    RowsFor(100ms, 5000);
    EXPECT_FALSE(Percent(100));
    for (int i = 0; i < 4; ++i) {  // one live row per 500 ms
        Idle(250ms);
        RowsFor(50ms, 1);
        Idle(200ms);
    }
    EXPECT_TRUE(Percent(100));
}

TEST_F(RuleTest, A100WithinTheQuietTimeIsNotFinal) {
    rule_.SetUp(now_, commits_);
    RowsFor(100ms, 10);
    EXPECT_FALSE(Percent(50));
    Idle(800ms);
    EXPECT_FALSE(Percent(100));
}

TEST_F(RuleTest, RowsRightBeforeThe100AreNotFinal) {
    rule_.SetUp(now_, commits_);
    EXPECT_FALSE(Percent(99));
    Idle(1000ms);
    RowsFor(200ms, 1000);
    EXPECT_FALSE(Percent(100));
}

TEST_F(RuleTest, NoSetUpSinceTheRequestMeansNoDataCame) {
    rule_.SetUp(now_, commits_);
    RowsFor(500ms, 1000);
    rule_.RequestSent();
    RowsFor(200ms, 1000);  // an earlier transfer still running
    EXPECT_TRUE(Percent(100));
}

TEST_F(RuleTest, A100BeforeAnyTableIsFinal) {
    EXPECT_TRUE(Percent(100));
}

TEST_F(RuleTest, OtherPercentagesAreNeverFinal) {
    rule_.SetUp(now_, commits_);
    Idle(2000ms);
    EXPECT_FALSE(Percent(99));
    Idle(2000ms);
    EXPECT_FALSE(Percent(101));
}

}  // namespace
}  // namespace orbfeed
