// Turns the file specifications of an add into the list of files and
// folders to store, with the names they are stored under. A specification
// is a path whose last component may hold "*" and "?"; relative paths are
// taken from the current folder. Symbolic links are followed, or stored as
// links when the request says so. Stored names are always relative: a
// leading "/" is dropped and ".." components are refused.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "reporter.h"
#include "zip_request.h"

namespace kelp::kzip {

struct SourceItem {
    std::string path;  // as opened
    std::string name;  // stored name; folders end in "/"
    bool isDir = false;
    uint64_t size = 0;
    int64_t mtime = 0;
    uint32_t mode = 0;  // st_mode
    size_t spec = 0;    // the specification that named it
};

class SourceScanner {
  public:
    // skip: device and inode of files never to add (the archive itself).
    SourceScanner(const ZipRequest& request, Reporter& reporter,
                  std::set<std::pair<dev_t, ino_t>> skip)
        : request_(request), reporter_(reporter), skip_(std::move(skip)) {}

    std::vector<SourceItem> Scan();
    int warnings() const { return warnings_; }

  private:
    void ScanSpec(size_t index);
    // Adds the entries of a folder that match pattern; with recurse the
    // subfolders too (a folder that matches is taken whole).
    void ScanFolder(const std::string& path, const std::string& prefix, const std::string& pattern,
                    bool recurse, size_t spec);
    // Adds one path found by name; false when it was skipped.
    void AddPath(const std::string& path, const std::string& name, bool recurse, size_t spec);
    bool Excluded(const std::string& name) const;
    // stat, or lstat when links are stored as links.
    bool Stat(const std::string& path, struct stat& st) const;
    void Warn(const std::string& text);

    const ZipRequest& request_;
    Reporter& reporter_;
    std::set<std::pair<dev_t, ino_t>> skip_;
    std::set<std::pair<dev_t, ino_t>> openDirs_;  // folders being walked (loops)
    std::vector<SourceItem> items_;
    int warnings_ = 0;
};

}  // namespace kelp::kzip
