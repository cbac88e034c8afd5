// Reads an animated cursor (a RIFF "ACON" file): its header, the icon data of
// each frame, and the order and display rates of the animation's steps. The
// frames themselves are icon or cursor images, decoded by the caller.
// Plain C++ so that it can be fuzzed on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelp::media {

struct AniCursor {
    uint32_t width = 0;  // from the header; 0 when the frames say
    uint32_t height = 0;
    uint32_t displayRate = 0;                  // default rate in 1/60 s per step
    std::vector<std::vector<uint8_t>> frames;  // icon data, one per frame
    // The steps of the animation: which frame and for how long (1/60 s).
    struct Step {
        uint32_t frame = 0;
        uint32_t rate = 0;
    };
    std::vector<Step> steps;
};

// Parses `bytes`; false with a reason in `error` when it is no animated
// cursor or is damaged (sizes that leave their chunk, frame numbers out of
// range, no frames).
bool ReadAniCursor(const std::vector<uint8_t>& bytes, AniCursor& out, std::string& error);

// Milliseconds per step for a rate in 1/60 s: rate * 100 / 6.
inline uint32_t AniIntervalMs(uint32_t rate) {
    return uint32_t(uint64_t(rate) * 100 / 6);
}

}  // namespace kelp::media
