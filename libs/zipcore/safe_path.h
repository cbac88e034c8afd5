// Turning member names into places below the extraction folder, and
// writing there without ever leaving it: names with ".." components,
// absolute paths and drive letters are refused, and every folder on the
// way is opened without following symbolic links.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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

// Many folders below one base folder, each opened (or made) once for all
// the members in it, the way TargetDir opens one: component by component,
// without following symbolic links. The folders stay open until the cache
// holds too many or is destroyed.
class FolderCache {
  public:
    explicit FolderCache(int baseFd) : baseFd_(baseFd) {}
    ~FolderCache() { Clear(); }
    FolderCache(const FolderCache&) = delete;
    FolderCache& operator=(const FolderCache&) = delete;

    // The open folder dirs below the base (the base itself for none), or
    // -1 with error set. The descriptor stays the cache's and is valid until
    // the next call. create: make missing folders.
    int Open(const std::vector<std::string>& dirs, bool create, std::string& error);

  private:
    void Clear();

    int baseFd_;
    std::unordered_map<std::string, int> open_;  // by the folders' path below the base
};

// A member being written into a folder: a file of that name created new
// (nothing to lose, so written in place), else written under a temporary
// name (a platform::AtomicFile) that Commit renames over the existing one.
// Abort (or destruction) removes what was written, so a failed member never
// leaves partial output behind nor loses the file it was to replace.
// Members are not synced one by one.
class OutputFile {
  public:
    bool Create(int dirFd, const std::string& leaf, std::string& error);
    // Only a new file: false when anything of that name exists.
    bool CreateNew(int dirFd, const std::string& leaf);
    bool Write(const void* data, size_t size) { return file_.Write(data, size); }
    // mtime: seconds since the epoch; mode: permission bits, 0 = default.
    bool Commit(int64_t mtime, unsigned mode, std::string& error);
    void Abort() { file_.Abort(); }

  private:
    platform::AtomicFile file_;
    std::string leaf_;
};

// What a folder gets once everything inside it was written.
struct DirStamp {
    int64_t mtime = 0;  // seconds since the epoch
    unsigned mode = 0;  // permission bits, 0 = leave them
};

// Sets the modification time (and permission bits) of a folder below the
// base (no links followed).
void SetDirTime(int baseFd, const std::vector<std::string>& dirs, const DirStamp& stamp);

// Whether a symbolic link named leaf in the folder dirs (below the base,
// already opened as real folders) pointing at target leads to a place
// inside the base. Links already on disk on the way are followed (at most
// 40); refused are absolute targets, climbs above the base and ".." after
// a name that is not a real folder yet (a link made later could move it).
// reason says why when false.
bool LinkStaysInside(int baseFd, const std::vector<std::string>& dirs, const std::string& leaf,
                     const std::string& target, std::string& reason);

// Makes a symbolic link named leaf in dirFd under a temporary name, sets
// its time and renames it over leaf (replacing a file or link, never
// following one).
bool CreateLink(int dirFd, const std::string& leaf, const std::string& target, int64_t mtime,
                std::string& error);

}  // namespace kelp::zip
