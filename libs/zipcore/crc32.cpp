#include "crc32.h"

#include <libdeflate.h>
#include <zlib.h>

namespace kelp::zip {

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    return libdeflate_crc32(crc, data, size);
}

uint32_t Crc32Byte(uint32_t crc, uint8_t byte) {
    static const z_crc_t* table = get_crc_table();
    return static_cast<uint32_t>(table[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

}  // namespace kelp::zip
