#pragma once
// The TickerList: the rows that the list view shows (the view keeps no copy of its own), with a
// selected flag per row and the sort state. Rows are numbered from 1 in display order.
#include <vector>

#include "tickers/ticker_entry.h"

namespace tarnwick {

enum class SortOrder { Ascending, Descending };

// Told about every change, so a view can follow the rows. Row numbers are 1-based.
class TickerListObserver {
  public:
    virtual ~TickerListObserver() = default;
    virtual void EntryAboutToBeInserted(int /*row*/) {}
    virtual void EntryInserted(int /*row*/) {}
    virtual void EntryAboutToBeRemoved(int /*row*/) {}
    virtual void EntryRemoved(int /*row*/) {}
    virtual void EntryFieldChanged(int /*row*/, int /*column*/) {}
    virtual void OrderAboutToChange() {}
    // newRowOf[i] is the new row number of the row that was row i + 1.
    virtual void OrderChanged(const std::vector<int>& /*newRowOf*/) {}
};

class TickerList {
  public:
    int EntryCount() const { return static_cast<int>(rows_.size()); }
    bool IsFull() const { return EntryCount() >= MaxTickerEntries; }

    // row is 1..EntryCount(); out of range throws std::out_of_range.
    const TickerEntry& EntryAt(int row) const;
    void SetEntryField(int row, int column, std::string text);
    // Appends the row (in sorted mode: at its sorted place, after equal rows) and returns its
    // number. Throws std::length_error when the list is full: callers check IsFull() first.
    int AppendEntry(TickerEntry entry);
    void RemoveEntryAt(int row);

    bool IsEntrySelected(int row) const;
    void SetEntrySelected(int row, bool selected);
    bool AnyEntrySelected() const;

    // Sorts by the texts of column (1..5) in order and enters sorted mode. Returns, for every
    // row as it was before (index row - 1), its new row number.
    std::vector<int> SortEntries(int column, SortOrder order);
    int SortColumn() const { return sortColumn_; }
    SortOrder CurrentSortOrder() const { return sortOrder_; }
    bool IsSorted() const { return sorted_; }

    void SetObserver(TickerListObserver* observer) { observer_ = observer; }

  private:
    struct Row {
        TickerEntry Entry;
        bool Selected = false;
    };
    Row& RowAt(int row);
    const Row& RowAt(int row) const;
    bool Before(const TickerEntry& a, const TickerEntry& b) const;

    std::vector<Row> rows_;
    int sortColumn_ = ColumnSymbol;
    SortOrder sortOrder_ = SortOrder::Ascending;
    bool sorted_ = false;
    TickerListObserver* observer_ = nullptr;
};

// The text order used for sorting: letters compared without regard to case first (ASCII), then
// exactly, byte by byte. Returns <0, 0 or >0.
int CompareListTexts(const std::string& a, const std::string& b);

}  // namespace tarnwick
