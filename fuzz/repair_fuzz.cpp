// Feeds arbitrary bytes to the salvage of damaged archives as the damaged
// file; what it writes is removed again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive_salvage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/kelp-repair-fuzz-" +
               std::to_string(getpid());
    }();
    FILE* f = std::fopen((path + ".zip").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    (void)kelp::zip::SalvageArchive(path + ".zip", path + "-fixed.zip");
    std::remove((path + ".zip").c_str());
    std::remove((path + "-fixed.zip").c_str());
    return 0;
}
