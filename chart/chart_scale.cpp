// Price steps, value texts and time-axis marks.
#include "chart/chart_scale.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "dates/classic_date.h"

namespace tarnwick::chart {
namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A date/time broken into calendar fields (to the millisecond).
struct Stamp {
    int64_t day = 0;  // whole days since 1899-12-30
    int year = 0, month = 1, dom = 1;
    int64_t msOfDay = 0;
};

// A stored (classic) date/time as calendar fields; false for a value that is no calendar date.
bool ToStamp(double t, Stamp& s) {
    const std::optional<int64_t> ms = MsFromClassic(t);
    if (!ms) return false;
    const CalendarDateTime at = CalendarFromMs(*ms);
    s.day = DayNumberOfMs(*ms);
    s.year = at.Year;
    s.month = at.Month;
    s.dom = at.Day;
    s.msOfDay = at.MsOfDay;
    return true;
}

enum class Kind { Minute, Hour, Day, Month, Year };
struct Unit {
    Kind kind;
    int step;
};
constexpr std::array<Unit, 22> kUnits = {
    {{Kind::Minute, 1},  {Kind::Minute, 2},  {Kind::Minute, 5}, {Kind::Minute, 10},
     {Kind::Minute, 15}, {Kind::Minute, 30}, {Kind::Hour, 1},   {Kind::Hour, 2},
     {Kind::Hour, 3},    {Kind::Hour, 4},    {Kind::Day, 1},    {Kind::Day, 2},
     {Kind::Day, 5},     {Kind::Day, 10},    {Kind::Month, 1},  {Kind::Month, 2},
     {Kind::Month, 3},   {Kind::Month, 6},   {Kind::Year, 1},   {Kind::Year, 2},
     {Kind::Year, 5},    {Kind::Year, 10}}};

// Whether the unit's boundaries are boundaries of the period, so that its marks fall on candle
// starts. Months are let through for weeks: a week that starts in a new month carries its mark.
bool KeepsTo(Unit u, std::optional<Period> period) {
    if (!period) return true;
    const double minutes = PeriodMinutes(*period);
    switch (u.kind) {
        case Kind::Minute:
            return minutes <= 15 && static_cast<int>(u.step) % static_cast<int>(minutes) == 0;
        case Kind::Hour:
            return minutes <= 60 || (*period == Period::Hour4 && u.step % 4 == 0);
        case Kind::Day:
            return minutes <= 1440;
        case Kind::Month:
        case Kind::Year:
            return true;
    }
    return true;
}

// Which period of the unit a stamp falls in; two stamps in different periods have different keys.
int64_t Key(const Stamp& s, Unit u) {
    const int64_t minute = s.msOfDay / 60000;
    switch (u.kind) {
        case Kind::Minute:
            return s.day * 1440 + minute / u.step;
        case Kind::Hour:
            return s.day * 24 + minute / 60 / u.step;
        case Kind::Day:
            return (int64_t{s.year} * 12 + s.month) * 32 + (s.dom - 1) / u.step;
        case Kind::Month:
            return int64_t{s.year} * 12 + (s.month - 1) / u.step;
        case Kind::Year:
            return s.year >= 0 ? s.year / u.step : -((-s.year + u.step - 1) / u.step);
    }
    return 0;
}

// The next larger unit, whose change makes a mark major.
Unit Larger(Unit u) {
    switch (u.kind) {
        case Kind::Minute:
        case Kind::Hour:
            return {Kind::Day, 1};
        case Kind::Day:
            return {Kind::Month, 1};
        default:
            return {Kind::Year, 1};
    }
}

// The mark's text: the start of the period the stamp falls in ("10:00", "15", "Mar", "2004"),
// or of the larger unit for a major mark.
std::string Text(const Stamp& s, Unit u, bool major) {
    char buf[32];
    const int64_t minute = s.msOfDay / 60000;
    switch (u.kind) {
        case Kind::Minute:
        case Kind::Hour:
            if (major) {
                std::snprintf(buf, sizeof buf, "%d %s", s.dom, kMonths[s.month - 1]);
            } else {
                const int64_t step = u.kind == Kind::Minute ? u.step : u.step * 60;
                const int64_t start = minute / step * step;
                std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(start / 60),
                              static_cast<int>(start % 60));
            }
            break;
        case Kind::Day:
            if (major && s.month == 1) {
                std::snprintf(buf, sizeof buf, "%d", s.year);
            } else if (major) {
                std::snprintf(buf, sizeof buf, "%s", kMonths[s.month - 1]);
            } else {
                std::snprintf(buf, sizeof buf, "%d %s", (s.dom - 1) / u.step * u.step + 1,
                              kMonths[s.month - 1]);
            }
            break;
        case Kind::Month:
            if (major) {
                std::snprintf(buf, sizeof buf, "%d", s.year);
            } else {
                std::snprintf(buf, sizeof buf, "%s", kMonths[(s.month - 1) / u.step * u.step]);
            }
            break;
        case Kind::Year:
            std::snprintf(buf, sizeof buf, "%d", static_cast<int>(Key(s, u) * u.step));
            break;
    }
    return buf;
}

// The columns' stamps, invalid for columns without rows or dates: their last row's (a column
// of rows spanning a boundary carries the mark), or for candles their first (the period's).
std::vector<std::pair<bool, Stamp>> ColumnStamps(const std::vector<ChartColumn>& columns,
                                                 bool first) {
    std::vector<std::pair<bool, Stamp>> out(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        const ChartColumn& c = columns[k];
        if (c.rows > 0) out[k].first = ToStamp(first ? c.firstTime : c.lastTime, out[k].second);
    }
    return out;
}

std::vector<TimeMark> MarksFor(const std::vector<std::pair<bool, Stamp>>& stamps, Unit u) {
    std::vector<TimeMark> marks;
    const Stamp* previous = nullptr;
    for (size_t k = 0; k < stamps.size(); ++k) {
        if (!stamps[k].first) continue;
        const Stamp& s = stamps[k].second;
        if (previous != nullptr && Key(s, u) != Key(*previous, u)) {
            const bool major =
                u.kind != Kind::Year && Key(s, Larger(u)) != Key(*previous, Larger(u));
            marks.push_back({static_cast<int>(k), Text(s, u, major), major});
        }
        previous = &s;
    }
    return marks;
}

}  // namespace

namespace {

// A round step in cents for about `lines` grid lines over [lo, hi].
double LinearStep(double lo, double hi, double lines) {
    const double raw = (hi - lo) / lines;
    for (double decade = 0.01; decade <= raw * 10; decade *= 10) {
        for (double m : {1.0, 2.0, 2.5, 5.0}) {
            if (m * decade >= raw) return m * decade;
        }
    }
    return 0.01;
}

void AddLinearLines(PriceScale& sc) {
    const double first = std::ceil(sc.low / sc.step);
    const double last = std::floor(sc.high / sc.step);
    for (double i = first; i <= last; i += 1) sc.lines.push_back(i * sc.step);
}

PriceScale MakeLogScale(double lo, double hi, int pixels) {
    if (!(hi > lo)) {
        lo /= 1.02;  // a flat series: a band
        hi *= 1.02;
    }
    const double span = std::log(hi) - std::log(lo);
    PriceScale sc;
    sc.log = true;
    sc.low = std::exp(std::log(lo) - span * 0.06);
    sc.high = std::exp(std::log(hi) + span * 0.06);
    const double wanted = std::max(2.0, pixels / 60.0);
    // Round numbers of each decade, from the sparsest set to the densest: the densest set that
    // stays within about the lines wanted (unevenly spaced lines may come a little denser).
    static const std::vector<std::vector<double>> kSets = {
        {1}, {1, 2, 5}, {1, 2, 3, 5, 7}, {1, 1.5, 2, 3, 4, 5, 6, 7, 8, 9}};
    std::vector<double> best;
    const int firstDecade = static_cast<int>(std::floor(std::log10(sc.low)));
    const int lastDecade = static_cast<int>(std::ceil(std::log10(sc.high)));
    for (const auto& set : kSets) {
        std::vector<double> lines;
        for (int e = firstDecade; e <= lastDecade; ++e) {
            for (double m : set) {
                const double v = m * std::pow(10.0, e);
                if (v >= sc.low && v <= sc.high) lines.push_back(v);
            }
        }
        const bool fits = static_cast<double>(lines.size()) <= wanted * 1.25;
        if (best.empty() || fits) best = lines;
        if (!fits) break;
    }
    if (best.size() >= 3) {
        sc.lines = best;
        return sc;
    }
    // A narrow range: round linear steps, placed on the logarithmic axis.
    sc.step = LinearStep(sc.low, sc.high, wanted);
    AddLinearLines(sc);
    return sc;
}

}  // namespace

PriceScale MakePriceScale(double lo, double hi, int pixels, bool log) {
    if (log && lo > 0) return MakeLogScale(lo, hi, pixels);
    double span = hi - lo;
    if (!(span > 0)) span = std::max(std::fabs(hi) * 0.02, 0.1);  // a flat series: a band
    const double mid = (hi + lo) / 2;
    PriceScale sc;
    sc.low = std::min(lo, mid - span / 2) - span * 0.06;
    sc.high = std::max(hi, mid + span / 2) + span * 0.06;
    sc.step = LinearStep(sc.low, sc.high, std::max(2.0, pixels / 60.0));
    AddLinearLines(sc);
    return sc;
}

std::string PriceText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", std::fabs(v) < 0.005 ? 0.0 : v);
    const std::string digits = buf;
    const size_t start = digits[0] == '-' ? 1 : 0;
    size_t point = digits.find('.');
    if (point == std::string::npos) point = digits.size();
    std::string out = digits.substr(0, start);
    for (size_t i = start; i < digits.size(); ++i) {
        // A separator before every third digit counted back from the decimal point.
        if (i > start && i < point && (point - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string CountText(int64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        const size_t left = digits.size() - i;
        if (i > 0 && digits[i - 1] != '-' && left % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string VolumeText(double v) {
    char buf[32];
    const double a = std::fabs(v);
    if (a >= 1e9) {
        std::snprintf(buf, sizeof buf, "%.1fB", v / 1e9);
    } else if (a >= 1e6) {
        std::snprintf(buf, sizeof buf, "%.1fM", v / 1e6);
    } else if (a >= 1e4) {
        std::snprintf(buf, sizeof buf, "%.1fK", v / 1e3);
    } else {
        std::snprintf(buf, sizeof buf, "%.0f", v);
    }
    return buf;
}

std::string DateTimeText(double t, bool withSeconds) {
    Stamp s;
    if (!ToStamp(t, s)) return "?";
    char buf[48];
    const int64_t sec = s.msOfDay / 1000;
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", s.year, s.month, s.dom,
                          static_cast<int>(sec / 3600), static_cast<int>(sec / 60 % 60));
    if (withSeconds && n > 0) {
        std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ":%02d",
                      static_cast<int>(sec % 60));
    }
    return buf;
}

std::vector<TimeMark> MakeTimeMarks(const std::vector<ChartColumn>& columns, double columnWidth,
                                    double minSpacing, std::optional<Period> period) {
    const auto stamps = ColumnStamps(columns, period.has_value());
    const double width = columnWidth * static_cast<double>(columns.size());
    const auto most = static_cast<size_t>(std::max(1.0, width / minSpacing));
    std::vector<TimeMark> chosen;
    for (const Unit u : kUnits) {
        if (!KeepsTo(u, period)) continue;
        chosen = MarksFor(stamps, u);
        if (chosen.size() > most) continue;
        // Marks may bunch where rows are dense in time; the unit fits when most gaps are wide.
        size_t close = 0;
        for (size_t i = 1; i < chosen.size(); ++i) {
            if ((chosen[i].column - chosen[i - 1].column) * columnWidth < minSpacing / 2) ++close;
        }
        if (close * 4 <= chosen.size()) return chosen;
    }
    return chosen;
}

std::vector<int> DayBreaks(const std::vector<ChartColumn>& columns) {
    const auto stamps = ColumnStamps(columns, false);
    std::vector<int> out;
    const Stamp* previous = nullptr;
    for (size_t k = 0; k < stamps.size(); ++k) {
        if (!stamps[k].first) continue;
        if (previous != nullptr && stamps[k].second.day != previous->day) {
            out.push_back(static_cast<int>(k));
        }
        previous = &stamps[k].second;
    }
    return out;
}

std::string PeriodStartText(double classic, Period p) {
    const std::optional<int64_t> start = PeriodOf(classic, p);
    if (!start) return "?";
    const CalendarDateTime at = CalendarFromMs(*start);
    char buf[48];
    const auto minutes = static_cast<int>(at.MsOfDay / 60000);
    switch (p) {
        case Period::Month1:
            std::snprintf(buf, sizeof buf, "%s %d", kMonths[static_cast<size_t>(at.Month - 1)],
                          at.Year);
            break;
        case Period::Week1:
        case Period::Day1:
            std::snprintf(buf, sizeof buf, "%s%04d-%02d-%02d", p == Period::Week1 ? "week of " : "",
                          at.Year, at.Month, at.Day);
            break;
        default:
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", at.Year, at.Month, at.Day,
                          minutes / 60, minutes % 60);
    }
    return buf;
}

}  // namespace tarnwick::chart
