// Extracting and testing members through the decompression library.
#include <unistd.h>

#include <filesystem>
#include <new>

#include "engine/param_blocks.h"
#include "engine/raw_volumes.h"
#include "engine/zip_engine.h"

namespace engine {

std::string ZipEngine::ExtractFolder() const {
    std::error_code ec;
    return !ExtrBaseDir.empty() && std::filesystem::is_directory(ExtrBaseDir, ec) ? ExtrBaseDir
                                                                                 : std::string();
}

void ZipEngine::Extract() { RunExtract(false); }
void ZipEngine::ExtractToMemory() { RunExtract(true); }

void ZipEngine::Repair(const std::string& broken, const std::string& fixed) {
    successCount_ = 0;
    std::error_code ec;
    if (broken.empty() || !std::filesystem::is_regular_file(broken, ec)) return ShowEngineMessage(MsgId::NoZipFile);
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
    if (!UnzipLibLoaded()) {
        finish();
        return;
    }

    const int version = UnzipLibVersion();
    if (toMemory && version < KELP_V160) {
        finish();
        ShowEngineMessage(MsgId::ExtractStreamsUnsupported);
        return;
    }
    // An older library would read exact names as patterns: "a*.txt" would
    // take "abc.txt" too.
    if (ExtrOptions.Has(ExtrCheck) && version < KELP_V180) {
        finish();
        ShowEngineMessage(MsgId::CheckUnsupported);
        return;
    }
    if (ExactNames && version < KELP_V180) {
        finish();
        FSpecArgs.clear();
        ShowEngineMessage(MsgId::ExtractExactNamesUnsupported);
        return;
    }
    // The library is told the folder to extract into; the process's current
    // folder is never changed. Libraries before 1.60 know only the current
    // folder: another target is refused rather than missed.
    if (!toMemory && !ExtrOptions.Has(ExtrTest) && version < KELP_V160 &&
        !ExtractFolder().empty() && !std::filesystem::equivalent(ExtractFolder(), ".", ec)) {
        finish();
        ShowEngineMessage(MsgId::ExtractFolderUnsupported);
        return;
    }

    // A set is joined first, and so are raw volumes.
    std::string archive = std::filesystem::absolute(zipFileName_, ec).string();
    std::unique_ptr<JoinedVolumes> volumes;
    try {
        volumes = std::make_unique<JoinedVolumes>(archive, TempFolder());
    } catch (const EZipEngine& e) {
        ReportEngineError(e);
        finish();
        return;
    }
    archive = volumes->Path();
    std::string joined;
    if (LastDiskNumber() > 0) {
        joined = TempFolder();
        if (ReadSpan(zipFileName_, joined) != 0) {
            finish();
            return;
        }
        archive = joined;
    }

    try {
        auto block = FillUnzParams(archive, version);
        bool call = true;
        if (toMemory) {
            call = false;
            const ZipDirEntry* found = nullptr;
            if (!FSpecArgs.empty()) {
                for (const auto& entry : dirEntries_) {
                    if (entry.MemberName == FSpecArgs[0]) {
                        found = &entry;
                        break;
                    }
                }
            }
            if (found && block->CurrentLayout()) {
                extractStream_.assign(found->UnpackedSize, 0);
                KUnzipParams& b = block->Current();
                b.ToMemory = KELP_TRUE;
                b.MemoryAddress = extractStream_.data();
                b.MemorySize = found->UnpackedSize;
                b.SpecCount = 1;
                // The member was found by its exact name; the library must
                // not take an earlier one that the name matches as a pattern.
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
    FSpecArgs.clear();
    if (!joined.empty()) std::filesystem::remove(joined, ec);
    finish();
}

}  // namespace engine
