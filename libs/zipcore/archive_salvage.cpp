#include "archive_salvage.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <span>

#include "archive_reader.h"
#include "member_decoder.h"
#include "platform/atomic_file.h"
#include "record_writer.h"
#include "zip_records.h"

namespace kelp::zip {
namespace {

// The damaged archive, mapped whole: the scan searches it for signatures.
class MappedArchive : public ByteSource {
  public:
    ~MappedArchive() {
        if (map_) munmap(map_, size_);
        if (fd_ >= 0) close(fd_);
    }
    bool Open(const std::string& path, struct stat& st, std::string& error) {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            error = path + ": " + (fd_ < 0 || errno ? std::strerror(errno) : "not a file");
            return false;
        }
        size_ = static_cast<size_t>(st.st_size);
        if (size_ == 0) return true;
        void* map = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
        if (map == MAP_FAILED) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        map_ = static_cast<uint8_t*>(map);
        return true;
    }
    std::span<const uint8_t> bytes() const { return {map_, size_}; }
    std::span<const uint8_t> From(uint64_t at) const {
        return bytes().subspan(std::min<uint64_t>(at, size_));
    }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const override {
        if (offset > size_ || size > size_ - offset) return false;
        std::memcpy(buffer, map_ + offset, size);
        return true;
    }

  private:
    int fd_ = -1;
    uint8_t* map_ = nullptr;
    size_t size_ = 0;
};

// The next position at or after `from` where `signature` stands.
std::optional<uint64_t> FindSignature(std::span<const uint8_t> bytes, uint64_t from,
                                      uint32_t signature) {
    const uint8_t sig[4] = {uint8_t(signature), uint8_t(signature >> 8), uint8_t(signature >> 16),
                            uint8_t(signature >> 24)};
    if (from >= bytes.size()) return std::nullopt;
    const void* hit = memmem(bytes.data() + from, bytes.size() - from, sig, 4);
    if (!hit) return std::nullopt;
    return static_cast<uint64_t>(static_cast<const uint8_t*>(hit) - bytes.data());
}

// A member found and checked, ready to be written.
struct Found {
    uint64_t headerAt = 0;  // where its local header was in the damaged file
    LocalRecord local;      // views into the mapped file
    const CentralRecord* central = nullptr;
    std::string_view name;
    uint64_t dataAt = 0;
    uint64_t packed = 0;
    uint64_t unpacked = 0;
    uint32_t crc = 0;
};

// What a member's data turned out to be: found and checked (or, encrypted,
// consistent), or the reason it is lost.
struct Verdict {
    bool ok = false;
    bool unchecked = false;  // encrypted: kept without a check
    std::string reason;
    uint64_t packed = 0, unpacked = 0;
    uint32_t crc = 0;
    uint64_t descriptorSize = 0;  // bytes of the data descriptor behind the data
};

Verdict Lost(std::string reason) {
    Verdict v;
    v.reason = std::move(reason);
    return v;
}

class Salvager {
  public:
    Salvager(const MappedArchive& file, const SalvageProgress& progress)
        : file_(file), progress_(progress) {}

    bool Run(SalvageResult& result);
    const std::vector<Found>& found() const { return found_; }
    std::string_view comment() const { return comment_; }

  private:
    void ReadCentralRecords();
    void ChooseShift();
    const CentralRecord* CentralAt(uint64_t headerAt) const;
    // pass2: the local header was mended from the directory's record.
    bool TryMember(uint64_t headerAt, const LocalRecord& local, const CentralRecord* central,
                   SalvageResult& result, uint64_t& next, bool pass2 = false);
    Verdict Check(const LocalRecord& local, const CentralRecord* central, uint64_t dataAt) const;
    Verdict CheckKnown(const LocalRecord& local, uint64_t dataAt, uint64_t packed,
                       uint64_t unpacked, uint32_t crc) const;
    Verdict CheckByDescriptor(const LocalRecord& local, uint64_t dataAt) const;
    bool Zip64Local(const LocalRecord& local) const {
        return FindExtraField(local.extra, kExtraZip64).has_value();
    }

    const MappedArchive& file_;
    const SalvageProgress& progress_;
    std::vector<CentralRecord> central_;
    std::vector<uint64_t> centralAt_;  // where each record stands
    std::map<uint64_t, size_t> centralByOffset_;
    std::vector<bool> centralUsed_;
    int64_t shift_ = 0;
    std::string_view comment_;
    uint64_t eocdAt_ = UINT64_MAX;  // where the end record with the comment stands
    std::vector<Found> found_;
};

void Salvager::ReadCentralRecords() {
    const auto bytes = file_.bytes();
    for (auto at = FindSignature(bytes, 0, kCentralHeaderSignature); at;
         at = FindSignature(bytes, *at + 1, kCentralHeaderSignature)) {
        CentralRecord record;
        if (!ParseCentralRecord(file_.From(*at), record) || record.diskStart != 0) continue;
        // A later record for the same offset wins: the archive's own
        // directory follows any stored archive inside a member.
        centralByOffset_[record.localOffset] = central_.size();
        central_.push_back(record);
        centralAt_.push_back(*at);
    }
    centralUsed_.assign(central_.size(), false);
    // The archive comment, when the end record survives whole.
    const uint64_t tailAt = bytes.size() > kMaxEocdSearch ? bytes.size() - kMaxEocdSearch : 0;
    const auto tail = file_.From(tailAt);
    Eocd eocd;
    if (auto at = FindEocd(tail); at && ParseEocd(tail.subspan(*at), eocd) &&
                                  *at + kEocdSize + eocd.commentLength <= tail.size()) {
        comment_ = {reinterpret_cast<const char*>(tail.data() + *at + kEocdSize),
                    eocd.commentLength};
        eocdAt_ = tailAt + *at;
    }
}

// The stored offsets may not count a prefix in front of the archive: the
// shift is taken from the first local header and the lowest stored offset,
// unless the offsets hold as stored.
void Salvager::ChooseShift() {
    if (centralByOffset_.empty()) return;
    const auto bytes = file_.bytes();
    for (auto at = FindSignature(bytes, 0, kLocalHeaderSignature); at;
         at = FindSignature(bytes, *at + 1, kLocalHeaderSignature)) {
        LocalRecord local;
        if (!ParseLocalRecord(file_.From(*at), local)) continue;
        if (!centralByOffset_.count(*at))
            shift_ = int64_t(*at) - int64_t(centralByOffset_.begin()->first);
        return;
    }
}

const CentralRecord* Salvager::CentralAt(uint64_t headerAt) const {
    auto it = centralByOffset_.find(uint64_t(int64_t(headerAt) - shift_));
    return it == centralByOffset_.end() ? nullptr : &central_[it->second];
}

Verdict Salvager::CheckKnown(const LocalRecord& local, uint64_t dataAt, uint64_t packed,
                             uint64_t unpacked, uint32_t crc) const {
    if (dataAt > file_.bytes().size() || packed > file_.bytes().size() - dataAt)
        return Lost("data cut short");
    Verdict v;
    v.packed = packed;
    v.unpacked = unpacked;
    v.crc = crc;
    if (local.header.flags & (kFlagEncrypted | kFlagStrongEncryption)) {
        v.ok = v.unchecked = true;
        return v;
    }
    MemberData data;
    data.dataOffset = dataAt;
    data.packedSize = packed;
    data.unpackedSize = unpacked;
    data.crc = crc;
    data.method = local.header.method;
    data.flags = local.header.flags;
    if (!MethodDecodable(data.method))
        return Lost("compression method " + std::to_string(data.method) + " unknown");
    const DecodeResult r =
        DecodeMember(file_, data, nullptr, [](const uint8_t*, size_t) { return true; });
    if (r.status == DecodeStatus::CrcMismatch) return Lost("CRC mismatch");
    if (r.status != DecodeStatus::Ok) return Lost("damaged data (" + r.detail + ")");
    v.ok = true;
    return v;
}

// Data of unknown length followed by a data descriptor: it ends at a
// descriptor (with its signature) whose packed size is the distance to it
// and whose CRC the data checks out against.
Verdict Salvager::CheckByDescriptor(const LocalRecord& local, uint64_t dataAt) const {
    const auto bytes = file_.bytes();
    const bool zip64 = Zip64Local(local);
    std::string reason = "data cut short";
    for (auto at = FindSignature(bytes, dataAt, kDataDescriptorSignature); at;
         at = FindSignature(bytes, *at + 1, kDataDescriptorSignature)) {
        DataDescriptor d;
        if (!ParseDataDescriptor(file_.From(*at), d, zip64) || d.packedSize != *at - dataAt)
            continue;
        Verdict v = CheckKnown(local, dataAt, d.packedSize, d.unpackedSize, d.crc);
        if (v.ok) {
            v.descriptorSize = d.recordSize;
            return v;
        }
        reason = v.reason;  // a later descriptor may still fit
    }
    return Lost(reason);
}

// Whether the local header (or, with a data descriptor, the descriptor
// behind the data) gives the lengths and CRC the verdict took.
bool LengthsAgree(const LocalRecord& local, const Verdict& v) {
    const LocalHeader& h = local.header;
    if (h.flags & kFlagDataDescriptor) return v.descriptorSize > 0;
    Zip64Values values{h.unpackedSize, h.packedSize, 0, 0};
    ApplyZip64Extra(local.extra, h.unpackedSize == kFull32, h.packedSize == kFull32, false, false,
                    values);
    return values.packedSize == v.packed && values.unpackedSize == v.unpacked && h.crc == v.crc;
}

Verdict Salvager::Check(const LocalRecord& local, const CentralRecord* central,
                        uint64_t dataAt) const {
    const LocalHeader& h = local.header;
    // The central directory's values, where it survives, hold even when a
    // data descriptor follows (when they fail, the caller tries without
    // them); else the local header's own, or the descriptor's.
    if (central) {
        Verdict v = CheckKnown(local, dataAt, central->packedSize, central->unpackedSize,
                               central->header.crc);
        if (v.ok && (h.flags & kFlagDataDescriptor)) {
            DataDescriptor d;
            if (ParseDataDescriptor(file_.From(dataAt + v.packed), d, Zip64Local(local)) &&
                d.packedSize == v.packed)
                v.descriptorSize = d.recordSize;
        }
        // Encrypted data is kept on the word of its lengths alone, so every
        // record that gives them must agree.
        if (v.unchecked && !LengthsAgree(local, v))
            return Lost("encrypted, and its lengths disagree");
        return v;
    }
    if (!(h.flags & kFlagDataDescriptor)) {
        Zip64Values values{h.unpackedSize, h.packedSize, 0, 0};
        ApplyZip64Extra(local.extra, h.unpackedSize == kFull32, h.packedSize == kFull32, false,
                        false, values);
        return CheckKnown(local, dataAt, values.packedSize, values.unpackedSize, h.crc);
    }
    return CheckByDescriptor(local, dataAt);
}

bool Salvager::TryMember(uint64_t headerAt, const LocalRecord& local, const CentralRecord* central,
                         SalvageResult& result, uint64_t& next, bool pass2) {
    if (progress_ &&
        !progress_(central ? central->name : local.name, central ? central->unpackedSize : 0))
        return false;
    const uint64_t dataAt = headerAt + local.recordSize;
    Verdict v = Check(local, central, dataAt);
    // A directory record that only happens to give this offset (one of a
    // stored archive inside a member) must not cost the member.
    if (!v.ok && central && !pass2) {
        if (Verdict own = Check(local, nullptr, dataAt); own.ok) {
            v = own;
            central = nullptr;
        }
    }
    const std::string_view name = central ? central->name : local.name;
    ++result.known;
    if (!v.ok) {
        result.lost.push_back({std::string(name), v.reason});
        return true;
    }
    if (v.unchecked) result.keptUnchecked.emplace_back(name);
    ++result.recovered;
    found_.push_back({headerAt, local, central, name, dataAt, v.packed, v.unpacked, v.crc});
    next = dataAt + v.packed + v.descriptorSize;
    return true;
}

bool Salvager::Run(SalvageResult& result) {
    ReadCentralRecords();
    ChooseShift();
    const auto bytes = file_.bytes();
    // Local headers from the start; after a member that checks out the scan
    // goes on behind its data, else at the next signature.
    uint64_t pos = 0;
    for (auto at = FindSignature(bytes, pos, kLocalHeaderSignature); at;
         at = FindSignature(bytes, pos, kLocalHeaderSignature)) {
        LocalRecord local;
        const CentralRecord* central = CentralAt(*at);
        pos = *at + 1;
        if (!ParseLocalRecord(file_.From(*at), local) || (local.header.nameLength == 0 && !central))
            continue;
        if (central) centralUsed_[size_t(central - central_.data())] = true;
        if (!TryMember(*at, local, central, result, pos)) return false;
    }
    // Members the central directory names whose local header was not
    // found: a damaged signature or name leaves the lengths to be read.
    // Records inside a member's data, or pointing into it, belong to an
    // archive stored in that member, not to this one.
    auto insideFound = [&](uint64_t at) {
        return std::any_of(found_.begin(), found_.end(), [&](const Found& f) {
            return at >= f.headerAt && at < f.dataAt + f.packed;
        });
    };
    for (const auto& [offset, i] : centralByOffset_) {
        if (centralUsed_[i] || insideFound(centralAt_[i])) continue;
        const CentralRecord& c = central_[i];
        // A member found where the directory no longer points (bytes were
        // inserted in front of it) is the same member when name, CRC and
        // sizes agree: it takes the directory's attributes.
        auto same = std::find_if(found_.begin(), found_.end(), [&](const Found& f) {
            return !f.central && f.name == c.name && f.crc == c.header.crc &&
                   f.packed == c.packedSize && f.unpacked == c.unpackedSize;
        });
        if (same != found_.end()) {
            same->central = &c;
            continue;
        }
        const uint64_t headerAt = uint64_t(int64_t(c.localOffset) + shift_);
        if (insideFound(headerAt)) continue;
        uint8_t head[kLocalHeaderSize];
        LocalRecord local;
        if (file_.ReadAt(headerAt, head, sizeof(head))) {
            std::memcpy(head, "PK\3\4", 4);
            ParseLocalHeader(head, local.header);
        }
        local.recordSize = LocalRecordSize(local.header);
        if (local.header.nameLength != c.header.nameLength || local.header.nameLength == 0 ||
            file_.From(headerAt).size() < local.recordSize) {
            ++result.known;
            result.lost.push_back({std::string(c.name), "local header not found"});
            continue;
        }
        // The directory's values stand for the damaged header's; only the
        // lengths of name and extra field come from the header itself.
        local.header.versionNeeded = c.header.versionNeeded;
        local.header.flags = c.header.flags;
        local.header.method = c.header.method;
        local.header.dosTime = c.header.dosTime;
        local.header.dosDate = c.header.dosDate;
        local.name = c.name;
        local.extra = file_.From(headerAt + kLocalHeaderSize + local.header.nameLength)
                          .first(local.header.extraLength);
        uint64_t next = 0;
        if (!TryMember(headerAt, local, &c, result, next, true)) return false;
    }
    if (insideFound(eocdAt_)) comment_ = {};  // the end record of an archive stored in a member
    std::sort(found_.begin(), found_.end(),
              [](const Found& a, const Found& b) { return a.headerAt < b.headerAt; });
    result.droppedPrefix = found_.empty() ? 0 : found_.front().headerAt;
    return true;
}

// Writes the members found into `out`: fresh local headers (sizes filled
// in, a data descriptor kept where the member had one, since traditional
// encryption checks its password against the time then), the data as it
// was, a new central directory and end records.
class SalvageWriter {
  public:
    SalvageWriter(const MappedArchive& file, platform::AtomicFile& out) : file_(file), out_(out) {}
    bool Write(const Found& f);
    bool Finish(std::string_view comment);

  private:
    bool Put(const void* data, size_t size) {
        offset_ += size;
        return out_.Write(data, size);
    }
    bool Put(const std::vector<uint8_t>& bytes) { return Put(bytes.data(), bytes.size()); }

    const MappedArchive& file_;
    platform::AtomicFile& out_;
    uint64_t offset_ = 0;
    uint64_t count_ = 0;
    std::vector<uint8_t> central_;
};

bool SalvageWriter::Write(const Found& f) {
    const uint64_t limit = Zip64SizeLimit();
    const bool zip64 = f.packed >= limit || f.unpacked >= limit;
    LocalHeader h = f.local.header;
    h.nameLength = static_cast<uint16_t>(f.name.size());
    const bool descriptor = h.flags & kFlagDataDescriptor;
    std::vector<uint8_t> extra;
    if (descriptor) {
        extra = PutLocalSizes(h, f.local.extra, 0, 0, zip64);
        h.crc = 0;
    } else {
        extra = PutLocalSizes(h, f.local.extra, f.unpacked, f.packed, false);
        h.crc = f.crc;
    }
    const uint64_t localAt = offset_;
    std::vector<uint8_t> head;
    AppendLocalHeader(head, h);
    AppendBytes(head, f.name);
    AppendBytes(head, extra);
    if (!Put(head) || !Put(file_.bytes().data() + f.dataAt, f.packed)) return false;
    if (descriptor) {
        std::vector<uint8_t> d;
        if (zip64)
            AppendDataDescriptor64(d, f.crc, f.packed, f.unpacked);
        else
            AppendDataDescriptor(d, f.crc, uint32_t(f.packed), uint32_t(f.unpacked));
        if (!Put(d)) return false;
    }

    CentralHeader c;
    std::span<const uint8_t> centralExtra;
    std::string_view comment;
    if (f.central) {
        c = f.central->header;
        centralExtra = f.central->extra;
        comment = f.central->comment;
    } else {
        c.versionMadeBy = 20;
        c.dosTime = h.dosTime;
        c.dosDate = h.dosDate;
        c.externalAttributes = !f.name.empty() && f.name.back() == '/' ? 0x10 : 0;
        centralExtra = f.local.extra;
    }
    // The values the data was checked against.
    c.versionNeeded = h.versionNeeded;
    c.flags = h.flags;
    c.method = h.method;
    c.crc = f.crc;
    c.nameLength = static_cast<uint16_t>(f.name.size());
    c.commentLength = static_cast<uint16_t>(comment.size());
    c.diskStart = 0;
    c.internalAttributes = f.central ? c.internalAttributes : 0;
    const std::vector<uint8_t> cExtra =
        PutCentralValues(c, centralExtra, f.unpacked, f.packed, localAt, 0);
    AppendCentralHeader(central_, c);
    AppendBytes(central_, f.name);
    AppendBytes(central_, cExtra);
    AppendBytes(central_, comment);
    ++count_;
    return true;
}

bool SalvageWriter::Finish(std::string_view comment) {
    Zip64Eocd end;
    end.entriesOnDisk = end.totalEntries = count_;
    end.centralSize = central_.size();
    end.centralOffset = offset_;
    const uint64_t endAt = offset_ + central_.size();
    std::vector<uint8_t> tail;
    AppendEndRecords(tail, end, endAt, NeedsZip64End(end), comment);
    return Put(central_) && Put(tail);
}

bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b;
    return stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

SalvageResult SalvageArchive(const std::string& broken, const std::string& fixed,
                             const SalvageProgress& progress) {
    SalvageResult result;
    MappedArchive file;
    struct stat st;
    if (!file.Open(broken, st, result.error)) return result;
    if (fixed.empty() || SameFile(st, fixed)) {
        result.error = "the repaired copy must be another file than " + broken;
        return result;
    }
    Salvager salvager(file, progress);
    if (!salvager.Run(result)) {
        result.error = "stopped";
        return result;
    }
    // An archive without members would only pretend to be the repair.
    if (salvager.found().empty()) return result;
    platform::AtomicFile out;
    SalvageWriter writer(file, out);
    bool ok = out.Create(fixed);
    for (const Found& f : salvager.found())
        if (ok) ok = writer.Write(f);
    if (ok) ok = writer.Finish(salvager.comment()) && out.Commit(platform::DefaultFileMode());
    if (!ok) {
        result.error = fixed + ": " + out.ErrorText();
        out.Abort();
        return result;
    }
    result.written = true;
    return result;
}

}  // namespace kelp::zip
