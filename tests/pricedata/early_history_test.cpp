// Histories that start before 30 December 1899: every row, decoded from the classic encoding
// (whole part the day toward zero, the fraction's magnitude the time of day), lies between 09:00
// and 16:00, none is earlier than the row before, and every day has the same rows.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "dates/classic_date.h"
#include "pricedata/price_feed.h"
#include "tests/support/recording_host_feed.h"
#include "tickers/date_text.h"

namespace tarnwick {
namespace {

// Decodes column 1 of every committed row and checks the order as it goes.
class DecodingFeed : public testing::RecordingHostFeed {
  public:
    std::map<long long, int> rowsPerDay;
    long long outsideHours = 0;
    long long backwards = 0;
    double firstValue = 0;
    long long rows = 0;

    DecodingFeed() { recordLines = false; }
    int32_t ORBSETVALUE(std::string&, float, int32_t column, double value) override {
        if (column == 1) time_ = value;
        return 0;
    }
    int32_t ORBCOMMITROW(std::string&, float) override {
        const double day = std::trunc(time_);
        const long long minute = std::llround(std::fabs(time_ - day) * 1440.0);
        if (minute < 540 || minute > 960) ++outsideHours;
        const long long at = static_cast<long long>(day) * 1440 + minute;  // calendar minute
        if (rows > 0 && at < last_) ++backwards;
        if (rows == 0) firstValue = time_;
        last_ = at;
        ++rowsPerDay[static_cast<long long>(day)];
        ++rows;
        return 0;
    }

  private:
    double time_ = 0;
    long long last_ = 0;
};

struct EarlyCase {
    double interval;
    int startDay;     // of December 1899
    int rowsPerDay;   // without a 16:00 row
    int rowsPerStep;  // one, or four for bars as ticks
};

class EarlyHistoryTest : public ::testing::TestWithParam<EarlyCase> {};

TEST_P(EarlyHistoryTest, RowsRunForwardFromNineToFourEveryDay) {
    const EarlyCase c = GetParam();
    const double start = DayNumberOf(1899, 12, c.startDay);
    // The feed clock at midnight after 2 January 1900 (local time is two hours behind it).
    testing::ManualClock clock(DayNumberOf(1900, 1, 3) - 2.0 / 24.0);
    DecodingFeed feed;
    PriceFeed pf(feed, clock);
    std::string symbol = "OLD", description = "Old", category = "Stock";
    pf.SendSymbolHistory(symbol, description, category, c.interval, start,
                         {"Date/Time", "Open", "High", "Low", "Close", "Volume"}, true);
    EXPECT_EQ(feed.outsideHours, 0);
    EXPECT_EQ(feed.backwards, 0);
    EXPECT_EQ(feed.firstValue, start - 0.375);  // 09:00 of the first day, counted forward
    const long long days = static_cast<long long>(DayNumberOf(1900, 1, 3) - start);
    ASSERT_EQ(static_cast<long long>(feed.rowsPerDay.size()), days);
    // Whether a day gets its 16:00 row depends on the rounding of the repeated addition, as on
    // any day: a day has its rows with or without that one.
    for (const auto& [day, count] : feed.rowsPerDay) {
        EXPECT_TRUE(count == c.rowsPerDay || count == c.rowsPerDay + c.rowsPerStep)
            << "day " << day << ": " << count << " rows";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, EarlyHistoryTest,
                         ::testing::Values(EarlyCase{1, 1, 420, 1}, EarlyCase{60, 1, 7, 1},
                                           EarlyCase{0, 29, 42000, 1},
                                           EarlyCase{-1, 25, 4 * 420, 4}));

TEST(ClassicDate, TheStraightLineAndTheClassicEncodingMeetAtDayZero) {
    struct Pair {
        double line, classic;
    };
    for (const Pair& p : {Pair{-0.75, -1.25}, Pair{-0.625, -1.375}, Pair{-1.0, -1.0},
                          Pair{-29.0 + 0.375, -29.375}, Pair{0.5, 0.5}, Pair{37622.25, 37622.25}}) {
        EXPECT_EQ(ClassicFromLinear(p.line), p.classic) << p.line;
        EXPECT_EQ(LinearFromClassic(p.classic), p.line) << p.classic;
    }
    EXPECT_EQ(LinearFromClassic(-0.5), 0.5);  // 30 December 1899 12:00 has two spellings
}

}  // namespace
}  // namespace tarnwick
