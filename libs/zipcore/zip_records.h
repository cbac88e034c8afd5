// ZIP on-disk records: parsing with bounds checks. All integers are
// little-endian; every parser takes the bytes it may look at and fails
// rather than read past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelp::zip {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEocdSignature = 0x06054B50;
constexpr uint32_t kZip64EocdSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
// The first four bytes of the first part of a multi-part set.
constexpr uint32_t kSpanMarker = kDataDescriptorSignature;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEocdSize = 22;
constexpr size_t kZip64EocdSize = 56;  // without a version-2 extensible data sector
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxCommentLength = 65535;
constexpr size_t kMaxEocdSearch = 65535 + kEocdSize;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
// AES-encrypted data; the method it was compressed with is in its AES field.
constexpr uint16_t kMethodAes = 99;

constexpr uint8_t kHostUnix = 3;

// Values that tell a reader to look in the ZIP64 records instead.
constexpr uint16_t kFull16 = 0xFFFF;
constexpr uint32_t kFull32 = 0xFFFFFFFF;

// Extra field ids Kelp understands.
constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraUnixTime = 0x5455;     // extended timestamp
constexpr uint16_t kExtraUnixOwner = 0x7875;    // Unix uid and gid
constexpr uint16_t kExtraUnicodePath = 0x7075;  // UTF-8 name and the CRC of the header name
constexpr uint16_t kExtraUnicodeComment = 0x6375;
constexpr uint16_t kExtraAes = 0x9901;

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
    uint64_t packedSize = 0;
    uint64_t unpackedSize = 0;
    size_t recordSize = 0;  // 16 or 24 with the signature, 12 or 20 without
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

// The ZIP64 end-of-central-directory record (its fixed part).
struct Zip64Eocd {
    uint16_t versionMadeBy = 45;
    uint16_t versionNeeded = 45;
    uint32_t thisDisk = 0;
    uint32_t centralDisk = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t centralSize = 0;
    uint64_t centralOffset = 0;
};

// The locator that stands in front of the end record and points at the
// ZIP64 end record.
struct Zip64Locator {
    uint32_t eocdDisk = 0;
    uint64_t eocdOffset = 0;
    uint32_t totalDisks = 1;
};

// A central header with its name, extra field and comment, and the values
// that the ZIP64 extra field supplies for full header fields.
struct CentralRecord {
    CentralHeader header;
    std::string_view name;  // views into the parsed bytes
    std::span<const uint8_t> extra;
    std::string_view comment;
    uint64_t packedSize = 0;
    uint64_t unpackedSize = 0;
    uint64_t localOffset = 0;
    uint32_t diskStart = 0;
    size_t recordSize = 0;  // fixed part + name + extra + comment
};

// A local header with its name and extra field.
struct LocalRecord {
    LocalHeader header;
    std::string_view name;
    std::span<const uint8_t> extra;
    size_t recordSize = 0;  // fixed part + name + extra
};

uint16_t ReadLe16(const uint8_t* p);
uint32_t ReadLe32(const uint8_t* p);
uint64_t ReadLe64(const uint8_t* p);

// Each parser returns false when the bytes are too short or the signature
// is wrong.
bool ParseLocalHeader(std::span<const uint8_t> bytes, LocalHeader& out);
bool ParseCentralHeader(std::span<const uint8_t> bytes, CentralHeader& out);
bool ParseEocd(std::span<const uint8_t> bytes, Eocd& out);
bool ParseZip64Eocd(std::span<const uint8_t> bytes, Zip64Eocd& out);
bool ParseZip64Locator(std::span<const uint8_t> bytes, Zip64Locator& out);
// Accepts the descriptor with or without its optional signature; zip64
// (the member's local header carries a ZIP64 field) gives 8-byte sizes.
bool ParseDataDescriptor(std::span<const uint8_t> bytes, DataDescriptor& out, bool zip64 = false);

// The bytes a whole record takes: its fixed part and variable fields.
size_t CentralRecordSize(const CentralHeader& header);
size_t LocalRecordSize(const LocalHeader& header);

// The bytes a data descriptor takes, told by its first four bytes (the
// optional signature) and whether its sizes are 8 bytes wide.
size_t DataDescriptorSize(std::span<const uint8_t> first4, bool zip64);

// Whole records: false when the fixed part is short, the signature wrong or
// the variable fields run past the bytes. The views point into `bytes`.
bool ParseCentralRecord(std::span<const uint8_t> bytes, CentralRecord& out);
bool ParseLocalRecord(std::span<const uint8_t> bytes, LocalRecord& out);
// The rest of ParseCentralRecord, for a caller that parsed out.header from
// the same bytes already (to learn how many to read).
bool FinishCentralRecord(std::span<const uint8_t> bytes, CentralRecord& out);

// The bytes of the first extra field with this id, if the field list holds
// one whole; a field that runs past the list ends the search.
std::optional<std::span<const uint8_t>> FindExtraField(std::span<const uint8_t> extra, uint16_t id);
// The extra field list without the fields of this id.
std::basic_string<uint8_t> WithoutExtraField(std::span<const uint8_t> extra, uint16_t id);

// The ZIP64 extra field's values, in the order the format gives (size,
// packed size, local offset, disk), each present only for a header field
// that is full. Fields the extra field does not carry stay untouched, so the
// caller fills them with the header values first.
struct Zip64Values {
    uint64_t unpackedSize = 0;
    uint64_t packedSize = 0;
    uint64_t localOffset = 0;
    uint32_t diskStart = 0;
};
void ApplyZip64Extra(std::span<const uint8_t> extra, bool unpackedFull, bool packedFull,
                     bool offsetFull, bool diskFull, Zip64Values& values);

// The UTF-8 name of a Unicode path extra field (0x7075), when its CRC-32 of
// the header name matches the name stored in the header (a field left over
// from before a rename is ignored).
std::optional<std::string> FindUnicodePath(std::span<const uint8_t> extra,
                                           std::string_view headerName);
// The same for a Unicode comment field (0x6375) and the header's comment.
std::optional<std::string> FindUnicodeComment(std::span<const uint8_t> extra,
                                              std::string_view headerComment);

// Whether the bytes open the first part of a multi-part set: the set's mark,
// then the first local header.
bool StartsFirstPartOfSet(std::span<const uint8_t> head);
// Whether four bytes are the mark a set's first part opens with.
bool IsSpanMarker(std::span<const uint8_t> first4);

// Position of the last end-of-central-directory signature in the tail of a
// file (the later of two candidates wins), if any whole record fits.
std::optional<size_t> FindEocd(std::span<const uint8_t> tail);

// The modification time of an extended-timestamp extra field (0x5455),
// seconds since the epoch, when the extra field carries one.
std::optional<int64_t> FindUnixModTime(std::span<const uint8_t> extra);

// The AES field (0x9901) of an AES-encrypted member: its format version
// (1: the CRC is stored and checked, 2: the CRC is 0 and only the
// authentication code counts), key strength (1: 128, 2: 192, 3: 256 bits)
// and the compression method of the data.
struct AesExtra {
    uint16_t version = 2;
    uint8_t strength = 3;
    uint16_t method = 0;
};
constexpr size_t kAesExtraSize = 4 + 7;  // field header and data
// The field when it is whole, its vendor is "AE", its version 1 or 2 and
// its strength 1 to 3.
std::optional<AesExtra> FindAesExtra(std::span<const uint8_t> extra);

// The owner of a Unix uid/gid extra field (0x7875, version 1).
struct UnixOwner {
    uint32_t uid = 0;
    uint32_t gid = 0;
};
std::optional<UnixOwner> FindUnixOwner(std::span<const uint8_t> extra);

}  // namespace kelp::zip
