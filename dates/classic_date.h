#pragma once
// Date/times in the classic encoding the host's tables take, on a straight time line, and as a
// calendar date with the time of day: the one conversion every reader of stored date/times uses.
//
// The classic encoding counts days since 30 December 1899 with the time of day as the fraction,
// but before that day it is not a straight line: the whole part is the day counted toward zero
// and the fraction, whatever the sign, still counts the time of day forward. 29 December 1899
// 06:00 is -1.25, and 09:00 of that day is -1.375: later, yet smaller. A history that steps
// through such days therefore steps on the straight line (the day is floor(t), the time of day
// t - floor(t)) and writes each row's date/time in the classic encoding. From 30 December 1899
// on, both are the same number. Comparing or ordering date/times is done on the straight line;
// breaking one into calendar fields goes through milliseconds on that line.
//
//   classic value  --MsFromClassic-->  ms since 1899-12-30 00:00  --CalendarFromMs-->  y, m, d, ms
//                  <--ClassicFromMs--                              <--MsFromCalendar--
#include <cmath>
#include <cstdint>
#include <optional>

namespace tarnwick {

inline constexpr int64_t MsPerDay = 86'400'000;

// The classic date/time of a point t on the straight line (days since 30 December 1899).
inline double ClassicFromLinear(double t) {
    if (!(t < 0) || std::isinf(t)) return t;
    const double day = std::floor(t);
    return day - (t - day);
}

// The point on the straight line of a classic date/time (the inverse of ClassicFromLinear).
inline double LinearFromClassic(double date) {
    if (!(date < 0) || std::isinf(date)) return date;
    const double day = std::trunc(date);
    return day + (day - date);
}

// A date/time as its calendar date (proleptic Gregorian) and the milliseconds since that day's
// midnight, 0 to 86,399,999.
struct CalendarDateTime {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int64_t MsOfDay = 0;

    bool operator==(const CalendarDateTime&) const = default;
};

// The first and last day the conversions break into calendar fields: 1 January 100 and
// 31 December 9999, the years date texts cover.
inline constexpr int64_t FirstCalendarDay = -657434;
inline constexpr int64_t LastCalendarDay = 2958465;

// Milliseconds on the straight line since 30 December 1899 00:00 of a classic date/time, rounded
// to the nearest millisecond (so that minute stamps summed step by step land on whole minutes);
// nullopt for NaN, infinities and values outside FirstCalendarDay..LastCalendarDay.
std::optional<int64_t> MsFromClassic(double classic);
// The classic date/time of a point in milliseconds since 30 December 1899 00:00.
double ClassicFromMs(int64_t ms);

// The calendar date and time of day of a point in milliseconds (any value of MsFromClassic).
CalendarDateTime CalendarFromMs(int64_t ms);
// The milliseconds of a calendar date and time of day; MsOfDay may run past the day or be
// negative, and the month may lie outside 1..12 (both carry, as in DaysFromCivil).
int64_t MsFromCalendar(const CalendarDateTime& at);

// The two steps at once: a stored date/time as calendar fields (nullopt as for MsFromClassic),
// and calendar fields as a date/time to store or compare with.
std::optional<CalendarDateTime> CalendarFromClassic(double classic);
double ClassicFromCalendar(const CalendarDateTime& at);

// The day number (days since 30 December 1899) a point in milliseconds falls on.
int64_t DayNumberOfMs(int64_t ms);
// The ISO weekday of a day number: 1 Monday ... 7 Sunday (30 December 1899 was a Saturday, 6).
int IsoWeekday(int64_t dayNumber);

}  // namespace tarnwick
