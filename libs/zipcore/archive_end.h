// The end of an archive: its end record (with the values of a ZIP64 end
// record where the plain fields are full), where it stands, the archive
// comment behind it and what follows that.
#pragma once

#include <cstdint>
#include <string>

#include "byte_source.h"

namespace kelp::zip {

// The end-of-central-directory record. The counts, size and offset are wide
// enough for the values of a ZIP64 end record, which replace the 16- and
// 32-bit fields when the archive has one.
struct EocdRecord {
    uint16_t ThisDisk = 0;
    uint16_t CentralDisk = 0;
    uint64_t EntriesThisDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t CentralSize = 0;
    uint64_t CentralOffset = 0;
    uint16_t CommentLength = 0;
    bool Zip64 = false;
    int64_t Zip64RecordOffset = 0;  // file offset of the ZIP64 end record, if any
};

struct ArchiveEnd {
    EocdRecord eocd;
    int64_t endOfDirOffset = 0;   // file offset of the end record
    int64_t physicalSize = 0;     // the file's size
    int64_t logicalSize = 0;      // the size less bytes behind the comment
    std::string rawComment;       // as stored (cut short where the file ends)
    bool garbageBehind = false;   // bytes behind the comment that are no block fill
    bool firstPartOfSet = false;  // the file opens with the mark of a set's first part
};

enum class EndSearch { Found, NotFound, ReadFailed };

// Finds the end record of `file` (of `size` bytes) in its last 64 KiB and 22
// bytes (one that closes the file wins, else the last candidate) and the
// ZIP64 end record its locator points at. A 16-bit member count that wrapped
// (no ZIP64 records, the directory holds 65 536 times n more headers) is
// replaced by the true count.
EndSearch FindArchiveEnd(const ByteSource& file, uint64_t size, ArchiveEnd& out);

// The central directory's file offset: it ends where the (ZIP64) end record
// begins, so a prefix the stored offsets do not count is taken into account.
int64_t CentralDirectoryStart(const ArchiveEnd& end);

}  // namespace kelp::zip
