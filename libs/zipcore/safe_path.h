// Turning member names into places below the extraction folder, and
// writing there without ever leaving it: names with ".." components,
// absolute paths and drive letters are refused, and every folder on the
// way is opened without following symbolic links.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace kelp::zip {

struct TargetName {
    bool ok = false;
    std::string reason;             // why the name was refused
    std::vector<std::string> dirs;  // folders below the base, in order
    std::string leaf;               // empty for a folder entry
    // A folder entry with no dirs names the target folder itself.
};

// "\" and "/" both separate; empty and "." components are dropped. Without
// keepDirs only the last component is kept.
TargetName ResolveMemberName(std::string_view name, bool keepDirs);

// A folder below the base folder, opened component by component with
// O_NOFOLLOW so that a symbolic link on the way is refused.
class TargetDir {
  public:
    TargetDir() = default;
    ~TargetDir();
    TargetDir(TargetDir&& other) noexcept;
    TargetDir& operator=(TargetDir&& other) noexcept;
    TargetDir(const TargetDir&) = delete;
    TargetDir& operator=(const TargetDir&) = delete;

    // baseFd stays owned by the caller. create: make missing folders.
    bool Open(int baseFd, const std::vector<std::string>& dirs, bool create, std::string& error);
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
};

// A member being written into a TargetDir under a temporary name (a
// platform::AtomicFile); Commit renames it over the final name, Abort (or
// destruction) removes it, so a failed member never leaves partial output
// behind. Members are not synced one by one.
class OutputFile {
  public:
    bool Create(int dirFd, const std::string& leaf, std::string& error);
    bool Write(const void* data, size_t size) { return file_.Write(data, size); }
    // mtime: seconds since the epoch; mode: permission bits, 0 = default.
    bool Commit(int64_t mtime, unsigned mode, std::string& error);
    void Abort() { file_.Abort(); }

  private:
    platform::AtomicFile file_;
    std::string leaf_;
};

// Sets the modification time of a folder below the base (no links followed).
void SetDirTime(int baseFd, const std::vector<std::string>& dirs, int64_t mtime);

}  // namespace kelp::zip
