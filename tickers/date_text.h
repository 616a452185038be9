#pragma once
// Reading a date text by the user's regional settings and writing the short date form. The
// shell supplies the locale facts (DateLocale); the logic here is plain C++ so it is tested with
// fixed locales. Dates are day counts since 30 December 1899, the fraction the time of day.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dates/calendar.h"

namespace tarnwick {

struct DateLocale {
    enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };
    Order DateOrder = Order::MonthDayYear;
    // The short date pattern in Qt's notation (d, dd, M, MM, yy, yyyy and literal separators),
    // with a two-digit year already widened to four digits for writing.
    std::string ShortDatePattern = "M/d/yyyy";
    std::vector<std::string> MonthNames;       // January .. December, as the locale writes them
    std::vector<std::string> ShortMonthNames;  // Jan .. Dec
    std::string AmText = "AM";
    std::string PmText = "PM";
};

// The date (and time of day, when the text has one) that text denotes, or nullopt when it is no
// date. See date_reader.cpp for the forms accepted and the century window of two-digit years.
std::optional<double> ParseDateText(std::string_view text, const DateLocale& locale);

// The same texts read as a point on the straight time line (days since 30 December 1899, the
// day floor(t), see dates/classic_date.h), where a date before 30 December 1899 may also carry a
// time of day: "1899-12-29 06:00" is -0.75. From that day on, the same number as ParseDateText.
std::optional<double> ParseLinearDateText(std::string_view text, const DateLocale& locale);

// The short date form of the day that dayNumber falls on (time of day ignored).
std::string ShortDateText(double dayNumber, const DateLocale& locale);

// A whole day number written with at least six digits and leading zeros ("037622").
std::string DayNumberText(long long dayNumber);

}  // namespace tarnwick
