// Writing an edited copy of one member back into its archive, stored the way
// the member was: its method and level, its encryption and password, its
// Unix mode. Every other member is copied as it stands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/zip_dir_entry.h"
#include "engine/zip_engine.h"

namespace kelp::engine {

// What tells one state of a file from another: which file it is (device and
// inode), its size and its modification time in nanoseconds.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the file at `path`; none when it is missing or no file.
std::optional<FileStamp> StampOf(const std::string& path);

// How a member is stored, read from its record.
struct MemberStorage {
    uint16_t method = 0;  // the data's method (for AES, the inner one)
    int level = 6;        // deflate: from flag bits 1-2; other methods record none
    bool encrypted = false;
    bool aes = false;       // AES (written as AES-256) rather than ZipCrypto
    uint32_t unixMode = 0;  // permission bits when made on Unix, else 0
};
// `otherLevel` is used for methods whose records say nothing of a level.
MemberStorage StorageOf(const ZipDirEntry& entry, int otherLevel);

// The method the compression library writes `method` with; none for methods
// it can only read (Deflate64, PPMd, the old ones).
std::optional<AddMethodEnum> WritableMethod(uint16_t method);

struct MemberWriteBack {
    std::string archive;
    std::string member;    // the exact stored name
    std::string file;      // the edited copy
    std::string password;  // the member's password; "" when not encrypted
    MemberStorage storage;
    AddMethodEnum method = AddMethodDeflate;  // what to write it with
    // A folder of the caller's own on any file system: the staged copy and
    // the kept archive live there until they go.
    std::string scratch;
};

// Replaces the member's data in the archive with the file's bytes; the
// modification time becomes the file's. The archive is written to a
// temporary file and swapped in when complete; the archive as it was then
// goes to the trash. False, with `error` saying why and the archive left as
// it was, when that cannot be done. The engine's add settings are restored.
bool ReplaceMember(ZipEngine& engine, const MemberWriteBack& w, std::string& error);

// Whether the compression library stores `name` exactly as given (names
// with "." or ".." parts, empty parts or a leading "/" it would change).
bool StorableAsIs(const std::string& name);

}  // namespace kelp::engine
