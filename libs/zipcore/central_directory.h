// The one reader of a central directory, for the engine and the libraries
// alike. It keeps the directory's bytes once and a small index over them:
// where each header starts, and a decoded name only for a name whose text
// differs from its stored bytes. The fixed fields are parsed from the bytes
// when asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_source.h"
#include "kelp_lib_abi.h"
#include "name_encoding.h"
#include "oem_names.h"
#include "platform/huge_pages.h"
#include "zip_records.h"

namespace kelp::zip {

struct DirectoryOptions {
    CodePageOpts codePage = cpAuto;
    // The code page the user chose for names that are not UTF-8 (an iconv
    // name); empty: the one detected for the archive.
    std::string charset;
};

// Why reading stopped before the directory's last byte, if it did.
enum class DirectoryStop {
    Complete,    // every byte read into headers, or a signature record closes them
    NotAHeader,  // bytes that are no central header
    CutHeader,   // fewer bytes left than a header's fixed part
    CutFields,   // a header whose name, extra field or comment runs past the end
};

class CentralDirectory {
  public:
    // Reads `size` bytes from `part` at `offset`, running on into the next
    // parts where one ends, and indexes the headers in them. `counted` is
    // the end record's member count; the bytes bound the headers, not the
    // count, so a low count hides no member and a high one invents none.
    // False (with `error`) only when the directory is too large to index.
    bool Read(PartSource& source, int part, uint64_t offset, uint64_t size, uint64_t counted,
              const DirectoryOptions& options, std::string& error);

    // Fills the directory's part of a loan to a library (see
    // KDirectoryLoan); the file's stamp and place are the lender's to fill.
    // The loan points into this directory and lasts as long as it is unchanged.
    void Lend(KDirectoryLoan& loan) const;
    // Takes a lent directory instead of reading one, as complete; its
    // bytes, index and names stay the lender's and must outlive this.
    void Borrow(const KDirectoryLoan& loan, uint64_t counted, const DirectoryOptions& options);
    bool borrowed() const { return lent_.has_value(); }

    size_t size() const { return lent_ ? lent_->Count : at_.size(); }
    bool empty() const { return size() == 0; }
    // The header of member i with its fields; its views point into the
    // directory's bytes and last as long as the directory.
    CentralRecord Record(size_t i) const;
    // Where member i's data lies and what it takes, read from the fixed
    // part of its header (and its ZIP64 field only when a field is full):
    // for walks over many members that need no more.
    struct Place {
        uint64_t localOffset = 0;  // as stored
        uint64_t packedSize = 0;
        uint64_t unpackedSize = 0;
        size_t nameAndExtra = 0;  // bytes of the name and extra field
        uint16_t flags = 0;
        uint16_t method = 0;
    };
    Place PlaceOf(size_t i) const;
    // The name as listed, in UTF-8 (see name_encoding.h).
    std::string_view Name(size_t i) const;
    // The same, when member i's record is in hand.
    std::string_view Name(size_t i, const CentralRecord& record) const;
    // The member comment as listed, empty when there is none.
    std::string Comment(size_t i) const;
    // Whether member i's data overlaps another member's (see MarkOverlaps).
    bool Overlaps(size_t i) const { return !overlaps_.empty() && overlaps_[i]; }

    uint64_t counted() const { return counted_; }
    // The lowest stored local header offset; UINT64_MAX when there is none.
    uint64_t lowestOffset() const { return lowestOffset_; }
    DirectoryStop stop() const { return stop_; }
    // The header that could not be read whole, when stop() is CutFields.
    const CentralHeader& cutHeader() const { return cut_; }
    // Bytes the directory should have had but the parts did not hold.
    bool bytesMissing() const { return missing_; }
    // The code page names were decoded from; empty when all were UTF-8 or ASCII.
    const std::string& charset() const { return charset_; }

    // Marks members whose local data would overlap another's: several
    // entries over the same bytes, as zip bombs are built. The stored
    // offsets plus `shift` are file offsets; data ends at `dataEnd`.
    // Returns how many members overlap another.
    size_t MarkOverlaps(int64_t shift, uint64_t dataEnd);
    // The file offset of member i's local header: its stored offset plus
    // `shift`, or `outside` when that does not lie in front of `dataEnd`.
    static uint64_t LocalOffset(uint64_t stored, int64_t shift, uint64_t dataEnd, uint64_t outside);

  private:
    // What indexing saw of the names: the stored names that are not ASCII,
    // and whether any ASCII name has a Unicode path field.
    struct NamesSeen {
        std::vector<StoredName> foreign;
        bool unicodePath = false;
    };
    bool ReadBytes(PartSource& source, int part, uint64_t offset, uint64_t size);
    NamesSeen Index();
    // Decides the code page of the names and keeps every name whose text
    // differs from its bytes.
    void NameMembers(NamesSeen seen);
    // Where the bytes, the index and the decoded names are: this
    // directory's own or the lender's.
    const uint8_t* Bytes() const { return lent_ ? lent_->Bytes : bytes_.data(); }
    size_t ByteCount() const { return lent_ ? lent_->CentralSize : bytes_.size(); }
    uint32_t HeaderAt(size_t i) const { return lent_ ? lent_->HeaderAt[i] : at_[i]; }
    const uint32_t* NameAt() const {
        return lent_ ? lent_->NameAt : nameAt_.empty() ? nullptr : nameAt_.data();
    }
    std::string_view Names() const {
        return lent_ ? std::string_view(lent_->Names, lent_->NamesSize) : std::string_view(names_);
    }
    bool Decoded(size_t i) const {
        const uint32_t* at = NameAt();
        return at && at[i] != 0;
    }
    std::string_view DecodedName(size_t i) const;
    // Whether member i's name and comment are converted at all.
    bool Converts(const CentralHeader& h) const;

    // Bytes are read over as soon as they are made room for: no need to
    // clear them first. A large directory asks for huge pages.
    template <typename T>
    struct Unset : platform::LargeBlocks<T> {
        Unset() = default;
        template <typename U>
        Unset(const Unset<U>&) noexcept {}
        template <typename U>
        void construct(U* p) noexcept {
            ::new (static_cast<void*>(p)) U;
        }
        friend bool operator==(const Unset&, const Unset&) { return true; }
    };
    std::vector<uint8_t, Unset<uint8_t>> bytes_;
    // Where each header starts in bytes_.
    std::vector<uint32_t, platform::LargeBlocks<uint32_t>> at_;
    // Per member, 0 for a name kept as stored, else 1 + where its decoded
    // text starts in names_ (behind a 4-byte length); empty when no name
    // needed decoding.
    std::vector<uint32_t> nameAt_;
    std::string names_;
    std::vector<bool> overlaps_;
    std::optional<KDirectoryLoan> lent_;  // a borrowed directory
    DirectoryOptions options_;
    std::string charset_;
    uint64_t counted_ = 0;
    uint64_t lowestOffset_ = UINT64_MAX;
    DirectoryStop stop_ = DirectoryStop::Complete;
    CentralHeader cut_;
    bool missing_ = false;
};

}  // namespace kelp::zip
