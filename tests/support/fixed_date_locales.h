#pragma once
// Fixed date locales for tests, fuzz targets and benchmarks: what the shell would supply for
// United States English, British English and German, independent of the machine's settings.
#include "tickers/date_text.h"
#include "tickers/english_months.h"

namespace tarnwick {

inline DateLocale EnUSLocale() {
    DateLocale l;
    l.DateOrder = DateLocale::Order::MonthDayYear;
    l.ShortDatePattern = "M/d/yyyy";
    l.MonthNames = {kEnglishMonths.begin(), kEnglishMonths.end()};
    l.ShortMonthNames = {kEnglishShortMonths.begin(), kEnglishShortMonths.end()};
    l.AmText = "AM";
    l.PmText = "PM";
    return l;
}

inline DateLocale EnGBLocale() {
    DateLocale l;
    l.DateOrder = DateLocale::Order::DayMonthYear;
    l.ShortDatePattern = "dd/MM/yyyy";
    l.MonthNames = {kEnglishMonths.begin(), kEnglishMonths.end()};
    l.ShortMonthNames = {kEnglishShortMonths.begin(), kEnglishShortMonths.end()};
    l.AmText = "am";
    l.PmText = "pm";
    return l;
}

inline DateLocale DeDELocale() {
    DateLocale l;
    l.DateOrder = DateLocale::Order::DayMonthYear;
    l.ShortDatePattern = "dd.MM.yyyy";
    l.MonthNames = {"Januar", "Februar", "M\xC3\xA4rz", "April",   "Mai",      "Juni",
                    "Juli",   "August",  "September",   "Oktober", "November", "Dezember"};
    l.ShortMonthNames = {"Jan.", "Feb.", "M\xC3\xA4rz", "Apr.", "Mai",  "Juni",
                         "Juli", "Aug.", "Sept.",       "Okt.", "Nov.", "Dez."};
    l.AmText = "AM";
    l.PmText = "PM";
    return l;
}

}  // namespace tarnwick
