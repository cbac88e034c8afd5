// Drives libkunzip.so through its C interface for the tests: loads it with
// dlopen, fills real parameter blocks, records every callback and answers
// the questions the library asks.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kelp_lib_abi.h"

namespace harness {

// A fresh folder, removed with its contents afterwards.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Runs a shell command; returns its exit status and standard output.
int Shell(const std::string& command, std::string* output = nullptr);
std::string Quote(const std::string& word);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

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

struct SeenCallback {
    int32_t action;
    int32_t number1;
    int32_t number2;
    std::string text;
};

struct UnzipCall {
    std::string archive;
    std::vector<std::string> specs;
    std::string password;
    bool test = false;
    bool dirNames = true;
    bool overwrite = false;
    bool freshen = false;
    bool update = false;
    int passwordTries = 1;
    uint8_t* memory = nullptr;
    uint32_t memorySize = 0;
    bool oldLayout = false;
    std::string targetDir;  // TargetDirText; with the old layout the current folder

    // Answers the library's questions; it may change the record and return
    // KELP_CALLBACK_CANCEL.
    std::function<int32_t(KCallbackRecord&)> answer;

    // Filled by Run.
    std::vector<SeenCallback> seen;
    int32_t result = -1;

    int32_t Run();
    std::vector<SeenCallback> Actions(int32_t action) const;
    // All messages (code 4), one per line.
    std::string Messages() const;
};

}  // namespace harness
