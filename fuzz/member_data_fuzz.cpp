// Fuzzes member data through the library: stored, deflated or in a method a
// library decodes (bzip2, LZMA, xz, Zstandard), plain, encrypted or
// AES-encrypted (salt, password verifier and authentication code), tested
// and extracted into memory. The first bytes of the input choose the
// member's fields; the rest is its data as stored.
#include <cstring>
#include <memory>

#include "kunzip_fuzz_support.h"

using namespace kelp::fuzz_support;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Layout: options (1), stated uncompressed size (3), CRC (4), data.
    if (size < 8 || size > (1u << 20)) return 0;
    uint8_t options = data[0];
    CentralFields f;
    // Options: bit 0 deflate, bit 1 encrypted, bit 2 data descriptor (the
    // check byte is the time's), bits 3-5 a library's method in place of
    // stored or deflate, bit 6 the LZMA end marker flag, bit 7 AES: method
    // 99 with the chosen method in its AES field, AE-1 with bit 2 (else
    // AE-2), the key strength 1 + the CRC's top byte modulo 3.
    static const uint16_t kLibraryMethods[8] = {0, 12, 14, 95, 93, 0, 0, 0};
    f.method = (options & 1) ? 8 : 0;
    if (uint16_t m = kLibraryMethods[(options >> 3) & 7]) f.method = m;
    if (options & 2) f.flags |= 0x0001;
    if (options & 4) f.flags |= 0x0008;
    if (options & 0x40) f.flags |= 0x0002;
    f.dosTime = 0x6B3D;
    f.unpacked = static_cast<uint32_t>(data[1] | (data[2] << 8) | (data[3] << 16));
    std::memcpy(&f.crc, data + 4, 4);
    f.packed = static_cast<uint32_t>(size - 8);
    f.name = "member.bin";
    if (options & 0x80) {
        const uint16_t version = (options & 4) ? 1 : 2;
        const auto strength = static_cast<uint8_t>(1 + (f.crc >> 24) % 3);
        kelp::zip::AppendAesExtra(f.extra, {version, strength, f.method});
        f.method = kelp::zip::kMethodAes;
        f.flags |= 0x0001;
    }

    std::vector<uint8_t> zip;
    AppendLocal(zip, f);
    zip.insert(zip.end(), data + 8, data + size);
    AppendDirectory(zip, f);

    const std::string archive = Scratch() + "/md.zip";
    WriteBytes(archive, zip);
    RunUnzip(archive, true, "pw");
    // Memory mode with exactly the stated size, guarded on both sides.
    std::unique_ptr<uint8_t[]> memory(new uint8_t[f.unpacked + 1]);
    RunUnzip(archive, false, "pw", memory.get(), f.unpacked);
    return 0;
}
