// Compressing one source file into member data. Files within the memory
// budget are read whole and deflated in one go with libdeflate, on any
// thread; larger ones are read on the calling thread and deflated by zlib
// in blocks on the pool's threads (block_deflater.h). The other methods go
// through their libraries (method_encoders.h) on both paths. Both encrypt when asked (traditional
// PKWARE encryption or AES-256) and fall back to storing when compressing
// does not make the data smaller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelp::kzip {

// Largest file compressed in one piece in memory.
constexpr uint64_t kWholeFileBudget = 16u << 20;

struct MemberSource {
    std::string path;
    uint64_t size = 0;    // the size the scan saw
    int level = 9;        // 0 stores
    uint16_t method = 8;  // the ZIP method when compressing: deflate, bzip2, LZMA, xz or Zstandard
    bool encrypt = false;
    bool aes = false;  // encrypt with AES-256 (AE-2) rather than traditionally
    std::string password;
    bool link = false;  // a symbolic link: its target is the data
};

struct MemberResult {
    bool ok = false;
    std::string error;     // why the file could not be read or encrypted
    bool changed = false;  // the size read differs from the size seen
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t unpacked = 0;
    uint64_t packed = 0;        // data bytes, what encryption adds included
    std::vector<uint8_t> data;  // whole-file results only
};

// Reads and compresses a whole file (size up to kWholeFileBudget) or a
// link's target.
MemberResult CompressWhole(const MemberSource& source);

// Where a streamed member's bytes go; each call returns false on a write
// failure. rewind(n): drop everything written since the data began.
struct StreamSink {
    std::function<bool(const uint8_t*, size_t)> write;
    std::function<bool()> rewind;
    std::function<bool(uint64_t)> progress;  // false: stop (cancelled)
};

class CompressPool;

// Streams a file of any size into the sink, deflating on the pool's
// threads. With encryption the check byte is taken from checkTime (the data is followed by a
// descriptor). result.ok is false with error set when reading failed;
// writeFailed/stopped tell the other ways out.
struct StreamOutcome {
    MemberResult result;
    bool writeFailed = false;
    bool stopped = false;
};
StreamOutcome CompressStream(const MemberSource& source, uint16_t checkTime, CompressPool& pool,
                             const StreamSink& sink);

// Opens a source file for reading without blocking on FIFOs; -1 with
// error set when it is not a readable regular file.
int OpenSource(const std::string& path, std::string& error);

}  // namespace kelp::kzip
