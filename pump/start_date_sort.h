#pragma once
// The Start Date column's texts while the list is sorted by it: every date reads as its day
// number, so the text sort orders by date. Afterwards texts that are no date, and dates with a
// time of day, get their own text back; every other date comes back in the short date form.
#include <string>
#include <vector>

#include "tickers/date_text.h"
#include "tickers/ticker_list.h"

namespace tarnwick {

class StartDateSortTexts {
  public:
    // Puts a sortable day text in place of every Start Date of list that is a date.
    StartDateSortTexts(TickerList& list, const DateLocale& locale);
    // Writes the dates back at the rows the sort moved them to (newRowOf[old row - 1]).
    void Restore(TickerList& list, const std::vector<int>& newRowOf,
                 const DateLocale& locale) const;

  private:
    std::vector<std::string> original_;
    std::vector<double> days_;
    std::vector<char> converted_;  // 1: a whole date, 2: a date with a time of day
};

}  // namespace tarnwick
