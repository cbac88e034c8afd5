// One member of an archive as its central directory describes it: a view of
// the record the directory reader keeps, with the design's field names as
// its face.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "libs/zipcore/central_directory.h"

namespace engine {

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

// The members of a directory in its order, each handed out as a view.
class DirEntryList {
  public:
    class iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = ZipDirEntry;
        using difference_type = std::ptrdiff_t;
        using reference = ZipDirEntry;
        using pointer = void;

        iterator() = default;
        iterator(const kelp::zip::CentralDirectory* d, size_t i) : directory_(d), index_(i) {}
        ZipDirEntry operator*() const { return ZipDirEntry(*directory_, index_); }
        ZipDirEntry operator[](difference_type n) const { return *(*this + n); }
        iterator& operator++() { return ++index_, *this; }
        iterator operator++(int) { return iterator(directory_, index_++); }
        iterator& operator--() { return --index_, *this; }
        iterator operator--(int) { return iterator(directory_, index_--); }
        iterator& operator+=(difference_type n) { return index_ += n, *this; }
        iterator& operator-=(difference_type n) { return index_ -= n, *this; }
        iterator operator+(difference_type n) const { return iterator(directory_, index_ + n); }
        friend iterator operator+(difference_type n, iterator it) { return it + n; }
        iterator operator-(difference_type n) const { return iterator(directory_, index_ - n); }
        difference_type operator-(const iterator& o) const {
            return static_cast<difference_type>(index_) - static_cast<difference_type>(o.index_);
        }
        bool operator==(const iterator& o) const { return index_ == o.index_; }
        auto operator<=>(const iterator& o) const { return index_ <=> o.index_; }
        size_t index() const { return index_; }

      private:
        const kelp::zip::CentralDirectory* directory_ = nullptr;
        size_t index_ = 0;
    };

    explicit DirEntryList(const kelp::zip::CentralDirectory& directory) : directory_(&directory) {}
    size_t size() const { return directory_->size(); }
    bool empty() const { return directory_->empty(); }
    ZipDirEntry operator[](size_t i) const { return ZipDirEntry(*directory_, i); }
    iterator begin() const { return iterator(directory_, 0); }
    iterator end() const { return iterator(directory_, size()); }

  private:
    const kelp::zip::CentralDirectory* directory_;
};

}  // namespace engine
