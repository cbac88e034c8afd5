// The new archive while it is written: a temporary file beside the target
// (or in a chosen folder on the same file system), written through a
// buffer, and renamed over the target only when complete and on disk.
// Until then the target is never touched; an abandoned file is removed.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/atomic_file.h"

namespace kelp::kzip {

class OutputArchive {
  public:
    OutputArchive() = default;
    ~OutputArchive();
    OutputArchive(const OutputArchive&) = delete;
    OutputArchive& operator=(const OutputArchive&) = delete;

    // Creates the temporary file for target: in tempDir when it is given
    // and on the same file system as the target's folder, else beside it.
    bool Create(const std::string& target, const std::string& tempDir, std::string& error);

    bool Write(const void* data, size_t size);
    bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
    // Overwrites bytes already written (a header filled in afterwards).
    bool PatchAt(uint64_t offset, const void* data, size_t size);
    // Drops everything from offset on.
    bool Truncate(uint64_t offset);
    uint64_t offset() const { return offset_; }
    // The reason of the first failure, for messages.
    std::string ErrorText() const;

    // Flushes, syncs, gives the file mode and (when set) modification
    // time, and renames it over the target; the folder is synced too.
    bool Commit(mode_t mode, std::optional<int64_t> mtime, std::string& error);
    // Removes the temporary file.
    void Abort();
    // Writes out what is buffered and gives the temporary file's path, so
    // the new archive can be read back before it is committed; empty when
    // writing failed.
    std::string ReadablePath();

  private:
    bool Flush();
    bool Fail(int error);

    platform::AtomicFile file_;
    std::vector<uint8_t> buffer_;
    uint64_t offset_ = 0;   // logical end (file + buffer)
    uint64_t flushed_ = 0;  // bytes in the file
    int error_ = 0;
};

}  // namespace kelp::kzip
