// CRC-32 as used by ZIP: libdeflate's routine for runs of bytes (it uses the
// processor's carry-less multiply), zlib's table for the byte-wise step.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelp::zip {

// Continues a CRC over more bytes; start with crc = 0.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// One step of the byte-wise CRC update used by traditional encryption.
uint32_t Crc32Byte(uint32_t crc, uint8_t byte);

}  // namespace kelp::zip
