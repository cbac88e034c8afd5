#include "archive_end.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "zip_records.h"

namespace kelp::zip {

namespace {

EocdRecord FromEocd(const Eocd& e) {
    EocdRecord eocd;
    eocd.ThisDisk = e.thisDisk;
    eocd.CentralDisk = e.centralDisk;
    eocd.EntriesThisDisk = e.entriesOnDisk;
    eocd.TotalEntries = e.totalEntries;
    eocd.CentralSize = e.centralSize;
    eocd.CentralOffset = e.centralOffset;
    eocd.CommentLength = e.commentLength;
    return eocd;
}

// An archive with more members or bytes than the end record's fields hold
// has a ZIP64 end record and its locator in front of the end record; their
// values replace the full fields.
void ReadZip64End(const ByteSource& file, int64_t endOfDirOffset, EocdRecord& eocd) {
    const int64_t locatorAt = endOfDirOffset - static_cast<int64_t>(kZip64LocatorSize);
    uint8_t bytes[kZip64EocdSize];
    Zip64Locator locator;
    if (locatorAt < 0 || !file.ReadAt(static_cast<uint64_t>(locatorAt), bytes, kZip64LocatorSize) ||
        !ParseZip64Locator({bytes, kZip64LocatorSize}, locator))
        return;
    // The record normally sits right in front of its locator; otherwise
    // believe the stored offset, as long as the record fits in front of it.
    Zip64Eocd record;
    auto readRecord = [&](int64_t at) {
        return at >= 0 && at + static_cast<int64_t>(kZip64EocdSize) <= locatorAt &&
               file.ReadAt(static_cast<uint64_t>(at), bytes, sizeof bytes) &&
               ParseZip64Eocd(bytes, record);
    };
    int64_t recordAt = locatorAt - static_cast<int64_t>(kZip64EocdSize);
    if (!readRecord(recordAt)) {
        if (locator.eocdOffset > static_cast<uint64_t>(locatorAt)) return;
        recordAt = static_cast<int64_t>(locator.eocdOffset);
        if (!readRecord(recordAt)) return;
    }
    eocd.Zip64 = true;
    eocd.Zip64RecordOffset = recordAt;
    if (eocd.EntriesThisDisk == kFull16) eocd.EntriesThisDisk = record.entriesOnDisk;
    if (eocd.TotalEntries == kFull16) eocd.TotalEntries = record.totalEntries;
    if (eocd.CentralSize == kFull32) eocd.CentralSize = record.centralSize;
    if (eocd.CentralOffset == kFull32) eocd.CentralOffset = record.centralOffset;
}

// Writers without ZIP64 records let the 16-bit member count wrap past
// 65 535 (65 537 members are counted as 1). When the directory is large
// enough to hold 65 536 more headers than counted, its headers are counted;
// a count that matches modulo 65 536 is that wrap, and the true count
// replaces the stored one, so that every reader and writer of the archive
// takes every member.
void UnwrapEntryCount(const ByteSource& file, const ArchiveEnd& end, EocdRecord& eocd) {
    if (eocd.Zip64 || eocd.ThisDisk != 0 || eocd.TotalEntries > kFull16 ||
        eocd.CentralSize < (eocd.TotalEntries + 0x10000) * kCentralHeaderSize)
        return;
    const int64_t start = CentralDirectoryStart(end);
    if (start < 0 || eocd.CentralSize > static_cast<uint64_t>(end.physicalSize)) return;
    std::vector<uint8_t> dir(static_cast<size_t>(eocd.CentralSize));
    if (!file.ReadAt(static_cast<uint64_t>(start), dir.data(), dir.size())) return;
    uint64_t found = 0;
    for (size_t at = 0; at < dir.size(); ++found) {
        CentralHeader header;
        if (!ParseCentralHeader(std::span(dir).subspan(at), header)) break;
        at += CentralRecordSize(header);
    }
    if (found > eocd.TotalEntries && (found & 0xFFFF) == eocd.TotalEntries)
        eocd.TotalEntries = eocd.EntriesThisDisk = found;
}

}  // namespace

EndSearch FindArchiveEnd(const ByteSource& file, uint64_t fileSize, ArchiveEnd& out) {
    out = ArchiveEnd{};
    uint8_t head[8];
    out.firstPartOfSet = fileSize >= 8 && file.ReadAt(0, head, 8) && StartsFirstPartOfSet(head);
    const int64_t size = static_cast<int64_t>(fileSize);
    out.physicalSize = out.logicalSize = size;
    if (size < static_cast<int64_t>(kEocdSize)) return EndSearch::NotFound;

    const int64_t length = std::min<int64_t>(kMaxEocdSearch, size);
    std::vector<uint8_t> tail(static_cast<size_t>(length));
    if (!file.ReadAt(static_cast<uint64_t>(size - length), tail.data(), tail.size()))
        return EndSearch::ReadFailed;
    std::optional<size_t> at;
    Eocd record;
    const size_t last = tail.size() - kEocdSize;
    if (ParseEocd(std::span(tail).subspan(last), record)) {
        at = last;
        record.commentLength = 0;  // nothing can follow an end record that closes the file
    } else if ((at = FindEocd(tail))) {
        ParseEocd(std::span(tail).subspan(*at), record);
    }
    if (!at) return EndSearch::NotFound;

    out.eocd = FromEocd(record);
    out.endOfDirOffset = size - length + static_cast<int64_t>(*at);
    const int64_t available = length - static_cast<int64_t>(*at + kEocdSize);
    // A comment that runs past the end of the file keeps what is there.
    if (out.eocd.CommentLength > available)
        out.eocd.CommentLength = static_cast<uint16_t>(available);
    const int64_t trailing = available - out.eocd.CommentLength;
    if (trailing > 0) {
        out.logicalSize = size - trailing;
        // Zero fill up to a 512-byte block is left by block-wise transfers.
        const bool blockFill =
            size % 512 == 0 && trailing < 512 &&
            std::all_of(tail.end() - trailing, tail.end(), [](uint8_t c) { return c == 0; });
        out.garbageBehind = !blockFill;
    }
    out.rawComment.assign(reinterpret_cast<const char*>(tail.data()) + *at + kEocdSize,
                          out.eocd.CommentLength);
    ReadZip64End(file, out.endOfDirOffset, out.eocd);
    UnwrapEntryCount(file, out, out.eocd);
    return EndSearch::Found;
}

int64_t CentralDirectoryStart(const ArchiveEnd& end) {
    const int64_t dirEnd = end.eocd.Zip64 ? end.eocd.Zip64RecordOffset : end.endOfDirOffset;
    return dirEnd - static_cast<int64_t>(end.eocd.CentralSize);
}

}  // namespace kelp::zip
