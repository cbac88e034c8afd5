// A millisecond tick counter that wraps around like a 32-bit counter.
#pragma once

#include <cstdint>

namespace kelp::platform {

// Milliseconds of a steady clock, truncated to 32 bits.
uint32_t TickCount();

}  // namespace kelp::platform
