// WallClock on POSIX: the coarse real-time clock when its resolution is 10 ms or finer (a few
// nanoseconds a read), else the precise one; the offset from localtime_r's tm_gmtoff.
#include <time.h>

#include "platform/wall_clock.h"

namespace tarnwick::platform {
namespace {

constexpr long CoarseLimitNanoseconds = 10'000'000;

clockid_t ChooseClock() {
#ifdef CLOCK_REALTIME_COARSE
    timespec resolution{};
    if (::clock_getres(CLOCK_REALTIME_COARSE, &resolution) == 0 && resolution.tv_sec == 0 &&
        resolution.tv_nsec <= CoarseLimitNanoseconds) {
        return CLOCK_REALTIME_COARSE;
    }
#endif
    return CLOCK_REALTIME;
}

class PosixWallClock final : public WallClock {
  public:
    UtcTime Now() override {
        timespec now{};
        ::clock_gettime(clockId_, &now);
        return {static_cast<long long>(now.tv_sec), now.tv_nsec};
    }

    long UtcOffsetSeconds(long long utcSecond) override {
        // Lets the C library notice a changed zone setting, then asks for the offset in force at
        // this second (daylight saving included).
        ::tzset();
        const time_t asTime = static_cast<time_t>(utcSecond);
        tm local{};
        return ::localtime_r(&asTime, &local) != nullptr ? local.tm_gmtoff : 0;
    }

  private:
    clockid_t clockId_ = ChooseClock();
};

}  // namespace

std::unique_ptr<WallClock> SystemWallClock() {
    return std::make_unique<PosixWallClock>();
}

}  // namespace tarnwick::platform
