#pragma once
// Short date patterns as the window systems give them (d, M, y letters, quoted literal text):
// where their parts stand, and the widening of a short year so a written date keeps its century.
// Shared by every front end's regional settings.
#include <cstddef>
#include <string>

#include "tickers/date_text.h"

namespace tarnwick {

// Position of the first unquoted occurrence of letter in pattern, or npos.
std::size_t UnquotedFind(const std::string& pattern, char letter);

// Whether pattern names the day, the month and the year, each outside quotes.
bool NamesDayMonthYear(const std::string& pattern);

// The order in which pattern names day, month and year (month first when it names none).
DateLocale::Order PatternOrder(const std::string& pattern);

// pattern with every unquoted run of shortestRun to 2 'y' letters widened to "yyyy"; longer runs
// and quoted text stay as they are.
std::string WidenShortYears(const std::string& pattern, std::size_t shortestRun);

}  // namespace tarnwick
