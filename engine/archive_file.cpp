#include "engine/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelp::engine {

bool ArchiveFile::Open(const std::string& path, Mode mode) {
    Close();
    const int flags = (mode == Mode::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    fd_ = ::open(path.c_str(), flags);
    if (fd_ < 0) return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    position_ = 0;
    return true;
}

bool ArchiveFile::Create(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, 0644);
    position_ = 0;
    return fd_ >= 0;
}

void ArchiveFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    position_ = 0;
}

int64_t ArchiveFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool ArchiveFile::Seek(int64_t position) {
    if (fd_ < 0 || position < 0) return false;
    position_ = position;
    return true;
}

size_t ArchiveFile::Read(void* buffer, size_t size) {
    const size_t done = ReadAtMost(static_cast<uint64_t>(position_), buffer, size);
    position_ += static_cast<int64_t>(done);
    return done;
}

size_t ArchiveFile::ReadAtMost(uint64_t offset, void* buffer, size_t size) const {
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (fd_ >= 0 && done < size) {
        ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t ArchiveFile::Write(const void* buffer, size_t size) {
    size_t done = 0;
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (fd_ >= 0 && done < size) {
        ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(position_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
        position_ += n;
    }
    return done;
}

bool ArchiveFile::Truncate(int64_t size) {
    return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

bool ArchiveFile::Flush() {
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

bool BufferedWriter::Write(const void* bytes, size_t size) {
    const auto* from = static_cast<const uint8_t*>(bytes);
    buffer_.insert(buffer_.end(), from, from + size);
    return buffer_.size() < bufferSize_ || Flush();
}

bool BufferedWriter::Flush() {
    const size_t size = buffer_.size();
    if (file_.Write(buffer_.data(), size) != size) return false;
    written_ += size;
    buffer_.clear();
    return true;
}

BufferedReader::BufferedReader(ArchiveFile& file, size_t bufferSize)
    : file_(file), buffer_(bufferSize) {}

bool BufferedReader::Seek(int64_t position) {
    begin_ = end_ = 0;
    position_ = position;
    return file_.Seek(position);
}

bool BufferedReader::Fill() {
    begin_ = 0;
    end_ = 0;
    if (!file_.Seek(position_)) return false;
    end_ = file_.Read(buffer_.data(), buffer_.size());
    return end_ > 0;
}

size_t BufferedReader::Read(void* buffer, size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < size) {
        if (begin_ == end_ && !Fill()) break;
        const size_t n = std::min(size - done, end_ - begin_);
        std::memcpy(out + done, buffer_.data() + begin_, n);
        begin_ += n;
        done += n;
        position_ += static_cast<int64_t>(n);
    }
    return done;
}

std::span<const uint8_t> BufferedReader::Peek(size_t size) {
    if (begin_ == end_) Fill();
    return {buffer_.data() + begin_, std::min(size, end_ - begin_)};
}

RecordRead ReadCentralRecord(BufferedReader& source, std::vector<uint8_t>& scratch,
                             kelp::zip::CentralRecord& record) {
    namespace zip = kelp::zip;
    // Most records stand whole in the buffer: parsed where they stand. One
    // that runs past the buffer (or the file) is copied together.
    const auto fixed = source.Peek(zip::kCentralHeaderSize);
    if (fixed.size() == zip::kCentralHeaderSize && zip::ParseCentralHeader(fixed, record.header)) {
        const size_t size = zip::CentralRecordSize(record.header);
        const auto whole = source.Peek(size);
        if (whole.size() == size) {
            zip::FinishCentralRecord(whole, record);
            source.Skip(size);
            return RecordRead::Ok;
        }
    }
    return ReadCentralRecord<BufferedReader>(source, scratch, record);
}

void BufferedReader::Skip(uint64_t count) {
    const size_t inBuffer = end_ - begin_;
    if (count <= inBuffer) {
        begin_ += static_cast<size_t>(count);
    } else {
        begin_ = end_ = 0;
    }
    position_ += static_cast<int64_t>(count);
}

}  // namespace kelp::engine
