#include "pricedata/feed_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace tarnwick {
namespace {

// The local date/time of a moment as a day count, from the C library's broken-down time.
double DayCountOf(time_t moment) {
    tm local{};
#ifdef _WIN32
    localtime_s(&local, &moment);
#else
    localtime_r(&moment, &local);
#endif
    // Days from 30 December 1899 to the civil date, by the usual days-from-civil algorithm.
    int y = local.tm_year + 1900;
    const unsigned m = static_cast<unsigned>(local.tm_mon + 1);
    const unsigned d = static_cast<unsigned>(local.tm_mday);
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long daysSince1970 = era * 146097L + static_cast<long>(doe) - 719468L;
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return 25569.0 + static_cast<double>(daysSince1970) + seconds / 86400.0;
}

TEST(SystemClock, ReadsTheLocalDateAndTimeAsADayCount) {
    SystemClock clock;
    // Bracket the reading between two whole-second readings of the C library, allowing a second
    // either way for the coarse clock's granularity and the whole-second truncation.
    const time_t before = time(nullptr);
    const double now = clock.LocalNow();
    const time_t after = time(nullptr);
    EXPECT_GE(now, DayCountOf(before) - 1.0 / 86400.0);
    EXPECT_LT(now, DayCountOf(after) + 2.0 / 86400.0);
}

TEST(SystemClock, FeedClockIsTwoHoursAhead) {
    SystemClock clock;
    const double local = clock.LocalNow();
    const double feed = clock.FeedClock();
    // Two readings in a row: the second is later by at most the time between them.
    EXPECT_GE(feed - local, 2.0 / 24.0 - 1e-9);
    EXPECT_LT(feed - local, 2.0 / 24.0 + 60.0 / 86400.0);
}

TEST(SystemClock, NeverRunsBackwardsBetweenReadings) {
    SystemClock clock;
    double last = clock.LocalNow();
    for (int i = 0; i < 100000; ++i) {
        const double now = clock.LocalNow();
        ASSERT_GE(now, last - 1e-9);  // a wall clock may be set back; not within this loop
        last = now;
    }
}

}  // namespace
}  // namespace tarnwick
