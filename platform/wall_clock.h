#pragma once
// The system's wall clock as the core needs it: the current UTC time, cheap to read, and the
// local time zone's offset from UTC at a given moment (daylight saving included). POSIX reads
// CLOCK_REALTIME(_COARSE) and localtime_r; Win32 reads GetSystemTimePreciseAsFileTime (or
// GetSystemTimeAsFileTime) and the time-zone bias.
#include <memory>

namespace tarnwick::platform {

struct UtcTime {
    long long second = 0;  // seconds since 1 January 1970, UTC
    long nanosecond = 0;   // 0 to 999'999'999
};

class WallClock {
  public:
    virtual ~WallClock() = default;
    virtual UtcTime Now() = 0;
    // Local time minus UTC, in seconds, at `utcSecond`. May be slow (a zone lookup): callers
    // cache it.
    virtual long UtcOffsetSeconds(long long utcSecond) = 0;
};

std::unique_ptr<WallClock> SystemWallClock();

}  // namespace tarnwick::platform
