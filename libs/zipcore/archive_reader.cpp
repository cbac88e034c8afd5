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

namespace {

// Room Locate leaves for a local extra field somewhat longer than the
// central one.
constexpr size_t kExtraRoom = 64;

}  // namespace

size_t MemberEntry::ExpectedLocalSize() const {
    return kLocalHeaderSize + name.size() + extra.size() + kExtraRoom;
}

MemberExtent ArchiveReader::Extent(size_t index) const {
    const CentralDirectory::Place p = directory_.PlaceOf(index);
    return {CentralDirectory::LocalOffset(p.localOffset, shift_, centralOffset_, fileSize_),
            p.packedSize,
            p.unpackedSize,
            kLocalHeaderSize + p.nameAndExtra + kExtraRoom,
            p.flags,
            p.method,
            directory_.Overlaps(index)};
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

bool ArchiveReader::Open(const std::string& path, std::string& error, const KDirectoryLoan* loan) {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    if (fstat(fd_, &stat_) != 0 || !S_ISREG(stat_.st_mode)) {
        error = "not a regular file";
        return false;
    }
    fileSize_ = static_cast<uint64_t>(stat_.st_size);
    switch (FindArchiveEnd(*this, fileSize_, end_)) {
        case EndSearch::Found:
            break;
        case EndSearch::NotFound:
            error = "not a valid Zip archive";
            return false;
        case EndSearch::ReadFailed:
            error = "cannot read the end of the archive";
            return false;
    }
    const EocdRecord& eocd = end_.eocd;
    if (eocd.ThisDisk != 0 || eocd.CentralDisk != 0) {
        error = "multi-disk archives must be joined first";
        return false;
    }
    // The directory is taken to end right in front of the (ZIP64) end
    // record; the difference to the stored offset is a prefix the offsets
    // do not count.
    const int64_t start = CentralDirectoryStart(end_);
    if (start < 0) {
        error = "central directory size is larger than the archive";
        return false;
    }
    centralOffset_ = static_cast<uint64_t>(start);
    // Stored offsets may fall short of the real ones (a prefix they do not
    // count), never run past them.
    if (eocd.CentralOffset > centralOffset_) {
        error = "the end record places the central directory past where it lies";
        return false;
    }
    shift_ = start - static_cast<int64_t>(eocd.CentralOffset);
    return ReadDirectory(error, loan);
}

bool ArchiveReader::LoanFits(const KDirectoryLoan& loan) const {
    if (loan.FileDevice != static_cast<uint64_t>(stat_.st_dev) ||
        loan.FileInode != static_cast<uint64_t>(stat_.st_ino) || loan.FileSize != fileSize_ ||
        loan.FileTimeSec != static_cast<int64_t>(stat_.st_mtim.tv_sec) ||
        loan.FileTimeNsec != static_cast<int64_t>(stat_.st_mtim.tv_nsec))
        return false;
    if (loan.CentralOffset != centralOffset_ || loan.CentralSize != end_.eocd.CentralSize ||
        (!loan.Bytes && loan.CentralSize > 0) || (!loan.HeaderAt && loan.Count > 0) ||
        loan.Count > loan.CentralSize / kCentralHeaderSize)
        return false;
    // The index and the names must stay inside what was lent.
    uint64_t next = 0;
    for (uint64_t i = 0; i < loan.Count; ++i) {
        const uint64_t at = loan.HeaderAt[i];
        if (at < next || at + kCentralHeaderSize > loan.CentralSize) return false;
        next = at + kCentralHeaderSize;
        if (!loan.NameAt || loan.NameAt[i] == 0) continue;
        const uint64_t name = loan.NameAt[i] - 1;
        uint32_t length = 0;
        if (!loan.Names || name + sizeof length > loan.NamesSize) return false;
        std::memcpy(&length, loan.Names + name, sizeof length);
        if (length > loan.NamesSize - name - sizeof length) return false;
    }
    return true;
}

bool ArchiveReader::ReadDirectory(std::string& error, const KDirectoryLoan* loan) {
    const EocdRecord& eocd = end_.eocd;
    DirectoryOptions options;
    options.charset = chosenCharset_;
    if (loan && LoanFits(*loan)) {
        directory_.Borrow(*loan, eocd.TotalEntries, options);
    } else {
        SinglePart file(*this, fileSize_);
        if (!directory_.Read(file, 0, centralOffset_, eocd.CentralSize, eocd.TotalEntries, options,
                             error))
            return false;
    }
    if (directory_.bytesMissing()) {
        error = "cannot read the central directory";
        return false;
    }
    if (directory_.empty() && (eocd.TotalEntries > 0 || directoryTruncated())) {
        error = "the central directory is damaged";
        return false;
    }
    overlapping_ = directory_.MarkOverlaps(shift_, centralOffset_);
    return true;
}

MemberEntry MemberAt(const ArchiveReader& reader, size_t index) {
    const CentralDirectory& dir = reader.directory_;
    const CentralRecord r = dir.Record(index);
    MemberEntry e;
    e.header = r.header;
    e.name = r.name;
    e.displayName = dir.Name(index, r);
    e.extra = r.extra;
    e.comment = r.comment;
    e.packedSize = r.packedSize;
    e.unpackedSize = r.unpackedSize;
    // Kept so the member is reported; Locate refuses it.
    e.localOffset = CentralDirectory::LocalOffset(r.localOffset, reader.shift_,
                                                  reader.centralOffset_, reader.fileSize_);
    e.overlapsAnother = dir.Overlaps(index);
    return e;
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
