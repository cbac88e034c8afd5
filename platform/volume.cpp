#include "platform/volume.h"

#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "platform/folders.h"

namespace kelp::platform {

namespace {

// Magic numbers of network file systems (see statfs(2)).
constexpr long kNfsMagic = 0x6969;
constexpr long kSmbMagic = 0x517B;
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;

}  // namespace

std::string DriveRoot(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    std::string folder = absolute.parent_path().string();
    return WithTrailingSlash(folder.empty() ? std::string("/") : folder);
}

bool DriveExists(const std::string& root) {
    std::error_code ec;
    return !root.empty() && std::filesystem::is_directory(root, ec);
}

DriveType TypeOfDrive(const std::string& root) {
    struct statfs fs {};
    if (!DriveExists(root) || statfs(root.c_str(), &fs) != 0) return DriveType::Unknown;
    const long type = static_cast<long>(fs.f_type);
    if (type == kNfsMagic || type == kSmbMagic || type == kCifsMagic || type == kSmb2Magic)
        return DriveType::Remote;
    return DriveType::Fixed;
}

bool QuerySpace(const std::string& root, int64_t& freeBytes, int64_t& totalBytes) {
    freeBytes = totalBytes = -1;
    struct statvfs vfs {};
    if (root.empty() || statvfs(root.c_str(), &vfs) != 0) return false;
    freeBytes = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
    totalBytes = static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
    return true;
}

}  // namespace kelp::platform
