#pragma once
// The Win32 wall clock with its time-zone source as a seam: the bias (UTC minus local time, in
// minutes, daylight saving included) comes from a function, GetTimeZoneInformation's by default,
// so that tests can fix it.
#include <memory>

#include "platform/wall_clock.h"

namespace tarnwick::platform {

using ZoneBiasQuery = long (*)();

// The bias in force now, from GetTimeZoneInformation.
long SystemZoneBiasMinutes();

std::unique_ptr<WallClock> Win32WallClock(ZoneBiasQuery query = SystemZoneBiasMinutes);

}  // namespace tarnwick::platform
