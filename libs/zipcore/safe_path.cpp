#include "safe_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelp::zip {

TargetName ResolveMemberName(std::string_view name, bool keepDirs) {
    TargetName out;
    if (name.find('\0') != std::string_view::npos) {
        out.reason = "the name holds a NUL character";
        return out;
    }
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) {
        out.reason = "absolute path";
        return out;
    }
    if (name.size() >= 2 && name[1] == ':') {
        out.reason = "drive letter";
        return out;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
        std::string_view part = name.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            out.reason = "the name leaves the target folder";
            return out;
        }
        parts.emplace_back(part);
    }
    bool isDir = !name.empty() && (name.back() == '/' || name.back() == '\\');
    // "./" names the target folder itself; a file needs a name.
    if (parts.empty() && !isDir) {
        out.reason = "empty name";
        return out;
    }
    if (!isDir) {
        out.leaf = std::move(parts.back());
        parts.pop_back();
    }
    if (keepDirs) out.dirs = std::move(parts);
    out.ok = true;
    return out;
}

TargetDir::~TargetDir() {
    if (fd_ >= 0) close(fd_);
}

TargetDir::TargetDir(TargetDir&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

TargetDir& TargetDir::operator=(TargetDir&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool TargetDir::Open(int baseFd, const std::vector<std::string>& dirs, bool create,
                     std::string& error) {
    int fd = dup(baseFd);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    for (const std::string& d : dirs) {
        int next = openat(fd, d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && create) {
            if (mkdirat(fd, d.c_str(), 0777) == 0 || errno == EEXIST)
                next = openat(fd, d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0) {
            int err = errno;
            close(fd);
            // O_NOFOLLOW on a link gives ELOOP (or ENOTDIR with O_DIRECTORY).
            if (err == ELOOP || err == ENOTDIR)
                error = "the path passes through a symbolic link or a file: " + d;
            else
                error = d + ": " + std::strerror(err);
            return false;
        }
        close(fd);
        fd = next;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
    return true;
}

bool OutputFile::Create(int dirFd, const std::string& leaf, std::string& error) {
    leaf_ = leaf;
    if (file_.CreateIn(dirFd, leaf)) return true;
    error = "cannot create " + leaf + ": " + file_.ErrorText();
    return false;
}

bool OutputFile::Commit(int64_t mtime, unsigned mode, std::string& error) {
    const mode_t bits = mode != 0 ? static_cast<mode_t>(mode & 0777) : platform::DefaultFileMode();
    if (file_.Commit(bits, mtime, false)) return true;
    error = "cannot write " + leaf_ + ": " + file_.ErrorText();
    return false;
}

void SetDirTime(int baseFd, const std::vector<std::string>& dirs, int64_t mtime) {
    TargetDir dir;
    std::string error;
    if (!dir.Open(baseFd, dirs, false, error)) return;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(mtime);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    futimens(dir.fd(), times);
}

}  // namespace kelp::zip
