#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "pricedata/price_feed.h"
#include "tests/support/recording_host_feed.h"

namespace tarnwick {
namespace {

using testing::ManualClock;
using testing::RecordingHostFeed;

constexpr double Jan1st2003 = 37622.0;
constexpr double TwoHours = 2.0 / 24.0;

// The shared fake collects the rows; these suites only count calls and rows.
using RowCapture = RecordingHostFeed;

FieldList Names(int n) {
    FieldList names;
    const char* base[] = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
    for (int k = 0; k < n; ++k) {
        std::string name = k < 6 ? base[k] : "Extra";
        if (k >= 6) name += std::to_string(k);
        names.push_back(name);
    }
    return names;
}

// Runs one transfer into feed with the clock set so that the feed clock reads feedClock.
void Transfer(PriceFeed& pf, double interval, double start, const FieldList& fields,
              bool progress = false) {
    std::string symbol = "ABC", description = "Alpha", category = "Stock";
    pf.SendSymbolHistory(symbol, description, category, interval, start, fields, progress);
}

double TimeOfDayMinutes(double t) {
    return (t - std::trunc(t)) * 1440.0;
}

struct RowsPerDayCase {
    double interval;
    int rowsPerDay;
    double lastMinute;  // minutes after midnight of the day's last row
};

class RowsPerDayTest : public ::testing::TestWithParam<RowsPerDayCase> {};

TEST_P(RowsPerDayTest, EveryDayHasTheSameRowsFromNineOClock) {
    const RowsPerDayCase c = GetParam();
    ManualClock clock(Jan1st2003 + 3 - TwoHours);  // feed clock: midnight after the third day
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, c.interval, Jan1st2003, Names(6));
    ASSERT_EQ(feed.rowsPerDay.size(), 3u);
    for (const auto& [day, count] : feed.rowsPerDay) {
        EXPECT_EQ(count, c.rowsPerDay) << "day " << day;
    }
    EXPECT_EQ(feed.rows.front().values[1], Jan1st2003 + 9.0 / 24.0);
    for (int day = 0; day < 3; ++day) {
        const auto& first = feed.rows[static_cast<size_t>(day * c.rowsPerDay)];
        const auto& last = feed.rows[static_cast<size_t>((day + 1) * c.rowsPerDay - 1)];
        // Repeated addition drifts by microseconds over a day; whole minutes are what count.
        EXPECT_NEAR(TimeOfDayMinutes(first.values.at(1)), 540.0, 1e-4);
        EXPECT_NEAR(TimeOfDayMinutes(last.values.at(1)), c.lastMinute, 1e-4);
    }
    EXPECT_EQ(feed.Count("ORBGETNUMROWS2"), 3 * c.rowsPerDay);
}

INSTANTIATE_TEST_SUITE_P(Intervals, RowsPerDayTest,
                         ::testing::Values(RowsPerDayCase{60, 8, 960}, RowsPerDayCase{1, 420, 959},
                                           RowsPerDayCase{5, 85, 960}, RowsPerDayCase{15, 29, 960},
                                           RowsPerDayCase{30, 14, 930},
                                           RowsPerDayCase{1440, 1, 540}));

class TickDayTest : public ::testing::TestWithParam<double> {};

TEST_P(TickDayTest, TickModeSendsFortyTwoThousandAndOneRowsADay) {
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    RowCapture feed{true};
    feed.keepRows = false;
    feed.recordLines = false;
    PriceFeed pf(feed, clock);
    Transfer(pf, GetParam(), Jan1st2003, Names(3));
    EXPECT_EQ(feed.rowCount, 42001);
    EXPECT_EQ(feed.Count("ORBGETNUMROWS2"), 42001);
}

INSTANTIATE_TEST_SUITE_P(Intervals, TickDayTest, ::testing::Values(0.0, 0.005, 0.01));

TEST(HistoryTransfer, TickRowsCarryTimePriceVolumeAndStepSixTenthsOfASecond) {
    ManualClock clock(Jan1st2003 + 0.375 + 10.0 / 86400.0 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    pf.Generator().LastPrice = 30.0;
    PriceGenerator reference;
    reference.LastPrice = 30.0;
    Transfer(pf, 0, Jan1st2003, Names(3));
    ASSERT_GE(feed.rows.size(), 16u);
    for (size_t i = 0; i < feed.rows.size(); ++i) {
        reference.GetNextTick();
        const auto& row = feed.rows[i];
        ASSERT_EQ(row.values.size(), 3u);
        EXPECT_NEAR(row.values.at(1), Jan1st2003 + 0.375 + i * 0.6 / 86400.0, 1e-9);
        EXPECT_EQ(row.values.at(2), reference.LastPrice);
        EXPECT_EQ(row.values.at(3), reference.LastVolume);
        EXPECT_EQ(row.interval, 0.0f);
    }
}

TEST(HistoryTransfer, BarModeJustAboveTheTickLimitStepsByItsInterval) {
    ManualClock clock(Jan1st2003 + 0.375 + 5.0 / 86400.0 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, 0.011, Jan1st2003, Names(6));
    ASSERT_GE(feed.rows.size(), 2u);
    EXPECT_EQ(feed.rows[0].values.size(), 6u);
    EXPECT_NEAR(feed.rows[1].values.at(1) - feed.rows[0].values.at(1), 0.011 / 1440.0, 1e-12);
    EXPECT_EQ(feed.Count("ORBGETNUMROWS2"), static_cast<int>(feed.rows.size()));
}

TEST(HistoryTransfer, BarRowsCarryTheBarAndFillersAreFreshDraws) {
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    pf.Generator().LastPrice = 30.0;
    PriceGenerator reference;
    reference.LastPrice = 30.0;
    Transfer(pf, 60, Jan1st2003, Names(8));
    ASSERT_EQ(feed.rows.size(), 8u);
    for (const auto& row : feed.rows) {
        reference.GetNextPriceBar();
        ASSERT_EQ(row.values.size(), 8u);
        EXPECT_EQ(row.values.at(2), reference.BarOpen);
        EXPECT_EQ(row.values.at(3), reference.BarHigh);
        EXPECT_EQ(row.values.at(4), reference.BarLow);
        EXPECT_EQ(row.values.at(5), reference.LastPrice);
        EXPECT_EQ(row.values.at(6), reference.LastVolume);
        EXPECT_EQ(row.values.at(7), static_cast<double>(reference.NextRandom()));
        EXPECT_EQ(row.values.at(8), static_cast<double>(reference.NextRandom()));
    }
    EXPECT_EQ(pf.Generator().NextRandom(), reference.NextRandom());
}

TEST(HistoryTransfer, SixColumnsOfBarsDrawNothingBesidesTheBars) {
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    PriceGenerator reference;
    Transfer(pf, 60, Jan1st2003, Names(6));
    ASSERT_EQ(feed.rows.size(), 8u);
    for (int i = 0; i < 8; ++i) reference.GetNextPriceBar();
    EXPECT_EQ(pf.Generator().NextRandom(), reference.NextRandom());
}

TEST(HistoryTransfer, NoNamesMeansNoLabelsButFullRows) {
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    RecordingHostFeed feed;
    PriceFeed pf(feed, clock);
    Transfer(pf, 60, Jan1st2003, {});
    EXPECT_EQ(feed.calls.front(), "ORBSETUPDATA\tABC\tAlpha\t60\t0\tStock\t37622");
    EXPECT_TRUE(feed.Named("ORBSETLABEL").empty());
    EXPECT_EQ(feed.Named("ORBSETVALUE").size(), 8u * 6u);
    EXPECT_EQ(feed.Named("ORBCOMMITROW").size(), 8u);
}

TEST(HistoryTransfer, SetUpAndLabelsComeFirstWithTheCallersTexts) {
    ManualClock clock(Jan1st2003 + 0.375 - TwoHours);  // the first step only
    RecordingHostFeed feed;
    PriceFeed pf(feed, clock);
    FieldList names = {"Date/Time", "Open", "High", "Low", "Close", "Volume", "OI"};
    Transfer(pf, 0.5, Jan1st2003 + 0.25, names);
    ASSERT_GE(feed.calls.size(), 8u + 7u + 2u);
    EXPECT_EQ(feed.calls[0], "ORBSETUPDATA\tABC\tAlpha\t0.5\t7\tStock\t37622.25");
    for (size_t k = 0; k < names.size(); ++k) {
        EXPECT_EQ(feed.calls[k + 1],
                  "ORBSETLABEL\tABC\t0.5\t" + std::to_string(k + 1) + "\t" + names[k]);
    }
    EXPECT_EQ(feed.calls[8].rfind("ORBSETVALUE\tABC\t0.5\t1\t37622.625", 0), 0u) << feed.calls[8];
    EXPECT_EQ(feed.calls[8 + 7], "ORBCOMMITROW\tABC\t0.5");
    EXPECT_EQ(feed.calls[8 + 8], "ORBGETNUMROWS2\tABC\t0.5\t0.5\t0\t0");
}

TEST(HistoryTransfer, IntervalReachesTheHostAsA32BitFloat) {
    ManualClock clock(Jan1st2003 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, 0.1, Jan1st2003, Names(6));
    ASSERT_EQ(feed.rows.size(), 1u);
    EXPECT_EQ(feed.rows[0].interval, 0.1f);
}

TEST(HistoryTransfer, TheCallersTextsKeepWhatTheLibraryLeftInThem) {
    class RewritingFeed : public RecordingHostFeed {
      public:
        int32_t ORBSETUPDATA(std::string& s, std::string& d, float i, int32_t n, std::string& c,
                             double start) override {
            d[0] = 'X';
            c[0] = 'Y';
            return RecordingHostFeed::ORBSETUPDATA(s, d, i, n, c, start);
        }
        int32_t ORBCOMMITROW(std::string& s, float i) override {
            s[0] = 'Z';
            return RecordingHostFeed::ORBCOMMITROW(s, i);
        }
    };
    ManualClock clock(Jan1st2003 + 0.375 + 120.0 / 86400.0 - TwoHours);
    RewritingFeed feed;
    PriceFeed pf(feed, clock);
    std::string symbol = "ABC", description = "Alpha", category = "Stock";
    pf.SendSymbolHistory(symbol, description, category, 1.0, Jan1st2003, Names(6), false);
    EXPECT_EQ(symbol, "ZBC");
    EXPECT_EQ(description, "Xlpha");
    EXPECT_EQ(category, "Ytock");
    // The second row already goes out under the text the library left.
    const auto values = feed.Named("ORBSETVALUE");
    EXPECT_EQ(values[6].rfind("ORBSETVALUE\tZBC\t", 0), 0u) << values[6];
}

TEST(HistoryTransfer, BarsAsTicksSendFourRowsOfOneBar) {
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    pf.Generator().LastPrice = 30.0;
    PriceGenerator reference;
    reference.LastPrice = 30.0;
    Transfer(pf, -60, Jan1st2003, Names(5));
    ASSERT_EQ(feed.rows.size(), 32u);
    EXPECT_EQ(feed.Count("ORBGETNUMROWS2"), 0);
    for (size_t bar = 0; bar < 8; ++bar) {
        reference.GetNextPriceBar();
        const double time = Jan1st2003 + 0.375 + bar / 24.0;
        const double prices[4] = {reference.BarOpen, reference.BarHigh, reference.BarLow,
                                  reference.LastPrice};
        for (size_t r = 0; r < 4; ++r) {
            const auto& row = feed.rows[bar * 4 + r];
            ASSERT_EQ(row.values.size(), 5u);
            EXPECT_NEAR(row.values.at(1), time, 1e-9);
            EXPECT_EQ(row.values.at(1), feed.rows[bar * 4].values.at(1));
            EXPECT_EQ(row.values.at(2), prices[r]);
            if (r < 3) {
                EXPECT_EQ(row.values.at(3), 0.0);
                EXPECT_EQ(row.values.at(4), 0.0);
                EXPECT_EQ(row.values.at(5), 0.0);
            } else {
                EXPECT_EQ(row.values.at(3), reference.LastVolume);
                EXPECT_EQ(row.values.at(4), static_cast<double>(reference.NextRandom()));
                EXPECT_EQ(row.values.at(5), static_cast<double>(reference.NextRandom()));
            }
        }
    }
    EXPECT_NEAR(TimeOfDayMinutes(feed.rows.back().values.at(1)), 960.0, 1e-6);
}

TEST(HistoryTransfer, StartInTheFutureSendsTheFirstStepAndANegativePercent) {
    ManualClock clock(Jan1st2003 - 10 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, 1, Jan1st2003, Names(6), true);
    EXPECT_EQ(feed.rows.size(), 1u);
    // (0.375 * 100) / -10 = -3.75
    EXPECT_EQ(feed.percents, std::vector<int32_t>{-4});
}

TEST(HistoryTransfer, ProgressNeverReportsZeroOnlyChangesAndEndsNearAHundred) {
    ManualClock clock(Jan1st2003 + 4 + 16.0 / 24.0 - TwoHours);  // 16:00 on the fifth day
    RowCapture feed{true};
    feed.keepRows = false;
    feed.recordLines = false;
    PriceFeed pf(feed, clock);
    Transfer(pf, 1, Jan1st2003, Names(6), true);
    ASSERT_FALSE(feed.percents.empty());
    EXPECT_NE(feed.percents.front(), 0);
    for (size_t i = 1; i < feed.percents.size(); ++i) {
        EXPECT_GT(feed.percents[i], feed.percents[i - 1]);  // the clock stands still here
    }
    EXPECT_GE(feed.percents.back(), 99);
    EXPECT_LE(feed.percents.back(), 100);
}

TEST(HistoryTransfer, NoProgressReportsWithoutShowProgress) {
    ManualClock clock(Jan1st2003 + 2 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, 60, Jan1st2003, Names(6), false);
    EXPECT_TRUE(feed.percents.empty());
}

// A clock that counts its readings.
class CountingClock : public Clock {
  public:
    explicit CountingClock(double now) : now_(now) {}
    double LocalNow() override {
        ++reads;
        return now_;
    }
    int reads = 0;

  private:
    double now_;
};

TEST(HistoryTransfer, ReadsTheFeedClockOnceOrTwicePerStep) {
    for (bool progress : {false, true}) {
        CountingClock clock(Jan1st2003 + 1 - TwoHours);
        RowCapture feed{true};
        PriceFeed pf(feed, clock);
        Transfer(pf, 60, Jan1st2003, Names(6), progress);
        EXPECT_EQ(clock.reads, progress ? 16 : 8);
    }
}

TEST(HistoryTransfer, HistoryBusyHoldsForTheWholeTransferOnly) {
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    RecordingHostFeed feed;
    PriceFeed pf(feed, clock);
    int busyCalls = 0;
    int idleCalls = 0;
    feed.onCall = [&](const std::string&) { (pf.HistoryBusy() ? busyCalls : idleCalls)++; };
    EXPECT_FALSE(pf.HistoryBusy());
    Transfer(pf, 60, Jan1st2003, Names(6), true);
    EXPECT_FALSE(pf.HistoryBusy());
    EXPECT_EQ(idleCalls, 0);
    EXPECT_EQ(busyCalls, static_cast<int>(feed.calls.size()));
}

TEST(HistoryTransfer, HistoryBusyIsClearedWhenTheHostThrows) {
    class ThrowingFeed : public RecordingHostFeed {
      public:
        int32_t ORBCOMMITROW(std::string&, float) override { throw std::runtime_error("host"); }
    };
    ManualClock clock(Jan1st2003 + 1 - TwoHours);
    ThrowingFeed feed;
    PriceFeed pf(feed, clock);
    EXPECT_THROW(Transfer(pf, 60, Jan1st2003, Names(6)), std::runtime_error);
    EXPECT_FALSE(pf.HistoryBusy());
}

TEST(HistoryTransfer, FeedClockAtTheStartReportsAHundred) {
    ManualClock clock(Jan1st2003);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    const double start = clock.FeedClock();  // exactly the feed clock: the span is zero
    Transfer(pf, 1, start, Names(6), true);
    EXPECT_EQ(feed.rows.size(), 1u);
    EXPECT_EQ(feed.percents, std::vector<int32_t>{100});
}

struct EndingCase {
    const char* name;
    double interval;
    double start;
    size_t rows;
};

class TransferEndsTest : public ::testing::TestWithParam<EndingCase> {};

TEST_P(TransferEndsTest, EndsAfterTheFirstStepWhenTimeCannotAdvance) {
    const EndingCase c = GetParam();
    ManualClock clock(Jan1st2003 + 5000);  // years of history ahead
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, c.interval, c.start, Names(6), true);
    EXPECT_EQ(feed.rows.size(), c.rows) << c.name;
    EXPECT_FALSE(pf.HistoryBusy());
}

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Faults, TransferEndsTest,
    ::testing::Values(EndingCase{"huge interval", 1e300, Jan1st2003, 1},
                      EndingCase{"infinite interval", Inf, Jan1st2003, 1},
                      EndingCase{"minus infinite interval", -Inf, Jan1st2003, 4},
                      EndingCase{"NaN start", 1, NaN, 1},
                      EndingCase{"minus infinite start", 1, -Inf, 1},
                      EndingCase{"start beyond the step's precision", 1, 1e300, 1}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST(HistoryTransfer, TinyNegativeIntervalsStepAtLeastLikeTicks) {
    for (double interval : {-1e-300, -1e-8, -0.005}) {
        ManualClock clock(Jan1st2003 + 0.375 + 30.0 / 86400.0 - TwoHours);
        RowCapture feed{true};
        PriceFeed pf(feed, clock);
        Transfer(pf, interval, Jan1st2003, Names(3), true);
        // 30 seconds in 0.6-second steps, four rows a step.
        EXPECT_GE(feed.rows.size(), 200u) << interval;
        EXPECT_LE(feed.rows.size(), 204u) << interval;
    }
}

TEST(HistoryTransfer, NaNIntervalIsServedAsTicksAndEnds) {
    ManualClock clock(Jan1st2003 + 0.375 + 30.0 / 86400.0 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, NaN, Jan1st2003, Names(3), true);
    // 30 seconds of 0.6-second ticks; the last may fall either side of the clock by rounding.
    EXPECT_GE(feed.rows.size(), 50u);
    EXPECT_LE(feed.rows.size(), 51u);
    EXPECT_EQ(feed.rows[0].values.size(), 3u);
}

TEST(ProgressPercent, RoundsHalvesToEven) {
    EXPECT_EQ(ProgressPercent(1, 0, 2), 50);
    EXPECT_EQ(ProgressPercent(1, 0, 8), 12);    // 12.5
    EXPECT_EQ(ProgressPercent(3, 0, 8), 38);    // 37.5
    EXPECT_EQ(ProgressPercent(-1, 0, 8), -12);  // -12.5
    EXPECT_EQ(ProgressPercent(5, 0, 8), 62);    // 62.5
    EXPECT_EQ(ProgressPercent(1, 0, 3), 33);
}

TEST(ProgressPercent, FaultsGetDefinedAnswers) {
    EXPECT_EQ(ProgressPercent(37622.375, 37622, 37622), 100);
    EXPECT_EQ(ProgressPercent(1e10, 0, 1e-10), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ProgressPercent(1e10, 0, -1e-10), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ProgressPercent(1, 0, Inf), 0);
    EXPECT_EQ(ProgressPercent(Inf, 0, 1), std::numeric_limits<int32_t>::max());
    EXPECT_FALSE(ProgressPercent(NaN, 0, 1).has_value());
    EXPECT_FALSE(ProgressPercent(1, NaN, 1).has_value());
    EXPECT_FALSE(ProgressPercent(Inf, 0, Inf).has_value());
}

// Every build (Linux, 32-bit and 64-bit Windows) sends the same rows bit for bit: a digest of
// every value's bits and column over three transfers (bars with filler draws, ticks, bars as
// ticks), pinned here and checked wherever the suite runs.
TEST(HistoryTransfer, RowsAreTheSameBitForBitOnEveryBuild) {
    ManualClock clock(Jan1st2003 + 2 + 0.5 - TwoHours);
    RowCapture feed{true};
    PriceFeed pf(feed, clock);
    Transfer(pf, 1, Jan1st2003, Names(8));
    Transfer(pf, 0, Jan1st2003 + 2, Names(4));
    Transfer(pf, -30, Jan1st2003, Names(5));
    uint64_t digest = 14695981039346656037ULL;  // FNV-1a, 64 bits
    auto mix = [&digest](uint64_t word) {
        for (int byte = 0; byte < 8; ++byte, word >>= 8) {
            digest = (digest ^ (word & 0xFF)) * 1099511628211ULL;
        }
    };
    for (const auto& row : feed.rows) {
        for (const auto& [column, value] : row.values) {
            uint64_t bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            mix(static_cast<uint64_t>(column));
            mix(bits);
        }
    }
    EXPECT_EQ(feed.rows.size(), 19157u);
    EXPECT_EQ(digest, 3408300054679890132u);
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST(HistoryTransfer, IntervalsBeyondTheFloatRangeReachTheLibraryAsInfinity) {
    for (auto [interval, text] : {std::pair{1e300, "inf"}, std::pair{-1e300, "-inf"}}) {
        testing::ManualClock clock(37622 + 8.0 / 24);
        testing::RecordingHostFeed feed;
        PriceFeed pf(feed, clock);
        std::string symbol = "ABC", description = "", category = "";
        pf.SendSymbolHistory(symbol, description, category, interval, 37622.0, {}, false);
        ASSERT_FALSE(feed.calls.empty());
        EXPECT_EQ(feed.calls[0], std::string("ORBSETUPDATA\tABC\t\t") + text + "\t0\t\t37622");
    }
}

}  // namespace
}  // namespace tarnwick
