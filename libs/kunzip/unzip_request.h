// What one call of the decompression library is asked to do, read from
// either layout of the parameter block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kelp_lib_abi.h"

namespace kelp::kunzip {

struct UnzipRequest {
    KCallbackFn callback = nullptr;
    void* engineRef = nullptr;
    bool test = false;
    bool update = false;
    bool freshen = false;
    bool dirNames = false;
    bool overwrite = false;
    bool verbose = false;
    std::string password;
    std::string archive;
    std::vector<std::string> specs;  // empty: every member
    bool exactNames = false;         // specs are exact names, not patterns
    bool check = false;              // testing, the structure is checked too
    std::string nameCharset;         // code page of names that are not UTF-8; empty: detected
    bool toMemory = false;
    uint8_t* memory = nullptr;
    uint32_t memorySize = 0;
    int passwordTries = 0;
    std::string targetDir;                 // empty: the current folder
    std::string repairTarget;              // testing: salvage the archive into this file instead
    const KDirectoryLoan* loan = nullptr;  // the caller's directory, when lent
};

// Reads a parameter block. The layout is told by the end marker: the old
// layout has it where the current one holds the specification table.
// Returns nothing when neither layout carries the marker.
std::optional<UnzipRequest> ReadRequest(const void* block);

}  // namespace kelp::kunzip
