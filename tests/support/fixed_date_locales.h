#pragma once
// Fixed date locales for tests, fuzz targets and benchmarks: what the shell would supply for
// United States English, British English and German, independent of the machine's settings.
#include "tickers/date_text.h"
#include "tickers/english_months.h"

namespace tarnwick {

inline DateLocale EnUSLocale() {
    DateLocale l;
    l.order = DateLocale::Order::MonthDayYear;
    l.shortDatePattern = "M/d/yyyy";
    l.monthNames = {kEnglishMonths.begin(), kEnglishMonths.end()};
    l.shortMonthNames = {kEnglishShortMonths.begin(), kEnglishShortMonths.end()};
    l.amText = "AM";
    l.pmText = "PM";
    return l;
}

inline DateLocale EnGBLocale() {
    DateLocale l;
    l.order = DateLocale::Order::DayMonthYear;
    l.shortDatePattern = "dd/MM/yyyy";
    l.monthNames = {kEnglishMonths.begin(), kEnglishMonths.end()};
    l.shortMonthNames = {kEnglishShortMonths.begin(), kEnglishShortMonths.end()};
    l.amText = "am";
    l.pmText = "pm";
    return l;
}

inline DateLocale DeDELocale() {
    DateLocale l;
    l.order = DateLocale::Order::DayMonthYear;
    l.shortDatePattern = "dd.MM.yyyy";
    l.monthNames = {"Januar", "Februar", "M\xC3\xA4rz", "April",   "Mai",      "Juni",
                    "Juli",   "August",  "September",   "Oktober", "November", "Dezember"};
    l.shortMonthNames = {"Jan.", "Feb.", "M\xC3\xA4rz", "Apr.", "Mai",  "Juni",
                         "Juli", "Aug.", "Sept.",       "Okt.", "Nov.", "Dez."};
    l.amText = "AM";
    l.pmText = "PM";
    return l;
}

}  // namespace tarnwick
