#include "lib_harness.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "engine/param_blocks.h"
#include "engine/zip_engine.h"

namespace fs = std::filesystem;

namespace harness {
namespace {

template <typename Exec>
Exec Load(const char* file, const char* entry) {
    void* handle = dlopen((std::string(KELP_LIB_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw std::runtime_error(dlerror());
    auto exec = reinterpret_cast<Exec>(dlsym(handle, entry));
    if (!exec) throw std::runtime_error(std::string(entry) + " missing");
    return exec;
}

int32_t Callback(KCallbackRecord* record) {
    auto* call = static_cast<LibCall*>(record->EngineRef);
    call->seen.push_back({record->Action, record->Number1, record->Number2,
                          std::string(record->Text, strnlen(record->Text, sizeof(record->Text)))});
    if (call->answer) return call->answer(*record);
    // Like the engine without a password dialog: no password.
    if (record->Action == KCB_PASSWORD) record->Number1 = 0;
    return 0;
}

// The fields every block starts with, pointing back at the call.
template <typename Block>
void FillHeader(Block& b, LibCall& call, char* password) {
    b.EngineRef = &call;
    b.CallerVersion = KELP_CALLER_VERSION;
    b.Callback = Callback;
    b.PasswordText = password;
    b.QuietOn = KELP_TRUE;
    b.ArchiveNameText = call.archive.data();
}

// Runs `run` in `folder` (when given), then returns to the current folder.
template <typename Run>
int32_t InFolder(const std::string& folder, Run run) {
    const fs::path cwd = fs::current_path();
    if (!folder.empty()) fs::current_path(folder);
    const int32_t result = run();
    fs::current_path(cwd);
    return result;
}

}  // namespace

int Shell(const std::string& command, std::string* output) {
    fixtures::CommandResult r = fixtures::RunShell(command + " 2>&1");
    if (output) *output = r.out;
    return r.exitCode;
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

std::string ZipInfo(const std::string& archive) {
    std::string out;
    Shell(
        "python3 -c \"import zipfile,sys\n"
        "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
        " print(i.filename, i.compress_type, i.flag_bits, i.create_system, "
        "oct(i.external_attr>>16), i.file_size)\" " +
            Quote(archive),
        &out);
    return out;
}

std::string RawMembers(const std::string& archive) {
    std::string out;
    Shell(
        "python3 -c \"import zipfile,sys,hashlib,struct\n"
        "z=zipfile.ZipFile(sys.argv[1]); f=open(sys.argv[1],'rb')\n"
        "for i in z.infolist():\n"
        " f.seek(i.header_offset); h=f.read(30)\n"
        " n,e=struct.unpack('<HH',h[26:30])\n"
        " f.seek(i.header_offset)\n"
        " print(i.filename, hashlib.sha1(f.read(30+n+e+i.compress_size)).hexdigest())\" " +
            Quote(archive),
        &out);
    return out;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<SeenCallback> LibCall::Actions(int32_t action) const {
    std::vector<SeenCallback> out;
    for (const auto& s : seen)
        if (s.action == action) out.push_back(s);
    return out;
}

std::string LibCall::Messages() const {
    std::string out;
    for (const auto& s : Actions(KCB_MESSAGE)) out += s.text + "\n";
    return out;
}

int32_t UnzipCall::Run() {
    static const auto exec = Load<KUnzipExecFn>(KUNZIP_LIBRARY_FILE, KUNZIP_EXEC_NAME);
    seen.clear();
    kelp::engine::UnzipParamBlock block(oldLayout ? 0 : KUNZIP_CURRENT_LAYOUT_VERSION);
    char* passwordText = block.strings.Copy(password);
    block.Common([&](auto& b) {
        FillHeader(b, *this, passwordText);
        b.TestOn = kelp::engine::Bool32(test);
        b.UpdateOn = kelp::engine::Bool32(update);
        b.FreshenOn = kelp::engine::Bool32(freshen);
        b.DirNamesOn = kelp::engine::Bool32(dirNames);
        b.OverwriteOn = kelp::engine::Bool32(overwrite);
    });
    if (block.CurrentLayout()) {
        KUnzipParams& b = block.Current();
        b.ToMemory = kelp::engine::Bool32(memory != nullptr);
        b.MemoryAddress = memory;
        b.MemorySize = memorySize;
        b.PasswordTries = passwordTries;
        b.TargetDirText = targetDir.empty() ? nullptr : targetDir.data();
    }
    block.SetSpecs(specs);
    block.SetEndMarker();
    // The old layout knows only the current folder.
    return result = InFolder(oldLayout ? targetDir : "", [&] { return exec(block.Data()); });
}

int32_t ZipCall::Run() {
    static const auto exec = Load<KZipExecFn>(KZIP_LIBRARY_FILE, KZIP_EXEC_NAME);
    seen.clear();
    kelp::engine::ZipParamBlock block(oldLayout ? 0 : KZIP_CURRENT_LAYOUT_VERSION);
    char* passwordText = password.empty() ? nullptr : block.strings.Copy(password);
    block.Common([&](auto& b) {
        FillHeader(b, *this, passwordText);
        b.StoreSuffixes = storeSuffixes.empty() ? nullptr : storeSuffixes.data();
        b.EncryptOn = kelp::engine::Bool32(encrypt && !deleteMode);
        b.SystemFilesOn = kelp::engine::Bool32(hiddenFiles);
        b.SkipDirEntries = kelp::engine::Bool32(!separateDirs);
        b.CompressionLevel = level;
        b.DropPaths = kelp::engine::Bool32(!dirNames && !deleteMode);
        b.RecurseOn = static_cast<KBool16>(recurse && !deleteMode ? -1 : 0);
        b.Reserved80 = deleteMode ? 0 : -1;
        b.ForceDosOn = kelp::engine::Bool32(forceDos);
        b.MoveOn = kelp::engine::Bool32(move && !deleteMode);
        b.DeleteMode = kelp::engine::Bool32(deleteMode);
        b.UpdateOn = kelp::engine::Bool32(update && !deleteMode);
        b.FreshenOn = kelp::engine::Bool32(freshen && !update && !deleteMode);
        b.ArchiveTimeOn = kelp::engine::Bool32(archiveTime);
    });
    if (block.CurrentLayout()) {
        KZipParams& b = block.Current();
        b.TempDirText = tempDir.empty() ? nullptr : tempDir.data();
        b.CommentText = comment.empty() ? nullptr : comment.data();
        b.StoreLinks = kelp::engine::Bool32(storeLinks);
        b.Encryption = aes ? KZIP_ENCRYPT_AES256 : KZIP_ENCRYPT_ZIPCRYPTO;
        block.SetExcludes(excludes);
    }
    block.SetEndMarker();
    // Add lines are read in the call's folder: a line naming a file there
    // is that file.
    return result = InFolder(currentDir, [&] {
               if (deleteMode)
                   block.SetSpecs(specs);
               else
                   block.SetAddSpecs(specs, {});
               return exec(block.Data());
           });
}

}  // namespace harness
