// DOS date-time stamps (local time, two-second steps).
#pragma once

#include <cstdint>

namespace kelp::zip {

// Seconds since the epoch for a DOS date and time read as local time.
int64_t DosToUnixTime(uint16_t dosDate, uint16_t dosTime);

// The DOS date (high word) and time (low word) of a moment, in local time;
// moments outside 1980 to 2107 are clamped to the nearest end.
uint32_t UnixToDosTime(int64_t seconds);

}  // namespace kelp::zip
