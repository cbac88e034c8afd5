#include "engine/archive_end.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "engine/ezip_engine.h"
#include "engine/message_ids.h"
#include "libs/zipcore/zip_records.h"

namespace engine {

namespace zip = kelp::zip;

namespace {

EocdRecord FromEocd(const zip::Eocd& e) {
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
void ReadZip64End(ArchiveFile& file, int64_t endOfDirOffset, EocdRecord& eocd) {
    const int64_t locatorAt = endOfDirOffset - static_cast<int64_t>(zip::kZip64LocatorSize);
    unsigned char bytes[zip::kZip64EocdSize];
    zip::Zip64Locator locator;
    if (locatorAt < 0 || !file.Seek(locatorAt) ||
        file.Read(bytes, zip::kZip64LocatorSize) != zip::kZip64LocatorSize ||
        !zip::ParseZip64Locator({bytes, zip::kZip64LocatorSize}, locator))
        return;
    // The record normally sits right in front of its locator; otherwise
    // believe the stored offset.
    zip::Zip64Eocd record;
    auto readRecord = [&](int64_t at) {
        return at >= 0 && file.Seek(at) && file.Read(bytes, sizeof bytes) == sizeof bytes &&
               zip::ParseZip64Eocd(bytes, record);
    };
    int64_t recordAt = locatorAt - static_cast<int64_t>(zip::kZip64EocdSize);
    if (!readRecord(recordAt)) {
        if (locator.eocdOffset > static_cast<uint64_t>(locatorAt)) return;
        recordAt = static_cast<int64_t>(locator.eocdOffset);
        if (!readRecord(recordAt)) return;
    }
    eocd.Zip64 = true;
    eocd.Zip64RecordOffset = recordAt;
    if (eocd.EntriesThisDisk == zip::kFull16) eocd.EntriesThisDisk = record.entriesOnDisk;
    if (eocd.TotalEntries == zip::kFull16) eocd.TotalEntries = record.totalEntries;
    if (eocd.CentralSize == zip::kFull32) eocd.CentralSize = record.centralSize;
    if (eocd.CentralOffset == zip::kFull32) eocd.CentralOffset = record.centralOffset;
}

// Writers without ZIP64 records let the 16-bit member count wrap past
// 65 535 (65 537 members are counted as 1). When the directory is large
// enough to hold 65 536 more headers than counted, its headers are counted;
// a count that matches modulo 65 536 is that wrap, and the true count
// replaces the stored one, so that every reader and writer of the archive
// takes every member.
void UnwrapEntryCount(ArchiveFile& file, const ArchiveEnd& end, EocdRecord& eocd) {
    if (eocd.Zip64 || eocd.ThisDisk != 0 || eocd.TotalEntries > zip::kFull16 ||
        eocd.CentralSize < (eocd.TotalEntries + 0x10000) * zip::kCentralHeaderSize)
        return;
    const int64_t start = CentralDirectoryStart(end);
    if (start < 0 || eocd.CentralSize > static_cast<uint64_t>(end.physicalSize)) return;
    std::vector<unsigned char> dir(static_cast<size_t>(eocd.CentralSize));
    if (!file.Seek(start) || file.Read(dir.data(), dir.size()) != dir.size()) return;
    uint64_t found = 0;
    for (size_t at = 0; at < dir.size(); ++found) {
        zip::CentralHeader header;
        if (!zip::ParseCentralHeader(std::span(dir).subspan(at), header)) break;
        at += zip::CentralRecordSize(header);
    }
    if (found > eocd.TotalEntries && (found & 0xFFFF) == eocd.TotalEntries)
        eocd.TotalEntries = eocd.EntriesThisDisk = found;
}

}  // namespace

bool ReadArchiveEnd(ArchiveFile& file, ArchiveEnd& out) {
    out = ArchiveEnd{};
    unsigned char head[8];
    out.firstPartOfSet = file.Seek(0) && file.Read(head, 8) == 8 && zip::StartsFirstPartOfSet(head);
    const int64_t size = file.Size();
    out.physicalSize = out.logicalSize = size;
    if (size < static_cast<int64_t>(zip::kEocdSize)) return false;

    const int64_t length = std::min<int64_t>(zip::kMaxEocdSearch, size);
    std::vector<unsigned char> tail(static_cast<size_t>(length));
    if (!file.Seek(size - length)) throw EZipEngine(MsgId::InputSeekError, true);
    if (file.Read(tail.data(), tail.size()) != tail.size())
        throw EZipEngine(MsgId::EndRecordReadError, true);
    std::optional<size_t> at;
    zip::Eocd record;
    const size_t last = tail.size() - zip::kEocdSize;
    if (zip::ParseEocd(std::span(tail).subspan(last), record)) {
        at = last;
        record.commentLength = 0;  // nothing can follow an end record that closes the file
    } else if ((at = zip::FindEocd(tail))) {
        zip::ParseEocd(std::span(tail).subspan(*at), record);
    }
    if (!at) return false;

    out.eocd = FromEocd(record);
    out.endOfDirOffset = size - length + static_cast<int64_t>(*at);
    const int64_t available = length - static_cast<int64_t>(*at + zip::kEocdSize);
    // A comment that runs past the end of the file keeps what is there.
    if (out.eocd.CommentLength > available)
        out.eocd.CommentLength = static_cast<uint16_t>(available);
    const int64_t trailing = available - out.eocd.CommentLength;
    if (trailing > 0) {
        out.logicalSize = size - trailing;
        // Zero fill up to a 512-byte block is left by block-wise transfers.
        const bool blockFill =
            size % 512 == 0 && trailing < 512 &&
            std::all_of(tail.end() - trailing, tail.end(), [](unsigned char c) { return c == 0; });
        out.garbageBehind = !blockFill;
    }
    out.rawComment.assign(reinterpret_cast<const char*>(tail.data()) + *at + zip::kEocdSize,
                          out.eocd.CommentLength);
    ReadZip64End(file, out.endOfDirOffset, out.eocd);
    UnwrapEntryCount(file, out, out.eocd);
    return true;
}

int64_t CentralDirectoryStart(const ArchiveEnd& end) {
    const int64_t dirEnd = end.eocd.Zip64 ? end.eocd.Zip64RecordOffset : end.endOfDirOffset;
    return dirEnd - static_cast<int64_t>(end.eocd.CentralSize);
}

}  // namespace engine
