// Little-endian field access and the signatures of the ZIP records the engine
// reads and writes itself.
#pragma once

#include <cstdint>

namespace engine {

constexpr uint32_t kLocalHeaderSig = 0x04034B50;
constexpr uint32_t kDataDescriptorSig = 0x08074B50;  // also the mark of a spanned set
constexpr uint32_t kCentralHeaderSig = 0x02014B50;
constexpr uint32_t kEndOfDirSig = 0x06054B50;
constexpr uint32_t kZip64EndOfDirSig = 0x06064B50;
constexpr uint32_t kZip64LocatorSig = 0x07064B50;

constexpr int kCentralHeaderSize = 46;
constexpr int kEndOfDirSize = 22;
constexpr int kZip64LocatorSize = 20;
constexpr int kZip64EndOfDirSize = 56;
constexpr int kMaxCommentLength = 65535;

// General purpose flag bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagUtf8 = 0x0800;

inline uint16_t Get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const unsigned char* p) {
    return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void Put32(unsigned char* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace engine
