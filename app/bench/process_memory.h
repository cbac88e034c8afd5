// The process's memory figures, for the window benchmarks.
#pragma once

#include <fstream>
#include <string>

namespace kelp::bench {

// A "VmRSS:" (resident now) or "VmHWM:" (resident at most) figure of
// /proc/self/status, in KiB.
inline long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return 0;
}

}  // namespace kelp::bench
