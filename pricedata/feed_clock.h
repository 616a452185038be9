#pragma once
// The program's clock for price data. LocalNow() is the local date and time as a day count since
// 30 December 1899 (the fraction is the time of day); FeedClock() is that plus two hours.
namespace tarnwick {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual double LocalNow() = 0;
    double FeedClock() { return LocalNow() + 2.0 / 24.0; }
};

// The system's wall clock in the local time zone. Cheap enough to read twice per history row:
// the UTC offset is looked up at most once per wall-clock second (offsets change only on whole
// seconds), so a change of the offset is followed at once; and the time itself comes from the
// system's coarse real-time clock (a few nanoseconds a read, updated every few milliseconds)
// whenever that clock's resolution is 10 ms or finer, else from the precise one.
class SystemClock final : public Clock {
  public:
    SystemClock();
    double LocalNow() override;

  private:
    int clockId_;                       // the POSIX clock that LocalNow reads
    long long offsetValidSecond_ = -1;  // the UTC second for which offsetSeconds_ was looked up
    long offsetSeconds_ = 0;
    // The last reading and its result: the coarse clock repeats a reading for milliseconds, and
    // a repeated reading is answered without the conversion.
    long long lastSecond_ = -1;
    long lastNanosecond_ = -1;
    double lastResult_ = 0;
};

}  // namespace tarnwick
