#include "output_archive.h"

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelp::kzip {
namespace {

constexpr size_t kBufferSize = 1u << 20;

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
    if (!file_.Create(target, tempDir)) {
        error = "cannot create a temporary file for " + target + ": " + file_.ErrorText();
        return false;
    }
    buffer_.reserve(kBufferSize);
    return true;
}

bool OutputArchive::Flush() {
    if (error_) return false;
    size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = pwrite(file_.fd(), buffer_.data() + done, buffer_.size() - done,
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
    ssize_t n = pwrite(file_.fd(), data, size, static_cast<off_t>(offset));
    return n == static_cast<ssize_t>(size) || Fail(n < 0 ? errno : ENOSPC);
}

bool OutputArchive::Truncate(uint64_t offset) {
    if (!Flush()) return false;
    if (ftruncate(file_.fd(), static_cast<off_t>(offset)) != 0) return Fail(errno);
    flushed_ = offset_ = offset;
    return true;
}

bool OutputArchive::Commit(mode_t mode, std::optional<int64_t> mtime, std::string& error) {
    if (!Flush()) {
        error = ErrorText();
        Abort();
        return false;
    }
    if (!file_.Commit(mode, mtime)) {
        error = file_.ErrorText();
        return false;
    }
    return true;
}

void OutputArchive::Abort() {
    file_.Abort();
}

std::string OutputArchive::ReadablePath() {
    return Flush() ? file_.TempPath() : std::string();
}

}  // namespace kelp::kzip
