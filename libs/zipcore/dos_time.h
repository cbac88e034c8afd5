// DOS date-time stamps (local time, two-second steps).
#pragma once

#include <cstdint>

namespace kelp::zip {

// Seconds since the epoch for a DOS date and time read as local time.
int64_t DosToUnixTime(uint16_t dosDate, uint16_t dosTime);

}  // namespace kelp::zip
