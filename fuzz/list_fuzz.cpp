// Feeds arbitrary bytes as an archive file to the directory reader, through
// both of its faces: the engine's listing and the libraries' ArchiveReader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/zip_engine.h"
#include "libs/zipcore/archive_reader.h"

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

    kelp::engine::ZipEngine engine;
    engine.Unattended = true;
    size_t names = 0;
    engine.OnNewName = [&](int, const kelp::engine::ZipDirEntry& e) {
        names += e.MemberName().size();
    };
    engine.setZipFileName(path);
    (void)engine.ArchiveComment();
    (void)engine.EntryCount();
    kelp::zip::ArchiveReader reader;
    std::string error;
    if (reader.Open(path, error))
        for (const kelp::zip::MemberEntry& e : reader.entries()) {
            kelp::zip::MemberData data;
            names += e.displayName.size() + reader.Locate(e, data, error);
        }
    std::remove(path.c_str());
    return 0;
}
