// Stored (classic) date/times to calendar fields and back, on both sides of 30 December 1899.
#include "dates/classic_date.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/fixed_date_locales.h"
#include "tickers/date_text.h"

namespace tarnwick {
namespace {

constexpr int64_t kHour = 3'600'000;

struct Case {
    double classic;
    CalendarDateTime at;
};

// 28 December 1899 to 2 January 1900: before day 0 the fraction counts the time forward from a
// day counted toward zero.
const Case kTurnOfTheCentury[] = {
    {-2.0, {1899, 12, 28, 0}},
    {-2.375, {1899, 12, 28, 9 * kHour}},
    {-2.6666666666666665, {1899, 12, 28, 16 * kHour}},
    {-1.25, {1899, 12, 29, 6 * kHour}},
    {-1.375, {1899, 12, 29, 9 * kHour}},
    {-1.0, {1899, 12, 29, 0}},
    {0.0, {1899, 12, 30, 0}},
    {0.375, {1899, 12, 30, 9 * kHour}},
    {1.5, {1899, 12, 31, 12 * kHour}},
    {2.0, {1900, 1, 1, 0}},
    {3.0 + 16.0 / 24, {1900, 1, 2, 16 * kHour}},
    {37622.375, {2003, 1, 1, 9 * kHour}},
};

TEST(ClassicDate, CalendarFieldsBothWays) {
    for (const Case& c : kTurnOfTheCentury) {
        const auto at = CalendarFromClassic(c.classic);
        ASSERT_TRUE(at.has_value()) << c.classic;
        EXPECT_EQ(*at, c.at) << c.classic;
        EXPECT_NEAR(ClassicFromCalendar(c.at), c.classic, 1e-12) << c.classic;
    }
}

TEST(ClassicDate, MillisecondsRunForwardAcrossDayZero) {
    // Every minute from 28 December 1899 09:00 to 2 January 1900 16:00 stamped as a transfer
    // stamps it: the milliseconds grow by one minute a row within each day.
    int64_t previous = std::numeric_limits<int64_t>::min();
    for (int day = -2; day <= 3; ++day) {
        for (int minute = 540; minute <= 960; ++minute) {
            const double line = day + minute / 1440.0;
            const auto ms = MsFromClassic(ClassicFromLinear(line));
            ASSERT_TRUE(ms.has_value());
            EXPECT_EQ(*ms, day * MsPerDay + minute * 60'000LL) << day << " " << minute;
            EXPECT_GT(*ms, previous);
            previous = *ms;
        }
    }
}

TEST(ClassicDate, RoundsToTheMillisecondAndCarriesIntoTheNextDay) {
    EXPECT_EQ(*CalendarFromClassic(37622.99999999999), (CalendarDateTime{2003, 1, 2, 0}));
    // The last instant of 29 December 1899 rounds to 30 December 00:00, not back to the 28th.
    EXPECT_EQ(*CalendarFromClassic(-1.99999999999), (CalendarDateTime{1899, 12, 30, 0}));
    EXPECT_EQ(*CalendarFromClassic(-1.0 - 0.6 / 86400), (CalendarDateTime{1899, 12, 29, 600}));
    EXPECT_EQ(*CalendarFromClassic(-0.5), (CalendarDateTime{1899, 12, 30, 12 * kHour}));
}

TEST(ClassicDate, ValuesThatAreNoCalendarDate) {
    for (double v :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), 1e300, -1e7,
          static_cast<double>(LastCalendarDay) + 1, static_cast<double>(FirstCalendarDay) - 1,
          LastCalendarDay + 0.9999999999}) {  // the last instant of 9999 would round into 10000
        EXPECT_FALSE(MsFromClassic(v).has_value()) << v;
        EXPECT_FALSE(CalendarFromClassic(v).has_value()) << v;
    }
    EXPECT_EQ(*CalendarFromClassic(static_cast<double>(FirstCalendarDay)),
              (CalendarDateTime{100, 1, 1, 0}));
    EXPECT_EQ(*CalendarFromClassic(LastCalendarDay + 0.5),
              (CalendarDateTime{9999, 12, 31, 12 * kHour}));
}

TEST(ClassicDate, CalendarFieldsCarry) {
    EXPECT_EQ(MsFromCalendar({1899, 12, 29, 30 * kHour}),
              MsFromCalendar({1899, 12, 30, 6 * kHour}));
    EXPECT_EQ(MsFromCalendar({1900, 0, 1, 0}), MsFromCalendar({1899, 12, 1, 0}));
    EXPECT_EQ(CalendarFromMs(-1), (CalendarDateTime{1899, 12, 29, MsPerDay - 1}));
    EXPECT_EQ(DayNumberOfMs(-1), -1);
    EXPECT_EQ(DayNumberOfMs(MsPerDay), 1);
}

TEST(ClassicDate, IsoWeekdays) {
    EXPECT_EQ(IsoWeekday(0), 6);                        // 30 December 1899, Saturday
    EXPECT_EQ(IsoWeekday(-1), 5);                       // Friday
    EXPECT_EQ(IsoWeekday(-2), 4);                       // 28 December 1899, Thursday
    EXPECT_EQ(IsoWeekday(2), 1);                        // 1 January 1900, Monday
    EXPECT_EQ(IsoWeekday(DayNumberOf(2003, 1, 1)), 3);  // Wednesday
    EXPECT_EQ(IsoWeekday(DayNumberOf(1850, 3, 1)), 5);  // Friday
    EXPECT_EQ(IsoWeekday(static_cast<int64_t>(DayNumberOf(2026, 12, 6))), 7);  // Sunday
}

TEST(ParseLinearDateText, TimesOfDayOnEveryDate) {
    const DateLocale us = EnUSLocale();
    EXPECT_EQ(*ParseLinearDateText("1899-12-29 06:00", us), -0.75);
    EXPECT_EQ(*ParseLinearDateText("1/1/1850 10:30", us), DayNumberOf(1850, 1, 1) + 0.4375);
    EXPECT_EQ(*ParseLinearDateText("12/30/1899 10:30", us), 0.4375);
    EXPECT_EQ(*ParseLinearDateText("1899-12-28", us), -2);
    EXPECT_FALSE(ParseLinearDateText("1899-12-28 25:00", us).has_value());
    // The classic reading still refuses a time of day before 1900.
    EXPECT_FALSE(ParseDateText("1899-12-29 06:00", us).has_value());
}

}  // namespace
}  // namespace tarnwick
