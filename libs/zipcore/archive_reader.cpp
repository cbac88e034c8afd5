#include "archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dos_time.h"
#include "name_encoding.h"
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

uint16_t MemberEntry::CompressionMethod() const {
    if (header.method != kMethodAes) return header.method;
    const auto aes = FindAesExtra(extra);
    return aes ? aes->method : kMethodAes;
}

uint32_t MemberEntry::UnixMode() const {
    if (header.hostSystem != kHostUnix) return 0;
    return header.externalAttributes >> 16;
}

size_t MemberEntry::ExpectedLocalSize() const {
    constexpr size_t kExtraRoom = 64;
    return kLocalHeaderSize + name.size() + extra.size() + kExtraRoom;
}

int64_t MemberModTime(const MemberEntry& entry, const MemberData* data) {
    if (data) {
        if (auto t = FindUnixModTime(data->localExtra)) return *t;
    }
    if (auto t = FindUnixModTime(entry.extra)) return *t;
    return DosToUnixTime(entry.header.dosDate, entry.header.dosTime);
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
    // Stored offsets may fall short of the real ones (a prefix they do not
    // count), never run past them.
    if (storedOffset > centralOffset_) {
        error = "the end record places the central directory past where it lies";
        return false;
    }
    shift_ = static_cast<int64_t>(centralOffset_) - static_cast<int64_t>(storedOffset);
    return ReadDirectory(error);
}

bool ArchiveReader::ReadZip64End(uint64_t& entries, uint64_t& size, uint64_t& offset,
                                 uint64_t& recordAt) const {
    uint8_t bytes[kZip64EocdSize];
    Zip64Locator locator;
    if (eocdOffset_ < kZip64LocatorSize ||
        !ReadAt(eocdOffset_ - kZip64LocatorSize, bytes, kZip64LocatorSize) ||
        !ParseZip64Locator(std::span(bytes, kZip64LocatorSize), locator))
        return false;
    // The record normally stands right in front of its locator; otherwise
    // believe the offset the locator stores.
    Zip64Eocd record;
    auto readRecord = [&](uint64_t at) {
        return at + kZip64EocdSize <= eocdOffset_ && ReadAt(at, bytes, kZip64EocdSize) &&
               ParseZip64Eocd(bytes, record);
    };
    const uint64_t inFront = eocdOffset_ - kZip64LocatorSize;
    if (inFront >= kZip64EocdSize && readRecord(inFront - kZip64EocdSize))
        recordAt = inFront - kZip64EocdSize;
    else if (readRecord(locator.eocdOffset))
        recordAt = locator.eocdOffset;
    else
        return false;
    entries = record.totalEntries;
    size = record.centralSize;
    offset = record.centralOffset;
    return true;
}

bool ArchiveReader::ReadDirectory(std::string& error) {
    // Read once and kept: the entries' names, extra fields and comments
    // are views into these bytes rather than copies of their own.
    std::vector<uint8_t>& dir = directory_;
    dir.resize(centralSize_);
    if (!ReadAt(centralOffset_, dir.data(), dir.size())) {
        error = "cannot read the central directory";
        return false;
    }
    entries_.reserve(
        static_cast<size_t>(std::min<uint64_t>(totalEntries_, dir.size() / kCentralHeaderSize)));
    // The directory's size bounds it, not the end record's count: a count
    // that is too low must not hide members, one too high must not invent
    // them.
    size_t pos = 0;
    while (pos < dir.size()) {
        // A digital signature record may close the directory.
        if (dir.size() - pos >= 4 && ReadLe32(&dir[pos]) == kDigitalSignatureSignature) break;
        CentralRecord r;
        if (!ParseCentralRecord(std::span(dir).subspan(pos), r)) {
            truncated_ = true;
            break;
        }
        MemberEntry e;
        e.header = r.header;
        e.name = r.name;
        e.extra = r.extra;
        e.comment = r.comment;
        e.packedSize = r.packedSize;
        e.unpackedSize = r.unpackedSize;
        e.localOffset = r.localOffset;
        int64_t local = static_cast<int64_t>(e.localOffset) + shift_;
        if (local < 0 || static_cast<uint64_t>(local) >= centralOffset_) {
            // Kept so the member is reported; Locate refuses it.
            local = static_cast<int64_t>(fileSize_);
        }
        e.localOffset = static_cast<uint64_t>(local);
        entries_.push_back(std::move(e));
        pos += r.recordSize;
    }
    if (entries_.empty() && (totalEntries_ > 0 || truncated_)) {
        error = "the central directory is damaged";
        return false;
    }
    NameEntries();
    MarkOverlaps();
    return true;
}

void ArchiveReader::NameEntries() {
    // Only names that are not plain ASCII can need a code page: ASCII is
    // valid UTF-8 and keeps its text, so the choice is made over the others.
    std::vector<StoredName> names;
    for (const MemberEntry& e : entries_)
        if (!IsAscii(e.name))
            names.push_back({e.name, e.extra, e.header.flags, e.header.hostSystem});
    charset_ = ArchiveNameCharset(names, chosenCharset_);
    for (MemberEntry& e : entries_)
        e.displayName = DecodeStoredName({e.name, e.extra, e.header.flags, e.header.hostSystem},
                                         charset_, !chosenCharset_.empty());
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
    // sound archive the next member starts no earlier than that. Members
    // are taken in the order of their offsets: sorted as (offset, index)
    // pairs, and not at all when the directory lists them in that order
    // already, as writers do.
    std::vector<std::pair<uint64_t, size_t>> order;
    order.reserve(entries_.size());
    // Members whose data would run past the directory are refused by
    // Locate on their own; they do not make their neighbours suspect.
    bool sorted = true;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const MemberEntry& e = entries_[i];
        const uint64_t room = centralOffset_ - std::min(centralOffset_, e.localOffset);
        if (room < kLocalHeaderSize || e.packedSize > room - kLocalHeaderSize) continue;
        if (!order.empty() && e.localOffset < order.back().first) sorted = false;
        order.emplace_back(e.localOffset, i);
    }
    if (!sorted) std::sort(order.begin(), order.end());
    uint64_t reach = 0;  // the furthest end of the members before
    size_t reacher = 0;  // the member that reaches it
    bool any = false;
    for (const auto& [offset, i] : order) {
        MemberEntry& e = entries_[i];
        if (any && offset < reach) {
            if (!e.overlapsAnother) ++overlapping_;
            e.overlapsAnother = true;
            if (!entries_[reacher].overlapsAnother) ++overlapping_;
            entries_[reacher].overlapsAnother = true;
        }
        const uint64_t end = offset + kLocalHeaderSize + e.packedSize;
        if (!any || end > reach) {
            reach = end;
            reacher = i;
        }
        any = true;
    }
}

bool ArchiveReader::Locate(const MemberEntry& entry, MemberData& out, std::string& error,
                           const ByteSource& source, LocalHeader* local,
                           std::string* localName) const {
    if (entry.localOffset + kLocalHeaderSize > centralOffset_) {
        error = "local header is missing or damaged";
        return false;
    }
    // One read takes the header with what the central header lets one
    // expect; only a longer local extra field is read again.
    const size_t want = static_cast<size_t>(
        std::min<uint64_t>(centralOffset_ - entry.localOffset, entry.ExpectedLocalSize()));
    uint8_t small[512];
    std::vector<uint8_t> large;
    uint8_t* buf = small;
    if (want > sizeof(small)) {
        large.resize(want);
        buf = large.data();
    }
    LocalHeader lh;
    if (!source.ReadAt(entry.localOffset, buf, want) ||
        !ParseLocalHeader(std::span<const uint8_t>(buf, want), lh)) {
        error = "local header is missing or damaged";
        return false;
    }
    const size_t extraAt = kLocalHeaderSize + lh.nameLength;
    if (local) *local = lh;
    if (localName && extraAt <= want)
        localName->assign(reinterpret_cast<const char*>(buf) + kLocalHeaderSize, lh.nameLength);
    uint64_t dataOffset = entry.localOffset + extraAt + lh.extraLength;
    // Sizes come from the central directory: local ones are zero when a
    // data descriptor follows.
    uint64_t packed = entry.packedSize;
    if (dataOffset > centralOffset_ || packed > centralOffset_ - dataOffset) {
        error = "member data runs past the end of the archive";
        return false;
    }
    if (extraAt + lh.extraLength <= want) {
        out.localExtra.assign(buf + extraAt, buf + extraAt + lh.extraLength);
    } else {
        out.localExtra.resize(lh.extraLength);
        if (!source.ReadAt(entry.localOffset + extraAt, out.localExtra.data(), lh.extraLength)) {
            error = "cannot read the local extra field";
            return false;
        }
    }
    out.dataOffset = dataOffset;
    out.packedSize = packed;
    out.unpackedSize = entry.unpackedSize;
    out.crc = entry.header.crc;
    out.method = entry.header.method;
    // An AES member's data is compressed with the method its field names;
    // without a sound field it keeps method 99, which nothing decodes.
    out.aes = out.method == kMethodAes ? FindAesExtra(entry.extra) : std::nullopt;
    if (out.aes) out.method = out.aes->method;
    out.flags = entry.header.flags;
    out.dosTime = entry.header.dosTime;
    return true;
}

}  // namespace kelp::zip
