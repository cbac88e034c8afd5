#include "sfx/self_extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "member_decoder.h"
#include "safe_path.h"

namespace kelp::sfx {

namespace zip = kelp::zip;

uint64_t ArchiveStart(const zip::ArchiveReader& reader) {
    uint64_t start = reader.centralOffset();
    for (const zip::MemberEntry& entry : reader.entries())
        start = std::min(start, entry.localOffset);
    return start;
}

bool SelfExtractor::Fail(const std::string& name, const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), reason.c_str());
    return false;
}

bool SelfExtractor::HasRoom(const std::string& folder) const {
    uint64_t needed = 0;
    for (const zip::MemberEntry& entry : reader_.entries()) needed += entry.unpackedSize;
    struct statvfs fs {};
    if (statvfs(folder.c_str(), &fs) != 0) return true;  // cannot tell; writing will show
    const uint64_t available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    if (needed <= available) return true;
    std::fprintf(stderr, "Not enough free space in %s: %llu bytes needed, %llu available\n",
                 folder.c_str(), static_cast<unsigned long long>(needed),
                 static_cast<unsigned long long>(available));
    return false;
}

bool SelfExtractor::MayOverwrite(const std::string& name) {
    if (settings_.flags & engine::kSfxFlagOverwriteAlways) return true;
    if (settings_.flags & engine::kSfxFlagOverwriteNever) return false;
    if (overwriteAll_ != 0) return overwriteAll_ > 0;
    const std::string answer =
        console_.AskLine("Overwrite " + name + "? [y]es, [n]o, [A]ll, [N]one: ", "n");
    if (answer == "A") overwriteAll_ = 1;
    if (answer == "N") overwriteAll_ = -1;
    return answer == "A" || answer == "y" || answer == "Y";
}

bool SelfExtractor::ExtractMember(int baseFd, const zip::MemberEntry& entry) {
    const std::string name(entry.displayName);
    const zip::TargetName target = zip::ResolveMemberName(name, true);
    if (!target.ok) return Fail(name, target.reason);
    std::string error;
    zip::TargetDir dir;
    if (!dir.Open(baseFd, target.dirs, true, error)) return Fail(name, error);
    if (target.leaf.empty()) return true;

    zip::MemberData data;
    if (!reader_.Locate(entry, data, error)) return Fail(name, error);
    struct stat st {};
    if (fstatat(dir.fd(), target.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(name, "a folder of that name exists");
        if (!MayOverwrite(name)) {
            std::printf("Kept existing file: %s\n", name.c_str());
            ++skipped_;
            return true;
        }
    }

    std::optional<zip::MemberCipher> crypto;
    if (entry.IsEncrypted()) {
        crypto = zip::TryPassword(reader_, data, password_);
        for (int tries = 0; !crypto && tries < 3 && console_.Interactive(); ++tries) {
            password_ = console_.AskPassword("Password for " + name + ": ");
            crypto = zip::TryPassword(reader_, data, password_);
        }
        if (!crypto) return Fail(name, "no valid password");
    }

    if (entry.IsSymlink()) return ExtractLink(baseFd, entry, data, crypto, target, dir);
    zip::OutputFile out;
    if (!out.Create(dir.fd(), target.leaf, error)) return Fail(name, error);
    const zip::DecodeResult result =
        zip::DecodeMember(reader_, data, crypto ? &*crypto : nullptr,
                          [&](const uint8_t* p, size_t n) { return out.Write(p, n); });
    switch (result.status) {
        case zip::DecodeStatus::Ok:
            break;
        case zip::DecodeStatus::CrcMismatch:
            return Fail(name, "CRC error");
        case zip::DecodeStatus::Stopped:
            return Fail(name, "write error");
        case zip::DecodeStatus::Unsupported:
            return Fail(name, "unsupported compression method");
        default:
            return Fail(name, result.detail.empty() ? "damaged data" : result.detail);
    }
    if (!out.Commit(zip::MemberModTime(entry, &data), entry.UnixMode() & 0777, error))
        return Fail(name, error);
    std::printf("  extracted: %s\n", name.c_str());
    ++extracted_;
    return true;
}

bool SelfExtractor::ExtractLink(int baseFd, const zip::MemberEntry& entry,
                                const zip::MemberData& data,
                                std::optional<zip::MemberCipher>& crypto,
                                const zip::TargetName& target, const zip::TargetDir& dir) {
    const std::string name(entry.displayName);
    // The member's data is the link's target, a path of at most PATH_MAX.
    std::string linkTarget;
    const zip::DecodeResult result = zip::DecodeMember(
        reader_, data, crypto ? &*crypto : nullptr, [&](const uint8_t* p, size_t n) {
            if (n > PATH_MAX - 1 - linkTarget.size()) return false;
            linkTarget.append(reinterpret_cast<const char*>(p), n);
            return true;
        });
    if (result.status != zip::DecodeStatus::Ok)
        return Fail(name, "the link target is damaged or too long");
    std::string error;
    if (!zip::LinkStaysInside(baseFd, target.dirs, target.leaf, linkTarget, error) ||
        !zip::CreateLink(dir.fd(), target.leaf, linkTarget, zip::MemberModTime(entry, &data),
                         error))
        return Fail(name, error);
    std::printf("  extracted: %s -> %s\n", name.c_str(), linkTarget.c_str());
    ++extracted_;
    return true;
}

bool SelfExtractor::ExtractAll(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const int baseFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0) return Fail(folder, "the folder cannot be opened");
    bool ok = true;
    if (!(settings_.flags & engine::kSfxFlagNoCheckSize) && !HasRoom(folder)) ok = false;
    if (ok) {
        for (const zip::MemberEntry& entry : reader_.entries())
            ok = ExtractMember(baseFd, entry) && ok;
    }
    ::close(baseFd);
    return ok;
}

}  // namespace kelp::sfx
