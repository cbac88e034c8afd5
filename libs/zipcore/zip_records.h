// ZIP on-disk records: parsing with bounds checks. All integers are
// little-endian; every parser takes the bytes it may look at and fails
// rather than read past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelp::zip {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEocdSignature = 0x06054B50;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEocdSize = 22;
constexpr size_t kMaxEocdSearch = 65535 + kEocdSize;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

constexpr uint8_t kHostUnix = 3;

struct LocalHeader {
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t unpackedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
};

struct DataDescriptor {
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t unpackedSize = 0;
    size_t recordSize = 0;  // 16 with the signature, 12 without
};

struct CentralHeader {
    uint8_t versionMadeBy = 0;
    uint8_t hostSystem = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t packedSize = 0;
    uint32_t unpackedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t diskStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
};

struct Eocd {
    uint16_t thisDisk = 0;
    uint16_t centralDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t centralSize = 0;
    uint32_t centralOffset = 0;
    uint16_t commentLength = 0;
};

uint16_t ReadLe16(const uint8_t* p);
uint32_t ReadLe32(const uint8_t* p);
uint64_t ReadLe64(const uint8_t* p);

// Each parser returns false when the bytes are too short or the signature
// is wrong.
bool ParseLocalHeader(std::span<const uint8_t> bytes, LocalHeader& out);
bool ParseCentralHeader(std::span<const uint8_t> bytes, CentralHeader& out);
bool ParseEocd(std::span<const uint8_t> bytes, Eocd& out);
// Accepts the descriptor with or without its optional signature.
bool ParseDataDescriptor(std::span<const uint8_t> bytes, DataDescriptor& out);

// Position of the last end-of-central-directory signature in the tail of a
// file (the later of two candidates wins), if any whole record fits.
std::optional<size_t> FindEocd(std::span<const uint8_t> tail);

// The modification time of an extended-timestamp extra field (0x5455),
// seconds since the epoch, when the extra field carries one.
std::optional<int64_t> FindUnixModTime(std::span<const uint8_t> extra);

}  // namespace kelp::zip
