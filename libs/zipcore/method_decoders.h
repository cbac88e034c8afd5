// Streaming decoders for the methods besides stored and deflate: bzip2
// (libbz2), LZMA and xz (liblzma), Zstandard (libzstd) and Kelp's own
// Deflate64. Each turns input pieces into output pieces; the caller bounds
// the output room and so the size produced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kelp::zip {

constexpr uint16_t kMethodDeflate64 = 9;
constexpr uint16_t kMethodBzip2 = 12;
constexpr uint16_t kMethodLzma = 14;
constexpr uint16_t kMethodZstd = 93;
constexpr uint16_t kMethodXz = 95;

// Most memory a decoder may take for its window or dictionary.
constexpr uint64_t kDecoderMemoryLimit = 256u << 20;

enum class DecodeStep {
    Progress,  // input used or output made; call again
    End,       // the stream ended
    BadData,   // not valid data for the method
    NoMemory,  // the decoder needs more memory than allowed or available
};

class MethodDecoder {
  public:
    virtual ~MethodDecoder() = default;
    // Decodes from in (advancing it) into out; written: bytes put in out.
    // lastInput says no more input follows the bytes in `in`.
    virtual DecodeStep Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t& written,
                           bool lastInput) = 0;
};

// True for the methods MakeMethodDecoder knows.
bool LibraryMethod(uint16_t method);

// A decoder for the method; flags are the member's general purpose flags and
// expectedSize its stated uncompressed size (LZMA needs both). Null when out
// of memory.
std::unique_ptr<MethodDecoder> MakeMethodDecoder(uint16_t method, uint16_t flags,
                                                 uint64_t expectedSize);

}  // namespace kelp::zip
