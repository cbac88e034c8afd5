// Replacing a file safely: the new contents go to a temporary file beside the
// target, which is flushed to disk and renamed over the target only when
// complete. Until Commit the target is untouched; a file never committed is
// removed. The process-wide file-creation mask is only ever read.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kelp::platform {

// The process's file-creation mask, read from /proc without changing it
// (umask() would change it, for a moment, for every thread); 022 when unknown.
mode_t CurrentUmask();
// The permission bits of a newly created file: 0666 less the mask.
mode_t DefaultFileMode();

class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile() { Abort(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `target`: in `tempFolder` when that is
    // given and on the same file system as the target's folder (a rename
    // works only within one), else in the target's folder.
    bool Create(const std::string& target, const std::string& tempFolder = std::string());
    // Creates the temporary file for the name `leaf` in the folder open as
    // `dirFd`, which the caller keeps open until Commit or Abort. Neither
    // name is followed when it is a symbolic link.
    bool CreateIn(int dirFd, const std::string& leaf);
    // Creates `leaf` itself in the folder open as `dirFd`, when nothing of
    // that name exists there (else fails with EEXIST): with nothing to
    // replace, no temporary name is needed. Commit keeps the file and Abort
    // removes it, as with a temporary file.
    bool CreateNewIn(int dirFd, const std::string& leaf);

    int fd() const { return fd_; }
    // The temporary file's path (after CreateIn: its name in the folder).
    const std::string& TempPath() const { return tempName_; }

    // Writes all of `size` bytes at the file's position.
    bool Write(const void* data, size_t size);

    // Gives the file `mode` and, when set, the modification time `mtime`
    // (seconds since the epoch), closes it and renames it over the target.
    // When `durable`, the file is flushed to disk first and the folder after
    // the rename, so that the new contents last. On failure the temporary
    // file is removed and the target left as it was.
    bool Commit(mode_t mode, std::optional<int64_t> mtime = std::nullopt, bool durable = true);
    // Closes and removes the temporary file.
    void Abort();

    // errno of the first failure (0 when none) and its text.
    int Error() const { return error_; }
    std::string ErrorText() const;

  private:
    bool Open(int dirFd, const std::string& folder, const std::string& leaf);
    bool Fail(int error);

    int fd_ = -1;
    int dirFd_ = -1;         // the folder names are resolved in
    std::string tempName_;   // relative to dirFd_ (a path with AT_FDCWD)
    std::string finalName_;  // likewise; equal to tempName_ for a new file
    int error_ = 0;
};

// Writes `bytes` to `path` through an AtomicFile with the given mode.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, mode_t mode);

}  // namespace kelp::platform
