// Turns a member's stored data into its plain bytes: reads it from the
// archive, decrypts it, inflates it (a whole member in one go when it fits
// the memory budget, else streamed; other methods always streamed) and checks size and CRC. The
// output goes to a sink in pieces; memory use is bounded by the budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "archive_reader.h"
#include "member_cipher.h"

namespace kelp::zip {

enum class DecodeStatus {
    Ok,
    CrcMismatch,  // the data was complete but its CRC is wrong
    BadData,      // damaged, oversized or undersized data (detail says which)
    ReadError,
    Unsupported,  // a compression method this reader does not know
    Stopped,      // the sink asked to stop
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Ok;
    uint32_t crc = 0;  // CRC of the bytes produced
    uint64_t produced = 0;
    std::string detail;
};

// Receives plain bytes; returning false stops decoding.
using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;

// Largest member inflated in one piece.
constexpr size_t kWholeMemberBudget = 4u << 20;

// True for the compression methods DecodeMember decodes: stored, deflate,
// Deflate64, bzip2, LZMA, xz and Zstandard.
bool MethodDecodable(uint16_t method);

// A compression method as messages name it: "bzip2 (method 12)".
std::string MethodName(uint16_t method);

// crypto: the keys from TryPassword for an encrypted member, else null.
// An AES member is good only when its authentication code matches, checked
// after the last byte went to the sink.
DecodeResult DecodeMember(const ByteSource& reader, const MemberData& data, MemberCipher* crypto,
                          const ByteSink& sink, size_t wholeBudget = kWholeMemberBudget);

}  // namespace kelp::zip
