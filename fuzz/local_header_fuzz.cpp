// Fuzzes a member's local header, name and extra field, and the member
// names the library turns into paths: the input is everything in front of
// the central directory; the directory is made to agree with the local
// header the input holds.
#include <cstring>
#include <filesystem>

#include "kunzip_fuzz_support.h"

using namespace kelp::fuzz_support;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 30 || size > (1u << 20)) return 0;
    std::vector<uint8_t> zip(data, data + size);
    // The header's fields as the bytes give them, whatever their signature.
    std::vector<uint8_t> head(data, data + 30);
    head[0] = 'P', head[1] = 'K', head[2] = 3, head[3] = 4;
    kelp::zip::LocalHeader h;
    kelp::zip::ParseLocalHeader(head, h);
    CentralFields f;
    f.flags = h.flags;
    f.method = h.method;
    f.dosTime = h.dosTime;
    f.dosDate = h.dosDate;
    f.crc = h.crc;
    f.packed = h.packedSize;
    f.unpacked = h.unpackedSize;
    if (30 + size_t{h.nameLength} <= size)
        f.name.assign(reinterpret_cast<const char*>(data + 30), h.nameLength);
    // The low bit of the version-needed field picks a Unix host, so that
    // link and permission bits come from the extra-field bytes.
    if (data[4] & 1) {
        f.host = 3;
        f.externalAttributes = kelp::zip::ReadLe32(data + size - 4);
    }
    AppendDirectory(zip, f);

    const std::string archive = Scratch() + "/lh.zip";
    const std::string target = Scratch() + "/out";
    WriteBytes(archive, zip);
    RunUnzip(archive, true, "pw");
    std::filesystem::create_directories(target);
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(target);
    RunUnzip(archive, false, "pw");
    std::filesystem::current_path(cwd);
    // Anything written must be inside the target folder, which is emptied.
    std::filesystem::remove_all(target);
    return 0;
}
