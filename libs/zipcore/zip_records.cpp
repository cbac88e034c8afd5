#include "zip_records.h"

namespace kelp::zip {

uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t ReadLe64(const uint8_t* p) {
    return static_cast<uint64_t>(ReadLe32(p)) | (static_cast<uint64_t>(ReadLe32(p + 4)) << 32);
}

bool ParseLocalHeader(std::span<const uint8_t> bytes, LocalHeader& out) {
    if (bytes.size() < kLocalHeaderSize || ReadLe32(bytes.data()) != kLocalHeaderSignature)
        return false;
    const uint8_t* p = bytes.data();
    out.versionNeeded = ReadLe16(p + 4);
    out.flags = ReadLe16(p + 6);
    out.method = ReadLe16(p + 8);
    out.dosTime = ReadLe16(p + 10);
    out.dosDate = ReadLe16(p + 12);
    out.crc = ReadLe32(p + 14);
    out.packedSize = ReadLe32(p + 18);
    out.unpackedSize = ReadLe32(p + 22);
    out.nameLength = ReadLe16(p + 26);
    out.extraLength = ReadLe16(p + 28);
    return true;
}

bool ParseCentralHeader(std::span<const uint8_t> bytes, CentralHeader& out) {
    if (bytes.size() < kCentralHeaderSize || ReadLe32(bytes.data()) != kCentralHeaderSignature)
        return false;
    const uint8_t* p = bytes.data();
    out.versionMadeBy = p[4];
    out.hostSystem = p[5];
    out.versionNeeded = ReadLe16(p + 6);
    out.flags = ReadLe16(p + 8);
    out.method = ReadLe16(p + 10);
    out.dosTime = ReadLe16(p + 12);
    out.dosDate = ReadLe16(p + 14);
    out.crc = ReadLe32(p + 16);
    out.packedSize = ReadLe32(p + 20);
    out.unpackedSize = ReadLe32(p + 24);
    out.nameLength = ReadLe16(p + 28);
    out.extraLength = ReadLe16(p + 30);
    out.commentLength = ReadLe16(p + 32);
    out.diskStart = ReadLe16(p + 34);
    out.internalAttributes = ReadLe16(p + 36);
    out.externalAttributes = ReadLe32(p + 38);
    out.localHeaderOffset = ReadLe32(p + 42);
    return true;
}

bool ParseEocd(std::span<const uint8_t> bytes, Eocd& out) {
    if (bytes.size() < kEocdSize || ReadLe32(bytes.data()) != kEocdSignature) return false;
    const uint8_t* p = bytes.data();
    out.thisDisk = ReadLe16(p + 4);
    out.centralDisk = ReadLe16(p + 6);
    out.entriesOnDisk = ReadLe16(p + 8);
    out.totalEntries = ReadLe16(p + 10);
    out.centralSize = ReadLe32(p + 12);
    out.centralOffset = ReadLe32(p + 16);
    out.commentLength = ReadLe16(p + 20);
    return true;
}

bool ParseDataDescriptor(std::span<const uint8_t> bytes, DataDescriptor& out) {
    size_t at = 0;
    if (bytes.size() >= 16 && ReadLe32(bytes.data()) == kDataDescriptorSignature) at = 4;
    if (bytes.size() < at + 12) return false;
    out.crc = ReadLe32(bytes.data() + at);
    out.packedSize = ReadLe32(bytes.data() + at + 4);
    out.unpackedSize = ReadLe32(bytes.data() + at + 8);
    out.recordSize = at + 12;
    return true;
}

std::optional<size_t> FindEocd(std::span<const uint8_t> tail) {
    if (tail.size() < kEocdSize) return std::nullopt;
    for (size_t i = tail.size() - kEocdSize + 1; i-- > 0;) {
        if (ReadLe32(tail.data() + i) == kEocdSignature) return i;
    }
    return std::nullopt;
}

std::optional<int64_t> FindUnixModTime(std::span<const uint8_t> extra) {
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        uint16_t id = ReadLe16(extra.data() + at);
        uint16_t len = ReadLe16(extra.data() + at + 2);
        at += 4;
        if (len > extra.size() - at) break;
        // Extended timestamp: a flags byte, then the times it announces;
        // bit 0 announces the modification time, which always comes first.
        if (id == 0x5455 && len >= 5 && (extra[at] & 1))
            return static_cast<int32_t>(ReadLe32(extra.data() + at + 1));
        at += len;
    }
    return std::nullopt;
}

}  // namespace kelp::zip
