#include "zip_records.h"

#include <algorithm>

#include "crc32.h"

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

bool ParseZip64Eocd(std::span<const uint8_t> bytes, Zip64Eocd& out) {
    if (bytes.size() < kZip64EocdSize || ReadLe32(bytes.data()) != kZip64EocdSignature)
        return false;
    const uint8_t* p = bytes.data();
    out.versionMadeBy = ReadLe16(p + 12);
    out.versionNeeded = ReadLe16(p + 14);
    out.thisDisk = ReadLe32(p + 16);
    out.centralDisk = ReadLe32(p + 20);
    out.entriesOnDisk = ReadLe64(p + 24);
    out.totalEntries = ReadLe64(p + 32);
    out.centralSize = ReadLe64(p + 40);
    out.centralOffset = ReadLe64(p + 48);
    return true;
}

bool ParseZip64Locator(std::span<const uint8_t> bytes, Zip64Locator& out) {
    if (bytes.size() < kZip64LocatorSize || ReadLe32(bytes.data()) != kZip64LocatorSignature)
        return false;
    const uint8_t* p = bytes.data();
    out.eocdDisk = ReadLe32(p + 4);
    out.eocdOffset = ReadLe64(p + 8);
    out.totalDisks = ReadLe32(p + 16);
    return true;
}

bool ParseDataDescriptor(std::span<const uint8_t> bytes, DataDescriptor& out, bool zip64) {
    const size_t body = zip64 ? 20 : 12;
    size_t at = 0;
    if (bytes.size() >= body + 4 && ReadLe32(bytes.data()) == kDataDescriptorSignature) at = 4;
    if (bytes.size() < at + body) return false;
    const uint8_t* p = bytes.data() + at;
    out.crc = ReadLe32(p);
    out.packedSize = zip64 ? ReadLe64(p + 4) : ReadLe32(p + 4);
    out.unpackedSize = zip64 ? ReadLe64(p + 12) : ReadLe32(p + 8);
    out.recordSize = at + body;
    return true;
}

size_t CentralRecordSize(const CentralHeader& h) {
    return kCentralHeaderSize + h.nameLength + h.extraLength + h.commentLength;
}

size_t LocalRecordSize(const LocalHeader& h) {
    return kLocalHeaderSize + h.nameLength + h.extraLength;
}

size_t DataDescriptorSize(std::span<const uint8_t> first4, bool zip64) {
    const bool signature =
        first4.size() >= 4 && ReadLe32(first4.data()) == kDataDescriptorSignature;
    return (signature ? 4 : 0) + (zip64 ? 20 : 12);
}

bool ParseCentralRecord(std::span<const uint8_t> bytes, CentralRecord& out) {
    return ParseCentralHeader(bytes, out.header) && FinishCentralRecord(bytes, out);
}

bool FinishCentralRecord(std::span<const uint8_t> bytes, CentralRecord& out) {
    const CentralHeader& h = out.header;
    if (CentralRecordSize(h) > bytes.size()) return false;
    const uint8_t* p = bytes.data() + kCentralHeaderSize;
    out.name = {reinterpret_cast<const char*>(p), h.nameLength};
    out.extra = {p + h.nameLength, h.extraLength};
    out.comment = {reinterpret_cast<const char*>(p) + h.nameLength + h.extraLength,
                   h.commentLength};
    out.recordSize = CentralRecordSize(h);
    Zip64Values v{h.unpackedSize, h.packedSize, h.localHeaderOffset, h.diskStart};
    ApplyZip64Extra(out.extra, h.unpackedSize == kFull32, h.packedSize == kFull32,
                    h.localHeaderOffset == kFull32, h.diskStart == kFull16, v);
    out.unpackedSize = v.unpackedSize;
    out.packedSize = v.packedSize;
    out.localOffset = v.localOffset;
    out.diskStart = v.diskStart;
    return true;
}

bool ParseLocalRecord(std::span<const uint8_t> bytes, LocalRecord& out) {
    if (!ParseLocalHeader(bytes, out.header)) return false;
    if (LocalRecordSize(out.header) > bytes.size()) return false;
    const uint8_t* p = bytes.data() + kLocalHeaderSize;
    out.name = {reinterpret_cast<const char*>(p), out.header.nameLength};
    out.extra = {p + out.header.nameLength, out.header.extraLength};
    out.recordSize = LocalRecordSize(out.header);
    return true;
}

std::optional<std::span<const uint8_t>> FindExtraField(std::span<const uint8_t> extra,
                                                       uint16_t id) {
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const uint16_t fieldId = ReadLe16(extra.data() + at);
        const size_t length = ReadLe16(extra.data() + at + 2);
        at += 4;
        if (length > extra.size() - at) break;
        if (fieldId == id) return extra.subspan(at, length);
        at += length;
    }
    return std::nullopt;
}

std::basic_string<uint8_t> WithoutExtraField(std::span<const uint8_t> extra, uint16_t id) {
    std::basic_string<uint8_t> out;
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const size_t length = ReadLe16(extra.data() + at + 2);
        const size_t end = std::min(extra.size(), at + 4 + length);
        if (ReadLe16(extra.data() + at) != id) out.append(extra.data() + at, end - at);
        at = end;
    }
    // A tail too short for a field header is kept as it was.
    if (at < extra.size()) out.append(extra.data() + at, extra.size() - at);
    return out;
}

void ApplyZip64Extra(std::span<const uint8_t> extra, bool unpackedFull, bool packedFull,
                     bool offsetFull, bool diskFull, Zip64Values& values) {
    if (!unpackedFull && !packedFull && !offsetFull && !diskFull) return;
    const auto field = FindExtraField(extra, kExtraZip64);
    if (!field) return;
    size_t at = 0;
    auto take64 = [&](bool wanted, uint64_t& target) {
        if (!wanted || at + 8 > field->size()) return;
        target = ReadLe64(field->data() + at);
        at += 8;
    };
    take64(unpackedFull, values.unpackedSize);
    take64(packedFull, values.packedSize);
    take64(offsetFull, values.localOffset);
    if (diskFull && at + 4 <= field->size()) values.diskStart = ReadLe32(field->data() + at);
}

namespace {

// Version 1 of the Unicode path and comment fields: a version byte, the
// CRC-32 of the header's text, then the UTF-8 text.
std::optional<std::string> FindUnicodeText(std::span<const uint8_t> extra, uint16_t id,
                                           std::string_view headerText) {
    const auto field = FindExtraField(extra, id);
    if (!field || field->size() < 5 || (*field)[0] != 1) return std::nullopt;
    if (ReadLe32(field->data() + 1) != Crc32(0, headerText.data(), headerText.size()))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(field->data()) + 5, field->size() - 5);
}

}  // namespace

std::optional<std::string> FindUnicodePath(std::span<const uint8_t> extra,
                                           std::string_view headerName) {
    return FindUnicodeText(extra, kExtraUnicodePath, headerName);
}

std::optional<std::string> FindUnicodeComment(std::span<const uint8_t> extra,
                                              std::string_view headerComment) {
    return FindUnicodeText(extra, kExtraUnicodeComment, headerComment);
}

bool StartsFirstPartOfSet(std::span<const uint8_t> head) {
    return head.size() >= 8 && ReadLe32(head.data()) == kSpanMarker &&
           ReadLe32(head.data() + 4) == kLocalHeaderSignature;
}

bool IsSpanMarker(std::span<const uint8_t> first4) {
    return first4.size() == 4 && ReadLe32(first4.data()) == kSpanMarker;
}

std::optional<size_t> FindEocd(std::span<const uint8_t> tail) {
    if (tail.size() < kEocdSize) return std::nullopt;
    for (size_t i = tail.size() - kEocdSize + 1; i-- > 0;) {
        if (ReadLe32(tail.data() + i) == kEocdSignature) return i;
    }
    return std::nullopt;
}

std::optional<int64_t> FindUnixModTime(std::span<const uint8_t> extra) {
    // Extended timestamp: a flags byte, then the times it announces; bit 0
    // announces the modification time, which always comes first.
    const auto field = FindExtraField(extra, kExtraUnixTime);
    if (!field || field->size() < 5 || !((*field)[0] & 1)) return std::nullopt;
    return static_cast<int32_t>(ReadLe32(field->data() + 1));
}

std::optional<AesExtra> FindAesExtra(std::span<const uint8_t> extra) {
    const auto field = FindExtraField(extra, kExtraAes);
    if (!field || field->size() < 7) return std::nullopt;
    const uint8_t* p = field->data();
    AesExtra aes{ReadLe16(p), p[4], ReadLe16(p + 5)};
    if ((aes.version != 1 && aes.version != 2) || p[2] != 'A' || p[3] != 'E' || aes.strength < 1 ||
        aes.strength > 3)
        return std::nullopt;
    return aes;
}

std::optional<UnixOwner> FindUnixOwner(std::span<const uint8_t> extra) {
    // Version 1: a version byte, then the uid and the gid, each behind a
    // byte giving its size (up to 4 bytes are read).
    const auto field = FindExtraField(extra, kExtraUnixOwner);
    if (!field || field->size() < 3 || (*field)[0] != 1) return std::nullopt;
    size_t at = 1;
    auto take = [&](uint32_t& value) {
        if (at >= field->size()) return false;
        const size_t size = (*field)[at++];
        if (size > 8 || size > field->size() - at) return false;
        value = 0;
        for (size_t i = 0; i < std::min<size_t>(size, 4); ++i)
            value |= static_cast<uint32_t>((*field)[at + i]) << (8 * i);
        at += size;
        return true;
    };
    UnixOwner owner;
    if (!take(owner.uid) || !take(owner.gid)) return std::nullopt;
    return owner;
}

}  // namespace kelp::zip
