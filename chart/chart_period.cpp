// Period names and period boundaries on the calendar.
#include "chart/chart_period.h"

#include "dates/calendar.h"
#include "dates/classic_date.h"

namespace tarnwick::chart {
namespace {

struct PeriodInfo {
    const char* name;
    const char* words;
    double minutes;
};

constexpr std::array<PeriodInfo, 8> kInfo = {{{"1m", "1-minute", 1},
                                              {"5m", "5-minute", 5},
                                              {"15m", "15-minute", 15},
                                              {"1h", "hourly", 60},
                                              {"4h", "4-hour", 240},
                                              {"1d", "daily", 1440},
                                              {"1w", "weekly", 10080},
                                              {"1mo", "monthly", 43200}}};

const PeriodInfo& Info(Period p) {
    return kInfo[static_cast<size_t>(p)];
}

int64_t Floor(int64_t ms, int64_t unit) {
    return FloorDiv(ms, unit) * unit;
}

}  // namespace

const char* PeriodName(Period p) {
    return Info(p).name;
}

const char* PeriodWords(Period p) {
    return Info(p).words;
}

double PeriodMinutes(Period p) {
    return Info(p).minutes;
}

std::optional<Period> ParsePeriod(std::string_view name) {
    for (Period p : kPeriods) {
        if (name == Info(p).name) return p;
    }
    return std::nullopt;
}

std::string PeriodNames() {
    std::string out;
    for (Period p : kPeriods) out.append(out.empty() ? "" : ", ").append(Info(p).name);
    return out;
}

Period FinestPeriodFor(double interval) {
    // A bar of 0.999999 minutes (the interval as a 32-bit float) still counts as one minute.
    for (Period p : kPeriods) {
        if (interval <= PeriodMinutes(p) * (1 + 1e-6)) return p;
    }
    return Period::Month1;
}

int64_t PeriodStart(int64_t ms, Period p) {
    constexpr int64_t minute = 60'000, hour = 60 * minute;
    switch (p) {
        case Period::Minute1:
            return Floor(ms, minute);
        case Period::Minute5:
            return Floor(ms, 5 * minute);
        case Period::Minute15:
            return Floor(ms, 15 * minute);
        case Period::Hour1:
            return Floor(ms, hour);
        case Period::Hour4:
            return Floor(ms, 4 * hour);  // days start at whole multiples of 4 hours
        case Period::Day1:
            return Floor(ms, MsPerDay);
        case Period::Week1: {
            const int64_t day = DayNumberOfMs(ms);
            return (day - (IsoWeekday(day) - 1)) * MsPerDay;
        }
        case Period::Month1: {
            CalendarDateTime at = CalendarFromMs(ms);
            at.Day = 1;
            at.MsOfDay = 0;
            return MsFromCalendar(at);
        }
    }
    return ms;
}

std::optional<int64_t> PeriodOf(double classic, Period p) {
    const std::optional<int64_t> ms = MsFromClassic(classic);
    if (!ms) return std::nullopt;
    return PeriodStart(*ms, p);
}

}  // namespace tarnwick::chart
