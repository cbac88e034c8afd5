// Feeds arbitrary bytes to the animated-cursor reader; every step it hands
// back must name a frame it read.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewers/ani_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelp::media::AniCursor cursor;
    std::string error;
    if (kelp::media::ReadAniCursor(std::vector<uint8_t>(data, data + size), cursor, error)) {
        for (const auto& step : cursor.steps)
            if (step.frame >= cursor.frames.size()) std::abort();
    }
    return 0;
}
