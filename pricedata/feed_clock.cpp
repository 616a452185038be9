// SystemClock: the platform's UTC reading and zone offset turned into a local day count.
#include "pricedata/feed_clock.h"

#include <utility>

namespace tarnwick {
namespace {

constexpr long long SecondsPerDay = 86400;
// The day count of 1 January 1970, the start of the system clock's seconds.
constexpr double UnixEpochDay = 25569.0;

}  // namespace

SystemClock::SystemClock() : SystemClock(platform::SystemWallClock()) {}

SystemClock::SystemClock(std::unique_ptr<platform::WallClock> wallClock)
    : wall_(std::move(wallClock)) {}

double SystemClock::LocalNow() {
    const platform::UtcTime now = wall_->Now();
    const long long second = now.second;
    if (second == lastSecond_ && now.nanosecond == lastNanosecond_) return lastResult_;
    if (second != offsetValidSecond_) {
        // Once per wall-clock second: the offset in force at this second (daylight saving
        // included), so a changed zone setting is followed.
        offsetSeconds_ = wall_->UtcOffsetSeconds(second);
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
        (static_cast<double>(secondOfDay) + static_cast<double>(now.nanosecond) * 1e-9) /
        static_cast<double>(SecondsPerDay);
    lastSecond_ = second;
    lastNanosecond_ = now.nanosecond;
    lastResult_ = UnixEpochDay + static_cast<double>(day) + dayFraction;
    return lastResult_;
}

}  // namespace tarnwick
