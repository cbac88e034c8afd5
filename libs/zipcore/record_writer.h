// Encoding ZIP on-disk records: the little-endian counterparts of the
// parsers in zip_records.h, appending to a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "zip_records.h"

namespace kelp::zip {

void AppendLe16(std::vector<uint8_t>& out, uint16_t value);
void AppendLe32(std::vector<uint8_t>& out, uint32_t value);
void AppendLe64(std::vector<uint8_t>& out, uint64_t value);
void AppendBytes(std::vector<uint8_t>& out, std::string_view bytes);
void AppendBytes(std::vector<uint8_t>& out, std::span<const uint8_t> bytes);

// The fixed part of each record; the name, extra field and comment follow
// it and are appended by the caller.
void AppendLocalHeader(std::vector<uint8_t>& out, const LocalHeader& header);
void AppendCentralHeader(std::vector<uint8_t>& out, const CentralHeader& header);
void AppendEocd(std::vector<uint8_t>& out, const Eocd& eocd);
// The mark a set's first part opens with.
void AppendSpanMarker(std::vector<uint8_t>& out);
void AppendZip64Eocd(std::vector<uint8_t>& out, const Zip64Eocd& eocd);
void AppendZip64Locator(std::vector<uint8_t>& out, const Zip64Locator& locator);
// A data descriptor with its signature (16 bytes).
void AppendDataDescriptor(std::vector<uint8_t>& out, uint32_t crc, uint32_t packedSize,
                          uint32_t unpackedSize);
// A data descriptor with its signature and 8-byte sizes (24 bytes), for a
// member whose local header carries a ZIP64 field.
void AppendDataDescriptor64(std::vector<uint8_t>& out, uint32_t crc, uint64_t packedSize,
                            uint64_t unpackedSize);

// The first value a 32-bit size or offset field does not take, and the
// first member count a 16-bit count does not take: from these on the ZIP64
// records carry the value. Normally 0xFFFFFFFF and 0xFFFF (all ones means
// "see the ZIP64 record"). Builds with KELP_ZIP64_TEST_HOOK let the
// environment variables KELP_TEST_ZIP64_SIZE_LIMIT and
// KELP_TEST_ZIP64_COUNT_LIMIT lower them, so tests reach the ZIP64 paths
// with small archives; unset, nothing changes.
uint64_t Zip64SizeLimit();
uint64_t Zip64CountLimit();

// Puts the values into the header as the format wants them: a value that
// does not fit its header field leaves the field full and goes into a ZIP64
// extra field, which replaces any such field in `extra`. Returns the new
// extra field list; header.extraLength is set to its length. `forceZip64`
// writes the field with both sizes even when they fit (a local header
// written before the sizes are known).
std::vector<uint8_t> PutCentralValues(CentralHeader& header, std::span<const uint8_t> extra,
                                      uint64_t unpackedSize, uint64_t packedSize,
                                      uint64_t localOffset, uint32_t diskStart);
std::vector<uint8_t> PutLocalSizes(LocalHeader& header, std::span<const uint8_t> extra,
                                   uint64_t unpackedSize, uint64_t packedSize, bool forceZip64);

// The end records of an archive (or of the last part of a set): `end` holds
// where its central directory lies, in full width, and `endOffset` where the
// end records start (in their part). NeedsZip64End is true when a value does
// not fit the end record: a ZIP64 end record and its locator then go in
// front of it, and the fields that do not fit are full.
bool NeedsZip64End(const Zip64Eocd& end);
size_t EndRecordsSize(bool zip64, size_t commentLength);
void AppendEndRecords(std::vector<uint8_t>& out, const Zip64Eocd& end, uint64_t endOffset,
                      bool zip64, std::string_view comment);

// An extended-timestamp extra field (0x5455) carrying the modification
// time only, as both headers hold it.
void AppendUnixModTime(std::vector<uint8_t>& out, int64_t mtime);

// The AES field (0x9901), kAesExtraSize bytes, as both headers hold it.
void AppendAesExtra(std::vector<uint8_t>& out, const AesExtra& aes);

}  // namespace kelp::zip
