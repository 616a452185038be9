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
    if (second != lastSecond_) {
        if (second != offsetValidSecond_) {
            // Once per wall-clock second: the offset in force at this second (daylight saving
            // included), so a changed zone setting is followed.
            offsetSeconds_ = wall_->UtcOffsetSeconds(second);
            offsetValidSecond_ = second;
        }
        // Whole days and the second of the day separately, so the fraction keeps its full
        // precision. Once per second too: 64-bit division is a library call on 32-bit targets.
        const long long localSecond = second + offsetSeconds_;
        long long day = localSecond / SecondsPerDay;
        long long secondOfDay = localSecond % SecondsPerDay;
        if (secondOfDay < 0) {
            secondOfDay += SecondsPerDay;
            --day;
        }
        lastDay_ = UnixEpochDay + static_cast<double>(day);
        lastSecondOfDay_ = static_cast<double>(secondOfDay);
        lastSecond_ = second;
    }
    const double dayFraction = (lastSecondOfDay_ + static_cast<double>(now.nanosecond) * 1e-9) /
                               static_cast<double>(SecondsPerDay);
    lastNanosecond_ = now.nanosecond;
    lastResult_ = lastDay_ + dayFraction;
    return lastResult_;
}

}  // namespace tarnwick
