// Feeds arbitrary bytes to the joiner of multi-part sets: the input is cut
// into two part files (at a point taken from its first two bytes) and the
// second, as the last part, is joined.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/zip_engine.h"

namespace {

void Write(const std::string& path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelp-span-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(dir + "/out");
        return dir;
    }();
    if (size < 2) return 0;
    const size_t cut = std::min<size_t>(size - 2, data[0] | (data[1] << 8));
    Write(folder + "/set001.zip", data + 2, cut);
    Write(folder + "/set002.zip", data + 2 + cut, size - 2 - cut);

    engine::ZipEngine engine;
    engine.Unattended = true;
    engine.HowToDelete = engine::htdFinal;
    std::string joined = folder + "/out/";
    if (engine.ReadSpan(folder + "/set002.zip", joined) == 0) std::filesystem::remove(joined);
    engine.setZipFileName(folder + "/set002.zip");
    return 0;
}
