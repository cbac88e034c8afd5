// Where the bytes of an archive come from: one file read at offsets, or the
// parts of a multi-part set read one after the other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelp::zip {

// Reads bytes of the archive at file offsets: the archive file itself, or a
// stretch of it already read into memory.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads exactly size bytes at offset; false on a short read or error.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) const = 0;
};

// The parts of an archive, numbered from 0; a single file is part 0 and the
// last. A set's central directory may start in one part and run on into the
// next ones.
class PartSource {
  public:
    virtual ~PartSource() = default;
    virtual int LastPart() const = 0;
    // Reads up to size bytes of part `part` at `offset`; fewer only where
    // the part ends. Returns the number read.
    virtual size_t ReadPart(int part, uint64_t offset, void* buffer, size_t size) = 0;
};

// A single file as the only part of an archive.
class SinglePart : public PartSource {
  public:
    SinglePart(const ByteSource& file, uint64_t size) : file_(file), size_(size) {}
    int LastPart() const override { return 0; }
    size_t ReadPart(int part, uint64_t offset, void* buffer, size_t size) override;

  private:
    const ByteSource& file_;
    uint64_t size_;
};

}  // namespace kelp::zip
