// ParseDateText under three fixed locales and one made from the input: it never fails, and a
// date it reads comes back as the same day through the short date form. DayNumberText and the
// calendar conversion on any day number; stored date/times to calendar fields and back.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "dates/classic_date.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/fixed_date_locales.h"
#include "tickers/date_text.h"

using namespace tarnwick;
using tarnwick::fuzz::Printable;

namespace {

constexpr double FirstDay = -657434;  // 1 January 100
constexpr double LastDay = 2958465;   // 31 December 9999

std::string Show(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

void CheckLocale(std::string_view text, const DateLocale& locale, const char* name,
                 bool roundTrip) {
    const std::optional<double> d = ParseDateText(text, locale);
    if (!d) return;
    const std::string where = std::string(name) + " " + Printable(text);
    FUZZ_CHECK(std::isfinite(*d), where + " -> " + Show(*d));
    FUZZ_CHECK(*d >= FirstDay && *d < LastDay + 1, where + " -> " + Show(*d));
    const double day = std::floor(*d);
    FUZZ_CHECK(*d - day < 1.0, where + " -> " + Show(*d));
    // Whole days only before 30 December 1899.
    FUZZ_CHECK(day >= 0 || *d == day, where + " -> " + Show(*d));
    // The fraction is a whole number of seconds.
    const double seconds = (*d - day) * 86400.0;
    FUZZ_CHECK(std::fabs(seconds - std::round(seconds)) < 1e-3, where + " -> " + Show(*d));

    const std::string shortText = ShortDateText(*d, locale);
    if (!roundTrip) return;
    FUZZ_CHECK(!shortText.empty(), where + " -> " + Show(*d) + " has no short date form");
    const std::optional<double> back = ParseDateText(shortText, locale);
    FUZZ_CHECK(back.has_value() && *back == day, where + " -> " + Show(*d) + " -> " +
                                                     Printable(shortText) + " -> " +
                                                     (back ? Show(*back) : std::string("no date")));
}

void CheckDayNumber(long long n) {
    const std::string t = DayNumberText(n);
    FUZZ_CHECK(t.size() >= 6, t);
    long long back = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), back);
    FUZZ_CHECK(r.ec == std::errc() && r.ptr == t.data() + t.size() && back == n,
               std::to_string(n) + " -> " + Printable(t));
    const std::size_t digits = t.size() - (n < 0 ? 1 : 0);
    FUZZ_CHECK(digits == 6 || t[n < 0 ? 1 : 0] != '0', std::to_string(n) + " -> " + t);

    // The calendar conversion is exact both ways over the years 100..9999 and beyond.
    if (n >= -100'000'000 && n <= 100'000'000) {
        int y = 0, m = 0, d = 0;
        CalendarDateOf(n, y, m, d);
        FUZZ_CHECK(m >= 1 && m <= 12 && d >= 1 && d <= 31,
                   std::to_string(n) + " -> " + std::to_string(y) + "-" + std::to_string(m) + "-" +
                       std::to_string(d));
        FUZZ_CHECK(DayNumberOf(y, m, d) == static_cast<double>(n),
                   std::to_string(n) + " -> " + std::to_string(y) + "-" + std::to_string(m) + "-" +
                       std::to_string(d) + " -> " + Show(DayNumberOf(y, m, d)));
    }
}

// A stored date/time as calendar fields and back (dates/classic_date.h): the milliseconds it
// rounds to give the same fields and the same milliseconds again, and the fields are a date.
void CheckClassicDate(double v) {
    const std::optional<int64_t> ms = MsFromClassic(v);
    if (!ms) return;
    const CalendarDateTime at = CalendarFromMs(*ms);
    FUZZ_CHECK(at.Year >= 100 && at.Year <= 9999 && at.MsOfDay >= 0 && at.MsOfDay < MsPerDay &&
                   IsValidDate(at.Year, at.Month, at.Day),
               Show(v));
    FUZZ_CHECK(MsFromCalendar(at) == *ms, Show(v));
    FUZZ_CHECK(MsFromClassic(ClassicFromMs(*ms)) == ms,
               Show(v) + " -> " + Show(ClassicFromMs(*ms)));
    FUZZ_CHECK(CalendarFromClassic(v) == at, Show(v));
}

// Short date patterns of real locales (two-digit years widened, as the shell does), with the
// order the shell derives from them. Two patterns of real locales that do not read back yet are
// left out here and kept as tests in tests/regressions/date_text_test.cpp: the Bulgarian one with
// a trailing quoted word and the Arabic ones with right-to-left marks. Every day of the years
// 100..9999 written by one of them reads back as that day.
struct KnownPattern {
    const char* pattern;
    DateLocale::Order order;
    bool german;
};
constexpr KnownPattern KnownPatterns[] = {
    {"M/d/yyyy", DateLocale::Order::MonthDayYear, false},
    {"dd/MM/yyyy", DateLocale::Order::DayMonthYear, false},
    {"dd.MM.yyyy", DateLocale::Order::DayMonthYear, true},
    {"d.M.yyyy", DateLocale::Order::DayMonthYear, true},
    {"yyyy-MM-dd", DateLocale::Order::YearMonthDay, false},
    {"yyyy/MM/dd", DateLocale::Order::YearMonthDay, false},
    {"yyyy. MM. dd.", DateLocale::Order::YearMonthDay, false},
    {"yyyy. M. d.", DateLocale::Order::YearMonthDay, false},
    {"d MMM yyyy", DateLocale::Order::DayMonthYear, false},
    {"dd-MMM-yyyy", DateLocale::Order::DayMonthYear, false},
    {"d. MMMM yyyy", DateLocale::Order::DayMonthYear, true},
    {"MMMM d, yyyy", DateLocale::Order::MonthDayYear, false},
    {"d-M-yyyy", DateLocale::Order::DayMonthYear, false},
    {"dd MMM yyyy", DateLocale::Order::DayMonthYear, true},
    {"d.M.yyyy.", DateLocale::Order::DayMonthYear, false},
    {"d. M. yyyy", DateLocale::Order::DayMonthYear, false},
    {"dd 'de' MMM yyyy", DateLocale::Order::DayMonthYear, false},
    {"d/M/yyyy", DateLocale::Order::DayMonthYear, false},
};

void CheckKnownPattern(const uint8_t* data) {
    uint32_t raw;
    std::memcpy(&raw, data, sizeof raw);
    const auto& known = KnownPatterns[data[4] % (sizeof KnownPatterns / sizeof KnownPatterns[0])];
    DateLocale locale = known.german ? DeDELocale() : EnUSLocale();
    locale.ShortDatePattern = known.pattern;
    locale.DateOrder = known.order;
    const double day =
        FirstDay + static_cast<double>(raw % static_cast<uint32_t>(LastDay - FirstDay + 1));
    const std::string text = ShortDateText(day, locale);
    const std::optional<double> back = ParseDateText(text, locale);
    FUZZ_CHECK(back.has_value() && *back == day, std::string(known.pattern) + ": day " + Show(day) +
                                                     " -> " + Printable(text) + " -> " +
                                                     (back ? Show(*back) : std::string("no date")));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const DateLocale us = EnUSLocale();
    static const DateLocale gb = EnGBLocale();
    static const DateLocale de = DeDELocale();
    CheckLocale(text, us, "en_US", true);
    CheckLocale(text, gb, "en_GB", true);
    CheckLocale(text, de, "de_DE", true);

    // A locale as an odd platform might describe it: the pattern and the names come from the
    // input (before the first NUL: pattern; then month names separated by NULs), the text after.
    // Only robustness is checked: such a pattern need not read back what it writes.
    if (size > 2) {
        DateLocale odd;
        odd.DateOrder = static_cast<DateLocale::Order>(data[0] % 3);
        std::string_view rest = text.substr(1);
        const std::size_t nul = rest.find('\0');
        odd.ShortDatePattern = std::string(rest.substr(0, nul));
        std::string_view dateText = nul == std::string_view::npos ? rest : rest.substr(nul + 1);
        for (int k = 0; k < 3 && !dateText.empty(); ++k) {
            const std::size_t cut = dateText.find('\0');
            if (cut == std::string_view::npos) break;
            odd.MonthNames.emplace_back(dateText.substr(0, cut));
            odd.ShortMonthNames.emplace_back(dateText.substr(0, cut / 2));
            dateText.remove_prefix(cut + 1);
        }
        CheckLocale(dateText, odd, "odd locale", false);
    }

    if (size >= 5) CheckKnownPattern(data);

    // Day numbers and doubles from the input's bytes.
    if (size >= 8) {
        long long n;
        std::memcpy(&n, data, sizeof n);
        CheckDayNumber(n);
        CheckDayNumber(n % 5'000'000);
        double v;
        std::memcpy(&v, data, sizeof v);
        (void)ShortDateText(v, us);
        (void)ShortDateText(v, de);
        CheckClassicDate(v);
        CheckClassicDate(static_cast<double>(n % 5'000'000'000'000LL) / 1e6);
    }
    return 0;
}
