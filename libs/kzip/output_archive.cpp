#include "output_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelp::kzip {
namespace {

constexpr size_t kBufferSize = 1u << 20;

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

OutputArchive::~OutputArchive() {
    Abort();
}

bool OutputArchive::Fail(int error) {
    if (!error_) error_ = error ? error : EIO;
    return false;
}

std::string OutputArchive::ErrorText() const {
    return std::strerror(error_ ? error_ : EIO);
}

bool OutputArchive::Create(const std::string& target, const std::string& tempDir,
                           std::string& error) {
    target_ = target;
    std::string folder = FolderOf(target);
    std::string where = folder;
    if (!tempDir.empty()) {
        // A rename works only within one file system.
        struct stat a {
        }, b{};
        if (stat(tempDir.c_str(), &a) == 0 && S_ISDIR(a.st_mode) && stat(folder.c_str(), &b) == 0 &&
            a.st_dev == b.st_dev)
            where = tempDir;
    }
    if (where.empty() || where.back() != '/') where += '/';
    tempPath_ = where + "kzip-XXXXXX";
    fd_ = mkostemp(tempPath_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error =
            std::string("cannot create a temporary file in ") + where + ": " + std::strerror(errno);
        tempPath_.clear();
        return false;
    }
    buffer_.reserve(kBufferSize);
    return true;
}

bool OutputArchive::Flush() {
    if (error_) return false;
    size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                           static_cast<off_t>(flushed_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    flushed_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool OutputArchive::Write(const void* data, size_t size) {
    if (error_) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        size_t room = kBufferSize - buffer_.size();
        size_t take = size < room ? size : room;
        buffer_.insert(buffer_.end(), p, p + take);
        p += take;
        size -= take;
        offset_ += take;
        if (buffer_.size() == kBufferSize && !Flush()) return false;
    }
    return true;
}

bool OutputArchive::PatchAt(uint64_t offset, const void* data, size_t size) {
    if (!Flush()) return false;
    if (offset + size > flushed_) return Fail(EINVAL);
    ssize_t n = pwrite(fd_, data, size, static_cast<off_t>(offset));
    return n == static_cast<ssize_t>(size) || Fail(n < 0 ? errno : ENOSPC);
}

bool OutputArchive::Truncate(uint64_t offset) {
    if (!Flush()) return false;
    if (ftruncate(fd_, static_cast<off_t>(offset)) != 0) return Fail(errno);
    flushed_ = offset_ = offset;
    return true;
}

bool OutputArchive::Commit(mode_t mode, std::optional<int64_t> mtime, std::string& error) {
    bool ok = Flush() && (fchmod(fd_, mode) == 0 || Fail(errno));
    if (ok && mtime) {
        struct timespec times[2];
        times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(*mtime);
        times[0].tv_nsec = times[1].tv_nsec = 0;
        ok = futimens(fd_, times) == 0 || Fail(errno);
    }
    ok = ok && (fsync(fd_) == 0 || Fail(errno));
    if (ok) {
        int rc = close(fd_);
        fd_ = -1;
        ok = rc == 0 || Fail(errno);
    }
    ok = ok && (rename(tempPath_.c_str(), target_.c_str()) == 0 || Fail(errno));
    if (!ok) {
        error = ErrorText();
        Abort();
        return false;
    }
    tempPath_.clear();
    // The rename itself reaches the disk with the folder.
    int dir = open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

void OutputArchive::Abort() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) unlink(tempPath_.c_str());
    tempPath_.clear();
}

}  // namespace kelp::kzip
