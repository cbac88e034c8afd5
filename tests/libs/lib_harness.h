// Drives libkzip.so and libkunzip.so through their C interface for the
// tests: loads them with dlopen, fills the engine's own parameter blocks
// (engine/param_blocks.h), records every callback and answers the
// libraries' questions.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "libs/include/kelp_lib_abi.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace harness {

using TempFolder = fixtures::TempDir;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::WriteFile;

// Runs a shell command; returns its exit status and what it printed on
// either output.
int Shell(const std::string& command, std::string* output = nullptr);

struct Entry {
    bool isDir = false;
    std::string content;
    int64_t mtime = 0;
};
// Every file and folder below root, by relative path.
std::map<std::string, Entry> Snapshot(const std::string& root);
// Empty when both trees hold the same names and contents and file times
// within two seconds; else a description of the first difference.
std::string CompareTrees(const std::string& expected, const std::string& actual);
// Python's zipfile view of an archive, one line per member:
// "name method flags hostsystem mode size", for exact checks.
std::string ZipInfo(const std::string& archive);
// Each member's raw bytes (local header to end of data), hashed, by name.
std::string RawMembers(const std::string& archive);
// Files in a folder (names only), to spot leftovers.
std::vector<std::string> FolderNames(const std::string& folder);

struct SeenCallback {
    int32_t action;
    int32_t number1;
    int32_t number2;
    std::string text;
};

// What both calls share: the answers, the callbacks seen and the result.
struct LibCall {
    std::string archive;
    std::vector<std::string> specs;
    std::string password;
    bool oldLayout = false;
    // Answers the library's questions; it may change the record and return
    // KELP_CALLBACK_CANCEL.
    std::function<int32_t(KCallbackRecord&)> answer;

    std::vector<SeenCallback> seen;
    int32_t result = -1;

    std::vector<SeenCallback> Actions(int32_t action) const;
    // All messages (code 4), one per line.
    std::string Messages() const;
};

struct UnzipCall : LibCall {
    bool test = false;
    bool dirNames = true;
    bool overwrite = false;
    bool freshen = false;
    bool update = false;
    int passwordTries = 1;
    uint8_t* memory = nullptr;
    uint32_t memorySize = 0;
    std::string targetDir;  // TargetDirText; with the old layout the current folder

    int32_t Run();
};

struct ZipCall : LibCall {
    // Lines as the engine gets them: ">" or "|" in front switch recursion,
    // "<password" (or a bare "<") at the end sets this line's password.
    std::vector<std::string> excludes;
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
    std::string currentDir;  // the current folder during the call

    int32_t Run();
};

}  // namespace harness
