// Fuzzes a member's local header, name and extra field, and the member
// names the library turns into paths: the input is everything in front of
// the central directory; the directory is made to agree with the local
// header the input holds.
#include <cstring>
#include <filesystem>

#include "kunzip_fuzz_support.h"

using namespace fuzz_support;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 30 || size > (1u << 20)) return 0;
    std::vector<uint8_t> zip(data, data + size);
    auto le16 = [&](size_t at) { return static_cast<uint16_t>(data[at] | (data[at + 1] << 8)); };
    auto le32 = [&](size_t at) { return static_cast<uint32_t>(le16(at) | (le16(at + 2) << 16)); };
    CentralFields f;
    f.flags = le16(6);
    f.method = le16(8);
    f.dosTime = le16(10);
    f.dosDate = le16(12);
    f.crc = le32(14);
    f.packed = le32(18);
    f.unpacked = le32(22);
    size_t nameLength = le16(26);
    if (30 + nameLength <= size)
        f.name.assign(reinterpret_cast<const char*>(data + 30), nameLength);
    // The low bit of the version-needed field picks a Unix host, so that
    // link and permission bits come from the extra-field bytes.
    if (data[4] & 1) {
        f.host = 3;
        f.externalAttributes = le32(size - 4);
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
