#include "safe_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>

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

namespace {

// Opens the folder d inside the folder open as fd, making it when asked,
// never through a symbolic link; -1 with error set when that fails.
int OpenFolderIn(int fd, const std::string& d, bool create, std::string& error) {
    int next = openat(fd, d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
        if (mkdirat(fd, d.c_str(), 0777) == 0 || errno == EEXIST)
            next = openat(fd, d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (next >= 0) return next;
    const int err = errno;
    // O_NOFOLLOW on a link gives ELOOP (or ENOTDIR with O_DIRECTORY).
    if (err == ELOOP || err == ENOTDIR)
        error = "the path passes through a symbolic link or a file: " + d;
    else
        error = d + ": " + std::strerror(err);
    errno = err;
    return -1;
}

}  // namespace

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
        int next = OpenFolderIn(fd, d, create, error);
        if (next < 0) {
            close(fd);
            return false;
        }
        close(fd);
        fd = next;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
    return true;
}

void FolderCache::Clear() {
    for (const auto& [path, fd] : open_) close(fd);
    open_.clear();
}

int FolderCache::Open(const std::vector<std::string>& dirs, bool create, std::string& error) {
    // A few caches are open at once (one per thread that writes members).
    constexpr size_t kMaxOpen = 64;
    if (open_.size() >= kMaxOpen) Clear();
    int fd = baseFd_;
    std::string path;
    for (size_t i = 0; i < dirs.size(); ++i) {
        path += '/';
        path += dirs[i];
        if (auto known = open_.find(path); known != open_.end()) {
            fd = known->second;
            continue;
        }
        int next = OpenFolderIn(fd, dirs[i], create, error);
        if (next < 0 && (errno == EMFILE || errno == ENFILE) && !open_.empty()) {
            // Out of descriptors: give back the cached ones and start over.
            Clear();
            return Open(dirs, create, error);
        }
        if (next < 0) return -1;
        open_.emplace(path, next);
        fd = next;
    }
    return fd;
}

namespace {

// A name for a file being written, unique in this process.
std::string TempName() {
    static std::atomic<unsigned> counter{0};
    return ".kelp" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".part";
}

void SetTimes(struct timespec (&times)[2], int64_t mtime) {
    times[0].tv_sec = static_cast<time_t>(mtime);
    times[0].tv_nsec = 0;
    times[1] = times[0];
}

std::deque<std::string> SplitLinkTarget(const std::string& target) {
    std::deque<std::string> parts;
    size_t start = 0;
    while (start <= target.size()) {
        size_t end = target.find('/', start);
        if (end == std::string::npos) end = target.size();
        parts.push_back(target.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool OutputFile::CreateNew(int dirFd, const std::string& leaf) {
    leaf_ = leaf;
    return file_.CreateNewIn(dirFd, leaf);
}

bool OutputFile::Create(int dirFd, const std::string& leaf, std::string& error) {
    if (CreateNew(dirFd, leaf) || (file_.Error() == EEXIST && file_.CreateIn(dirFd, leaf)))
        return true;
    error = "cannot create " + leaf + ": " + file_.ErrorText();
    return false;
}

bool OutputFile::Commit(int64_t mtime, unsigned mode, std::string& error) {
    const mode_t bits = mode != 0 ? static_cast<mode_t>(mode & 0777) : platform::DefaultFileMode();
    if (file_.Commit(bits, mtime, false)) return true;
    error = "cannot write " + leaf_ + ": " + file_.ErrorText();
    return false;
}

void SetDirTime(int baseFd, const std::vector<std::string>& dirs, const DirStamp& stamp) {
    TargetDir dir;
    std::string error;
    if (!dir.Open(baseFd, dirs, false, error)) return;
    if (stamp.mode != 0) fchmod(dir.fd(), stamp.mode & 0777);
    struct timespec times[2];
    SetTimes(times, stamp.mtime);
    futimens(dir.fd(), times);
}

bool LinkStaysInside(int baseFd, const std::vector<std::string>& dirs, const std::string& leaf,
                     const std::string& target, std::string& reason) {
    if (target.empty() || target.find('\0') != std::string::npos) {
        reason = "the link has no usable target";
        return false;
    }
    if (target[0] == '/') {
        reason = "the link points to an absolute path (" + target + ")";
        return false;
    }
    std::vector<std::string> at = dirs;
    size_t real = at.size();  // leading parts of `at` known to be real folders
    std::deque<std::string> todo = SplitLinkTarget(target);
    int followed = 0;
    while (!todo.empty()) {
        std::string part = std::move(todo.front());
        todo.pop_front();
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (at.empty()) {
                reason = "the link leads out of the target folder (" + target + ")";
                return false;
            }
            if (at.size() > real) {
                reason = "the link climbs back out of " + at.back() + ", which is no folder yet (" +
                         target + ")";
                return false;
            }
            at.pop_back();
            real = at.size();
            continue;
        }
        bool self = at == dirs && part == leaf;
        if (at.size() == real && !self) {
            TargetDir dir;
            std::string error;
            struct stat st {};
            if (dir.Open(baseFd, at, false, error) &&
                fstatat(dir.fd(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(st.st_mode)) {
                    char buf[PATH_MAX];
                    ssize_t n = readlinkat(dir.fd(), part.c_str(), buf, sizeof(buf));
                    if (++followed > 40 || n <= 0 || static_cast<size_t>(n) >= sizeof(buf)) {
                        reason = "the link passes through too many links (" + target + ")";
                        return false;
                    }
                    std::string next(buf, static_cast<size_t>(n));
                    if (next[0] == '/') {
                        reason = "the link leads out of the target folder through " + part + " (" +
                                 target + ")";
                        return false;
                    }
                    std::deque<std::string> more = SplitLinkTarget(next);
                    todo.insert(todo.begin(), more.begin(), more.end());
                    continue;
                }
                at.push_back(std::move(part));
                if (S_ISDIR(st.st_mode)) real = at.size();
                continue;
            }
        }
        at.push_back(std::move(part));
    }
    return true;
}

bool CreateLink(int dirFd, const std::string& leaf, const std::string& target, int64_t mtime,
                std::string& error) {
    std::string temp;
    int rc = -1;
    for (int attempt = 0; attempt < 100 && rc != 0; ++attempt) {
        temp = TempName();
        rc = symlinkat(target.c_str(), dirFd, temp.c_str());
        if (rc != 0 && errno != EEXIST) break;
    }
    if (rc != 0) {
        error = "cannot create the link " + leaf + ": " + std::strerror(errno);
        return false;
    }
    struct timespec times[2];
    SetTimes(times, mtime);
    utimensat(dirFd, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (renameat(dirFd, temp.c_str(), dirFd, leaf.c_str()) != 0) {
        error = "cannot create the link " + leaf + ": " + std::strerror(errno);
        unlinkat(dirFd, temp.c_str(), 0);
        return false;
    }
    return true;
}

}  // namespace kelp::zip
