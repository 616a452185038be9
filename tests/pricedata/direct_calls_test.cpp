// A transfer through the loaded library's direct entry points sends exactly what it sends
// through the HostFeed interface.
#include <gtest/gtest.h>

#include "pricedata/price_feed.h"
#include "tests/support/recording_host_feed.h"

namespace tarnwick {
namespace {

// The entry points are plain C functions, so they reach the recording through this pointer,
// set for the duration of one test.
testing::RecordingHostFeed* recorder = nullptr;

int32_t ORBFEED_CALL SetValue(char* s, float i, int32_t k, double v) {
    std::string symbol(s);
    return recorder->ORBSETVALUE(symbol, i, k, v);
}
int32_t ORBFEED_CALL CommitRow(char* s, float i) {
    std::string symbol(s);
    return recorder->ORBCOMMITROW(symbol, i);
}
int32_t ORBFEED_CALL NumRows(char* s, float i, float i2, int32_t z1, int32_t z2) {
    std::string symbol(s);
    return recorder->ORBGETNUMROWS2(symbol, i, i2, z1, z2);
}

// Records like RecordingHostFeed, but offers the per-row operations as direct entry points.
class DirectFeed : public testing::RecordingHostFeed {
  public:
    const DirectCalls* Direct(const std::string&) const override { return &calls_; }

  private:
    DirectCalls calls_{SetValue, CommitRow, NumRows};
};

TEST(DirectCalls, SendTheSameCallsAsTheInterface) {
    for (double interval : {1.0, 0.0, -60.0}) {
        testing::ManualClock clock1(37622 + 8.0 / 24), clock2(37622 + 8.0 / 24);
        testing::RecordingHostFeed plain;
        DirectFeed direct;
        recorder = &direct;
        PriceFeed a(plain, clock1), b(direct, clock2);
        const FieldList names = {"Date/Time", "Open", "High", "Low", "Close", "Volume", "X"};
        for (PriceFeed* pf : {&a, &b}) {
            std::string symbol = "ABC", description = "Alpha", category = "Stock";
            pf->SendSymbolHistory(symbol, description, category, interval, 37622.0, names, true);
        }
        recorder = nullptr;
        EXPECT_GT(plain.rowCount, 0) << interval;
        EXPECT_EQ(plain.calls, direct.calls) << interval;
    }
}

}  // namespace
}  // namespace tarnwick
