#include "engine/member_writeback.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "libs/include/kelp_lib_abi.h"
#include "libs/zipcore/method_decoders.h"  // the method numbers
#include "libs/zipcore/zip_records.h"
#include "platform/trash.h"

namespace kelp::engine {

namespace fs = std::filesystem;
namespace zip = kelp::zip;

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                     static_cast<int64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

MemberStorage StorageOf(const ZipDirEntry& entry, int otherLevel) {
    MemberStorage s;
    s.method = entry.DataMethod();
    s.encrypted = entry.IsEncrypted();
    s.aes = entry.Method() == zip::kMethodAes;
    if (entry.HostSystem() == zip::kHostUnix)
        s.unixMode = (entry.ExternalAttributes() >> 16) & 07777;
    // Deflate records its level in flag bits 1 and 2: normal, maximum, fast,
    // super fast.
    static constexpr int kDeflateLevels[4] = {6, 9, 2, 1};
    if (s.method == zip::kMethodDeflated)
        s.level = kDeflateLevels[(entry.GeneralFlags() >> 1) & 3];
    else if (s.method == zip::kMethodStored)
        s.level = 0;
    else
        s.level = otherLevel;
    return s;
}

std::optional<AddMethodEnum> WritableMethod(uint16_t method) {
    switch (method) {
        case zip::kMethodStored:
            return AddMethodStore;
        case zip::kMethodDeflated:
            return AddMethodDeflate;
        case zip::kMethodBzip2:
            return AddMethodBzip2;
        case zip::kMethodLzma:
            return AddMethodLzma;
        case zip::kMethodXz:
            return AddMethodXz;
        case zip::kMethodZstd:
            return AddMethodZstd;
        default:
            return std::nullopt;
    }
}

bool StorableAsIs(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.back() == '/') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string_view part(name.data() + start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return name.size() < KELP_CALLBACK_TEXT_SIZE && name.find('\0') == std::string::npos;
}

namespace {

// Keeps the archive as it was: a second name for the same file (the swap
// leaves it the old bytes), or a copy where no such name can be made.
bool KeepArchive(const std::string& archive, const std::string& keep) {
    std::error_code ec;
    fs::remove(keep, ec);
    if (::link(archive.c_str(), keep.c_str()) == 0) return true;
    return fs::copy_file(archive, keep, ec);
}

// The caller's rename event, put back when the write-back is done.
struct NewNameEvent {
    ZipEngine& engine;
    decltype(ZipEngine::OnSetNewName) saved = engine.OnSetNewName;
    ~NewNameEvent() { engine.OnSetNewName = std::move(saved); }
};

}  // namespace

bool ReplaceMember(ZipEngine& engine, const MemberWriteBack& w, std::string& error) {
    if (!StorableAsIs(w.member)) {
        error = "the name " + w.member + " cannot be stored as it stands";
        return false;
    }
    // Written without its password it would lose its encryption.
    if (w.storage.encrypted && w.password.empty()) {
        error = "the password " + w.member + " was opened with is not known";
        return false;
    }
    std::error_code ec;
    // The copy that goes in is taken now, so that a save meanwhile cannot
    // tear it; it carries the member's mode and the file's time.
    const fs::path stage = fs::path(w.scratch) / "stage";
    fs::remove_all(stage, ec);
    fs::create_directories(stage, ec);
    const fs::path leaf = fs::path(w.member).filename();
    const fs::path staged = stage / leaf;
    struct stat edited {};
    if (ec || ::stat(w.file.c_str(), &edited) != 0 ||
        !fs::copy_file(w.file, staged, fs::copy_options::overwrite_existing, ec)) {
        error = "cannot read " + w.file;
        return false;
    }
    const mode_t mode = w.storage.unixMode ? w.storage.unixMode : (edited.st_mode & 07777);
    const struct timespec times[2] = {edited.st_atim, edited.st_mtim};
    if (::chmod(staged.c_str(), mode | S_IRUSR) != 0 ||
        ::utimensat(AT_FDCWD, staged.c_str(), times, 0) != 0) {
        error = "cannot prepare " + staged.string();
        return false;
    }
    const std::string keep = (fs::path(w.scratch) / "archive-as-it-was").string();
    if (!KeepArchive(w.archive, keep)) {
        error = "cannot keep a copy of " + w.archive + " for the trash";
        return false;
    }

    bool done = false;
    {
        NewNameEvent restore{engine};
        engine.setZipFileName(w.archive);
        AddRequest request;
        request.archive = w.archive;
        request.method = w.method;
        request.level = w.method == AddMethodStore ? 0 : w.storage.level;
        request.encryption = w.storage.aes ? aeAES256 : aeZipCrypto;
        // Stored under its own name whatever its suffix; a dot-file too.
        request.options = AddOpts{AddHiddenFiles};
        request.storeSuffixes = AddStoreExts{};
        request.sources = {
            AddSource{staged.string(), false, w.storage.encrypted ? w.password : std::string()}};
        // The library names the file by its leaf; it is stored at the
        // member's own path.
        const std::string leafName = leaf.string();
        engine.OnSetNewName = [&](std::string& name, bool& changed) {
            if (name != leafName) return;
            name = w.member;
            changed = true;
        };
        engine.Run(request);
        done = engine.SuccessCount() > 0;
    }
    fs::remove_all(stage, ec);
    if (!done) {
        fs::remove(keep, ec);
        error = "the archive was not changed (the log says why)";
        return false;
    }
    // The archive as it was goes to the trash under its own name and place.
    if (!platform::MoveToTrash(keep, w.archive)) {
        fs::remove(keep, ec);
        error = "the archive was updated, but its old version could not be put in the trash";
    }
    return true;
}

}  // namespace kelp::engine
