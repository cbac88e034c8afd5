// Drives libkzip.so through its C interface for the tests: loads it with
// dlopen, fills real parameter blocks the way the engine does, records
// every callback and answers the library's questions.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kelp_lib_abi.h"
#include "kunzip_harness.h"

namespace harness {

struct ZipCall {
    std::string archive;
    // Lines as the engine gets them: ">" or "|" in front switch recursion,
    // "<password" (or a bare "<") at the end sets this line's password.
    std::vector<std::string> specs;
    std::vector<std::string> excludes;
    std::string password;
    std::string storeSuffixes = ".gif:.png:.z:.zip";
    std::string tempDir;
    std::string comment;
    int level = 9;
    bool deleteMode = false;
    bool recurse = false;
    bool dirNames = true;
    bool separateDirs = false;
    bool encrypt = false;
    bool aes = false;  // AES-256 rather than traditional encryption
    bool hiddenFiles = false;
    bool forceDos = false;
    bool move = false;
    bool update = false;
    bool freshen = false;
    bool archiveTime = false;
    bool storeLinks = false;
    bool oldLayout = false;
    std::string currentDir;  // the current folder during the call

    std::function<int32_t(KCallbackRecord&)> answer;

    std::vector<SeenCallback> seen;
    int32_t result = -1;

    int32_t Run();
    std::vector<SeenCallback> Actions(int32_t action) const;
    std::string Messages() const;
};

// Python's zipfile view of an archive, one line per member:
// "name method flags hostsystem mode size", for exact checks.
std::string ZipInfo(const std::string& archive);
// Each member's raw bytes (local header to end of data), hashed, by name.
std::string RawMembers(const std::string& archive);
// Files in a folder (names only), to spot leftovers.
std::vector<std::string> FolderNames(const std::string& folder);

}  // namespace harness
