// Extracting and testing members through the decompression library.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>

#include "engine/param_blocks.h"
#include "engine/raw_volumes.h"
#include "engine/zip_engine.h"

namespace kelp::engine {

namespace {

// The folder the library is told to extract into: the target when it is a
// folder, else "" (the current folder).
std::string TargetFolder(const ExtractRequest& request) {
    std::error_code ec;
    return !request.targetDir.empty() && std::filesystem::is_directory(request.targetDir, ec)
               ? request.targetDir
               : std::string();
}

}  // namespace

ExtractRequest ZipEngine::ExtractRequestNow() const {
    return {zipFileName_, FSpecArgs, ExactNames, ExtrBaseDir, ExtrOptions, Password};
}

void ZipEngine::Extract() {
    const ExtractRequest request = ExtractRequestNow();
    ExactNames = false;  // holds for this call only
    // Exact names are never left behind to be read as patterns by a later call.
    if (RunExtract(request, false) || request.exactNames) ClearSpecs();
}
void ZipEngine::ExtractToMemory() {
    const ExtractRequest request = ExtractRequestNow();
    ExactNames = false;
    if (RunExtract(request, true) || request.exactNames) ClearSpecs();
}
bool ZipEngine::Run(const ExtractRequest& request) {
    return RunExtract(request, false);
}

RepairRequest ZipEngine::RepairRequestNow(const std::string& broken,
                                          const std::string& fixed) const {
    return {broken, fixed, Password};
}

void ZipEngine::Repair(const std::string& broken, const std::string& fixed) {
    Run(RepairRequestNow(broken, fixed));
}

bool ZipEngine::Run(const RepairRequest& request) {
    successCount_ = 0;
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused, *refused == MsgId::RepairOntoItself ? request.fixed : "");
        return false;
    }
    if (unzipLibBusy_) return false;
    unzipLibBusy_ = true;
    CancelRequested = false;
    const bool loadedHere = !UnzipLibLoaded();
    if (loadedHere) LoadUnzipLib();
    const int version = UnzipLibLoaded() ? UnzipLibVersion() : 0;
    const bool refused = !UnzipLibLoaded() || version < KELP_V180;
    if (UnzipLibLoaded() && refused) {
        ShowEngineMessage(MsgId::RepairUnsupported);
    } else if (!refused) {
        try {
            std::error_code ec;
            ExtractRequest test;
            test.password = request.password;
            auto block = FillUnzParams(test, std::filesystem::absolute(request.broken, ec).string(),
                                       version);
            KUnzipParams& b = block->Current();
            b.TestOn = KELP_TRUE;
            b.CheckOn = KELP_FALSE;
            b.RepairTargetText =
                block->strings.Copy(std::filesystem::absolute(request.fixed, ec).string());
            block->SetEndMarker();
            successCount_ = CallUnzipExec(block->Data());
        } catch (const std::exception&) {
            ShowEngineMessage(MsgId::ExtractAbort);
        }
    }
    if (loadedHere) UnloadUnzipLib();
    CancelRequested = false;
    unzipLibBusy_ = false;
    return !refused;
}

bool ZipEngine::RunExtract(const ExtractRequest& request, bool toMemory) {
    successCount_ = 0;
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused,
                          *refused == MsgId::ExtractFolderCannotBeMade ? request.targetDir : "");
        return false;
    }
    if (unzipLibBusy_) return false;
    // The spanned set, the member to memory: read from the archive's directory.
    if (request.archive != zipFileName_) setZipFileName(request.archive);
    const uint32_t savedReqCount = passwordReqCount_;
    if (Unattended && request.password.empty() && !OnPasswordError) {
        passwordReqCount_ = 0;
        ShowEngineMessage(MsgId::UnattendedExtractWarning);
    }

    unzipLibBusy_ = true;
    CancelRequested = false;
    const bool loadedHere = !UnzipLibLoaded();
    if (loadedHere) LoadUnzipLib();
    auto finish = [&](bool started) {
        if (loadedHere) UnloadUnzipLib();
        CancelRequested = false;
        unzipLibBusy_ = false;
        passwordReqCount_ = savedReqCount;
        return started;
    };
    if (!UnzipLibLoaded()) return finish(false);
    const int version = UnzipLibVersion();
    if (const std::optional<MsgId::Id> refused = ExtractRefusal(request, version, toMemory)) {
        finish(false);
        ShowEngineMessage(*refused);
        return false;
    }
    // A target folder that is named but missing is made, as the command
    // line does; the library is never left to write into the current folder
    // instead.
    std::error_code ec;
    if (!toMemory && !request.Testing() && !request.targetDir.empty() &&
        !std::filesystem::is_directory(request.targetDir, ec) &&
        (std::filesystem::create_directories(request.targetDir, ec),
         !std::filesystem::is_directory(request.targetDir, ec))) {
        finish(false);
        ShowEngineMessage(MsgId::ExtractFolderCannotBeMade, request.targetDir);
        return false;
    }
    std::unique_ptr<JoinedVolumes> volumes;
    std::string joined;
    std::string archive;
    if (!JoinForExtract(volumes, joined, archive)) return finish(true);
    CallExtract(request, archive, version, toMemory);
    if (!joined.empty()) std::filesystem::remove(joined, ec);
    return finish(true);
}

std::optional<MsgId::Id> ZipEngine::ExtractRefusal(const ExtractRequest& request, int version,
                                                   bool toMemory) const {
    if (toMemory && version < KELP_V160) return MsgId::ExtractStreamsUnsupported;
    if (request.options.Has(ExtrCheck) && version < KELP_V180) return MsgId::CheckUnsupported;
    // An older library would read exact names as patterns: "a*.txt" would
    // take "abc.txt" too.
    if (request.exactNames && version < KELP_V180) return MsgId::ExtractExactNamesUnsupported;
    // The library is told the folder to extract into; the process's current
    // folder is never changed. Libraries before 1.60 know only the current
    // folder: another target is refused rather than missed.
    std::error_code ec;
    const std::string folder = TargetFolder(request);
    if (!toMemory && !request.Testing() && version < KELP_V160 && !folder.empty() &&
        !std::filesystem::equivalent(folder, ".", ec))
        return MsgId::ExtractFolderUnsupported;
    return std::nullopt;
}

bool ZipEngine::JoinForExtract(std::unique_ptr<JoinedVolumes>& volumes, std::string& joined,
                               std::string& archive) {
    // Raw volumes are read as one file, and a spanned set is joined into a
    // temporary copy (`joined`, removed by the caller).
    std::error_code ec;
    try {
        volumes = std::make_unique<JoinedVolumes>(
            std::filesystem::absolute(zipFileName_, ec).string(), TempFolder());
    } catch (const EZipEngine& e) {
        ReportEngineError(e);
        return false;
    }
    archive = volumes->Path();
    if (LastDiskNumber() > 0) {
        joined = TempFolder();
        if (ReadSpan(zipFileName_, joined) != 0) return false;
        archive = joined;
    }
    return true;
}

void ZipEngine::CallExtract(const ExtractRequest& request, const std::string& archive, int version,
                            bool toMemory) {
    try {
        auto block = FillUnzParams(request, archive, version);
        bool call = true;
        if (toMemory) {
            // One member, found by its exact name, into extractStream_.
            call = false;
            const DirEntryList entries = DirEntries();
            const auto found =
                request.members.empty()
                    ? entries.end()
                    : std::find_if(entries.begin(), entries.end(), [&](const ZipDirEntry& entry) {
                          return entry.MemberName() == request.members[0];
                      });
            if (found != entries.end() && block->CurrentLayout()) {
                const uint64_t size = (*found).UnpackedSize();
                extractStream_.assign(size, 0);
                KUnzipParams& b = block->Current();
                b.ToMemory = KELP_TRUE;
                b.MemoryAddress = extractStream_.data();
                b.MemorySize = size;
                b.SpecCount = 1;
                // The library must not take an earlier member that the name
                // matches as a pattern.
                if (version >= KELP_V180) b.ExactNames = KELP_TRUE;
                call = true;
            }
        }
        block->SetEndMarker();
        if (call) successCount_ = CallUnzipExec(block->Data());
        if (toMemory && successCount_ != 1) extractStream_.clear();
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::ExtractAbort);
    }
}

}  // namespace kelp::engine
