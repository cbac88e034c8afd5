// Loading the compression and decompression libraries and filling the
// parameter blocks they are driven with.
#include <dlfcn.h>

#include <filesystem>

#include "engine/param_blocks.h"
#include "engine/zip_engine.h"

namespace kelp::engine {

namespace {

// One loaded library: shared by every engine in the process.
struct LibraryState {
    void* handle = nullptr;
    void* exec = nullptr;
    void* version = nullptr;
};
LibraryState g_zipLib;
LibraryState g_unzipLib;

struct LibraryNames {
    const char* file;
    const char* execName;
    const char* versionName;
    int notFound;
    int loaded;
    int execMissing;
    int versionMissing;
};
constexpr LibraryNames kZipNames{
    KZIP_LIBRARY_FILE,   KZIP_EXEC_NAME,        KZIP_VERSION_NAME,       MsgId::ZipLibNotFound,
    MsgId::ZipLibLoaded, MsgId::ZipExecMissing, MsgId::ZipVersionMissing};
constexpr LibraryNames kUnzipNames{KUNZIP_LIBRARY_FILE,       KUNZIP_EXEC_NAME,
                                   KUNZIP_VERSION_NAME,       MsgId::UnzipLibNotFound,
                                   MsgId::UnzipLibLoaded,     MsgId::UnzipExecMissing,
                                   MsgId::UnzipVersionMissing};

// The callback both libraries call; the record names the engine.
extern "C" int32_t EngineCallback(KCallbackRecord* record) {
    auto* engine = static_cast<ZipEngine*>(record->EngineRef);
    return engine ? engine->HandleCallback(*record) : 0;
}

// Filler for the password of an unattended call to an old library, which
// would otherwise stop to ask.
const std::string kFillerPassword(80, '~');

// The fields every block starts with.
template <typename Block>
void FillBlockHeader(Block& b, ZipEngine& engine, char* passwordText) {
    b.WindowHandle = engine.Unattended ? nullptr : engine.WindowHandle;
    b.EngineRef = &engine;
    b.CallerVersion = KELP_CALLER_VERSION;
    b.Callback = &EngineCallback;
    b.TraceOn = Bool32(engine.Trace);
    b.PasswordText = passwordText;
    b.QuietOn = KELP_TRUE;
    b.VerboseOn = Bool32(engine.Verbose || engine.Trace);
}

}  // namespace

void ZipEngine::setDLLDirectory(const std::string& folder) {
    if (folder == dllDirectory_) return;
    dllDirectory_ = folder;
    if (!dllDirectory_.empty() && dllDirectory_.back() == '/') dllDirectory_.pop_back();
}

void ZipEngine::setPasswordReqCount(uint32_t count) {
    passwordReqCount_ = std::min<uint32_t>(count, 15);
}

// The folder the program's libraries are installed in: lib/ beside the
// program's bin/ folder, as the program's run path says.
static std::string ProgramLibFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : (exe.parent_path().parent_path() / "lib").string();
}

// Loads from DLLDirectory when the file is there, else from the program's
// library folder, else by name in the system's search order.
static void Load(ZipEngine& engine, LibraryState& lib, const LibraryNames& names,
                 const std::string& folder, bool trace) {
    std::error_code ec;
    std::string path = names.file;
    for (const std::string& dir : {folder, ProgramLibFolder()}) {
        const std::string candidate = dir + "/" + names.file;
        if (!dir.empty() && std::filesystem::is_regular_file(candidate, ec)) {
            path = candidate;
            break;
        }
    }
    lib.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib.handle) {
        engine.ShowEngineMessage(names.notFound);
        return;
    }
    if (trace) engine.ShowEngineMessage(names.loaded);
    lib.exec = dlsym(lib.handle, names.execName);
    if (!lib.exec) engine.ShowEngineMessage(names.execMissing);
    lib.version = dlsym(lib.handle, names.versionName);
    if (!lib.version) engine.ShowEngineMessage(names.versionMissing);
}

static void Unload(LibraryState& lib) {
    if (lib.handle) dlclose(lib.handle);
    lib = LibraryState{};
}

static int Version(ZipEngine& engine, LibraryState& lib, void (ZipEngine::*load)(),
                   void (ZipEngine::*unload)()) {
    const bool loadedHere = !lib.handle;
    if (loadedHere) (engine.*load)();
    int version = 0;
    if (lib.handle && lib.version) version = reinterpret_cast<int32_t (*)()>(lib.version)();
    if (loadedHere) (engine.*unload)();
    return version;
}

void ZipEngine::LoadZipLib() {
    Load(*this, g_zipLib, kZipNames, dllDirectory_, Trace);
}
void ZipEngine::LoadUnzipLib() {
    Load(*this, g_unzipLib, kUnzipNames, dllDirectory_, Trace);
}
void ZipEngine::UnloadZipLib() {
    Unload(g_zipLib);
}
void ZipEngine::UnloadUnzipLib() {
    Unload(g_unzipLib);
}
bool ZipEngine::ZipLibLoaded() {
    return g_zipLib.handle != nullptr;
}
bool ZipEngine::UnzipLibLoaded() {
    return g_unzipLib.handle != nullptr;
}

int ZipEngine::ZipLibVersion() {
    return Version(*this, g_zipLib, &ZipEngine::LoadZipLib, &ZipEngine::UnloadZipLib);
}
int ZipEngine::UnzipLibVersion() {
    return Version(*this, g_unzipLib, &ZipEngine::LoadUnzipLib, &ZipEngine::UnloadUnzipLib);
}

int32_t ZipEngine::CallZipExec(void* block) {
    return g_zipLib.exec ? reinterpret_cast<KZipExecFn>(g_zipLib.exec)(block) : 0;
}
int32_t ZipEngine::CallUnzipExec(void* block) {
    return g_unzipLib.exec ? reinterpret_cast<KUnzipExecFn>(g_unzipLib.exec)(block) : 0;
}

std::unique_ptr<UnzipParamBlock> ZipEngine::FillUnzParams(const ExtractRequest& request,
                                                          const std::string& archiveName,
                                                          int version) {
    auto block = std::make_unique<UnzipParamBlock>(version);
    const ExtrOpts& options = request.options;
    const std::string password =
        version < KELP_V160 && Unattended && AddOptions.Has(AddEncrypt) && request.password.empty()
            ? kFillerPassword
            : request.password.substr(0, 255);
    char* passwordText = block->strings.Copy(password);
    char* archiveText = block->strings.Copy(archiveName);
    block->Common([&](auto& b) {
        FillBlockHeader(b, *this, passwordText);
        b.TestOn = Bool32(request.Testing());
        b.UpdateOn = Bool32(options.Has(ExtrUpdate));
        b.FreshenOn = Bool32(options.Has(ExtrFreshen) && !options.Has(ExtrUpdate));
        b.DirNamesOn = Bool32(options.Has(ExtrDirNames));
        b.OverwriteOn = Bool32(options.Has(ExtrOverWrite));
        b.ArchiveNameText = archiveText;
    });
    if (block->CurrentLayout() && version >= KELP_V160) {
        KUnzipParams& b = block->Current();
        b.PasswordTries = static_cast<int32_t>(passwordReqCount_);
        std::error_code ec;
        if (!request.targetDir.empty() && std::filesystem::is_directory(request.targetDir, ec))
            b.TargetDirText = block->strings.Copy(request.targetDir);
    }
    if (block->CurrentLayout() && version >= KELP_V180) {
        block->Current().ExactNames = Bool32(request.exactNames);
        block->Current().CheckOn = Bool32(options.Has(ExtrCheck));
        if (const std::string& charset = NameCharsetNow(); !charset.empty())
            block->Current().NameCharsetText = block->strings.Copy(charset);
    }
    // The directory the engine holds spares the library reading it again.
    if (block->CurrentLayout() && version >= KELP_V190 && LendDirectory(block->loan))
        block->Current().DirectoryLoan = &block->loan;
    block->SetSpecs(request.members);
    return block;
}

// The suffixes as the library reads them: ".gif:.png:...".
static std::string StoreSuffixList(AddStoreExts stored) {
    static const char* const kSuffixes[] = {"gif", "png", "z",   "zip", "zoo", "arc",
                                            "lzh", "arj", "taz", "tgz", "lha", "exe"};
    std::string list;
    for (int i = assGIF; i <= assEXE; ++i) {
        if (!stored.Has(static_cast<AddStoreSuffixEnum>(i))) continue;
        if (!list.empty()) list += ':';
        list += '.';
        list += kSuffixes[i];
    }
    return list;
}

static int32_t LibraryMethod(AddMethodEnum method) {
    switch (method) {
        case AddMethodStore:
            return KZIP_METHOD_STORE;
        case AddMethodBzip2:
            return KZIP_METHOD_BZIP2;
        case AddMethodLzma:
            return KZIP_METHOD_LZMA;
        case AddMethodXz:
            return KZIP_METHOD_XZ;
        case AddMethodZstd:
            return KZIP_METHOD_ZSTD;
        case AddMethodDeflate:
            break;
    }
    return KZIP_METHOD_DEFAULT;
}

std::unique_ptr<ZipParamBlock> ZipEngine::FillZipParams(const AddRequest& request,
                                                        const std::string& archiveName,
                                                        int version) {
    auto block = std::make_unique<ZipParamBlock>(version);
    const AddOpts& options = request.options;
    char* passwordText =
        request.password.empty() ? nullptr : block->strings.Copy(request.password.substr(0, 81));
    const std::string suffixes = StoreSuffixList(request.storeSuffixes);
    char* suffixText = suffixes.empty() ? nullptr : block->strings.Copy(suffixes);
    char* archiveText = block->strings.Copy(archiveName);
    block->Common([&](auto& b) {
        FillBlockHeader(b, *this, passwordText);
        b.StoreSuffixes = suffixText;
        b.EncryptOn = Bool32(options.Has(AddEncrypt));
        b.SystemFilesOn = Bool32(options.Has(AddHiddenFiles));
        b.SkipDirEntries = Bool32(!options.Has(AddSeparateDirs));
        b.CompressionLevel = request.level;
        b.DropPaths = Bool32(!options.Has(AddDirNames));
        b.RecurseOn = static_cast<KBool16>(options.Has(AddRecurseDirs) ? -1 : 0);
        b.Reserved80 = -1;
        b.ForceDosOn = Bool32(options.Has(AddForceDOS));
        b.MoveOn = Bool32(options.Has(AddMove));
        b.DeleteMode = KELP_FALSE;
        b.UpdateOn = Bool32(options.Has(AddUpdate));
        b.FreshenOn = Bool32(options.Has(AddFreshen) && !options.Has(AddUpdate));
        b.ArchiveTimeOn = Bool32(options.Has(AddZipTime));
        b.ArchiveNameText = archiveText;
    });
    if (block->CurrentLayout()) {
        KZipParams& b = block->Current();
        b.TempDirText = TempDir.empty() ? nullptr : block->strings.Copy(TempDir);
        if (version >= KELP_V160) {
            // The comment read of the listed archive is kept when it changes.
            if (!rawComment_.empty() && request.archive == zipFileName_)
                b.CommentText = block->strings.Copy(rawComment_);
            b.ArchiveOnlyOn = static_cast<KBool16>(options.Has(AddArchiveOnly) ? 1 : 0);
            b.ResetArchiveOn = static_cast<KBool16>(options.Has(AddResetArchive) ? 1 : 0);
            block->SetExcludes(request.excludes);
            b.StoreLinks = Bool32(options.Has(AddStoreLinks));
        }
        if (version >= KELP_V170)
            b.Encryption =
                request.encryption == aeAES256 ? KZIP_ENCRYPT_AES256 : KZIP_ENCRYPT_ZIPCRYPTO;
        if (version >= KELP_V170) b.Method = LibraryMethod(request.method);
        if (const std::string& charset = NameCharsetNow(); version >= KELP_V180 && !charset.empty())
            b.NameCharsetText = block->strings.Copy(charset);
        // Changing the listed archive: the library copies what it keeps from
        // the directory the engine holds instead of reading it again.
        if (version >= KELP_V190 && LendDirectory(block->loan)) b.DirectoryLoan = &block->loan;
    }
    block->SetAddSpecs(request.lines, request.sources);
    return block;
}

}  // namespace kelp::engine
