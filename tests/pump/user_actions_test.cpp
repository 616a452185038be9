// The user's actions: Add, Remove, header clicks and the Remove button's enabled state.
#include "host/text_rules.h"
#include "tests/pump/pump_fixture.h"

namespace tarnwick::testing {
namespace {

using UserActions = PumpTest;

NewTickerFields Fields(std::string symbol, std::string interval = "1",
                       std::string start = "01/01/2003") {
    NewTickerFields f;
    f.Symbol = std::move(symbol);
    f.SymbolName = "Name";
    f.Category = "Stock";
    f.StartDate = std::move(start);
    f.BarInterval = std::move(interval);
    return f;
}

TEST_F(UserActions, AddShowsAFreshPlacedDialogAndAddsTheRowAsTyped) {
    shell.dialogFields = Fields("XYZ", " 5.0");
    pump.Add_Click();
    EXPECT_EQ(shell.log, (std::vector<std::string>{"pointer 11", "dialog created",
                                                   "dialog placed 2000,3500", "dialog shown",
                                                   "dialog destroyed", "pointer 1", "pointer 0"}));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"XYZ|Name|Stock|01/01/2003| 5.0"}));
    EXPECT_EQ(FieldsOf("XYZ!@#5"),
              (std::vector<std::string>{"Date/Time", "Open", "High", "Low", "Close", "Volume"}));
    EXPECT_TRUE(pump.ListChanged());
    ASSERT_EQ(Count("ORBSETUPDATA"), 1);
    EXPECT_EQ(feed.Named("ORBSETUPDATA")[0], "ORBSETUPDATA\tXYZ\tName\t5\t6\tStock\t37622");
    EXPECT_GT(Count("UpdatePercent"), 0);  // the transfer reports its progress
}

TEST_F(UserActions, CancelAddsNothingAndStillDestroysTheDialog) {
    shell.dialogFields = Fields("XYZ");
    shell.dialogCancels = true;
    pump.Add_Click();
    EXPECT_EQ(pump.List().EntryCount(), 0);
    EXPECT_EQ(pump.Subscriptions().Count(), 0u);
    EXPECT_FALSE(pump.ListChanged());
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_EQ(shell.log.back(), "pointer 0");
    EXPECT_NE(std::find(shell.log.begin(), shell.log.end(), "dialog destroyed"), shell.log.end());
}

TEST_F(UserActions, DuplicatesAreSymbolAndEqualIntervalValue) {
    struct Case {
        std::string first, second;
        int rows;
    };
    for (const Case& c : {Case{"1", "1", 1}, Case{"1", "1.0", 1}, Case{"1", "5", 2},
                          Case{"-1", "1", 2}, Case{"0", "0.0", 1}}) {
        pump.List().SortEntries(ColumnSymbol, SortOrder::Ascending);
        while (pump.List().EntryCount() > 0) pump.List().RemoveEntryAt(1);
        shell.dialogFields = Fields("XYZ", c.first);
        pump.Add_Click();
        feed.calls.clear();
        shell.dialogFields = Fields("XYZ", c.second);
        pump.Add_Click();
        EXPECT_EQ(pump.List().EntryCount(), c.rows) << c.first << " then " << c.second;
        EXPECT_EQ(Count("ORBSETUPDATA"), c.rows - 1) << c.first << " then " << c.second;
    }
    shell.warnings.clear();
    EXPECT_TRUE(shell.warnings.empty());  // a duplicate is never announced
}

TEST_F(UserActions, ARowTheHostAddedCountsAsADuplicate) {
    shell.Send(Request("XYZ", "1"));
    feed.calls.clear();
    shell.dialogFields = Fields("XYZ", "1");
    pump.Add_Click();
    EXPECT_EQ(pump.List().EntryCount(), 1);
    EXPECT_TRUE(feed.calls.empty());
}

TEST_F(UserActions, FieldListHasThreeNamesOnlyForIntervalZero) {
    for (auto [interval, names] :
         std::vector<std::pair<std::string, size_t>>{{"0", 3}, {"0.001", 6}, {"-1", 6}, {"1", 6}}) {
        shell.dialogFields = Fields("S" + interval, interval);
        clock.now = 37622 - 2.0 / 24 + 9.0 / 24 + 1.0 / 86400;
        pump.Add_Click();
        const std::string key = "S" + interval + "!@#" + NumberText(NumberValue(interval));
        EXPECT_EQ(FieldsOf(key).size(), names) << interval;
    }
}

TEST_F(UserActions, AFullListShowsAWarningAndAddsNothing) {
    for (int i = 0; i < MaxTickerEntries; ++i) {
        pump.List().AppendEntry(TickerEntry{"S" + std::to_string(i), "", "Stock", "", "1"});
    }
    shell.dialogFields = Fields("NEW");
    pump.Add_Click();
    EXPECT_EQ(pump.List().EntryCount(), MaxTickerEntries);
    ASSERT_EQ(shell.warnings.size(), 1u);
    EXPECT_EQ(shell.warnings[0].rfind("Add New Ticker Symbol: ", 0), 0u);
    EXPECT_TRUE(feed.calls.empty());
    EXPECT_EQ(shell.log.back(), "pointer 0");
}

TEST_F(UserActions, RemoveTakesEverySelectedRowFromTheLastToTheFirst) {
    for (auto s : {"A", "B", "C", "D"}) {
        pump.List().AppendEntry(TickerEntry{s, "", "Stock", "", "1"});
    }
    shell.Send(Request("E", "1"));
    pump.List().SetEntrySelected(2, true);
    pump.List().SetEntrySelected(3, true);
    pump.List().SetEntrySelected(5, true);
    shell.removeEnabled = true;
    feed.calls.clear();
    pump.Remove_Click();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"A||Stock||1", "D||Stock||1"}));
    EXPECT_FALSE(pump.Subscriptions().Contains("E!@#1"));
    EXPECT_FALSE(shell.removeEnabled);
    EXPECT_TRUE(pump.ListChanged());
    EXPECT_TRUE(feed.calls.empty());
}

TEST_F(UserActions, RemoveWithNothingSelectedOnlyDisablesTheButton) {
    pump.List().AppendEntry(TickerEntry{"A", "", "Stock", "", "1"});
    shell.removeEnabled = true;
    pump.Remove_Click();
    EXPECT_EQ(pump.List().EntryCount(), 1);
    EXPECT_FALSE(pump.ListChanged());
    EXPECT_FALSE(shell.removeEnabled);
}

TEST_F(UserActions, KeyAndMouseReleasesFollowTheSelection) {
    pump.ListView1_MouseUp();
    EXPECT_FALSE(shell.removeEnabled);
    pump.List().AppendEntry(TickerEntry{"A", "", "Stock", "", "1"});
    pump.List().SetEntrySelected(1, true);
    pump.ListView1_MouseUp();
    EXPECT_TRUE(shell.removeEnabled);
    pump.List().SetEntrySelected(1, false);
    pump.ListView1_KeyUp();
    EXPECT_FALSE(shell.removeEnabled);
}

class Sorting : public PumpTest {
  protected:
    void Add(std::string symbol, std::string start, std::string interval = "1") {
        pump.List().AppendEntry(
            TickerEntry{std::move(symbol), "", "Stock", std::move(start), std::move(interval)});
    }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> out;
        for (int i = 1; i <= pump.List().EntryCount(); ++i) {
            out.push_back(pump.List().EntryAt(i).field(column));
        }
        return out;
    }
};

TEST_F(Sorting, HeaderClicksToggleTheOrderOfTheSortColumn) {
    Add("B", "", "5");
    Add("A", "", "10");
    Add("C", "", "7");
    pump.ListView1_ColumnClick(ColumnSymbol);  // the sort column starts as Symbol: descending
    EXPECT_EQ(Column(ColumnSymbol), (std::vector<std::string>{"C", "B", "A"}));
    pump.ListView1_ColumnClick(ColumnSymbol);
    EXPECT_EQ(Column(ColumnSymbol), (std::vector<std::string>{"A", "B", "C"}));
    pump.ListView1_ColumnClick(ColumnBarInterval);  // texts: "10" before "5"
    EXPECT_EQ(Column(ColumnBarInterval), (std::vector<std::string>{"10", "5", "7"}));
    pump.ListView1_ColumnClick(ColumnBarInterval);
    EXPECT_EQ(Column(ColumnBarInterval), (std::vector<std::string>{"7", "5", "10"}));
    pump.ListView1_ColumnClick(ColumnCategory);
    EXPECT_EQ(pump.List().CurrentSortOrder(), SortOrder::Ascending);
    EXPECT_EQ(shell.log.back(), "list on");
    EXPECT_EQ(std::count(shell.log.begin(), shell.log.end(), "list off"), 5);
}

TEST_F(Sorting, StartDatesSortByDateAndComeBackInTheShortForm) {
    Add("A", "03/05/2003");
    Add("B", "12/01/2002");
    Add("C", "");
    Add("D", "01/01/2003");
    pump.ListView1_ColumnClick(ColumnStartDate);
    EXPECT_EQ(Column(ColumnSymbol), (std::vector<std::string>{"C", "B", "D", "A"}));
    EXPECT_EQ(Column(ColumnStartDate),
              (std::vector<std::string>{"", "12/1/2002", "1/1/2003", "3/5/2003"}));
    pump.ListView1_ColumnClick(ColumnStartDate);
    EXPECT_EQ(Column(ColumnSymbol), (std::vector<std::string>{"A", "D", "B", "C"}));
}

TEST_F(Sorting, DatesFarFromTodaySortByDateToo) {
    Add("A", "01/01/4700");  // a seven-digit day number
    Add("B", "06/01/1850");  // before day 0
    Add("C", "01/01/2003");
    Add("D", "01/01/1850");
    pump.ListView1_ColumnClick(ColumnStartDate);
    EXPECT_EQ(Column(ColumnSymbol), (std::vector<std::string>{"D", "B", "C", "A"}));
    EXPECT_EQ(Column(ColumnStartDate),
              (std::vector<std::string>{"1/1/1850", "6/1/1850", "1/1/2003", "1/1/4700"}));
}

TEST_F(Sorting, OtherColumnsLeaveStartDatesAlone) {
    Add("B", "01/01/2003");
    Add("A", "2003-02-01");
    pump.ListView1_ColumnClick(ColumnDescription);
    EXPECT_EQ(Column(ColumnStartDate), (std::vector<std::string>{"01/01/2003", "2003-02-01"}));
}

TEST_F(Sorting, TextsThatAreNoPlainDateKeepTheirText) {
    Add("A", "not a date");
    Add("B", "01/02/2003 10:30");
    Add("C", "01/01/2003");
    pump.ListView1_ColumnClick(ColumnStartDate);
    // Day numbers ("037623"...) sort before letters; a date with a time keeps its text.
    EXPECT_EQ(Column(ColumnSymbol), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(Column(ColumnStartDate),
              (std::vector<std::string>{"1/1/2003", "01/02/2003 10:30", "not a date"}));
}

TEST_F(Sorting, AnEmptyListStillChangesTheSortState) {
    pump.ListView1_ColumnClick(ColumnCategory);
    EXPECT_EQ(pump.List().SortColumn(), ColumnCategory);
    EXPECT_EQ(pump.List().CurrentSortOrder(), SortOrder::Ascending);
    pump.ListView1_ColumnClick(ColumnCategory);
    EXPECT_EQ(pump.List().CurrentSortOrder(), SortOrder::Descending);
}

}  // namespace
}  // namespace tarnwick::testing
