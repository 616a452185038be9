#include "tickers/ticker_list.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "host/subscription_table.h"

namespace tarnwick {

int CompareListTexts(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto fa = static_cast<unsigned char>(FoldAsciiCase(a[i]));
        const auto fb = static_cast<unsigned char>(FoldAsciiCase(b[i]));
        if (fa != fb) return fa < fb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Equal but for letter case: upper case first, so the order is total and repeatable.
    int exact = a.compare(b);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

TickerList::Row& TickerList::RowAt(int row) {
    if (row < 1 || row > EntryCount()) throw std::out_of_range("ticker list row out of range");
    return rows_[static_cast<std::size_t>(row - 1)];
}

const TickerList::Row& TickerList::RowAt(int row) const {
    if (row < 1 || row > EntryCount()) throw std::out_of_range("ticker list row out of range");
    return rows_[static_cast<std::size_t>(row - 1)];
}

const TickerEntry& TickerList::EntryAt(int row) const {
    return RowAt(row).Entry;
}

void TickerList::SetEntryField(int row, int column, std::string text) {
    RowAt(row).Entry.Field(column) = std::move(text);
    if (observer_) observer_->EntryFieldChanged(row, column);
}

bool TickerList::Before(const TickerEntry& a, const TickerEntry& b) const {
    int c = CompareListTexts(a.Field(sortColumn_), b.Field(sortColumn_));
    return sortOrder_ == SortOrder::Ascending ? c < 0 : c > 0;
}

int TickerList::AppendEntry(TickerEntry entry) {
    if (IsFull()) throw std::length_error("the ticker list is full");
    auto pos = rows_.end();
    if (sorted_) {
        // After every row it does not sort before, so equal rows keep their order of arrival.
        pos = std::upper_bound(
            rows_.begin(), rows_.end(), entry,
            [this](const TickerEntry& e, const Row& r) { return Before(e, r.Entry); });
    }
    const int row = static_cast<int>(pos - rows_.begin()) + 1;
    if (observer_) observer_->EntryAboutToBeInserted(row);
    rows_.insert(pos, Row{std::move(entry), false});
    if (observer_) observer_->EntryInserted(row);
    return row;
}

void TickerList::RemoveEntryAt(int row) {
    RowAt(row);  // range check
    if (observer_) observer_->EntryAboutToBeRemoved(row);
    rows_.erase(rows_.begin() + (row - 1));
    if (observer_) observer_->EntryRemoved(row);
}

bool TickerList::IsEntrySelected(int row) const {
    return RowAt(row).Selected;
}

void TickerList::SetEntrySelected(int row, bool selected) {
    RowAt(row).Selected = selected;
}

bool TickerList::AnyEntrySelected() const {
    return std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.Selected; });
}

std::vector<int> TickerList::SortEntries(int column, SortOrder order) {
    if (column < ColumnSymbol || column > ColumnBarInterval) {
        throw std::out_of_range("ticker list column out of range");
    }
    sortColumn_ = column;
    sortOrder_ = order;
    sorted_ = true;
    if (observer_) observer_->OrderAboutToChange();
    std::vector<std::size_t> byText(rows_.size());
    std::iota(byText.begin(), byText.end(), std::size_t{0});
    // Stable, so rows with equal texts keep their current order.
    std::stable_sort(byText.begin(), byText.end(), [this](std::size_t a, std::size_t b) {
        return Before(rows_[a].Entry, rows_[b].Entry);
    });
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    std::vector<int> newRowOf(rows_.size());
    for (std::size_t i = 0; i < byText.size(); ++i) {
        newRowOf[byText[i]] = static_cast<int>(i) + 1;
        sorted.push_back(std::move(rows_[byText[i]]));
    }
    rows_ = std::move(sorted);
    if (observer_) observer_->OrderChanged(newRowOf);
    return newRowOf;
}

}  // namespace tarnwick
