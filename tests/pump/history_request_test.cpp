// The host's history request and remove command.
#include "tests/pump/pump_fixture.h"

namespace tarnwick::testing {
namespace {

using HistoryRequestTest = PumpTest;

const std::vector<std::string> SixNames = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};

TEST_F(HistoryRequestTest, AddsTheRowSubscribesAndSendsTheHistoryAtIntervalOne) {
    shell.Send(Request("ABC", "5", "Open,High,Low,Close,Volume"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"ABC|Alpha|Stock|01/01/2003|1"}));
    EXPECT_EQ(FieldsOf("ABC!@#1"),
              (std::vector<std::string>{"Open", "High", "Low", "Close", "Volume"}));
    EXPECT_TRUE(pump.ListChanged());
    ASSERT_EQ(Count("ORBSETUPDATA"), 1);
    EXPECT_EQ(feed.Named("ORBSETUPDATA")[0], "ORBSETUPDATA\tABC\tAlpha\t1\t5\tStock\t37622");
    EXPECT_EQ(Count("ORBSETLABEL"), 5);
    EXPECT_EQ(Count("ORBCOMMITROW"), 60);  // 09:00 to 09:59 with the feed clock at 10:00
    EXPECT_EQ(feed.calls.back(), "UpdatePercent\t100");
    EXPECT_EQ(shell.channel, "");
}

TEST_F(HistoryRequestTest, IntervalDecidesTheRowTextAndTheFieldsKept) {
    struct Case {
        std::string interval;
        std::string rowText;
        std::vector<std::string> fields;
    };
    const std::vector<Case> cases = {
        {"0", "0", {"Date/Time", "Close", "Volume"}},
        {"-1", "-1", {"Date/Time", "Close", "Volume"}},
        {"0.5", ".5", SixNames},
        {"0.01", ".01", {"Date/Time", "Close", "Volume"}},
        {"0.011", ".011", SixNames},
        {"1 minute", "1", SixNames},
        {"abc", "0", {"Date/Time", "Close", "Volume"}},
        {"1e3", "1", SixNames},
    };
    for (const Case& c : cases) {
        clock.now = 37622 - 2.0 / 24 + 9.0 / 24 + 1.0 / 86400;  // a single history step
        shell.Send(Request("S" + c.interval, c.interval));
        const TickerEntry& e = pump.List().EntryAt(pump.List().EntryCount());
        EXPECT_EQ(e.BarInterval, c.rowText) << c.interval;
        EXPECT_EQ(FieldsOf("S" + c.interval + "!@#" + c.rowText), c.fields) << c.interval;
    }
}

TEST_F(HistoryRequestTest, FieldTextIsSplitAtCommasOnly) {
    clock.now = 37622 - 2.0 / 24 + 9.0 / 24 + 1.0 / 86400;
    shell.Send(Request("A", "0", "Open, High"));
    EXPECT_EQ(FieldsOf("A!@#0"), (std::vector<std::string>{" High"}));
    shell.Send(Request("B", "1", "Close!@#Volume"));
    EXPECT_EQ(FieldsOf("B!@#1"), (std::vector<std::string>{"Close!@#Volume"}));
    shell.Send(Request("C", "1", "Open,,Close,"));
    EXPECT_EQ(FieldsOf("C!@#1"), (std::vector<std::string>{"Open", "", "Close", ""}));
    shell.Send(Request("D", "1", ""));
    EXPECT_EQ(FieldsOf("D!@#1"), (std::vector<std::string>{""}));
    // Fields are not trimmed, but the first five are.
    shell.Send("  E  !@# d !@# c !@# 1 !@# 01/01/2003 !@# x ");
    EXPECT_EQ(Rows().back(), "E|d|c|01/01/2003|1");
    EXPECT_EQ(FieldsOf("E!@#1"), (std::vector<std::string>{" x "}));
}

TEST_F(HistoryRequestTest, TheTimerStopsForTheTransferAndTheReportComesAfterThePause) {
    size_t callsBeforePause = 0;
    shell.duringPause = [&] { callsBeforePause = feed.calls.size(); };
    shell.Send(Request("ABC", "1"));
    EXPECT_EQ(shell.log, (std::vector<std::string>{"timer off", "timer on", "pause 1000"}));
    ASSERT_EQ(feed.calls.size(), callsBeforePause + 1);
    EXPECT_EQ(feed.calls.back(), "UpdatePercent\t100");
    // Every progress report of the transfer came before the pause.
    const auto reports = feed.Named("UpdatePercent");
    EXPECT_GT(reports.size(), 1u);
}

TEST_F(HistoryRequestTest, ACommandWrittenDuringThePauseIsHandledBeforeTheReport) {
    shell.duringPause = [&] { shell.Send(Request("XYZ", "60")); };
    shell.Send(Request("ABC", "1"));
    const auto reports = feed.Named("UpdatePercent");
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(feed.calls.back(), "UpdatePercent\t100");
    // The nested request set up its table and reported its own 100 before the outer one.
    auto setup = std::find_if(feed.calls.begin(), feed.calls.end(), [](const std::string& c) {
        return c.rfind("ORBSETUPDATA\tXYZ", 0) == 0;
    });
    ASSERT_NE(setup, feed.calls.end());
    EXPECT_EQ(feed.calls[feed.calls.size() - 2], "UpdatePercent\t100");
    EXPECT_EQ(Rows().size(), 2u);
    EXPECT_EQ(shell.channel, "");
}

TEST_F(HistoryRequestTest, ARepeatedRequestReplacesTheRowOfTheSameCategory) {
    shell.Send(Request("ABC", "1"));
    shell.Send(Request("XYZ", "1"));
    shell.Send(Request("ABC", "1", "Close"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"XYZ|Alpha|Stock|01/01/2003|1",
                                                "ABC|Alpha|Stock|01/01/2003|1"}));
    EXPECT_EQ(FieldsOf("ABC!@#1"), (std::vector<std::string>{"Close"}));
    // Another category adds a row; the shared key takes the newest field list.
    shell.Send(Request("ABC", "1", "Open,Close", "Forex"));
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(FieldsOf("ABC!@#1"), (std::vector<std::string>{"Open", "Close"}));
    EXPECT_EQ(pump.Subscriptions().Count(), 2u);
    // A symbol differing only in letter case shares the key, too.
    shell.Send(Request("abc", "1", "Close"));
    EXPECT_EQ(Rows().size(), 4u);
    EXPECT_EQ(FieldsOf("ABC!@#1"), (std::vector<std::string>{"Close"}));
}

TEST_F(HistoryRequestTest, MalformedRequestsAddNothingButStillReportCompletion) {
    for (const std::string& text :
         std::vector<std::string>{"ABC", "ABC!@#Alpha!@#Stock!@#1!@#01/01/2003", "!@#!@#!@#!@#",
                                  Request("ABC", "1", "Close", "Stock", "hello"),
                                  Request("ABC", "1", "Close", "Stock", "45/45/2003"),
                                  Request("ABC", "1", "Close", "Stock", "")}) {
        feed.calls.clear();
        shell.log.clear();
        shell.diagnostics.clear();
        shell.Send(text);
        EXPECT_EQ(pump.List().EntryCount(), 0) << text;
        EXPECT_EQ(pump.Subscriptions().Count(), 0u) << text;
        EXPECT_EQ(feed.calls, (std::vector<std::string>{"UpdatePercent\t100"})) << text;
        EXPECT_EQ(shell.log, (std::vector<std::string>{"pause 1000"})) << text;
        EXPECT_EQ(shell.diagnostics.size(), 1u) << text;
        EXPECT_EQ(shell.channel, "");
    }
    EXPECT_FALSE(pump.ListChanged());
}

TEST_F(HistoryRequestTest, RemoveTakesTheFirstRowWithTheValueOrItsNegation) {
    clock.now = 37622 - 2.0 / 24 + 9.0 / 24 + 1.0 / 86400;
    shell.Send(Request("ABC", "-1"));
    shell.Send(Request("ABC", "1"));
    shell.Send("*****RemoveTicker*****!@#ABC!@#1");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"ABC|Alpha|Stock|01/01/2003|1"}));
    EXPECT_EQ(FieldsOf("ABC!@#-1"), (std::vector<std::string>{"<none>"}));
    EXPECT_EQ(FieldsOf("ABC!@#1"), SixNames);
}

TEST_F(HistoryRequestTest, RemoveComparesSymbolsExactlyAndIntervalsAsValues) {
    clock.now = 37622 - 2.0 / 24 + 9.0 / 24 + 1.0 / 86400;
    shell.Send(Request("ABC", "5"));  // listed at "1"
    shell.Send("*****RemoveTicker*****!@#abc!@#1");
    shell.Send("*****RemoveTicker*****!@#ABC!@#5");
    EXPECT_EQ(pump.List().EntryCount(), 1);
    shell.Send("*****RemoveTicker*****!@# ABC !@#1.0!@#ignored");
    EXPECT_EQ(pump.List().EntryCount(), 0);
    EXPECT_EQ(pump.Subscriptions().Count(), 0u);
}

TEST_F(HistoryRequestTest, RemoveTouchesNothingElse) {
    shell.Send(Request("ABC", "1"));
    const bool changed = pump.ListChanged();
    feed.calls.clear();
    shell.log.clear();
    shell.Send("*****RemoveTicker*****!@#ABC!@#1");
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_TRUE(shell.log.empty());  // no timer change, no pause
    EXPECT_EQ(pump.ListChanged(), changed);
}

TEST_F(HistoryRequestTest, RemoveWithTooFewSeparatorsIsIgnoredWithADiagnostic) {
    shell.Send(Request("ABC", "1"));
    feed.calls.clear();
    for (const std::string text : {"*****RemoveTicker*****", "*****RemoveTicker*****!@#ABC"}) {
        shell.Send(text);
        EXPECT_EQ(pump.List().EntryCount(), 1);
    }
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_EQ(shell.diagnostics.size(), 2u);
}

TEST_F(HistoryRequestTest, AFullListRefusesNewSymbolsButStillReplaces) {
    clock.now = 37622 - 2.0 / 24 + 9.0 / 24 + 1.0 / 86400;
    for (int i = 0; i < MaxTickerEntries - 1; ++i) {
        pump.List().AppendEntry(TickerEntry{"S" + std::to_string(i), "", "Stock", "", "1"});
    }
    shell.Send(Request("LAST", "1"));
    ASSERT_EQ(pump.List().EntryCount(), MaxTickerEntries);
    shell.diagnostics.clear();
    feed.calls.clear();
    shell.Send(Request("MORE", "1"));
    EXPECT_EQ(pump.List().EntryCount(), MaxTickerEntries);
    EXPECT_EQ(shell.diagnostics.size(), 1u);
    EXPECT_EQ(feed.calls, (std::vector<std::string>{"UpdatePercent\t100"}));
    shell.Send(Request("LAST", "1", "Close"));
    EXPECT_EQ(pump.List().EntryCount(), MaxTickerEntries);
    EXPECT_EQ(FieldsOf("LAST!@#1"), (std::vector<std::string>{"Close"}));
}

}  // namespace
}  // namespace tarnwick::testing
