#include "central_directory.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "name_encoding.h"

namespace kelp::zip {

namespace {

// The digital signature record that may close a central directory.
constexpr uint32_t kDigitalSignatureSignature = 0x05054B50;
// Room reserved up front for a directory whose size only its parts confirm.
constexpr uint64_t kReserveLimit = 256u << 20;

StoredName Stored(std::string_view bytes, const CentralRecord& r) {
    return {bytes, r.extra, r.header.flags, r.header.hostSystem};
}

}  // namespace

size_t SinglePart::ReadPart(int part, uint64_t offset, void* buffer, size_t size) {
    if (part != 0 || offset >= size_) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, size_ - offset));
    return file_.ReadAt(offset, buffer, n) ? n : 0;
}

bool CentralDirectory::Read(PartSource& source, int part, uint64_t offset, uint64_t size,
                            uint64_t counted, const DirectoryOptions& options, std::string& error) {
    *this = CentralDirectory();
    options_ = options;
    counted_ = counted;
    // Offsets into the bytes are kept in 32 bits.
    if (size > UINT32_MAX) {
        error = "the central directory is larger than 4 GiB";
        return false;
    }
    missing_ = !ReadBytes(source, part, offset, size);
    NameMembers(Index());
    return true;
}

bool CentralDirectory::ReadBytes(PartSource& source, int part, uint64_t offset, uint64_t size) {
    bytes_.reserve(static_cast<size_t>(std::min(size, kReserveLimit)));
    constexpr size_t kChunk = 1u << 20;
    while (bytes_.size() < size) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, size - bytes_.size()));
        const size_t had = bytes_.size();
        bytes_.resize(had + want);
        const size_t got = source.ReadPart(part, offset, bytes_.data() + had, want);
        bytes_.resize(had + got);
        offset += got;
        if (got < want) {
            // The part ends here; a set's directory runs on into the next part.
            if (part >= source.LastPart()) return false;
            ++part;
            offset = 0;
        }
    }
    return true;
}

CentralDirectory::NamesSeen CentralDirectory::Index() {
    at_.reserve(
        static_cast<size_t>(std::min<uint64_t>(counted_, bytes_.size() / kCentralHeaderSize)));
    const std::span<const uint8_t> dir(bytes_.data(), bytes_.size());
    NamesSeen seen;
    size_t pos = 0;
    while (pos < dir.size()) {
        const std::span<const uint8_t> rest = dir.subspan(pos);
        if (rest.size() >= 4 && ReadLe32(rest.data()) == kDigitalSignatureSignature) break;
        if (rest.size() < kCentralHeaderSize) {
            stop_ = DirectoryStop::CutHeader;
            break;
        }
        CentralRecord r;
        if (!ParseCentralHeader(rest, r.header)) {
            stop_ = DirectoryStop::NotAHeader;
            break;
        }
        if (!FinishCentralRecord(rest, r)) {
            stop_ = DirectoryStop::CutFields;
            cut_ = r.header;
            break;
        }
        at_.push_back(static_cast<uint32_t>(pos));
        pos += r.recordSize;
        lowestOffset_ = std::min(lowestOffset_, r.localOffset);
        // The names are looked at while their header is in hand.
        if (!IsAscii(r.name))
            seen.foreign.push_back(Stored(r.name, r));
        else if (!seen.unicodePath && FindExtraField(r.extra, kExtraUnicodePath))
            seen.unicodePath = true;
    }
    return seen;
}

void CentralDirectory::Lend(KDirectoryLoan& loan) const {
    loan.CentralSize = ByteCount();
    loan.Bytes = Bytes();
    loan.Count = size();
    loan.HeaderAt = lent_ ? lent_->HeaderAt : at_.data();
    loan.NameAt = NameAt();
    const std::string_view names = Names();
    loan.Names = names.data();
    loan.NamesSize = names.size();
    loan.CharsetText = charset_.c_str();
}

void CentralDirectory::Borrow(const KDirectoryLoan& loan, uint64_t counted,
                              const DirectoryOptions& options) {
    *this = CentralDirectory();
    options_ = options;
    counted_ = counted;
    lent_ = loan;
    charset_ = loan.CharsetText ? loan.CharsetText : "";
}

CentralRecord CentralDirectory::Record(size_t i) const {
    CentralRecord r;
    ParseCentralRecord(std::span<const uint8_t>(Bytes(), ByteCount()).subspan(HeaderAt(i)), r);
    return r;
}

bool CentralDirectory::Converts(const CentralHeader& h) const {
    // cpNone leaves FAT names as stored.
    return options_.codePage != cpNone ||
           NamesAreOem(options_.codePage, h.hostSystem, h.versionMadeBy);
}

void CentralDirectory::NameMembers(NamesSeen seen) {
    // Only names that are not plain ASCII can need a code page: ASCII is
    // valid UTF-8 and keeps its text, so the choice is made over the others.
    charset_ = ArchiveNameCharset(seen.foreign, options_.charset);
    const bool chosen = !options_.charset.empty();
    // An ASCII name without a Unicode path field stays as stored in any
    // code page, with no copy made: when all are such, none is looked at.
    if (seen.foreign.empty() && !seen.unicodePath) return;
    std::vector<StoredName>().swap(seen.foreign);
    for (size_t i = 0; i < size(); ++i) {
        const CentralRecord r = Record(i);
        if (IsAscii(r.name) && !FindExtraField(r.extra, kExtraUnicodePath)) continue;
        const std::string name = DecodeStoredName(
            Stored(r.name, r), Converts(r.header) ? charset_ : std::string(), chosen);
        if (name == r.name) continue;
        if (nameAt_.empty()) nameAt_.resize(size());
        nameAt_[i] = static_cast<uint32_t>(names_.size() + 1);
        const uint32_t length = static_cast<uint32_t>(name.size());
        names_.append(reinterpret_cast<const char*>(&length), sizeof length);
        names_ += name;
    }
}

std::string_view CentralDirectory::Name(size_t i) const {
    return Decoded(i) ? DecodedName(i) : Record(i).name;
}

std::string_view CentralDirectory::Name(size_t i, const CentralRecord& record) const {
    return Decoded(i) ? DecodedName(i) : record.name;
}

std::string_view CentralDirectory::DecodedName(size_t i) const {
    const size_t at = NameAt()[i] - 1;
    const std::string_view names = Names();
    uint32_t length = 0;
    std::memcpy(&length, names.data() + at, sizeof length);
    return names.substr(at + sizeof length, length);
}

std::string CentralDirectory::Comment(size_t i) const {
    const CentralRecord r = Record(i);
    if (r.comment.empty()) return {};
    return DecodeStoredComment(Stored(r.comment, r), Converts(r.header) ? charset_ : std::string(),
                               !options_.charset.empty());
}

CentralDirectory::Place CentralDirectory::PlaceOf(size_t i) const {
    CentralHeader h;
    ParseCentralHeader(std::span<const uint8_t>(Bytes(), ByteCount()).subspan(HeaderAt(i)), h);
    Place place{h.localHeaderOffset,
                h.packedSize,
                h.unpackedSize,
                size_t{h.nameLength} + h.extraLength,
                h.flags,
                h.method};
    if (h.localHeaderOffset == kFull32 || h.packedSize == kFull32 || h.unpackedSize == kFull32) {
        const CentralRecord r = Record(i);
        place.localOffset = r.localOffset;
        place.packedSize = r.packedSize;
        place.unpackedSize = r.unpackedSize;
    }
    return place;
}

uint64_t CentralDirectory::LocalOffset(uint64_t stored, int64_t shift, uint64_t dataEnd,
                                       uint64_t outside) {
    const int64_t local = static_cast<int64_t>(stored) + shift;
    return local < 0 || static_cast<uint64_t>(local) >= dataEnd ? outside
                                                                : static_cast<uint64_t>(local);
}

namespace {

// Walks members in the order of their offsets and marks each whose local
// data starts before the members in front of it end.
class OverlapSweep {
  public:
    explicit OverlapSweep(std::vector<bool>& marks) : marks_(marks) {}
    void Add(uint64_t offset, uint64_t end, size_t i) {
        if (any_ && offset < reach_) {
            Mark(i);
            Mark(reacher_);
        }
        if (!any_ || end > reach_) {
            reach_ = end;
            reacher_ = i;
        }
        any_ = true;
    }
    size_t overlapping() const { return overlapping_; }

  private:
    void Mark(size_t i) {
        if (!marks_[i]) ++overlapping_;
        marks_[i] = true;
    }
    std::vector<bool>& marks_;
    uint64_t reach_ = 0;  // the furthest end of the members before
    size_t reacher_ = 0;  // the member that reaches it
    bool any_ = false;
    size_t overlapping_ = 0;
};

}  // namespace

size_t CentralDirectory::MarkOverlaps(int64_t shift, uint64_t dataEnd) {
    // A member takes at least its local header and its packed data; in a
    // sound archive the next member starts no earlier than that. Writers
    // list members in the order of their offsets, and then the directory's
    // order is walked as it is; otherwise members are sorted by offset.
    // Members whose data would run past the directory are refused on their
    // own; they do not make their neighbours suspect.
    overlaps_.assign(size(), false);
    OverlapSweep inOrder(overlaps_);
    std::vector<std::pair<uint64_t, size_t>> order;  // (offset, index) once out of order
    uint64_t last = 0;
    for (size_t i = 0; i < size(); ++i) {
        const Place r = PlaceOf(i);
        const uint64_t local = LocalOffset(r.localOffset, shift, dataEnd, dataEnd);
        const uint64_t room = dataEnd - local;
        if (room < kLocalHeaderSize || r.packedSize > room - kLocalHeaderSize) continue;
        if (order.empty() && local >= last) {
            inOrder.Add(local, local + kLocalHeaderSize + r.packedSize, i);
            last = local;
            continue;
        }
        if (order.empty()) {  // out of order: every fitting member is sorted
            order.reserve(size());
            for (size_t k = 0; k < i; ++k) {
                const Place before = PlaceOf(k);
                const uint64_t at = LocalOffset(before.localOffset, shift, dataEnd, dataEnd);
                const uint64_t left = dataEnd - at;
                if (left >= kLocalHeaderSize && before.packedSize <= left - kLocalHeaderSize)
                    order.emplace_back(at, k);
            }
        }
        order.emplace_back(local, i);
    }
    if (order.empty()) return inOrder.overlapping();
    overlaps_.assign(size(), false);
    std::sort(order.begin(), order.end());
    OverlapSweep sorted(overlaps_);
    for (const auto& [offset, i] : order)
        sorted.Add(offset, offset + kLocalHeaderSize + PlaceOf(i).packedSize, i);
    return sorted.overlapping();
}

}  // namespace kelp::zip
