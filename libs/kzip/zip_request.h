// What one call of the compression library is asked to do, read from
// either layout of the parameter block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kelp_lib_abi.h"

namespace kelp::kzip {

// One file specification: a path that may end in a wildcard pattern
// (adding), or a member name or pattern (deleting).
struct SpecLine {
    std::string text;
    bool recurse = false;
    bool encrypt = false;
    std::string password;  // empty: the block's password, else ask
};

struct ZipRequest {
    KCallbackFn callback = nullptr;
    void* engineRef = nullptr;
    bool verbose = false;
    std::string password;
    std::vector<std::string> storeSuffixes;  // ".gif", ".png", ...
    bool systemFiles = false;
    bool skipDirEntries = true;
    bool storeLinks = false;  // symbolic links stored as links, else followed
    int level = 9;
    uint16_t method = 8;  // the ZIP method of compressed members (deflate)
    bool dropPaths = false;
    bool forceDos = false;
    bool move = false;
    bool deleteMode = false;
    bool update = false;
    bool freshen = false;
    bool archiveTime = false;
    int32_t encryption = KZIP_ENCRYPT_ZIPCRYPTO;  // one of KZipEncryption
    std::string archive;
    std::string tempDir;
    std::optional<std::string> comment;  // a comment to write
    std::vector<SpecLine> specs;
    std::string nameCharset;  // the existing archive's names' code page; empty: detected
    bool exactNames = false;  // deleting: specs are exact member names, not patterns
    // Renaming: exact old and new names; a folder's ("x/") takes what lies under it.
    std::vector<std::pair<std::string, std::string>> renames;
    std::vector<std::string> excludes;
    const KDirectoryLoan* loan = nullptr;  // the existing archive's directory, when lent
};

// Reads a parameter block. The layout is told by the end marker: the old
// layout has it where the current one holds the temporary folder. Returns
// nothing when neither layout carries the marker.
std::optional<ZipRequest> ReadRequest(const void* block);

}  // namespace kelp::kzip
