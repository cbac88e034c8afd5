// Compressing member data in the methods beside deflate and stored: bzip2
// (libbz2), LZMA and xz (liblzma) and Zstandard (libzstd), as a stream of
// pieces; and what each method asks of the member's headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace kelp::kzip {

// The ZIP method number a KZipMethod value of the parameter block asks for
// (stored for KZIP_METHOD_STORE); nothing for an unknown value.
std::optional<uint16_t> ZipMethodOf(int32_t kzipMethod);

// The version needed to extract a member compressed with the method.
uint16_t MethodVersionNeeded(uint16_t method);

// General purpose flags of the method's data: LZMA's end marker, deflate's
// level (0 to 9) in bits 1 and 2.
uint16_t MethodFlags(uint16_t method, int level);

// How the "adding:" line names the method: "deflated", "stored", "bzip2"...
const char* MethodWord(uint16_t method);

// Receives compressed pieces (which it may change in place, as encryption
// does); false stops with a write failure.
using EncodedSink = std::function<bool(uint8_t*, size_t)>;

enum class EncodeStatus { Ok, WriteFailed, Failed };

class MethodEncoder {
  public:
    virtual ~MethodEncoder() = default;
    // Compresses the next piece of plain bytes; `last` ends the data.
    virtual EncodeStatus Encode(std::span<const uint8_t> in, bool last,
                                const EncodedSink& sink) = 0;
};

// An encoder for bzip2, LZMA, xz or Zstandard at a level of 1 to 9;
// sizeHint (the size expected) keeps the dictionary no larger than the
// data needs. Null for other methods or when out of memory.
std::unique_ptr<MethodEncoder> MakeMethodEncoder(uint16_t method, int level, uint64_t sizeHint);

}  // namespace kelp::kzip
