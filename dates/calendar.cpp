// Calendar arithmetic: leap years, month lengths, day numbers and calendar dates.
#include "dates/calendar.h"

#include <array>
#include <cstddef>

namespace tarnwick {

static_assert(DaysFromCivil(2003, 1, 1) - kEpochDays == 37622);
static_assert(DaysFromCivil(1900, 1, 1) - kEpochDays == 2);
static_assert(DaysFromCivil(100, 1, 1) - kEpochDays == -657434);
static_assert(DaysFromCivil(9999, 12, 31) - kEpochDays == 2958465);

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && IsLeapYear(y)) return 29;
    return days[static_cast<std::size_t>(m - 1)];
}

bool IsValidDate(int y, int m, int d) {
    return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

double DayNumberOf(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
}

void CalendarDateOf(long long dayNumber, int& year, int& month, int& day) {
    constexpr long long limit = 700'000'000'000LL;
    if (dayNumber > limit) dayNumber = limit;
    if (dayNumber < -limit) dayNumber = -limit;
    const long long z = dayNumber + kEpochDays + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    year = static_cast<int>(y);
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

}  // namespace tarnwick
