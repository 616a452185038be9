#include "tickers/ticker_list.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarnwick {
namespace {

TickerEntry Row(std::string symbol, std::string start = "01/01/2003", std::string interval = "1") {
    return TickerEntry{std::move(symbol), "", "Stock", std::move(start), std::move(interval)};
}

std::vector<std::string> Symbols(const TickerList& list) {
    std::vector<std::string> out;
    for (int i = 1; i <= list.EntryCount(); ++i) out.push_back(list.EntryAt(i).Symbol);
    return out;
}

// Records observer calls so a view following the list can be checked.
struct Recorder : TickerListObserver {
    std::vector<std::string> log;
    void EntryAboutToBeInserted(int row) override { log.push_back("+" + std::to_string(row)); }
    void EntryAboutToBeRemoved(int row) override { log.push_back("-" + std::to_string(row)); }
    void EntryFieldChanged(int row, int col) override {
        log.push_back("=" + std::to_string(row) + "." + std::to_string(col));
    }
    void OrderChanged(const std::vector<int>& m) override {
        std::string s = "order";
        for (int r : m) s += " " + std::to_string(r);
        log.push_back(s);
    }
};

TEST(TickerList, RowsAreNumberedFromOneAndRenumberedOnRemoval) {
    TickerList list;
    EXPECT_EQ(list.AppendEntry(Row("A")), 1);
    EXPECT_EQ(list.AppendEntry(Row("B")), 2);
    EXPECT_EQ(list.AppendEntry(Row("C")), 3);
    list.RemoveEntryAt(2);
    EXPECT_EQ(Symbols(list), (std::vector<std::string>{"A", "C"}));
    EXPECT_THROW(list.EntryAt(0), std::out_of_range);
    EXPECT_THROW(list.EntryAt(3), std::out_of_range);
    EXPECT_THROW(list.RemoveEntryAt(5), std::out_of_range);
    EXPECT_THROW(list.SetEntryField(1, 6, "x"), std::out_of_range);
}

TEST(TickerList, SelectionTravelsWithItsRow) {
    TickerList list;
    for (auto s : {"C", "A", "B"}) list.AppendEntry(Row(s));
    list.SetEntrySelected(1, true);  // C
    EXPECT_TRUE(list.AnyEntrySelected());
    list.SortEntries(ColumnSymbol, SortOrder::Ascending);
    EXPECT_EQ(Symbols(list), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_FALSE(list.IsEntrySelected(1));
    EXPECT_TRUE(list.IsEntrySelected(3));
    list.RemoveEntryAt(3);
    EXPECT_FALSE(list.AnyEntrySelected());
}

TEST(TickerList, SortComparesTextsIgnoringCaseAndKeepsEqualRowsInOrder) {
    TickerList list;
    list.AppendEntry(Row("b", "", "5"));
    list.AppendEntry(Row("A", "", "10"));
    list.AppendEntry(Row("a", "", "5"));
    list.AppendEntry(Row("B", "", "10"));
    list.SortEntries(ColumnSymbol, SortOrder::Ascending);
    EXPECT_EQ(Symbols(list), (std::vector<std::string>{"A", "a", "B", "b"}));
    // Intervals compare as texts: "10" before "5"; equal texts keep their current order.
    list.SortEntries(ColumnBarInterval, SortOrder::Ascending);
    EXPECT_EQ(Symbols(list), (std::vector<std::string>{"A", "B", "a", "b"}));
    list.SortEntries(ColumnBarInterval, SortOrder::Descending);
    EXPECT_EQ(Symbols(list), (std::vector<std::string>{"a", "b", "A", "B"}));
    EXPECT_TRUE(list.IsSorted());
    EXPECT_EQ(list.SortColumn(), ColumnBarInterval);
    EXPECT_EQ(list.CurrentSortOrder(), SortOrder::Descending);
}

TEST(TickerList, RowsAddedWhileSortedTakeTheirSortedPlace) {
    TickerList list;
    for (auto s : {"D", "B"}) list.AppendEntry(Row(s));
    EXPECT_EQ(list.AppendEntry(Row("A")), 3);  // not sorted yet: at the end
    list.SortEntries(ColumnSymbol, SortOrder::Ascending);
    EXPECT_EQ(list.AppendEntry(Row("C")), 3);
    EXPECT_EQ(list.AppendEntry(Row("b")), 3);  // after the equal "B"
    EXPECT_EQ(Symbols(list), (std::vector<std::string>{"A", "B", "b", "C", "D"}));
    list.SortEntries(ColumnSymbol, SortOrder::Descending);
    EXPECT_EQ(list.AppendEntry(Row("E")), 1);
}

TEST(TickerList, ObserverHearsEveryChange) {
    TickerList list;
    Recorder rec;
    list.SetObserver(&rec);
    list.AppendEntry(Row("B"));
    list.AppendEntry(Row("A"));
    list.SetEntryField(2, ColumnDescription, "Alpha");
    list.SortEntries(ColumnSymbol, SortOrder::Ascending);
    list.RemoveEntryAt(1);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"+1", "+2", "=2.2", "order 2 1", "-1"}));
}

TEST(TickerList, RefusesToGrowBeyondItsLimit) {
    TickerList list;
    for (int i = 0; i < MaxTickerEntries; ++i) list.AppendEntry(Row("S"));
    EXPECT_TRUE(list.IsFull());
    EXPECT_THROW(list.AppendEntry(Row("T")), std::length_error);
    EXPECT_EQ(list.EntryCount(), MaxTickerEntries);
}

TEST(CompareListTexts, OrdersCaseInsensitivelyThenExactly) {
    EXPECT_LT(CompareListTexts("abc", "ABD"), 0);
    EXPECT_LT(CompareListTexts("ABC", "abc"), 0);
    EXPECT_EQ(CompareListTexts("abc", "abc"), 0);
    EXPECT_LT(CompareListTexts("", "a"), 0);
    EXPECT_LT(CompareListTexts("ab", "abc"), 0);
    EXPECT_GT(CompareListTexts("\xc3\xa9", "z"), 0);  // bytes above ASCII after letters
}

}  // namespace
}  // namespace tarnwick
