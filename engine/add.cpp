// Adding files to an archive through the compression library.
#include <unistd.h>

#include <filesystem>

#include "engine/param_blocks.h"
#include "engine/zip_engine.h"
#include "platform/folders.h"

namespace kelp::engine {

AddRequest ZipEngine::AddRequestNow() const {
    AddRequest request;
    request.archive = zipFileName_;
    request.lines = FSpecArgs;
    request.sources = FSpecSources;
    request.excludes = FSpecArgsExcl;
    request.level = AddCompLevel;
    request.method = AddMethod;
    request.options = AddOptions;
    request.encryption = AddEncryption;
    request.password = Password;
    request.storeSuffixes = AddStoreSuffixes;
    request.volumes = {MaxVolumeSize, KeepFreeOnDisk1, MinFreeVolumeSize};
    request.sfx = SfxSettingsNow();
    request.stubPath = SFXPath;
    return request;
}

DeleteRequest ZipEngine::DeleteRequestNow() const {
    return {zipFileName_, FSpecArgs, ExactNames};
}

void ZipEngine::ClearSpecs() {
    FSpecArgs.clear();
    FSpecSources.clear();
    FSpecArgsExcl.clear();
}

// The common end of an add, delete or rename: the library goes if this call
// loaded it, and a changed archive is listed again.
void ZipEngine::FinishZipCall(const std::string& archive, bool unloadLibrary) {
    if (unloadLibrary) UnloadZipLib();
    CancelRequested = false;
    zipLibBusy_ = false;
    if (successCount_ > 0 && archive == zipFileName_) List();
}

void ZipEngine::Add() {
    if (Run(AddRequestNow())) ClearSpecs();
}

bool ZipEngine::Run(const AddRequest& request) {
    successCount_ = 0;
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        return false;
    }
    if (Unattended && request.options.Has(AddEncrypt) && request.password.empty()) {
        ShowEngineMessage(MsgId::UnattendedNeedsPassword);
        return false;
    }
    if (zipLibBusy_) return false;

    // A multi-disk set is first built as one archive in the temporary folder.
    std::string archive = request.archive;
    if (request.Spanning()) {
        std::string name = TempFolder() + "zipXXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0) {
            ShowEngineMessage(MsgId::TempFileCreateFailed);
            return false;
        }
        ::close(fd);
        std::filesystem::remove(name);
        archive = name;
        if (Verbose && OnMessage) OnMessage(0, "Temporary zipfile: " + archive);
    }

    std::error_code ec;
    if (!request.Spanning() && request.IntoProgram() &&
        !std::filesystem::exists(request.archive, ec)) {
        std::string stubFound;
        const int result =
            RunToExe({request.archive, request.sfx, request.stubPath}, true, stubFound);
        if (result != 0) {
            ReportEngineError(EZipEngine(MsgId::AutoSfxFailed, result));
            return false;
        }
    }

    const bool loadedHere = !ZipLibLoaded();
    if (loadedHere) LoadZipLib();
    if (!ZipLibLoaded()) return false;

    const int version = ZipLibVersion();
    // An older library would deflate in place of the method asked for ...
    std::optional<MsgId::Id> unsupported;
    if (request.method != AddMethodDeflate && version < KELP_V170)
        unsupported = MsgId::AddMethodUnsupported;
    // ... or quietly encrypt the traditional way instead of with AES.
    else if (request.encryption == aeAES256 && version < KELP_V170)
        unsupported = MsgId::AesUnsupported;
    if (unsupported) {
        if (loadedHere) UnloadZipLib();
        ShowEngineMessage(*unsupported);
        return false;
    }
    zipLibBusy_ = true;
    CancelRequested = false;
    try {
        auto block =
            FillZipParams(request, std::filesystem::absolute(archive, ec).string(), version);
        block->SetEndMarker();
        successCount_ = CallZipExec(block->Data());
        if (request.Spanning()) {
            SpanRequest span{archive, request.archive, request.volumes,
                             request.options.Has(AddDiskSpanErase)};
            if (successCount_ > 0 && Run(span) != 0) successCount_ = 0;
            if (successCount_ > 0 || std::filesystem::exists(archive, ec))
                std::filesystem::remove(archive, ec);
        }
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::CompressAbort);
    }
    FinishZipCall(request.archive, loadedHere);
    return true;
}

bool ZipEngine::BeginArchiveChange(bool& loadedHere, int& version) {
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
    const DeleteRequest request = DeleteRequestNow();
    ExactNames = false;  // holds for this call only
    // Exact names are never left behind to be read as patterns by a later call.
    if (Run(request) || request.exactNames) ClearSpecs();
}

bool ZipEngine::Run(const DeleteRequest& request) {
    successCount_ = 0;
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        return false;
    }
    bool loadedHere = false;
    int version = 0;
    if (!BeginArchiveChange(loadedHere, version)) return false;
    std::error_code ec;
    // An older library would read exact names as patterns and delete more
    // than was asked for.
    if (request.exactNames && version < KELP_V180) {
        FinishZipCall(request.archive, loadedHere);
        ShowEngineMessage(MsgId::DeleteExactNamesUnsupported);
        return false;
    }
    try {
        auto block = FillZipParams(
            AddRequest{}, std::filesystem::absolute(request.archive, ec).string(), version);
        if (block->CurrentLayout() && version >= KELP_V180)
            block->Current().ExactNames = Bool32(request.exactNames);
        block->Common([](auto& b) {
            b.DeleteMode = KELP_TRUE;
            NoAdding(b);
        });
        block->SetSpecs(request.members);
        block->SetEndMarker();
        successCount_ = CallZipExec(block->Data());
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::CompressAbort);
    }
    FinishZipCall(request.archive, loadedHere);
    return true;
}

RenameRequest ZipEngine::RenameRequestNow(
    const std::vector<std::pair<std::string, std::string>>& renames) const {
    return {zipFileName_, renames};
}

void ZipEngine::Rename(const std::vector<std::pair<std::string, std::string>>& renames) {
    Run(RenameRequestNow(renames));
}

bool ZipEngine::Run(const RenameRequest& request) {
    successCount_ = 0;
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        return false;
    }
    bool loadedHere = false;
    int version = 0;
    if (!BeginArchiveChange(loadedHere, version)) return false;
    if (version < KELP_V180) {
        FinishZipCall(request.archive, loadedHere);
        ShowEngineMessage(MsgId::RenameUnsupported);
        return false;
    }
    try {
        std::error_code ec;
        auto block = FillZipParams(
            AddRequest{}, std::filesystem::absolute(request.archive, ec).string(), version);
        KZipParams& b = block->Current();
        NoAdding(b);
        block->SetSpecs({});
        std::vector<char*> table;
        for (const auto& [from, to] : request.renames) {
            table.push_back(block->strings.Copy(from));
            table.push_back(block->strings.Copy(to));
        }
        b.RenameCount = static_cast<int32_t>(request.renames.size());
        b.RenameTable = table.data();
        block->SetEndMarker();
        successCount_ = CallZipExec(block->Data());
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::CompressAbort);
    }
    FinishZipCall(request.archive, loadedHere);
    return true;
}

}  // namespace kelp::engine
