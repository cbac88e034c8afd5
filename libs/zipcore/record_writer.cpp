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

void AppendLe64(std::vector<uint8_t>& out, uint64_t value) {
    AppendLe32(out, static_cast<uint32_t>(value));
    AppendLe32(out, static_cast<uint32_t>(value >> 32));
}

void AppendBytes(std::vector<uint8_t>& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendBytes(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
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

void AppendZip64Eocd(std::vector<uint8_t>& out, const Zip64Eocd& e) {
    AppendLe32(out, kZip64EocdSignature);
    AppendLe64(out, kZip64EocdSize - 12);  // size of the rest of the record
    AppendLe16(out, e.versionMadeBy);
    AppendLe16(out, e.versionNeeded);
    AppendLe32(out, e.thisDisk);
    AppendLe32(out, e.centralDisk);
    AppendLe64(out, e.entriesOnDisk);
    AppendLe64(out, e.totalEntries);
    AppendLe64(out, e.centralSize);
    AppendLe64(out, e.centralOffset);
}

void AppendZip64Locator(std::vector<uint8_t>& out, const Zip64Locator& l) {
    AppendLe32(out, kZip64LocatorSignature);
    AppendLe32(out, l.eocdDisk);
    AppendLe64(out, l.eocdOffset);
    AppendLe32(out, l.totalDisks);
}

void AppendDataDescriptor64(std::vector<uint8_t>& out, uint32_t crc, uint64_t packedSize,
                            uint64_t unpackedSize) {
    AppendLe32(out, kDataDescriptorSignature);
    AppendLe32(out, crc);
    AppendLe64(out, packedSize);
    AppendLe64(out, unpackedSize);
}

namespace {

// The extra list with its ZIP64 field replaced by `field` (none when empty).
std::vector<uint8_t> ReplaceZip64(std::span<const uint8_t> extra, const std::vector<uint8_t>& field) {
    std::vector<uint8_t> out;
    if (!field.empty()) {
        AppendLe16(out, kExtraZip64);
        AppendLe16(out, static_cast<uint16_t>(field.size()));
        AppendBytes(out, field);
    }
    const auto rest = WithoutExtraField(extra, kExtraZip64);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

uint32_t Fit32(uint64_t value, std::vector<uint8_t>& field) {
    if (value < kFull32) return static_cast<uint32_t>(value);
    AppendLe64(field, value);
    return kFull32;
}

}  // namespace

std::vector<uint8_t> PutCentralValues(CentralHeader& h, std::span<const uint8_t> extra,
                                      uint64_t unpackedSize, uint64_t packedSize,
                                      uint64_t localOffset, uint32_t diskStart) {
    std::vector<uint8_t> field;
    h.unpackedSize = Fit32(unpackedSize, field);
    h.packedSize = Fit32(packedSize, field);
    h.localHeaderOffset = Fit32(localOffset, field);
    if (diskStart >= kFull16) {
        AppendLe32(field, diskStart);
        h.diskStart = kFull16;
    } else {
        h.diskStart = static_cast<uint16_t>(diskStart);
    }
    std::vector<uint8_t> out = ReplaceZip64(extra, field);
    if (!field.empty() && h.versionNeeded < 45) h.versionNeeded = 45;
    h.extraLength = static_cast<uint16_t>(out.size());
    return out;
}

std::vector<uint8_t> PutLocalSizes(LocalHeader& h, std::span<const uint8_t> extra,
                                   uint64_t unpackedSize, uint64_t packedSize, bool forceZip64) {
    std::vector<uint8_t> field;
    if (forceZip64 || unpackedSize >= kFull32 || packedSize >= kFull32) {
        // The local field always holds both sizes.
        AppendLe64(field, unpackedSize);
        AppendLe64(field, packedSize);
        h.unpackedSize = h.packedSize = kFull32;
        if (h.versionNeeded < 45) h.versionNeeded = 45;
    } else {
        h.unpackedSize = static_cast<uint32_t>(unpackedSize);
        h.packedSize = static_cast<uint32_t>(packedSize);
    }
    std::vector<uint8_t> out = ReplaceZip64(extra, field);
    h.extraLength = static_cast<uint16_t>(out.size());
    return out;
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
    AppendLe16(out, kExtraUnixTime);
    AppendLe16(out, 5);
    out.push_back(1);  // modification time present
    AppendLe32(out, static_cast<uint32_t>(static_cast<int32_t>(t)));
}

void AppendAesExtra(std::vector<uint8_t>& out, const AesExtra& aes) {
    AppendLe16(out, kExtraAes);
    AppendLe16(out, 7);
    AppendLe16(out, aes.version);
    out.push_back('A');
    out.push_back('E');
    out.push_back(aes.strength);
    AppendLe16(out, aes.method);
}

}  // namespace kelp::zip
