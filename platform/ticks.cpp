#include "platform/ticks.h"

#include <chrono>

namespace kelp::platform {

uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace kelp::platform
