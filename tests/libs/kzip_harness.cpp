#include "kzip_harness.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;

namespace harness {
namespace {

struct Library {
    void* handle = nullptr;
    KZipExecFn exec = nullptr;
    Library() {
        handle = dlopen(KELP_LIB_DIR "/" KZIP_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw std::runtime_error(dlerror());
        exec = reinterpret_cast<KZipExecFn>(dlsym(handle, KZIP_EXEC_NAME));
        if (!exec) throw std::runtime_error("KZipExec missing");
    }
};

Library& Lib() {
    static Library lib;
    return lib;
}

int32_t Callback(KCallbackRecord* record) {
    auto* call = static_cast<ZipCall*>(record->EngineRef);
    call->seen.push_back({record->Action, record->Number1, record->Number2,
                          std::string(record->Text, strnlen(record->Text, sizeof(record->Text)))});
    if (call->answer) return call->answer(*record);
    // Like the engine without a password dialog: no password.
    if (record->Action == KCB_PASSWORD) record->Number1 = 0;
    return 0;
}

KBool32 Flag(bool on) {
    return on ? KELP_TRUE : KELP_FALSE;
}

}  // namespace

int32_t ZipCall::Run() {
    seen.clear();
    // Texts the block points at live here for the call.
    std::vector<std::string> texts, passwords;
    std::vector<KZipSpec> table(specs.size());
    texts.reserve(specs.size());
    passwords.reserve(specs.size());
    for (size_t i = 0; i < specs.size(); ++i) {
        std::string line = specs[i];
        KZipSpec& s = table[i];
        s.SpecRecurse = static_cast<KBool16>(recurse ? -1 : 0);
        s.SpecEncrypt = Flag(encrypt);
        passwords.push_back(password);
        if (!deleteMode) {
            if (!line.empty() && (line[0] == '>' || line[0] == '|')) {
                s.SpecRecurse = static_cast<KBool16>(line[0] == '>' ? -1 : 0);
                line.erase(0, 1);
            }
            if (size_t lt = line.find('<'); lt != std::string::npos) {
                passwords.back() = line.substr(lt + 1);
                s.SpecEncrypt = passwords.back().empty() ? 0 : 0xFFFF;
                line.erase(lt);
            }
        }
        texts.push_back(oldLayout ? specs[i] : line);
        s.SpecText = texts.back().data();
        s.SpecPassword = passwords.back().empty() ? nullptr : passwords.back().data();
    }
    std::vector<char*> excludeTable;
    for (auto& e : excludes) excludeTable.push_back(e.data());
    std::string cwd = fs::current_path().string();
    if (!currentDir.empty()) fs::current_path(currentDir);
    auto fill = [&](auto& b) {
        b.EngineRef = this;
        b.CallerVersion = KELP_CALLER_VERSION;
        b.Callback = Callback;
        b.PasswordText = password.empty() ? nullptr : password.data();
        b.StoreSuffixes = storeSuffixes.empty() ? nullptr : storeSuffixes.data();
        b.EncryptOn = Flag(encrypt && !deleteMode);
        b.SystemFilesOn = Flag(hiddenFiles);
        b.SkipDirEntries = Flag(!separateDirs);
        b.QuietOn = KELP_TRUE;
        b.CompressionLevel = level;
        b.DropPaths = Flag(!dirNames && !deleteMode);
        b.RecurseOn = static_cast<KBool16>(recurse && !deleteMode ? -1 : 0);
        b.Reserved80 = deleteMode ? 0 : -1;
        b.ForceDosOn = Flag(forceDos);
        b.MoveOn = Flag(move && !deleteMode);
        b.DeleteMode = Flag(deleteMode);
        b.UpdateOn = Flag(update && !deleteMode);
        b.FreshenOn = Flag(freshen && !update && !deleteMode);
        b.ArchiveTimeOn = Flag(archiveTime);
        b.SpecCount = static_cast<int32_t>(specs.size());
        b.ArchiveNameText = archive.data();
        b.EndMarker = KELP_END_MARKER;
    };
    if (oldLayout) {
        auto block = std::make_unique<KZipParamsOld>();
        *block = {};
        fill(*block);
        for (size_t i = 0; i < texts.size(); ++i) block->SpecTexts[i] = texts[i].data();
        result = Lib().exec(block.get());
    } else {
        KZipParams block{};
        fill(block);
        block.SpecTable = table.empty() ? nullptr : table.data();
        block.TempDirText = tempDir.empty() ? nullptr : tempDir.data();
        block.CommentText = comment.empty() ? nullptr : comment.data();
        block.ExcludeCount = static_cast<int32_t>(excludeTable.size());
        block.ExcludeTable = excludeTable.empty() ? nullptr : excludeTable.data();
        block.StoreLinks = Flag(storeLinks);
        block.Encryption = aes ? KZIP_ENCRYPT_AES256 : KZIP_ENCRYPT_ZIPCRYPTO;
        result = Lib().exec(&block);
    }
    fs::current_path(cwd);
    return result;
}

std::vector<SeenCallback> ZipCall::Actions(int32_t action) const {
    std::vector<SeenCallback> out;
    for (const auto& s : seen)
        if (s.action == action) out.push_back(s);
    return out;
}

std::string ZipCall::Messages() const {
    std::string out;
    for (const auto& s : Actions(KCB_MESSAGE)) out += s.text + "\n";
    return out;
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

}  // namespace harness
