#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "host/text_rules.h"
#include "pricedata/price_feed.h"
#include "tests/support/recording_host_feed.h"

namespace tarnwick {
namespace {

using testing::ManualClock;
using testing::RecordingHostFeed;

constexpr double Day = 37622.0;
constexpr double TwoHours = 2.0 / 24.0;

double At(int hours, int minutes, int seconds) {
    return Day + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
}

using LiveCapture = RecordingHostFeed;

// "prefix" followed by the number, built without operator+ (which GCC 12 misreports at -O3).
std::string Numbered(const char* prefix, size_t number) {
    std::string text = prefix;
    text += std::to_string(number);
    return text;
}

FieldList Names(int n) {
    FieldList names;
    for (int k = 1; k <= n; ++k) names.push_back(Numbered("F", static_cast<size_t>(k)));
    return names;
}

// A list and its subscriptions, built the way a history request files them.
struct Served {
    TickerList list;
    SubscriptionTable table;
    void Add(const std::string& symbol, const std::string& interval, int fields) {
        list.AppendEntry(TickerEntry{symbol, "desc", "cat", "01/01/2003", interval});
        table.Add(SubscriptionKey(symbol, NumberValue(interval)), Names(fields));
    }
    void AddUnsubscribed(const std::string& symbol, const std::string& interval) {
        list.AppendEntry(TickerEntry{symbol, "desc", "cat", "01/01/2003", interval});
    }
};

class LiveUpdate : public ::testing::Test {
  protected:
    ManualClock clock{At(10, 30, 20) - TwoHours};  // feed clock 10:30:20
    LiveCapture feed;
    PriceFeed pf{feed, clock};
    PriceGenerator reference;  // follows the same walk: one tick per row
    Served served;

    void SetUp() override {
        pf.Generator().LastPrice = 30.0;
        reference.LastPrice = 30.0;
    }
    void Event() { pf.Timer1_Timer(served.list, served.table); }
};

TEST_F(LiveUpdate, EmptyListSendsNothingAndClearsLastBarTime) {
    served.Add("ABC", "1", 6);
    Event();
    EXPECT_GT(pf.LastBarTime(), 0.0);
    served.list.RemoveEntryAt(1);
    feed.Clear();
    Event();
    EXPECT_TRUE(feed.rows.empty());
    EXPECT_EQ(feed.Count("ORBGETNUMROWS2"), 0);
    EXPECT_EQ(feed.calls.size(), 0u);  // nothing else either
    EXPECT_EQ(pf.LastBarTime(), 0.0);
}

TEST_F(LiveUpdate, OneMinuteBarFormsWithinTheMinuteAndRestartsInTheNext) {
    served.Add("ABC", "1", 6);
    float volume = 0;
    double open = 0, high = 0, low = 0;
    for (int event = 0; event < 40; ++event) {  // 10:30:20 to 10:30:39.5
        reference.GetNextTick();
        if (event == 0) {
            open = high = low = reference.LastPrice;
            volume = static_cast<float>(reference.LastVolume);
        } else {
            high = std::max(high, reference.LastPrice);
            low = std::min(low, reference.LastPrice);
            volume += static_cast<float>(reference.LastVolume);
        }
        Event();
        const auto& row = feed.rows.back();
        ASSERT_NEAR(row.values.at(1), At(10, 31, 0), 1e-9);
        ASSERT_EQ(row.values.at(2), open);
        ASSERT_EQ(row.values.at(3), high);
        ASSERT_EQ(row.values.at(4), low);
        ASSERT_EQ(row.values.at(5), reference.LastPrice);
        ASSERT_EQ(row.values.at(6), static_cast<double>(volume));
        ASSERT_EQ(pf.LiveBarVolume(), volume);
        ASSERT_EQ(row.values.size(), 6u);
        clock.AdvanceSeconds(0.5);
    }
    clock.now = At(10, 31, 0) + 0.1 / 86400.0 - TwoHours;  // into the next minute
    reference.GetNextTick();
    Event();
    const auto& row = feed.rows.back();
    EXPECT_NEAR(row.values.at(1), At(10, 32, 0), 1e-9);
    EXPECT_EQ(row.values.at(2), reference.LastPrice);
    EXPECT_EQ(row.values.at(3), reference.LastPrice);
    EXPECT_EQ(row.values.at(4), reference.LastPrice);
    EXPECT_EQ(row.values.at(6), reference.LastVolume);
    EXPECT_EQ(feed.Named("ORBGETNUMROWS2").back(), "ORBGETNUMROWS2\tABC\t1\t1\t0\t0");
}

TEST_F(LiveUpdate, BarsAreStampedWithTheEndOfTheirPeriod) {
    served.Add("ONE", "1", 6);
    served.Add("FIVE", "5", 6);
    served.Add("HOUR", "60", 6);
    Event();
    ASSERT_EQ(feed.rows.size(), 3u);
    EXPECT_NEAR(feed.rows[0].values.at(1), At(10, 31, 0), 1e-9);
    EXPECT_NEAR(feed.rows[1].values.at(1), At(10, 35, 0), 1e-9);
    EXPECT_NEAR(feed.rows[2].values.at(1), At(11, 0, 0), 1e-9);
    EXPECT_EQ(pf.LastBarTime(), feed.rows[2].values.at(1));
}

TEST_F(LiveUpdate, TickModeRowsAreStampedWithTheFeedClock) {
    served.Add("T0", "0", 3);
    served.Add("T1", ".01", 3);
    served.Add("TN", "-60", 3);
    Event();
    ASSERT_EQ(feed.rows.size(), 3u);
    for (const auto& row : feed.rows) {
        ASSERT_EQ(row.values.size(), 3u);
        EXPECT_EQ(row.values.at(1), clock.FeedClock());
        reference.GetNextTick();
        EXPECT_EQ(row.values.at(2), reference.LastPrice);
        EXPECT_EQ(row.values.at(3), reference.LastVolume);
    }
    EXPECT_EQ(feed.rows[2].interval, -60.0f);
    EXPECT_EQ(pf.LastBarTime(), clock.FeedClock());
    // n = 3: nothing drawn besides the ticks' own two numbers.
    EXPECT_EQ(pf.Generator().NextRandom(), reference.NextRandom());
}

TEST_F(LiveUpdate, ATickRowLastMakesEveryBarRowStartANewBar) {
    served.Add("BAR", "1", 6);
    served.Add("TICK", "0", 3);
    for (int event = 0; event < 5; ++event) {
        feed.Clear();
        Event();
        reference.GetNextTick();  // BAR's tick
        const auto& bar = feed.rows[0];
        EXPECT_EQ(bar.values.at(2), reference.LastPrice) << "event " << event;
        EXPECT_EQ(bar.values.at(3), reference.LastPrice);
        EXPECT_EQ(bar.values.at(4), reference.LastPrice);
        EXPECT_EQ(bar.values.at(6), reference.LastVolume);
        reference.GetNextTick();  // TICK's tick
        clock.AdvanceSeconds(0.5);
    }
}

TEST_F(LiveUpdate, RowsOfOneEventShareTheBarAndContinueTheWalk) {
    served.Add("A", "1", 6);
    served.Add("B", "1", 6);
    Event();  // both rows start a new bar: LastBarTime was 0 for both
    reference.GetNextTick();
    reference.GetNextTick();
    EXPECT_EQ(feed.rows[1].values.at(2), reference.LastPrice);
    feed.Clear();
    clock.AdvanceSeconds(0.5);
    Event();  // same minute: both continue the bar B left
    const double open = reference.LastPrice;
    EXPECT_EQ(feed.rows[0].values.at(2), open);
    EXPECT_EQ(feed.rows[1].values.at(2), open);
}

TEST_F(LiveUpdate, FillerColumnsAreFreshDraws) {
    served.Add("BAR", "1", 8);
    served.Add("TICK", "0", 5);
    Event();
    reference.GetNextTick();
    ASSERT_EQ(feed.rows[0].values.size(), 8u);
    EXPECT_EQ(feed.rows[0].values.at(7), static_cast<double>(reference.NextRandom()));
    EXPECT_EQ(feed.rows[0].values.at(8), static_cast<double>(reference.NextRandom()));
    reference.GetNextTick();
    ASSERT_EQ(feed.rows[1].values.size(), 5u);
    EXPECT_EQ(feed.rows[1].values.at(4), static_cast<double>(reference.NextRandom()));
    EXPECT_EQ(feed.rows[1].values.at(5), static_cast<double>(reference.NextRandom()));
}

TEST_F(LiveUpdate, SixBarFieldsDrawNothingBesidesTheTick) {
    served.Add("BAR", "1", 6);
    Event();
    reference.GetNextTick();
    EXPECT_EQ(pf.Generator().NextRandom(), reference.NextRandom());
}

TEST_F(LiveUpdate, EveryRowEndsWithCommitAndRowCountQuery) {
    RecordingHostFeed recording;
    PriceFeed live(recording, clock);
    served.Add("ABC", "5", 6);
    live.Timer1_Timer(served.list, served.table);
    ASSERT_EQ(recording.calls.size(), 8u);
    EXPECT_EQ(recording.calls[0].rfind("ORBSETVALUE\tABC\t5\t1\t", 0), 0u);
    EXPECT_EQ(recording.calls[6], "ORBCOMMITROW\tABC\t5");
    EXPECT_EQ(recording.calls[7], "ORBGETNUMROWS2\tABC\t5\t5\t0\t0");
}

TEST_F(LiveUpdate, RowWithoutSubscriptionStillGetsItsFixedColumns) {
    served.AddUnsubscribed("BAR", "1");
    served.AddUnsubscribed("TICK", "0");
    Event();
    ASSERT_EQ(feed.rows.size(), 2u);
    EXPECT_EQ(feed.rows[0].values.size(), 6u);
    EXPECT_EQ(feed.rows[1].values.size(), 3u);
    EXPECT_EQ(feed.Count("ORBGETNUMROWS2"), 2);
    reference.GetNextTick();
    reference.GetNextTick();
    EXPECT_EQ(pf.Generator().NextRandom(), reference.NextRandom());
}

TEST_F(LiveUpdate, SubscriptionLookupIgnoresLetterCaseAndReadsTheIntervalAsANumber) {
    served.list.AppendEntry(TickerEntry{"abc", "d", "c", "01/01/2003", "0.50 minutes"});
    served.table.Add(SubscriptionKey("ABC", 0.5), Names(7));
    Event();
    ASSERT_EQ(feed.rows.size(), 1u);
    EXPECT_EQ(feed.rows[0].symbol, "abc");
    EXPECT_EQ(feed.rows[0].interval, 0.5f);
    EXPECT_EQ(feed.rows[0].values.size(), 7u);
}

TEST_F(LiveUpdate, TheLibraryCannotChangeTheListsSymbol) {
    class RewritingFeed : public RecordingHostFeed {
      public:
        int32_t ORBCOMMITROW(std::string& s, float i) override {
            s[0] = 'Z';
            return RecordingHostFeed::ORBCOMMITROW(s, i);
        }
    };
    RewritingFeed rewriting;
    PriceFeed live(rewriting, clock);
    served.Add("ABC", "1", 6);
    live.Timer1_Timer(served.list, served.table);
    live.Timer1_Timer(served.list, served.table);
    EXPECT_EQ(served.list.EntryAt(1).Symbol, "ABC");
    // Within a row the library's text is passed on; each row starts from the list's text again.
    EXPECT_EQ(rewriting.calls[6], "ORBCOMMITROW\tZBC\t1");
    EXPECT_EQ(rewriting.calls[7], "ORBGETNUMROWS2\tZBC\t1\t1\t0\t0");
    EXPECT_EQ(rewriting.calls[8].rfind("ORBSETVALUE\tABC\t", 0), 0u) << rewriting.calls[8];
}

TEST_F(LiveUpdate, EventsDuringATransferDoNothing) {
    served.Add("ABC", "1", 6);
    RecordingHostFeed recording;
    ManualClock historyClock(Day + 1 - TwoHours);
    PriceFeed both(recording, historyClock);
    int nestedEvents = 0;
    recording.onCall = [&](const std::string&) {
        if (nestedEvents >= 20) return;
        ++nestedEvents;
        const size_t calls = recording.calls.size();
        PriceGenerator before = both.Generator();
        both.Timer1_Timer(served.list, served.table);
        EXPECT_EQ(recording.calls.size(), calls);
        PriceGenerator after = both.Generator();
        EXPECT_EQ(after.LastPrice, before.LastPrice);
        EXPECT_EQ(after.NextRandom(), before.NextRandom());  // no draws were taken
    };
    std::string s = "ABC", d = "d", c = "c";
    both.SendSymbolHistory(s, d, c, 60.0, Day, Names(6), false);
    EXPECT_EQ(nestedEvents, 20);
    EXPECT_EQ(both.LastBarTime(), 0.0);
}

TEST_F(LiveUpdate, RepeatedIntervalTextsAreReadConsistently) {
    // Many rows, few interval texts: every row must find its own subscription.
    for (int i = 0; i < 300; ++i) {
        const std::string interval = i % 3 == 0 ? "1" : i % 3 == 1 ? "0" : "-1";
        served.Add(Numbered("S", static_cast<size_t>(i)), interval, i % 3 == 0 ? 7 : 4);
    }
    Event();
    ASSERT_EQ(feed.rows.size(), 300u);
    for (size_t i = 0; i < 300; ++i) {
        ASSERT_EQ(feed.rows[i].values.size(), i % 3 == 0 ? 7u : 4u) << i;
        ASSERT_EQ(feed.rows[i].symbol, Numbered("S", i));
    }
}

}  // namespace
}  // namespace tarnwick
