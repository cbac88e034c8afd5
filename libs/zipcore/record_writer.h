// Encoding ZIP on-disk records: the little-endian counterparts of the
// parsers in zip_records.h, appending to a byte buffer.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "zip_records.h"

namespace kelp::zip {

void AppendLe16(std::vector<uint8_t>& out, uint16_t value);
void AppendLe32(std::vector<uint8_t>& out, uint32_t value);
void AppendBytes(std::vector<uint8_t>& out, std::string_view bytes);

// The fixed part of each record; the name, extra field and comment follow
// it and are appended by the caller.
void AppendLocalHeader(std::vector<uint8_t>& out, const LocalHeader& header);
void AppendCentralHeader(std::vector<uint8_t>& out, const CentralHeader& header);
void AppendEocd(std::vector<uint8_t>& out, const Eocd& eocd);
// A data descriptor with its signature (16 bytes).
void AppendDataDescriptor(std::vector<uint8_t>& out, uint32_t crc, uint32_t packedSize,
                          uint32_t unpackedSize);

// An extended-timestamp extra field (0x5455) carrying the modification
// time only, as both headers hold it.
void AppendUnixModTime(std::vector<uint8_t>& out, int64_t mtime);

}  // namespace kelp::zip
