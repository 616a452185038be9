// Stored date/times to calendar fields and back, through milliseconds on the straight line.
#include "dates/classic_date.h"

#include "dates/calendar.h"

namespace tarnwick {

static_assert(DaysFromCivil(100, 1, 1) - kEpochDays == FirstCalendarDay);
static_assert(DaysFromCivil(9999, 12, 31) - kEpochDays == LastCalendarDay);

std::optional<int64_t> MsFromClassic(double classic) {
    // NaN fails both comparisons; the bounds keep the rounding below far inside int64_t.
    if (!(classic >= static_cast<double>(FirstCalendarDay) - 1 &&
          classic < static_cast<double>(LastCalendarDay) + 1)) {
        return std::nullopt;
    }
    const int64_t ms = std::llround(LinearFromClassic(classic) * static_cast<double>(MsPerDay));
    // Checked after rounding: the last instant of 9999 must not round into the year 10000.
    if (ms < FirstCalendarDay * MsPerDay || ms >= (LastCalendarDay + 1) * MsPerDay) {
        return std::nullopt;
    }
    return ms;
}

double ClassicFromMs(int64_t ms) {
    const int64_t day = DayNumberOfMs(ms);
    const int64_t msOfDay = ms - day * MsPerDay;
    const double fraction = static_cast<double>(msOfDay) / static_cast<double>(MsPerDay);
    // Before 30 December 1899 the fraction counts forward from a day counted toward zero.
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

int64_t DayNumberOfMs(int64_t ms) {
    return FloorDiv(ms, MsPerDay);
}

CalendarDateTime CalendarFromMs(int64_t ms) {
    CalendarDateTime at;
    const int64_t day = DayNumberOfMs(ms);
    at.MsOfDay = ms - day * MsPerDay;
    CalendarDateOf(day, at.Year, at.Month, at.Day);
    return at;
}

int64_t MsFromCalendar(const CalendarDateTime& at) {
    return (DaysFromCivil(at.Year, at.Month, at.Day) - kEpochDays) * MsPerDay + at.MsOfDay;
}

std::optional<CalendarDateTime> CalendarFromClassic(double classic) {
    const std::optional<int64_t> ms = MsFromClassic(classic);
    if (!ms) return std::nullopt;
    return CalendarFromMs(*ms);
}

double ClassicFromCalendar(const CalendarDateTime& at) {
    return ClassicFromMs(MsFromCalendar(at));
}

int IsoWeekday(int64_t dayNumber) {
    const int64_t fromMonday = dayNumber + 5;  // day 0, a Saturday, is day 5 counted from Monday
    return static_cast<int>(fromMonday - FloorDiv(fromMonday, 7) * 7) + 1;
}

}  // namespace tarnwick
