#include "kunzip_harness.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace harness {
namespace {

struct Library {
    void* handle = nullptr;
    KUnzipExecFn exec = nullptr;
    Library() {
        handle = dlopen(KELP_LIB_DIR "/" KUNZIP_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw std::runtime_error(dlerror());
        exec = reinterpret_cast<KUnzipExecFn>(dlsym(handle, KUNZIP_EXEC_NAME));
        if (!exec) throw std::runtime_error("KUnzipExec missing");
    }
};

Library& Lib() {
    static Library lib;
    return lib;
}

int32_t Callback(KCallbackRecord* record) {
    auto* call = static_cast<UnzipCall*>(record->EngineRef);
    call->seen.push_back({record->Action, record->Number1, record->Number2,
                          std::string(record->Text, strnlen(record->Text, sizeof(record->Text)))});
    return call->answer ? call->answer(*record) : 0;
}

}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "kelp-libs-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

int Shell(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) out.append(buf, n);
    int status = pclose(pipe);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, Entry> Snapshot(const std::string& root) {
    std::map<std::string, Entry> out;
    if (!fs::exists(root)) return out;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        Entry e;
        struct stat st {};
        lstat(item.path().c_str(), &st);
        e.isDir = S_ISDIR(st.st_mode);
        e.mtime = st.st_mtime;
        if (!e.isDir) e.content = ReadFile(item.path());
        out[fs::relative(item.path(), root).string()] = std::move(e);
    }
    return out;
}

std::string CompareTrees(const std::string& expected, const std::string& actual) {
    auto want = Snapshot(expected);
    auto got = Snapshot(actual);
    for (const auto& [name, e] : want) {
        auto it = got.find(name);
        if (it == got.end()) return "missing: " + name;
        if (it->second.isDir != e.isDir) return "kind differs: " + name;
        if (it->second.content != e.content) return "content differs: " + name;
        if (!e.isDir && std::llabs(it->second.mtime - e.mtime) > 2)
            return "time differs: " + name + " " + std::to_string(e.mtime) + " vs " +
                   std::to_string(it->second.mtime);
    }
    for (const auto& [name, e] : got)
        if (!want.count(name)) return "unexpected: " + name;
    return {};
}

int32_t UnzipCall::Run() {
    seen.clear();
    std::vector<KUnzipSpec> table(specs.size());
    for (size_t i = 0; i < specs.size(); ++i) table[i].SpecText = specs[i].data();
    // The old layout knows only the current folder; the current one is told.
    std::string cwd = fs::current_path().string();
    if (oldLayout && !targetDir.empty()) fs::current_path(targetDir);
    // Both layouts share every field up to the specification table.
    auto fill = [&](auto& block) {
        auto flag = [](bool on) { return on ? KELP_TRUE : KELP_FALSE; };
        block.EngineRef = this;
        block.CallerVersion = KELP_CALLER_VERSION;
        block.Callback = Callback;
        block.PasswordText = password.data();
        block.TestOn = flag(test);
        block.QuietOn = KELP_TRUE;
        block.UpdateOn = flag(update);
        block.FreshenOn = flag(freshen);
        block.DirNamesOn = flag(dirNames);
        block.OverwriteOn = flag(overwrite);
        block.SpecCount = static_cast<int32_t>(specs.size());
        block.ArchiveNameText = archive.data();
        block.EndMarker = KELP_END_MARKER;
    };
    if (oldLayout) {
        auto block = std::make_unique<KUnzipParamsOld>();
        *block = {};
        fill(*block);
        for (size_t i = 0; i < specs.size(); ++i) block->SpecTexts[i] = specs[i].data();
        result = Lib().exec(block.get());
    } else {
        KUnzipParams block{};
        fill(block);
        block.SpecTable = table.empty() ? nullptr : table.data();
        block.ToMemory = memory ? KELP_TRUE : KELP_FALSE;
        block.MemoryAddress = memory;
        block.MemorySize = memorySize;
        block.PasswordTries = passwordTries;
        block.TargetDirText = targetDir.empty() ? nullptr : targetDir.data();
        result = Lib().exec(&block);
    }
    fs::current_path(cwd);
    return result;
}

std::vector<SeenCallback> UnzipCall::Actions(int32_t action) const {
    std::vector<SeenCallback> out;
    for (const auto& s : seen)
        if (s.action == action) out.push_back(s);
    return out;
}

std::string UnzipCall::Messages() const {
    std::string out;
    for (const auto& s : Actions(KCB_MESSAGE)) out += s.text + "\n";
    return out;
}

}  // namespace harness
