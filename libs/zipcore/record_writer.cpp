#include "record_writer.h"

#include <cstdlib>
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

void AppendSpanMarker(std::vector<uint8_t>& out) {
    AppendLe32(out, kSpanMarker);
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

// The normal limit, or a lower one from the environment in a build with the
// test hook.
uint64_t Limit([[maybe_unused]] const char* variable, uint64_t normal) {
#ifdef KELP_ZIP64_TEST_HOOK
    if (const char* text = std::getenv(variable); text && *text) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (*end == '\0' && value >= 1 && value < normal) return value;
    }
#endif
    return normal;
}

}  // namespace

uint64_t Zip64SizeLimit() {
    return Limit("KELP_TEST_ZIP64_SIZE_LIMIT", kFull32);
}

uint64_t Zip64CountLimit() {
    return Limit("KELP_TEST_ZIP64_COUNT_LIMIT", kFull16);
}

namespace {

// The extra list with its ZIP64 field replaced by `field` (none when empty).
std::vector<uint8_t> ReplaceZip64(std::span<const uint8_t> extra,
                                  const std::vector<uint8_t>& field) {
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
    if (value < Zip64SizeLimit()) return static_cast<uint32_t>(value);
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
    const uint64_t limit = Zip64SizeLimit();
    if (forceZip64 || unpackedSize >= limit || packedSize >= limit) {
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

bool NeedsZip64End(const Zip64Eocd& end) {
    const uint64_t count = Zip64CountLimit(), size = Zip64SizeLimit();
    return end.thisDisk >= kFull16 || end.centralDisk >= kFull16 || end.entriesOnDisk >= count ||
           end.totalEntries >= count || end.centralSize >= size || end.centralOffset >= size;
}

size_t EndRecordsSize(bool zip64, size_t commentLength) {
    return (zip64 ? kZip64EocdSize + kZip64LocatorSize : 0) + kEocdSize + commentLength;
}

void AppendEndRecords(std::vector<uint8_t>& out, const Zip64Eocd& end, uint64_t endOffset,
                      bool zip64, std::string_view comment) {
    if (zip64) {
        AppendZip64Eocd(out, end);
        Zip64Locator locator;
        locator.eocdDisk = end.thisDisk;
        locator.eocdOffset = endOffset;
        locator.totalDisks = end.thisDisk + 1;
        AppendZip64Locator(out, locator);
    }
    // A field too small for its value holds all ones: readers take the value
    // from the ZIP64 end record.
    const uint64_t count = Zip64CountLimit(), size = Zip64SizeLimit();
    auto fit16 = [](uint64_t v, uint64_t limit) {
        return static_cast<uint16_t>(v < limit ? v : kFull16);
    };
    auto fit32 = [](uint64_t v, uint64_t limit) {
        return static_cast<uint32_t>(v < limit ? v : kFull32);
    };
    Eocd eocd;
    eocd.thisDisk = fit16(end.thisDisk, kFull16);
    eocd.centralDisk = fit16(end.centralDisk, kFull16);
    eocd.entriesOnDisk = fit16(end.entriesOnDisk, count);
    eocd.totalEntries = fit16(end.totalEntries, count);
    eocd.centralSize = fit32(end.centralSize, size);
    eocd.centralOffset = fit32(end.centralOffset, size);
    eocd.commentLength = static_cast<uint16_t>(comment.size());
    AppendEocd(out, eocd);
    AppendBytes(out, comment);
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
