#pragma once
// Calendar arithmetic on the proleptic Gregorian calendar: day numbers (days since 30 December
// 1899, the date origin the program and its host share) and calendar dates, both ways. Used by
// the date texts and by the conversion of stored date/times (dates/classic_date.h).
namespace tarnwick {

constexpr long long FloorDiv(long long a, long long b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1 March of year 0 shifted to 1970-01-01 (H. Hinnant's algorithm); months outside
// 1..12 carry into the year.
constexpr long long DaysFromCivil(long long y, long long m, long long d) {
    // Bring the month into 1..12 first.
    const long long yearsOver = FloorDiv(m - 1, 12);
    y += yearsOver;
    m -= 12 * yearsOver;
    y -= m <= 2 ? 1 : 0;
    const long long era = FloorDiv(y, 400);
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Day 0 of the day numbers: 30 December 1899.
inline constexpr long long kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// A calendar date in the years 100..9999, the range date texts cover.
bool IsValidDate(int year, int month, int day);

// The day number of a calendar date, and back. Day numbers are clamped to +-700 000 000 000 days
// so that the year fits an int.
double DayNumberOf(int year, int month, int day);
void CalendarDateOf(long long dayNumber, int& year, int& month, int& day);

}  // namespace tarnwick
