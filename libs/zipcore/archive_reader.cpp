#include "archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "oem_names.h"

namespace kelp::zip {

// The digital signature record that may close a central directory.
constexpr uint32_t kDigitalSignatureSignature = 0x05054B50;

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
    // Archives with more members or bytes than the end record holds carry
    // a ZIP64 end record in front of it; its values replace full fields.
    uint64_t storedOffset = eocd_.centralOffset;
    uint64_t directoryEnd = eocdOffset_;
    totalEntries_ = eocd_.totalEntries;
    centralSize_ = eocd_.centralSize;
    uint64_t entries64 = 0, size64 = 0, offset64 = 0, recordAt = 0;
    if (ReadZip64End(entries64, size64, offset64, recordAt)) {
        if (eocd_.totalEntries == 0xFFFF) totalEntries_ = entries64;
        if (eocd_.centralSize == 0xFFFFFFFF) centralSize_ = size64;
        if (eocd_.centralOffset == 0xFFFFFFFF) storedOffset = offset64;
        directoryEnd = recordAt;
    }
    if (centralSize_ > directoryEnd) {
        error = "central directory size is larger than the archive";
        return false;
    }
    // The directory is taken to end right in front of the end record; the
    // difference to the stored offset is a prefix the offsets do not count.
    centralOffset_ = directoryEnd - centralSize_;
    shift_ = static_cast<int64_t>(centralOffset_) - static_cast<int64_t>(storedOffset);
    return ReadDirectory(error);
}

bool ArchiveReader::ReadZip64End(uint64_t& entries, uint64_t& size, uint64_t& offset,
                                 uint64_t& recordAt) const {
    constexpr size_t kLocatorSize = 20, kRecordSize = 56;
    uint8_t locator[kLocatorSize];
    if (eocdOffset_ < kLocatorSize || !ReadAt(eocdOffset_ - kLocatorSize, locator, kLocatorSize) ||
        ReadLe32(locator) != 0x07064B50)
        return false;
    // The record normally stands right in front of its locator; otherwise
    // believe the offset the locator stores.
    uint8_t record[kRecordSize];
    auto readRecord = [&](uint64_t at) {
        return at + kRecordSize <= eocdOffset_ && ReadAt(at, record, kRecordSize) &&
               ReadLe32(record) == 0x06064B50;
    };
    const uint64_t stored = ReadLe64(locator + 8);
    if (eocdOffset_ >= kLocatorSize + kRecordSize && readRecord(eocdOffset_ - kLocatorSize - kRecordSize))
        recordAt = eocdOffset_ - kLocatorSize - kRecordSize;
    else if (readRecord(stored))
        recordAt = stored;
    else
        return false;
    entries = ReadLe64(record + 32);
    size = ReadLe64(record + 40);
    offset = ReadLe64(record + 48);
    return true;
}

// Takes the 64-bit values of the ZIP64 extra field (id 1) for the header
// fields that are full: size, packed size, local header offset, in order.
static void ApplyZip64Extra(MemberEntry& e) {
    uint64_t* targets[3] = {e.header.unpackedSize == 0xFFFFFFFF ? &e.unpackedSize : nullptr,
                            e.header.packedSize == 0xFFFFFFFF ? &e.packedSize : nullptr,
                            e.header.localHeaderOffset == 0xFFFFFFFF ? &e.localOffset : nullptr};
    const std::vector<uint8_t>& x = e.extra;
    for (size_t at = 0; at + 4 <= x.size();) {
        const uint16_t id = ReadLe16(&x[at]);
        const size_t length = ReadLe16(&x[at + 2]);
        if (at + 4 + length > x.size()) return;
        if (id == 1) {
            size_t field = at + 4;
            for (uint64_t* target : targets) {
                if (!target) continue;
                if (field + 8 > at + 4 + length) return;
                *target = ReadLe64(&x[field]);
                field += 8;
            }
            return;
        }
        at += 4 + length;
    }
}

bool ArchiveReader::ReadDirectory(std::string& error) {
    std::vector<uint8_t> dir(centralSize_);
    if (!ReadAt(centralOffset_, dir.data(), dir.size())) {
        error = "cannot read the central directory";
        return false;
    }
    entries_.reserve(static_cast<size_t>(std::min<uint64_t>(totalEntries_, dir.size() / kCentralHeaderSize)));
    // The directory's size bounds it, not the end record's count: a count
    // that is too low must not hide members, one too high must not invent
    // them.
    size_t pos = 0;
    while (pos < dir.size()) {
        // A digital signature record may close the directory.
        if (dir.size() - pos >= 4 && ReadLe32(&dir[pos]) == kDigitalSignatureSignature) break;
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
        e.packedSize = e.header.packedSize;
        e.unpackedSize = e.header.unpackedSize;
        e.localOffset = e.header.localHeaderOffset;
        ApplyZip64Extra(e);
        int64_t local = static_cast<int64_t>(e.localOffset) + shift_;
        if (local < 0 || static_cast<uint64_t>(local) >= centralOffset_) {
            // Kept so the member is reported; Locate refuses it.
            local = static_cast<int64_t>(fileSize_);
        }
        e.localOffset = static_cast<uint64_t>(local);
        entries_.push_back(std::move(e));
        pos += kCentralHeaderSize + varLen;
    }
    if (entries_.empty() && (totalEntries_ > 0 || truncated_)) {
        error = "the central directory is damaged";
        return false;
    }
    MarkOverlaps();
    return true;
}

bool ArchiveReader::countMismatch() const {
    const uint64_t found = entries_.size();
    if (found == totalEntries_) return false;
    // Writers without ZIP64 records let the 16-bit count wrap past 65 535.
    return !(eocd_.totalEntries != 0xFFFF && totalEntries_ == eocd_.totalEntries &&
             found > 0xFFFF && (found & 0xFFFF) == totalEntries_);
}

void ArchiveReader::MarkOverlaps() {
    // A member takes at least its local header and its packed data; in a
    // sound archive the next member starts no earlier than that.
    std::vector<size_t> order;
    order.reserve(entries_.size());
    // Members whose data would run past the directory are refused by
    // Locate on their own; they do not make their neighbours suspect.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const MemberEntry& e = entries_[i];
        const uint64_t room = centralOffset_ - std::min(centralOffset_, e.localOffset);
        if (room >= kLocalHeaderSize && e.packedSize <= room - kLocalHeaderSize) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return entries_[a].localOffset < entries_[b].localOffset;
    });
    uint64_t reach = 0;  // the furthest end of the members before
    size_t reacher = 0;  // the member that reaches it
    bool any = false;
    for (size_t i : order) {
        MemberEntry& e = entries_[i];
        if (any && e.localOffset < reach) {
            e.overlapsAnother = true;
            entries_[reacher].overlapsAnother = true;
        }
        const uint64_t end = e.localOffset + kLocalHeaderSize + e.packedSize;
        if (!any || end > reach) {
            reach = end;
            reacher = i;
        }
        any = true;
    }
    overlapping_ = static_cast<size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const MemberEntry& e) { return e.overlapsAnother; }));
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
    uint64_t packed = entry.packedSize;
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
    out.unpackedSize = entry.unpackedSize;
    out.crc = entry.header.crc;
    out.method = entry.header.method;
    out.flags = entry.header.flags;
    out.dosTime = entry.header.dosTime;
    return true;
}

}  // namespace kelp::zip
