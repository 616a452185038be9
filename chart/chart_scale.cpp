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
constexpr std::array<Unit, 21> kUnits = {
    {{Kind::Minute, 1},  {Kind::Minute, 2},  {Kind::Minute, 5}, {Kind::Minute, 10},
     {Kind::Minute, 15}, {Kind::Minute, 30}, {Kind::Hour, 1},   {Kind::Hour, 2},
     {Kind::Hour, 3},    {Kind::Day, 1},     {Kind::Day, 2},    {Kind::Day, 5},
     {Kind::Day, 10},    {Kind::Month, 1},   {Kind::Month, 2},  {Kind::Month, 3},
     {Kind::Month, 6},   {Kind::Year, 1},    {Kind::Year, 2},   {Kind::Year, 5},
     {Kind::Year, 10}}};

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

// The columns' last stamps (a column's unit is that of its last row, so that a column spanning
// a boundary carries the mark), invalid for columns without rows or dates.
std::vector<std::pair<bool, Stamp>> LastStamps(const std::vector<ChartColumn>& columns) {
    std::vector<std::pair<bool, Stamp>> out(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        if (columns[k].rows > 0) out[k].first = ToStamp(columns[k].lastTime, out[k].second);
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

PriceScale MakePriceScale(double lo, double hi, int pixels) {
    double span = hi - lo;
    if (!(span > 0)) span = std::max(std::fabs(hi) * 0.02, 0.1);  // a flat series: a band
    const double mid = (hi + lo) / 2;
    lo = std::min(lo, mid - span / 2) - span * 0.06;
    hi = std::max(hi, mid + span / 2) + span * 0.06;
    const double lines = std::max(2.0, pixels / 60.0);
    const double raw = (hi - lo) / lines;
    double step = 0.01;
    for (double decade = 0.01; decade <= raw * 10; decade *= 10) {
        for (double m : {1.0, 2.0, 2.5, 5.0}) {
            if (m * decade >= raw) {
                step = m * decade;
                return {lo, hi, step};
            }
        }
    }
    return {lo, hi, step};
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
                                    double minSpacing) {
    const auto stamps = LastStamps(columns);
    const double width = columnWidth * static_cast<double>(columns.size());
    const auto most = static_cast<size_t>(std::max(1.0, width / minSpacing));
    std::vector<TimeMark> chosen;
    for (const Unit u : kUnits) {
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
    const auto stamps = LastStamps(columns);
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

}  // namespace tarnwick::chart
