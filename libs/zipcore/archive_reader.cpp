#include "archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "oem_names.h"

namespace kelp::zip {

bool MemberEntry::IsDirectory() const {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
    return UnixMode() != 0 && S_ISDIR(header.externalAttributes >> 16);
}

bool MemberEntry::IsSymlink() const {
    return header.hostSystem == kHostUnix && S_ISLNK(header.externalAttributes >> 16);
}

uint32_t MemberEntry::UnixMode() const {
    if (header.hostSystem != kHostUnix) return 0;
    return header.externalAttributes >> 16;
}

ArchiveReader::~ArchiveReader() {
    if (fd_ >= 0) close(fd_);
}

bool ArchiveReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    auto* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t got = pread(fd_, out, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        size -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

bool ArchiveReader::Open(const std::string& path, std::string& error) {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return false;
    }
    fileSize_ = static_cast<uint64_t>(st.st_size);
    if (fileSize_ < kEocdSize) {
        error = "not a valid Zip archive";
        return false;
    }
    // The end record lies within the last 64 KiB + 22 bytes.
    size_t tailSize = static_cast<size_t>(std::min<uint64_t>(fileSize_, kMaxEocdSearch));
    std::vector<uint8_t> tail(tailSize);
    uint64_t tailStart = fileSize_ - tailSize;
    if (!ReadAt(tailStart, tail.data(), tailSize)) {
        error = "cannot read the end of the archive";
        return false;
    }
    auto at = FindEocd(tail);
    if (!at || !ParseEocd(std::span(tail).subspan(*at), eocd_)) {
        error = "not a valid Zip archive";
        return false;
    }
    eocdOffset_ = tailStart + *at;
    size_t commentAt = *at + kEocdSize;
    comment_.assign(reinterpret_cast<const char*>(tail.data()) + commentAt,
                    std::min<size_t>(eocd_.commentLength, tailSize - commentAt));
    if (eocd_.thisDisk != 0 || eocd_.centralDisk != 0) {
        error = "multi-disk archives must be joined first";
        return false;
    }
    if (eocd_.centralSize > eocdOffset_) {
        error = "central directory size is larger than the archive";
        return false;
    }
    // The directory is taken to end right in front of the end record; the
    // difference to the stored offset is a prefix the offsets do not count.
    centralOffset_ = eocdOffset_ - eocd_.centralSize;
    shift_ = static_cast<int64_t>(centralOffset_) - static_cast<int64_t>(eocd_.centralOffset);
    return ReadDirectory(error);
}

bool ArchiveReader::ReadDirectory(std::string& error) {
    std::vector<uint8_t> dir(eocd_.centralSize);
    if (!ReadAt(centralOffset_, dir.data(), dir.size())) {
        error = "cannot read the central directory";
        return false;
    }
    entries_.reserve(std::min<size_t>(eocd_.totalEntries, dir.size() / kCentralHeaderSize));
    size_t pos = 0;
    for (unsigned i = 0; i < eocd_.totalEntries; ++i) {
        MemberEntry e;
        if (!ParseCentralHeader(std::span(dir).subspan(pos), e.header)) {
            truncated_ = true;
            break;
        }
        size_t varLen = size_t{e.header.nameLength} + e.header.extraLength + e.header.commentLength;
        if (varLen > dir.size() - pos - kCentralHeaderSize) {
            truncated_ = true;
            break;
        }
        const uint8_t* p = dir.data() + pos + kCentralHeaderSize;
        e.name.assign(reinterpret_cast<const char*>(p), e.header.nameLength);
        e.displayName = HasOemName(e.header) ? OemToUtf8(e.name) : e.name;
        e.extra.assign(p + e.header.nameLength, p + e.header.nameLength + e.header.extraLength);
        e.comment.assign(
            reinterpret_cast<const char*>(p) + e.header.nameLength + e.header.extraLength,
            e.header.commentLength);
        int64_t local = static_cast<int64_t>(e.header.localHeaderOffset) + shift_;
        if (local < 0 || static_cast<uint64_t>(local) >= centralOffset_) {
            // Kept so the member is reported; Locate refuses it.
            local = static_cast<int64_t>(fileSize_);
        }
        e.localOffset = static_cast<uint64_t>(local);
        entries_.push_back(std::move(e));
        pos += kCentralHeaderSize + varLen;
    }
    if (entries_.empty() && eocd_.totalEntries > 0) {
        error = "the central directory is damaged";
        return false;
    }
    return true;
}

bool ArchiveReader::Locate(const MemberEntry& entry, MemberData& out, std::string& error) const {
    uint8_t buf[kLocalHeaderSize];
    LocalHeader lh;
    if (entry.localOffset + kLocalHeaderSize > centralOffset_ ||
        !ReadAt(entry.localOffset, buf, sizeof(buf)) || !ParseLocalHeader(buf, lh)) {
        error = "local header is missing or damaged";
        return false;
    }
    uint64_t dataOffset = entry.localOffset + kLocalHeaderSize + lh.nameLength + lh.extraLength;
    // Sizes come from the central directory: local ones are zero when a
    // data descriptor follows.
    uint64_t packed = entry.header.packedSize;
    if (dataOffset > centralOffset_ || packed > centralOffset_ - dataOffset) {
        error = "member data runs past the end of the archive";
        return false;
    }
    out.localExtra.resize(lh.extraLength);
    if (lh.extraLength && !ReadAt(entry.localOffset + kLocalHeaderSize + lh.nameLength,
                                  out.localExtra.data(), lh.extraLength)) {
        error = "cannot read the local extra field";
        return false;
    }
    out.dataOffset = dataOffset;
    out.packedSize = packed;
    out.unpackedSize = entry.header.unpackedSize;
    out.crc = entry.header.crc;
    out.method = entry.header.method;
    out.flags = entry.header.flags;
    out.dosTime = entry.header.dosTime;
    return true;
}

}  // namespace kelp::zip
