// Feeds arbitrary bytes to the reader of multi-part sets as a folder of
// parts. The first byte picks the naming (Kelp's set001.zip..., the
// command-line tool's set.z01... set.zip, or raw volumes set.zip.001...) and
// the number of parts (1 to 6); 3-byte lengths of all parts but the last
// follow, then the parts' bytes. The set is joined from its last part and
// listed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/zip_engine.h"

namespace {

void Write(const std::string& path, const uint8_t* data, size_t size) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

std::string PartName(int form, int part, int count) {
    char name[32];
    if (form == 0) {
        std::snprintf(name, sizeof name, "set%03d.zip", part + 1);
    } else if (form == 1) {
        if (part == count - 1) return "set.zip";
        std::snprintf(name, sizeof name, "set.z%02d", part + 1);
    } else {
        std::snprintf(name, sizeof name, "set.zip.%03d", part + 1);
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir =
            std::string(tmp && *tmp ? tmp : "/tmp") + "/kelp-span-fuzz-" + std::to_string(getpid());
        std::filesystem::create_directories(dir);
        return dir;
    }();
    if (size < 1) return 0;
    const int form = data[0] % 3;
    const int count = 1 + (data[0] / 3) % 6;
    size_t at = 1;
    std::vector<size_t> lengths;
    for (int i = 0; i + 1 < count; ++i) {
        if (at + 3 > size) return 0;
        lengths.push_back(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16));
        at += 3;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder + "/out", ec);
    for (int i = 0; i < count; ++i) {
        const size_t length = i + 1 < count ? std::min(lengths[i], size - at) : size - at;
        Write(folder + "/" + PartName(form, i, count), data + at, length);
        at += length;
    }

    kelp::engine::ZipEngine engine;
    engine.Unattended = true;
    engine.HowToDelete = kelp::engine::htdFinal;
    engine.TempDir = folder + "/out";
    const std::string last = folder + "/" + PartName(form, count - 1, count);
    if (form != 2) {
        std::string joined = folder + "/out/";
        if (engine.ReadSpan(last, joined) == 0) std::filesystem::remove(joined, ec);
    }
    engine.setZipFileName(form == 2 ? folder + "/" + PartName(form, 0, count) : last);
    (void)engine.EntryCount();
    return 0;
}
