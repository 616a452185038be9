// Writing dates: the locale's short date form (ShortDateText) and the fixed-width day number
// text (DayNumberText).
#include <array>
#include <cmath>
#include <cstddef>

#include "dates/calendar.h"
#include "tickers/date_text.h"
#include "tickers/english_months.h"

namespace tarnwick {
namespace {

void AppendNumber(std::string& out, int value, int width) {
    std::array<char, 12> digits;
    int n = 0;
    unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
        digits[static_cast<std::size_t>(n++)] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int k = n; k < width; ++k) out.push_back('0');
    while (n > 0) out.push_back(digits[static_cast<std::size_t>(--n)]);
}

std::string MonthName(const std::vector<std::string>& names,
                      const std::array<const char*, 12>& fallback, int month) {
    const auto k = static_cast<std::size_t>(month - 1);
    if (k < names.size() && !names[k].empty()) return names[k];
    return fallback[k];
}

}  // namespace

// Writes the whole day of dayNumber (the part before the fraction, counted toward zero as the
// classic encoding does) by the pattern: d, dd (day), M, MM (month), MMM (short name), MMMM
// (full name), yy (two-digit year), y/yyy (year as is), yyyy (four digits), text in single
// quotes ('' for a quote) and every other character as written; ddd and dddd (weekday names)
// write nothing, as the locale carries no weekday names. Days outside the years 100..9999, and
// values that are not numbers, give the empty text.
std::string ShortDateText(double dayNumber, const DateLocale& locale) {
    if (!std::isfinite(dayNumber)) return {};
    const double whole = std::trunc(dayNumber);
    if (whole < -657434.0 || whole > 2958465.0) return {};  // 1 Jan 100 .. 31 Dec 9999
    int y = 0, m = 0, d = 0;
    CalendarDateOf(static_cast<long long>(whole), y, m, d);

    const std::string_view p = locale.ShortDatePattern;
    std::string out;
    out.reserve(p.size() + 8);
    for (std::size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (c == '\'') {
            if (i + 1 < p.size() && p[i + 1] == '\'') {
                out.push_back('\'');
                i += 2;
                continue;
            }
            std::size_t k = i + 1;
            while (k < p.size()) {
                if (p[k] == '\'') {
                    if (k + 1 < p.size() && p[k + 1] == '\'') {
                        out.push_back('\'');
                        k += 2;
                        continue;
                    }
                    break;
                }
                out.push_back(p[k++]);
            }
            i = k + 1;
            continue;
        }
        if (c != 'd' && c != 'M' && c != 'y') {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < p.size() && p[i + run] == c) ++run;
        i += run;
        if (c == 'd') {
            if (run <= 2) AppendNumber(out, d, static_cast<int>(run));
        } else if (c == 'M') {
            if (run <= 2)
                AppendNumber(out, m, static_cast<int>(run));
            else if (run == 3)
                out += MonthName(locale.ShortMonthNames, kEnglishShortMonths, m);
            else
                out += MonthName(locale.MonthNames, kEnglishMonths, m);
        } else {
            if (run == 2)
                AppendNumber(out, y % 100, 2);
            else if (run >= 4)
                AppendNumber(out, y, 4);
            else
                AppendNumber(out, y, 1);
        }
    }
    return out;
}

// "000000" style: at least six digits, a "-" before negative numbers ("-000001"). Negative day
// numbers (before 30 December 1899) and day numbers of seven digits (after 25 November 4637)
// do not order correctly as texts against the others.
std::string DayNumberText(long long dayNumber) {
    std::string out;
    unsigned long long magnitude = static_cast<unsigned long long>(dayNumber);
    if (dayNumber < 0) {
        out.push_back('-');
        magnitude = 0ull - magnitude;
    }
    std::array<char, 24> digits;
    int n = 0;
    do {
        digits[static_cast<std::size_t>(n++)] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (int k = n; k < 6; ++k) out.push_back('0');
    while (n > 0) out.push_back(digits[static_cast<std::size_t>(--n)]);
    return out;
}

}  // namespace tarnwick
