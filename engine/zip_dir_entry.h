// One member of an archive as its central directory describes it: a view of
// the record the directory reader keeps, with the design's field names as
// its face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "libs/zipcore/central_directory.h"
#include "libs/zipcore/indexed_list.h"

namespace kelp::engine {

using kelp::zip::CodePageOpts;
using kelp::zip::cpAuto;
using kelp::zip::cpNone;
using kelp::zip::cpOEM;
using kelp::zip::NamesAreOem;

// The fixed fields are parsed from the directory's bytes when the view is
// made and held by value, so a copy keeps them after the directory is read
// again; the name and comment are read from the directory, and valid only
// as long as it.
class ZipDirEntry {
  public:
    ZipDirEntry(const kelp::zip::CentralDirectory& directory, size_t index);

    // Converted name (or the Unicode path field's); folders end in "/".
    std::string_view MemberName() const { return directory_->Name(index_); }
    // Converted comment, empty if none.
    std::string MemberComment() const { return directory_->Comment(index_); }
    // From the ZIP64 extra field when the header's is full.
    uint64_t PackedSize() const { return packedSize_; }
    uint64_t UnpackedSize() const { return unpackedSize_; }
    // As stored, not corrected for a prefix.
    uint64_t LocalHeaderOffset() const { return localOffset_; }
    // DOS time in the low word, DOS date in the high word.
    uint32_t DosDateTime() const {
        return static_cast<uint32_t>(header_.dosDate) << 16 | header_.dosTime;
    }
    uint32_t Crc() const { return header_.crc; }
    uint32_t DiskStart() const { return diskStart_; }
    uint32_t ExternalAttributes() const { return header_.externalAttributes; }
    uint16_t VersionNeeded() const { return header_.versionNeeded; }
    // Bit 0 encrypted, bit 3 data descriptor, bit 11 UTF-8.
    uint16_t GeneralFlags() const { return header_.flags; }
    // 0 stored, 8 deflated, ..., 99 AES.
    uint16_t Method() const { return header_.method; }
    // The method the data was compressed with: Method, or for an AES member
    // the one its AES field names.
    uint16_t DataMethod() const { return dataMethod_; }
    uint16_t NameLength() const { return header_.nameLength; }
    uint16_t ExtraLength() const { return header_.extraLength; }
    uint16_t CommentLength() const { return header_.commentLength; }
    uint16_t InternalAttributes() const { return header_.internalAttributes; }
    // Specification version times ten.
    uint8_t VersionMadeBy() const { return header_.versionMadeBy; }
    // 0 FAT, 3 Unix, 6 HPFS, 11 NTFS, ...
    uint8_t HostSystem() const { return header_.hostSystem; }
    // 1, 2, 3 for AES-128, -192, -256; 0 when not AES.
    uint8_t AesStrength() const { return aesStrength_; }
    bool IsEncrypted() const { return (header_.flags & kelp::zip::kFlagEncrypted) != 0; }

  private:
    const kelp::zip::CentralDirectory* directory_;
    size_t index_;
    kelp::zip::CentralHeader header_;
    uint64_t packedSize_ = 0;
    uint64_t unpackedSize_ = 0;
    uint64_t localOffset_ = 0;
    uint32_t diskStart_ = 0;
    uint16_t dataMethod_ = 0;
    uint8_t aesStrength_ = 0;
};

ZipDirEntry MakeDirEntry(const kelp::zip::CentralDirectory& directory, size_t index);

// The members of a directory in its order, each handed out as a view.
using DirEntryList =
    kelp::zip::IndexedList<kelp::zip::CentralDirectory, ZipDirEntry, &MakeDirEntry>;

}  // namespace kelp::engine
