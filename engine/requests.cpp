// The checks a request passes before an operation writes anything.
#include "engine/requests.h"

#include <strings.h>

#include <algorithm>
#include <filesystem>

namespace kelp::engine {

namespace fs = std::filesystem;

namespace {

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

// Whether `folder` is a folder or could be made one: the nearest part of its
// path that exists is a folder.
bool CanBeFolder(const std::string& folder) {
    std::error_code ec;
    for (fs::path at = fs::absolute(folder, ec).lexically_normal(); !at.empty();
         at = at.parent_path()) {
        const fs::file_status status = fs::status(at, ec);
        if (fs::exists(status)) return fs::is_directory(status);
        if (at == at.root_path()) break;
    }
    return true;
}

}  // namespace

std::optional<MsgId::Id> VolumeSizes::Check() const {
    if (maxVolumeSize > 0 &&
        maxVolumeSize - keepFreeOnDisk1 < std::max<int64_t>(minFreeVolumeSize, 1))
        return MsgId::VolumeSizeTooSmall;
    return std::nullopt;
}

std::optional<MsgId::Id> ExtractRequest::Check() const {
    if (!IsFile(archive)) return MsgId::NoZipFile;
    if (!Testing() && !targetDir.empty() && !CanBeFolder(targetDir))
        return MsgId::ExtractFolderCannotBeMade;
    return std::nullopt;
}

bool AddRequest::IntoProgram() const {
    return strcasecmp(fs::path(archive).extension().string().c_str(), ".exe") == 0;
}

std::optional<MsgId::Id> AddRequest::Check() const {
    if (lines.empty() && sources.empty()) return MsgId::NoFilesToAdd;
    if (archive.empty()) return MsgId::NoZipFile;
    if (!Spanning()) return std::nullopt;
    if (options.Has(AddFreshen) || options.Has(AddUpdate)) return MsgId::SpannedFreshenUpdate;
    if (IntoProgram()) return MsgId::SfxCannotSpan;
    return volumes.Check();
}

std::optional<MsgId::Id> DeleteRequest::Check() const {
    if (members.empty()) return MsgId::NoFilesToDelete;
    if (!IsFile(archive)) return MsgId::NoZipFile;
    return std::nullopt;
}

std::optional<MsgId::Id> SfxRequest::Check() const {
    if (!IsFile(archive)) return MsgId::NoZipFile;
    if (strcasecmp(fs::path(archive).extension().string().c_str(), ".zip") != 0)
        return MsgId::InputNotZip;
    return std::nullopt;
}

std::optional<MsgId::Id> SpanRequest::Check() const {
    return volumes.Check();
}

std::optional<MsgId::Id> RenameRequest::Check() const {
    if (renames.empty()) return MsgId::NoFilesToRename;
    if (!IsFile(archive)) return MsgId::NoZipFile;
    return std::nullopt;
}

std::optional<MsgId::Id> RepairRequest::Check() const {
    if (!IsFile(broken)) return MsgId::NoZipFile;
    std::error_code ec;
    if (fixed.empty() || fs::equivalent(broken, fixed, ec)) return MsgId::RepairOntoItself;
    return std::nullopt;
}

std::optional<MsgId::Id> JoinRequest::Check() const {
    if (lastPart.empty()) return MsgId::InputMissing;
    // An empty path would put a file named ".zip" in the current folder.
    if (output.empty()) return MsgId::OutputCreateFailed;
    return std::nullopt;
}

std::optional<MsgId::Id> SfxToZipRequest::Check() const {
    if (!IsFile(program)) return MsgId::NoExeFile;
    if (strcasecmp(fs::path(program).extension().string().c_str(), ".exe") != 0)
        return MsgId::InputNotExe;
    return std::nullopt;
}

std::optional<MsgId::Id> CommentRequest::Check() const {
    if (archive.empty()) return MsgId::InputMissing;
    if (!IsFile(archive)) return MsgId::ZipOpenFailed;
    return std::nullopt;
}

}  // namespace kelp::engine
