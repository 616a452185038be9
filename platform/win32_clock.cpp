// WallClock on Win32: GetSystemTimePreciseAsFileTime where the system has it (Windows 8 and
// later; resolution 100 ns, its unit), else the coarse GetSystemTimeAsFileTime (the system
// timer's tick, 15.6 ms by default); the offset from the time-zone bias. Under Wine 8 the
// precise reading is also the cheaper one (about 45 ns against 100 ns). The bias answered is the
// one in force now, which is the moment the clock asks about.
#include "platform/win32_clock.h"

#include <windows.h>

namespace tarnwick::platform {
namespace {

// 100-nanosecond ticks between 1 January 1601 and 1 January 1970.
constexpr long long EpochDifferenceTicks = 116444736000000000LL;

using FileTimeReader = void(WINAPI*)(LPFILETIME);

FileTimeReader ChooseReader() {
    if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
        if (FARPROC precise = ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")) {
            // The address is that of a function of exactly this type.
            return reinterpret_cast<FileTimeReader>(reinterpret_cast<void*>(precise));
        }
    }
    return ::GetSystemTimeAsFileTime;
}

class Win32Clock final : public WallClock {
  public:
    explicit Win32Clock(ZoneBiasQuery query) : query_(query) {}

    UtcTime Now() override {
        FILETIME ft{};
        reader_(&ft);
        const long long ticks =
            static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) |
                                   ft.dwLowDateTime) -
            EpochDifferenceTicks;
        // Readings come many to a second: the division (a library call on 32-bit Windows) is
        // made once a second, later readings of that second only subtract its first tick.
        const long long sinceSecond = ticks - secondStartTicks_;
        if (haveSecond_ && sinceSecond >= 0 && sinceSecond < TicksPerSecond) {
            return {second_, static_cast<long>(sinceSecond) * 100};
        }
        long long second = ticks / TicksPerSecond;
        long long rest = ticks % TicksPerSecond;
        if (rest < 0) {
            rest += TicksPerSecond;
            --second;
        }
        second_ = second;
        secondStartTicks_ = ticks - rest;
        haveSecond_ = true;
        return {second, static_cast<long>(rest) * 100};
    }

    long UtcOffsetSeconds(long long /*utcSecond*/) override { return -query_() * 60; }

  private:
    static constexpr long long TicksPerSecond = 10'000'000;
    ZoneBiasQuery query_;
    FileTimeReader reader_ = ChooseReader();
    // The second of the last reading and its first tick.
    bool haveSecond_ = false;
    long long second_ = 0;
    long long secondStartTicks_ = 0;
};

}  // namespace

long SystemZoneBiasMinutes() {
    TIME_ZONE_INFORMATION zone{};
    switch (::GetTimeZoneInformation(&zone)) {
        case TIME_ZONE_ID_DAYLIGHT:
            return zone.Bias + zone.DaylightBias;
        case TIME_ZONE_ID_STANDARD:
            return zone.Bias + zone.StandardBias;
        case TIME_ZONE_ID_UNKNOWN:
            return zone.Bias;
        default:
            return 0;  // TIME_ZONE_ID_INVALID: UTC rather than a guess
    }
}

std::unique_ptr<WallClock> Win32WallClock(ZoneBiasQuery query) {
    return std::make_unique<Win32Clock>(query);
}

std::unique_ptr<WallClock> SystemWallClock() {
    return Win32WallClock();
}

}  // namespace tarnwick::platform
