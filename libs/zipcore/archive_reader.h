// Reads the central directory of a ZIP archive and locates member data.
// Handles archives behind a prefix (a self-extractor program), whether or
// not the stored offsets were adjusted for it. Every offset and size taken
// from the file is checked against the file before it is used.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive_end.h"
#include "byte_source.h"
#include "central_directory.h"
#include "indexed_list.h"
#include "zip_records.h"

namespace kelp::zip {

// A member as the reader hands it out, made from the directory's records
// when asked for. The name, extra field and comment are views into the
// directory's bytes, which the reader keeps: valid as long as the reader.
struct MemberEntry {
    CentralHeader header;
    std::string_view name;         // raw bytes as stored
    std::string_view displayName;  // the name as listed, in UTF-8 (see name_encoding.h)
    std::span<const uint8_t> extra;
    std::string_view comment;  // member comment, raw bytes
    uint64_t localOffset = 0;  // file offset of the local header
    // Sizes from the central header, or from its ZIP64 field when the
    // header's 32-bit fields are full.
    uint64_t packedSize = 0;
    uint64_t unpackedSize = 0;
    // The entry's local data overlaps another entry's: several entries
    // over the same bytes, as zip bombs are built. Such members are refused.
    bool overlapsAnother = false;

    bool IsDirectory() const;
    bool IsSymlink() const;
    bool IsEncrypted() const { return header.flags & kFlagEncrypted; }
    // The method the data was compressed with: for an AES member the one
    // its AES field names (kMethodAes when the field is missing or damaged).
    uint16_t CompressionMethod() const;
    // Unix permission bits when the archive was made on Unix, else 0.
    uint32_t UnixMode() const;
    // The bytes in front of the data as the central header lets one expect
    // them (local header, name, extra field), with room for a somewhat
    // longer local extra field: what Locate reads in one go.
    size_t ExpectedLocalSize() const;
};

// Where a member's data lies, after its local header was read.
struct MemberData {
    uint64_t dataOffset = 0;  // first byte after the local header
    uint64_t packedSize = 0;  // bytes of data (encryption header included)
    uint64_t unpackedSize = 0;
    uint32_t crc = 0;
    uint16_t method = 0;  // the compression method (for AES, from its field)
    uint16_t flags = 0;
    uint16_t dosTime = 0;
    std::vector<uint8_t> localExtra;
    std::optional<AesExtra> aes;  // the AES field of an AES-encrypted member
};

// The member's modification time in seconds since the epoch: from the Unix
// time field of the local extra (when data is given), else of the central
// extra, else its DOS stamp read as local time.
int64_t MemberModTime(const MemberEntry& entry, const MemberData* data);

// Where a member's data lies, as MemberEntry gives it, without the rest of
// the entry: for walks over many members.
struct MemberExtent {
    uint64_t localOffset = 0;
    uint64_t packedSize = 0;
    uint64_t unpackedSize = 0;
    size_t expectedLocalSize = 0;  // as MemberEntry::ExpectedLocalSize
    uint16_t flags = 0;            // of the central header
    uint16_t method = 0;           // as stored (kMethodAes for an AES member)
    bool overlapsAnother = false;
};

class ArchiveReader;
MemberEntry MemberAt(const ArchiveReader& reader, size_t index);
using MemberList = IndexedList<ArchiveReader, MemberEntry, &MemberAt>;

class ArchiveReader : public ByteSource {
  public:
    ArchiveReader() = default;
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // The code page (an iconv name) to read names that are not UTF-8 in;
    // empty (the default): the one detected for the archive. Set before Open.
    void SetNameCharset(std::string charset) { chosenCharset_ = std::move(charset); }
    // Opens the archive and reads its directory, or takes the lent one
    // when it was read from this very file, unchanged (see KDirectoryLoan).
    // On failure error says why.
    bool Open(const std::string& path, std::string& error, const KDirectoryLoan* loan = nullptr);
    // Whether the directory is a lent one.
    bool borrowed() const { return directory_.borrowed(); }
    // The code page names were decoded from; empty when all were UTF-8 or ASCII.
    const std::string& nameCharset() const { return directory_.charset(); }

    MemberList entries() const { return MemberList(*this); }
    MemberExtent Extent(size_t index) const;
    // How many members the directory holds.
    size_t size() const { return directory_.size(); }
    uint64_t fileSize() const { return fileSize_; }
    // Bytes to add to the stored offsets (a prefix the offsets ignore).
    int64_t offsetShift() const { return shift_; }
    uint64_t centralOffset() const { return centralOffset_; }
    const EocdRecord& eocd() const { return end_.eocd; }
    // File offset of the end record.
    uint64_t endRecordOffset() const { return static_cast<uint64_t>(end_.endOfDirOffset); }
    // The archive comment as stored (cut short when the file ends early).
    const std::string& comment() const { return end_.rawComment; }
    // Directory entries that could not be read (the directory was cut short).
    bool directoryTruncated() const { return directory_.stop() != DirectoryStop::Complete; }
    // The member count of the end record (a 16-bit count that wrapped is
    // unwrapped); it differs from entries().size() when the end record and
    // the central directory disagree (the whole directory is read either way).
    uint64_t declaredEntries() const { return end_.eocd.TotalEntries; }
    bool countMismatch() const { return size() != declaredEntries(); }
    // How many entries overlap another entry's data.
    size_t overlappingEntries() const { return overlapping_; }

    // Reads the local header of an entry (from source, when given) and
    // checks that its data lies inside the archive.
    bool Locate(const MemberEntry& entry, MemberData& out, std::string& error) const {
        return Locate(entry, out, error, *this);
    }
    // With `local` and `localName`, also gives the local header as read.
    bool Locate(const MemberEntry& entry, MemberData& out, std::string& error,
                const ByteSource& source, LocalHeader* local = nullptr,
                std::string* localName = nullptr) const;

    // Safe to call from several threads at once.
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

  private:
    bool ReadDirectory(std::string& error, const KDirectoryLoan* loan);
    // Whether a loan describes this file as opened and its directory as found.
    bool LoanFits(const KDirectoryLoan& loan) const;

    int fd_ = -1;
    uint64_t fileSize_ = 0;
    struct stat stat_ {};
    ArchiveEnd end_;
    uint64_t centralOffset_ = 0;
    int64_t shift_ = 0;
    size_t overlapping_ = 0;
    std::string chosenCharset_;
    CentralDirectory directory_;  // entries view into its bytes and names

    friend MemberEntry MemberAt(const ArchiveReader& reader, size_t index);
};

}  // namespace kelp::zip
