// Sortable day texts in the Start Date column for the time of a sort, and the dates put back.
#include "pump/start_date_sort.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

int DigitCount(long long value) {
    int digits = 1;
    for (value = value < 0 ? -value : value; value >= 10; value /= 10) ++digits;
    return digits;
}

// The text a day number takes while the list is sorted by Start Date: DayNumberText where that
// sorts by date (days 0 to 999999), and otherwise a form of the same width for every row that
// still does: all numbers widened to the widest, and days before 30 December 1899 written as "-"
// and the complement of their distance, so that as texts they come first and in date order.
std::string SortableDayText(long long day, int width) {
    std::string digits;
    if (day >= 0) {
        digits = std::to_string(day);
    } else {
        long long span = 1;
        for (int i = 0; i < width; ++i) span *= 10;
        digits = std::to_string(span + day);
    }
    if (digits.size() < static_cast<std::size_t>(width)) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return day >= 0 ? digits : "-" + digits;
}

}  // namespace

StartDateSortTexts::StartDateSortTexts(TickerList& list, const DateLocale& locale) {
    const int count = list.EntryCount();
    original_.resize(static_cast<std::size_t>(count));
    days_.assign(static_cast<std::size_t>(count), 0);
    converted_.assign(static_cast<std::size_t>(count), 0);
    int width = 6;
    for (int row = 1; row <= count; ++row) {
        const std::string& text = list.EntryAt(row).StartDate;
        if (text.empty()) continue;
        const std::optional<double> date = ParseDateText(text, locale);
        if (!date) continue;
        const auto i = static_cast<std::size_t>(row - 1);
        original_[i] = text;
        days_[i] = std::floor(*date);
        converted_[i] = days_[i] == *date ? 1 : 2;
        width = std::max(width, DigitCount(static_cast<long long>(days_[i])));
    }
    for (int row = 1; row <= count; ++row) {
        const auto i = static_cast<std::size_t>(row - 1);
        if (!converted_[i]) continue;
        list.SetEntryField(row, ColumnStartDate,
                           SortableDayText(static_cast<long long>(days_[i]), width));
    }
}

void StartDateSortTexts::Restore(TickerList& list, const std::vector<int>& newRowOf,
                                 const DateLocale& locale) const {
    for (std::size_t i = 0; i < converted_.size(); ++i) {
        if (!converted_[i]) continue;
        list.SetEntryField(newRowOf[i], ColumnStartDate,
                           converted_[i] == 2 ? original_[i] : ShortDateText(days_[i], locale));
    }
}

}  // namespace tarnwick
