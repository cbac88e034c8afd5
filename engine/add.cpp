// Adding files to an archive through the compression library.
#include <strings.h>
#include <unistd.h>

#include <filesystem>

#include "engine/param_blocks.h"
#include "engine/zip_engine.h"
#include "platform/folders.h"

namespace engine {

namespace {

bool HasExeExtension(const std::string& path) {
    return strcasecmp(std::filesystem::path(path).extension().string().c_str(), ".exe") == 0;
}

}  // namespace

// The common end of an add or delete: the specifications are used up, the
// library goes if this call loaded it, and a changed archive is listed again.
void ZipEngine::FinishZipCall(bool unloadLibrary) {
    FSpecArgs.clear();
    FSpecSources.clear();
    FSpecArgsExcl.clear();
    if (unloadLibrary) UnloadZipLib();
    CancelRequested = false;
    zipLibBusy_ = false;
    if (successCount_ > 0) List();
}

void ZipEngine::Add() {
    successCount_ = 0;
    if (FSpecArgs.empty() && FSpecSources.empty()) return ShowEngineMessage(MsgId::NoFilesToAdd);
    if (zipFileName_.empty()) return ShowEngineMessage(MsgId::NoZipFile);
    if (Unattended && AddOptions.Has(AddEncrypt) && Password.empty())
        return ShowEngineMessage(MsgId::UnattendedNeedsPassword);

    // A multi-disk set is first built as one archive in the temporary folder.
    const bool spanning = AddOptions.Has(AddDiskSpan) || AddOptions.Has(AddDiskSpanErase);
    std::string archive = zipFileName_;
    if (spanning) {
        if (AddOptions.Has(AddFreshen) || AddOptions.Has(AddUpdate))
            return ShowEngineMessage(MsgId::SpannedFreshenUpdate);
        if (HasExeExtension(zipFileName_)) return ShowEngineMessage(MsgId::SfxCannotSpan);
        if (!TempDir.empty()) TempDir = platform::WithTrailingSlash(TempDir);
        std::string name = (TempDir.empty() ? platform::TempFolder() : TempDir) + "zipXXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0) return ShowEngineMessage(MsgId::TempFileCreateFailed);
        ::close(fd);
        std::filesystem::remove(name);
        archive = name;
        if (Verbose && OnMessage) OnMessage(0, "Temporary zipfile: " + archive);
    }
    if (zipLibBusy_) return;

    std::error_code ec;
    if (!spanning && HasExeExtension(zipFileName_) && sfxPrefixSize_ == 0 &&
        !std::filesystem::exists(zipFileName_, ec)) {
        const int result = ConvertToExe(true);
        if (result != 0) return ReportEngineError(EZipEngine(MsgId::AutoSfxFailed, result));
    }

    const bool loadedHere = !ZipLibLoaded();
    if (loadedHere) LoadZipLib();
    if (!ZipLibLoaded()) return;

    const int version = ZipLibVersion();
    // An older library would deflate in place of the method asked for.
    if (AddMethod != AddMethodDeflate && version < KELP_V170) {
        if (loadedHere) UnloadZipLib();
        return ShowEngineMessage(MsgId::AddMethodUnsupported);
    }
    // ... or quietly encrypt the traditional way instead of with AES.
    if (AddEncryption == aeAES256 && version < KELP_V170) {
        if (loadedHere) UnloadZipLib();
        return ShowEngineMessage(MsgId::AesUnsupported);
    }
    zipLibBusy_ = true;
    CancelRequested = false;
    try {
        auto block = FillZipParams(std::filesystem::absolute(archive, ec).string(), version);
        block->SetEndMarker();
        successCount_ = CallZipExec(block->Data());
        if (spanning) {
            if (successCount_ > 0 && WriteSpan(archive, zipFileName_) != 0) successCount_ = 0;
            if (successCount_ > 0 || std::filesystem::exists(archive, ec))
                std::filesystem::remove(archive, ec);
        }
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::CompressAbort);
    }
    FinishZipCall(loadedHere);
}

bool ZipEngine::BeginArchiveChange(bool& loadedHere, int& version) {
    std::error_code ec;
    if (zipFileName_.empty() || !std::filesystem::is_regular_file(zipFileName_, ec)) {
        ShowEngineMessage(MsgId::NoZipFile);
        return false;
    }
    if (zipLibBusy_) return false;
    zipLibBusy_ = true;
    CancelRequested = false;
    loadedHere = !ZipLibLoaded();
    if (loadedHere) LoadZipLib();
    if (!ZipLibLoaded()) {
        zipLibBusy_ = false;
        return false;
    }
    version = ZipLibVersion();
    return true;
}

// Deleting and renaming add nothing: the adding switches are off.
template <typename Block>
static void NoAdding(Block& b) {
    b.DropPaths = b.MoveOn = b.FreshenOn = b.UpdateOn = b.EncryptOn = KELP_FALSE;
    b.Reserved80 = 0;
    b.RecurseOn = 0;
}

void ZipEngine::Delete() {
    successCount_ = 0;
    const bool exact = ExactNames;
    ExactNames = false;  // holds for this call only
    if (FSpecArgs.empty()) return ShowEngineMessage(MsgId::NoFilesToDelete);
    bool loadedHere = false;
    int version = 0;
    if (!BeginArchiveChange(loadedHere, version)) return;
    std::error_code ec;
    // An older library would read exact names as patterns and delete more
    // than was asked for.
    if (exact && version < KELP_V180) {
        FinishZipCall(loadedHere);
        return ShowEngineMessage(MsgId::DeleteExactNamesUnsupported);
    }
    try {
        auto block = FillZipParams(std::filesystem::absolute(zipFileName_, ec).string(), version);
        if (block->CurrentLayout() && version >= KELP_V180)
            block->Current().ExactNames = Bool32(exact);
        block->Common([](auto& b) {
            b.DeleteMode = KELP_TRUE;
            NoAdding(b);
        });
        block->SetSpecs(FSpecArgs);
        block->SetEndMarker();
        successCount_ = CallZipExec(block->Data());
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::CompressAbort);
    }
    FinishZipCall(loadedHere);
}

void ZipEngine::Rename(const std::vector<std::pair<std::string, std::string>>& renames) {
    successCount_ = 0;
    if (renames.empty()) return ShowEngineMessage(MsgId::NoFilesToRename);
    bool loadedHere = false;
    int version = 0;
    if (!BeginArchiveChange(loadedHere, version)) return;
    std::error_code ec;
    if (version < KELP_V180) {
        FinishZipCall(loadedHere);
        return ShowEngineMessage(MsgId::RenameUnsupported);
    }
    try {
        auto block = FillZipParams(std::filesystem::absolute(zipFileName_, ec).string(), version);
        KZipParams& b = block->Current();
        NoAdding(b);
        block->SetSpecs({});
        std::vector<char*> table;
        for (const auto& [from, to] : renames) {
            table.push_back(block->strings.Copy(from));
            table.push_back(block->strings.Copy(to));
        }
        b.RenameCount = static_cast<int32_t>(renames.size());
        b.RenameTable = table.data();
        block->SetEndMarker();
        successCount_ = CallZipExec(block->Data());
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::CompressAbort);
    }
    FinishZipCall(loadedHere);
}

}  // namespace engine
