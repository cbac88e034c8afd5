#include "record_writer.h"

#include <limits>

namespace kelp::zip {

void AppendLe16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void AppendBytes(std::vector<uint8_t>& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendLocalHeader(std::vector<uint8_t>& out, const LocalHeader& h) {
    AppendLe32(out, kLocalHeaderSignature);
    AppendLe16(out, h.versionNeeded);
    AppendLe16(out, h.flags);
    AppendLe16(out, h.method);
    AppendLe16(out, h.dosTime);
    AppendLe16(out, h.dosDate);
    AppendLe32(out, h.crc);
    AppendLe32(out, h.packedSize);
    AppendLe32(out, h.unpackedSize);
    AppendLe16(out, h.nameLength);
    AppendLe16(out, h.extraLength);
}

void AppendCentralHeader(std::vector<uint8_t>& out, const CentralHeader& h) {
    AppendLe32(out, kCentralHeaderSignature);
    out.push_back(h.versionMadeBy);
    out.push_back(h.hostSystem);
    AppendLe16(out, h.versionNeeded);
    AppendLe16(out, h.flags);
    AppendLe16(out, h.method);
    AppendLe16(out, h.dosTime);
    AppendLe16(out, h.dosDate);
    AppendLe32(out, h.crc);
    AppendLe32(out, h.packedSize);
    AppendLe32(out, h.unpackedSize);
    AppendLe16(out, h.nameLength);
    AppendLe16(out, h.extraLength);
    AppendLe16(out, h.commentLength);
    AppendLe16(out, h.diskStart);
    AppendLe16(out, h.internalAttributes);
    AppendLe32(out, h.externalAttributes);
    AppendLe32(out, h.localHeaderOffset);
}

void AppendEocd(std::vector<uint8_t>& out, const Eocd& e) {
    AppendLe32(out, kEocdSignature);
    AppendLe16(out, e.thisDisk);
    AppendLe16(out, e.centralDisk);
    AppendLe16(out, e.entriesOnDisk);
    AppendLe16(out, e.totalEntries);
    AppendLe32(out, e.centralSize);
    AppendLe32(out, e.centralOffset);
    AppendLe16(out, e.commentLength);
}

void AppendDataDescriptor(std::vector<uint8_t>& out, uint32_t crc, uint32_t packedSize,
                          uint32_t unpackedSize) {
    AppendLe32(out, kDataDescriptorSignature);
    AppendLe32(out, crc);
    AppendLe32(out, packedSize);
    AppendLe32(out, unpackedSize);
}

void AppendUnixModTime(std::vector<uint8_t>& out, int64_t mtime) {
    // The field holds a signed 32-bit time; later or earlier moments are
    // clamped rather than wrapped.
    constexpr int64_t lo = std::numeric_limits<int32_t>::min();
    constexpr int64_t hi = std::numeric_limits<int32_t>::max();
    int64_t t = mtime < lo ? lo : (mtime > hi ? hi : mtime);
    AppendLe16(out, 0x5455);
    AppendLe16(out, 5);
    out.push_back(1);  // modification time present
    AppendLe32(out, static_cast<uint32_t>(static_cast<int32_t>(t)));
}

}  // namespace kelp::zip
