#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>

namespace kelp::platform {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFileSystem(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && S_ISDIR(sa.st_mode) && stat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev;
}

}  // namespace

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8)) & 0777;
            } catch (const std::exception&) {
                break;
            }
        }
    }
    return 022;
}

mode_t DefaultFileMode() {
    return 0666 & ~CurrentUmask();
}

bool AtomicFile::Fail(int error) {
    if (!error_) error_ = error ? error : EIO;
    return false;
}

std::string AtomicFile::ErrorText() const {
    return std::strerror(error_ ? error_ : EIO);
}

bool AtomicFile::Create(const std::string& target, const std::string& tempFolder) {
    const std::string folder = FolderOf(target);
    const bool elsewhere = !tempFolder.empty() && SameFileSystem(tempFolder, folder);
    std::string where = elsewhere ? tempFolder : folder;
    if (where.back() != '/') where += '/';
    if (!Open(AT_FDCWD, where, LeafOf(target))) return false;
    finalName_ = target;
    return true;
}

bool AtomicFile::CreateIn(int dirFd, const std::string& leaf) {
    if (dirFd < 0) {
        Abort();
        error_ = 0;
        return Fail(EBADF);
    }
    if (!Open(dirFd, std::string(), leaf)) return false;
    finalName_ = leaf;
    return true;
}

bool AtomicFile::CreateNewIn(int dirFd, const std::string& leaf) {
    Abort();
    error_ = 0;
    if (dirFd < 0) return Fail(EBADF);
    fd_ = openat(dirFd, leaf.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) return Fail(errno);
    dirFd_ = dirFd;
    tempName_ = leaf;
    finalName_ = leaf;
    return true;
}

// A hidden name beside the final one that says whose file it is; created
// exclusively, so an existing file or link of that name is never used.
bool AtomicFile::Open(int dirFd, const std::string& folder, const std::string& leaf) {
    Abort();
    error_ = 0;
    thread_local std::mt19937 random{std::random_device{}()};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The leaf is cut short so that a final name near the length limit
        // still leaves room for the temporary one.
        std::string name = folder + "." + leaf.substr(0, 64) + ".kelp-";
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        fd_ = openat(dirFd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            dirFd_ = dirFd;
            tempName_ = name;
            return true;
        }
        if (errno != EEXIST) break;
    }
    return Fail(errno);
}

bool AtomicFile::Write(const void* data, size_t size) {
    if (fd_ < 0) return Fail(EBADF);
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::Commit(mode_t mode, std::optional<int64_t> mtime, bool durable) {
    if (fd_ < 0 || tempName_.empty()) return Fail(EBADF);
    bool ok = fchmod(fd_, mode & 07777) == 0 || Fail(errno);
    if (ok && mtime) {
        struct timespec times[2];
        times[0].tv_sec = static_cast<time_t>(*mtime);
        times[0].tv_nsec = 0;
        times[1] = times[0];
        ok = futimens(fd_, times) == 0 || Fail(errno);
    }
    ok = ok && (!durable || fsync(fd_) == 0 || Fail(errno));
    const int closed = ::close(fd_);
    fd_ = -1;
    ok = ok && (closed == 0 || Fail(errno));
    // renameat replaces whatever entry has the final name, a link included,
    // without following it.
    ok =
        ok && (tempName_ == finalName_ ||
               renameat(dirFd_, tempName_.c_str(), dirFd_, finalName_.c_str()) == 0 || Fail(errno));
    if (!ok) {
        Abort();
        return false;
    }
    tempName_.clear();
    if (!durable) return true;
    if (dirFd_ != AT_FDCWD) {
        fsync(dirFd_);
    } else if (const int dir =
                   open(FolderOf(finalName_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
               dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return true;
}

void AtomicFile::Abort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempName_.empty()) unlinkat(dirFd_, tempName_.c_str(), 0);
    tempName_.clear();
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, mode_t mode) {
    AtomicFile file;
    return file.Create(path) && file.Write(bytes.data(), bytes.size()) && file.Commit(mode);
}

}  // namespace kelp::platform
