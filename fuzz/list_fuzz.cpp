// Feeds arbitrary bytes to the directory reader as an archive file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/zip_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/kelp-list-fuzz-" +
               std::to_string(getpid()) + ".zip";
    }();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    engine::ZipEngine engine;
    engine.Unattended = true;
    size_t names = 0;
    engine.OnNewName = [&](int, const engine::ZipDirEntry& e) { names += e.MemberName().size(); };
    engine.setZipFileName(path);
    (void)engine.ArchiveComment();
    (void)engine.EntryCount();
    std::remove(path.c_str());
    return 0;
}
