#pragma once
// The program's clock for price data. LocalNow() is the local date and time as a day count since
// 30 December 1899 (the fraction is the time of day); FeedClock() is that plus two hours.
#include <memory>

#include "platform/wall_clock.h"

namespace tarnwick {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual double LocalNow() = 0;
    double FeedClock() { return LocalNow() + 2.0 / 24.0; }
};

// The system's wall clock in the local time zone. Cheap enough to read twice per history row:
// the UTC offset is looked up at most once per wall-clock second (offsets change only on whole
// seconds), so a change of the offset (daylight saving) is followed at once; the time itself is
// the platform's cheap UTC reading (platform/wall_clock.h).
class SystemClock final : public Clock {
  public:
    SystemClock();
    // A given wall clock: the system's is the default; tests fix the time zone through it.
    explicit SystemClock(std::unique_ptr<platform::WallClock> wallClock);
    double LocalNow() override;

  private:
    std::unique_ptr<platform::WallClock> wall_;
    long long offsetValidSecond_ = -1;  // the UTC second for which offsetSeconds_ was looked up
    long offsetSeconds_ = 0;
    // The last reading and its result: a coarse clock repeats a reading for milliseconds, and
    // a repeated reading is answered without the conversion.
    long long lastSecond_ = -1;
    long lastNanosecond_ = -1;
    double lastResult_ = 0;
    // For lastSecond_: its local day count (1 January 1970 is 25569) and second of that day.
    double lastDay_ = 0;
    double lastSecondOfDay_ = 0;
};

}  // namespace tarnwick
