#pragma once
// The user's regional settings from Windows (GetLocaleInfoEx with the user's locale): the short
// date pattern, widened to a four-digit year for writing, the order of day, month and year, the
// month names and the AM/PM texts.
#include <string>

#include "tickers/date_text.h"

namespace tarnwick::win {

DateLocale UserDateLocale();

// A short date pattern (Windows notation: d, dd, M, MM, y, yy, yyyy, quoted literals) with a
// year of one or two digits widened to four, and the order in which it names the date's parts.
std::string WidenYear(const std::string& pattern);
DateLocale::Order PatternOrder(const std::string& pattern);

}  // namespace tarnwick::win
