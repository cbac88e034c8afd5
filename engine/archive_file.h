// Binary file access for the engine: an owned file descriptor with positioned
// reads and writes, and a buffered reader for walking a directory in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "libs/zipcore/byte_source.h"
#include "libs/zipcore/zip_records.h"

namespace kelp::engine {

class ArchiveFile : public kelp::zip::ByteSource {
  public:
    enum class Mode { Read, ReadWrite };

    ArchiveFile() = default;
    ~ArchiveFile() override { Close(); }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool Open(const std::string& path, Mode mode);
    // Creates (or empties) `path` for reading and writing.
    bool Create(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // File size, or -1 on failure.
    int64_t Size() const;
    bool Seek(int64_t position);
    int64_t Position() const { return position_; }

    // Reads up to `size` bytes at the current position; fewer only at the end
    // of the file or on an error. Returns the number read.
    size_t Read(void* buffer, size_t size);
    // Reads up to `size` bytes at `offset`, leaving the position alone;
    // fewer only at the end of the file or on an error.
    size_t ReadAtMost(uint64_t offset, void* buffer, size_t size) const;
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const override {
        return ReadAtMost(offset, buffer, size) == size;
    }
    // Writes `size` bytes at the current position; returns the number written.
    size_t Write(const void* buffer, size_t size);
    bool Truncate(int64_t size);
    bool Flush();

  private:
    int fd_ = -1;
    int64_t position_ = 0;
};

// Reads a file front to back through a buffer, so that many small reads and
// skips cost one system call per buffer.
class BufferedReader {
  public:
    explicit BufferedReader(ArchiveFile& file, size_t bufferSize = 256 * 1024);

    // Restarts reading at `position` of the file (also after the file was
    // reopened on another part).
    bool Seek(int64_t position);
    // Reads up to `size` bytes; fewer only at the end of the file.
    size_t Read(void* buffer, size_t size);
    // Up to `size` of the next bytes as they stand in the buffer, without
    // taking them (fewer where the buffer ends; Skip takes them). The view
    // lasts until the next read.
    std::span<const uint8_t> Peek(size_t size);
    // Moves forward by `count` bytes, also past the end (a later read then
    // comes back short, as with a file seek).
    void Skip(uint64_t count);
    int64_t Position() const { return position_; }

  private:
    bool Fill();

    ArchiveFile& file_;
    std::vector<unsigned char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    int64_t position_ = 0;
};

// Writes a file front to back through a buffer, so that many small writes
// cost one system call per buffer.
class BufferedWriter {
  public:
    explicit BufferedWriter(ArchiveFile& file, size_t bufferSize = 256 * 1024)
        : file_(file), bufferSize_(bufferSize) {}

    // Bytes taken so far, those still in the buffer included.
    uint64_t Position() const { return written_ + buffer_.size(); }
    // The bytes not yet written; callers may append to it directly.
    std::vector<uint8_t>& Buffer() { return buffer_; }
    // Takes `size` bytes, writing the buffer out once it is full; false when
    // that write failed.
    bool Write(const void* bytes, size_t size);
    // Writes out what the buffer holds; false when the write failed.
    bool Flush();

  private:
    ArchiveFile& file_;
    size_t bufferSize_;
    std::vector<uint8_t> buffer_;
    uint64_t written_ = 0;
};

// Why a whole central record could not be read.
enum class RecordRead { Ok, ShortFixedPart, NotAHeader, ShortFields };

// Reads one central record (fixed part, name, extra field, comment) through
// `source.Read(buffer, size)` into `bytes` and parses it into `record`, whose
// views point into `bytes`.
// The same through a buffered reader, without copying a record the buffer
// holds whole; the views then point into the reader's buffer and last until
// its next read.
RecordRead ReadCentralRecord(BufferedReader& source, std::vector<uint8_t>& scratch,
                             kelp::zip::CentralRecord& record);

template <typename Source>
RecordRead ReadCentralRecord(Source& source, std::vector<uint8_t>& bytes,
                             kelp::zip::CentralRecord& record) {
    namespace zip = kelp::zip;
    bytes.resize(zip::kCentralHeaderSize);
    if (source.Read(bytes.data(), bytes.size()) != bytes.size()) return RecordRead::ShortFixedPart;
    if (!zip::ParseCentralHeader(bytes, record.header)) return RecordRead::NotAHeader;
    bytes.resize(zip::CentralRecordSize(record.header));
    const size_t rest = bytes.size() - zip::kCentralHeaderSize;
    if (source.Read(bytes.data() + zip::kCentralHeaderSize, rest) != rest)
        return RecordRead::ShortFields;
    zip::FinishCentralRecord(bytes, record);
    return RecordRead::Ok;
}

}  // namespace kelp::engine
