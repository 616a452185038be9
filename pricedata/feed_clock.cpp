#include "pricedata/feed_clock.h"

#include <time.h>

namespace tarnwick {
namespace {

constexpr long long SecondsPerDay = 86400;
// The day count of 1 January 1970, the start of the system clock's seconds.
constexpr double UnixEpochDay = 25569.0;

// The coarsest resolution accepted for the cheap clock.
constexpr long CoarseLimitNanoseconds = 10'000'000;

int ChooseClock() {
#ifdef CLOCK_REALTIME_COARSE
    timespec resolution{};
    if (::clock_getres(CLOCK_REALTIME_COARSE, &resolution) == 0 && resolution.tv_sec == 0 &&
        resolution.tv_nsec <= CoarseLimitNanoseconds) {
        return CLOCK_REALTIME_COARSE;
    }
#endif
    return CLOCK_REALTIME;
}

}  // namespace

SystemClock::SystemClock() : clockId_(ChooseClock()) {}

double SystemClock::LocalNow() {
    timespec now{};
    ::clock_gettime(clockId_, &now);
    const long long second = static_cast<long long>(now.tv_sec);
    if (second == lastSecond_ && now.tv_nsec == lastNanosecond_) return lastResult_;
    if (second != offsetValidSecond_) {
        // Once per wall-clock second: let the C library notice a changed zone setting, then ask
        // for the offset in force at this second (daylight saving included).
        ::tzset();
        const time_t asTime = now.tv_sec;
        tm local{};
        offsetSeconds_ = ::localtime_r(&asTime, &local) != nullptr ? local.tm_gmtoff : 0;
        offsetValidSecond_ = second;
    }
    // Whole days and the second of the day separately, so the fraction keeps its full precision.
    const long long localSecond = second + offsetSeconds_;
    long long day = localSecond / SecondsPerDay;
    long long secondOfDay = localSecond % SecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += SecondsPerDay;
        --day;
    }
    const double dayFraction =
        (static_cast<double>(secondOfDay) + static_cast<double>(now.tv_nsec) * 1e-9) /
        static_cast<double>(SecondsPerDay);
    lastSecond_ = second;
    lastNanosecond_ = now.tv_nsec;
    lastResult_ = UnixEpochDay + static_cast<double>(day) + dayFraction;
    return lastResult_;
}

}  // namespace tarnwick
