// Extracting and testing members through the decompression library.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>

#include "engine/param_blocks.h"
#include "engine/raw_volumes.h"
#include "engine/zip_engine.h"

namespace engine {

std::string ZipEngine::ExtractFolder() const {
    std::error_code ec;
    return !ExtrBaseDir.empty() && std::filesystem::is_directory(ExtrBaseDir, ec) ? ExtrBaseDir
                                                                                  : std::string();
}

void ZipEngine::Extract() {
    RunExtract(false);
}
void ZipEngine::ExtractToMemory() {
    RunExtract(true);
}

void ZipEngine::Repair(const std::string& broken, const std::string& fixed) {
    successCount_ = 0;
    std::error_code ec;
    if (broken.empty() || !std::filesystem::is_regular_file(broken, ec))
        return ShowEngineMessage(MsgId::NoZipFile);
    if (fixed.empty() || std::filesystem::equivalent(broken, fixed, ec))
        return ShowEngineMessage(MsgId::RepairOntoItself, fixed);
    if (unzipLibBusy_) return;
    unzipLibBusy_ = true;
    CancelRequested = false;
    const bool loadedHere = !UnzipLibLoaded();
    if (loadedHere) LoadUnzipLib();
    const int version = UnzipLibLoaded() ? UnzipLibVersion() : 0;
    if (UnzipLibLoaded() && version < KELP_V180) {
        ShowEngineMessage(MsgId::RepairUnsupported);
    } else if (UnzipLibLoaded()) {
        try {
            FSpecArgs.clear();
            auto block = FillUnzParams(std::filesystem::absolute(broken, ec).string(), version);
            KUnzipParams& b = block->Current();
            b.TestOn = KELP_TRUE;
            b.CheckOn = KELP_FALSE;
            b.RepairTargetText = block->strings.Copy(std::filesystem::absolute(fixed, ec).string());
            block->SetEndMarker();
            successCount_ = CallUnzipExec(block->Data());
        } catch (const std::exception&) {
            ShowEngineMessage(MsgId::ExtractAbort);
        }
    }
    if (loadedHere) UnloadUnzipLib();
    CancelRequested = false;
    unzipLibBusy_ = false;
}

void ZipEngine::RunExtract(bool toMemory) {
    // ExactNames holds for this call only, however it ends.
    struct ExactForOneCall {
        bool& exact;
        ~ExactForOneCall() { exact = false; }
    } exactForOneCall{ExactNames};
    successCount_ = 0;
    const uint32_t savedReqCount = passwordReqCount_;
    std::error_code ec;
    if (zipFileName_.empty() || !std::filesystem::is_regular_file(zipFileName_, ec)) {
        ShowEngineMessage(MsgId::NoZipFile);
        return;
    }
    if (unzipLibBusy_) return;
    if (Unattended && Password.empty() && !OnPasswordError) {
        passwordReqCount_ = 0;
        ShowEngineMessage(MsgId::UnattendedExtractWarning);
    }

    unzipLibBusy_ = true;
    CancelRequested = false;
    const bool loadedHere = !UnzipLibLoaded();
    if (loadedHere) LoadUnzipLib();
    auto finish = [&] {
        if (loadedHere) UnloadUnzipLib();
        CancelRequested = false;
        unzipLibBusy_ = false;
        passwordReqCount_ = savedReqCount;
    };
    if (!UnzipLibLoaded()) return finish();
    const int version = UnzipLibVersion();
    if (const std::optional<MsgId::Id> refused = ExtractRefusal(version, toMemory)) {
        finish();
        if (*refused == MsgId::ExtractExactNamesUnsupported) FSpecArgs.clear();
        return ShowEngineMessage(*refused);
    }
    // A target folder that is named but missing is made, as the command
    // line does; the library is never left to write into the current folder
    // instead.
    if (!toMemory && !ExtrOptions.Has(ExtrTest) && !ExtrBaseDir.empty() &&
        !std::filesystem::is_directory(ExtrBaseDir, ec) &&
        (std::filesystem::create_directories(ExtrBaseDir, ec),
         !std::filesystem::is_directory(ExtrBaseDir, ec))) {
        finish();
        return ShowEngineMessage(MsgId::ExtractFolderCannotBeMade, ExtrBaseDir);
    }
    std::unique_ptr<JoinedVolumes> volumes;
    std::string joined;
    std::string archive;
    if (!JoinForExtract(volumes, joined, archive)) return finish();
    CallExtract(archive, version, toMemory);
    FSpecArgs.clear();
    if (!joined.empty()) std::filesystem::remove(joined, ec);
    finish();
}

std::optional<MsgId::Id> ZipEngine::ExtractRefusal(int version, bool toMemory) const {
    if (toMemory && version < KELP_V160) return MsgId::ExtractStreamsUnsupported;
    if (ExtrOptions.Has(ExtrCheck) && version < KELP_V180) return MsgId::CheckUnsupported;
    // An older library would read exact names as patterns: "a*.txt" would
    // take "abc.txt" too.
    if (ExactNames && version < KELP_V180) return MsgId::ExtractExactNamesUnsupported;
    // The library is told the folder to extract into; the process's current
    // folder is never changed. Libraries before 1.60 know only the current
    // folder: another target is refused rather than missed.
    std::error_code ec;
    if (!toMemory && !ExtrOptions.Has(ExtrTest) && version < KELP_V160 &&
        !ExtractFolder().empty() && !std::filesystem::equivalent(ExtractFolder(), ".", ec))
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

void ZipEngine::CallExtract(const std::string& archive, int version, bool toMemory) {
    try {
        auto block = FillUnzParams(archive, version);
        bool call = true;
        if (toMemory) {
            // One member, found by its exact name, into extractStream_.
            call = false;
            const DirEntryList entries = DirEntries();
            const auto found =
                FSpecArgs.empty()
                    ? entries.end()
                    : std::find_if(entries.begin(), entries.end(), [&](const ZipDirEntry& entry) {
                          return entry.MemberName() == FSpecArgs[0];
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
        FSpecArgs.clear();
        if (call) successCount_ = CallUnzipExec(block->Data());
        if (toMemory && successCount_ != 1) extractStream_.clear();
    } catch (const std::exception&) {
        ShowEngineMessage(MsgId::ExtractAbort);
    }
}

}  // namespace engine
