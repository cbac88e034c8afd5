#include "zip_batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "dos_time.h"
#include "member_encryptor.h"
#include "member_names.h"
#include "member_selector.h"
#include "method_encoders.h"
#include "platform/atomic_file.h"
#include "record_writer.h"
#include "wildcard.h"

namespace kelp::kzip {
namespace {

// Memory that whole-file jobs waiting to be written may hold together.
constexpr uint64_t kPendingBudget = 96u << 20;
constexpr size_t kMaxPending = 256;
constexpr size_t kCopyChunk = 1u << 20;

constexpr uint8_t kVersionMadeBy = 30;  // 3.0
constexpr uint16_t kVersionStore = 10;
constexpr uint16_t kVersionDeflate = 20;
constexpr uint16_t kVersionAes = 51;

// The version needed to extract: 1.0 for a plain stored file, 2.0 for
// folders, encrypted and deflated members, more for the newer methods.
uint16_t VersionNeeded(uint16_t method, uint16_t flags, bool isDir) {
    const uint16_t base = method == zip::kMethodStored && !(flags & zip::kFlagEncrypted) && !isDir
                              ? kVersionStore
                              : kVersionDeflate;
    return std::max(base, MethodVersionNeeded(method));
}

std::string Leaf(const std::string& name) {
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

int64_t EntryTime(const zip::MemberEntry& e) {
    if (auto t = zip::FindUnixModTime(e.extra)) return *t;
    return zip::DosToUnixTime(e.header.dosDate, e.header.dosTime);
}

// The member's data without what encryption adds to it.
uint64_t PlainPacked(const MemberSource& m, uint64_t packed) {
    return packed - (m.encrypt ? MemberEncryptor::Overhead(m.aes) : 0);
}

bool EncryptsAes(const MemberSource& m) {
    return m.encrypt && m.aes;
}

int Percent(uint64_t packed, uint64_t unpacked) {
    if (unpacked == 0 || packed >= unpacked) return 0;
    return static_cast<int>((unpacked - packed) * 100 / unpacked);
}

}  // namespace

ZipBatch::ZipBatch(const ZipRequest& request)
    : request_(request), reporter_(request.callback, request.engineRef) {}

ZipBatch::~ZipBatch() {
    // Workers go before the futures and the plan they fill.
    pool_.reset();
}

int32_t ZipBatch::Run() {
    if (request_.archive.empty()) {
        reporter_.Message(kErrArchive, "  error: no archive name given");
        return 0;
    }
    if (!request_.renames.empty()) {
        const int32_t count = Rename();
        reporter_.BatchEnd();
        return count;
    }
    if (request_.specs.empty()) {
        reporter_.Message(kErrNothing, "  nothing to do: no file specifications given");
        return 0;
    }
    if (request_.encryption != KZIP_ENCRYPT_ZIPCRYPTO &&
        request_.encryption != KZIP_ENCRYPT_AES256) {
        reporter_.Message(kErrPassword, "  error: unknown encryption " +
                                            std::to_string(request_.encryption) +
                                            " asked for; nothing was added");
        return 0;
    }
    int32_t count = request_.deleteMode ? Delete() : Add();
    reporter_.BatchEnd();
    return count;
}

void ZipBatch::Warn(int32_t error, const std::string& text) {
    ++warnings_;
    reporter_.Message(error, text);
}

bool ZipBatch::OpenArchive() {
    const std::string& path = request_.archive;
    if (stat(path.c_str(), &archiveStat_) != 0) {
        if (errno == ENOENT) return true;
        reporter_.Message(kErrArchive, "  error: cannot use " + path + ": " + std::strerror(errno));
        return false;
    }
    haveStat_ = true;
    if (!S_ISREG(archiveStat_.st_mode)) {
        reporter_.Message(kErrArchive, "  error: " + path + " is not a file");
        return false;
    }
    // An empty file is taken as a new archive.
    if (archiveStat_.st_size == 0) return true;
    std::string error;
    reader_.SetNameCharset(request_.nameCharset);
    if (!reader_.Open(path, error, request_.loan)) {
        reporter_.Message(kErrArchive, "  error: " + path + " is not a valid ZIP archive (" +
                                           error + "); it was left unchanged");
        return false;
    }
    if (reader_.directoryTruncated()) {
        reporter_.Message(kErrArchive, "  error: the central directory of " + path +
                                           " is damaged; it was left unchanged");
        return false;
    }
    exists_ = true;
    return true;
}

int32_t ZipBatch::Add() {
    if (!OpenArchive()) return 0;
    std::set<std::pair<dev_t, ino_t>> skip;
    if (haveStat_) skip.insert({archiveStat_.st_dev, archiveStat_.st_ino});
    SourceScanner scanner(request_, reporter_, std::move(skip));
    std::vector<SourceItem> sources = scanner.Scan();
    warnings_ += scanner.warnings();
    if (reporter_.cancelled()) return Cancelled(), 0;
    if (!PlanAdditions(std::move(sources))) return 0;
    if (!WriteArchive()) return 0;
    MoveSources();
    std::string summary = "  " + std::to_string(changed_) + " member(s) added";
    if (warnings_) summary += ", " + std::to_string(warnings_) + " warning(s)";
    reporter_.Message(warnings_ ? kErrSource : kNoError, summary);
    return changed_;
}

std::optional<std::string> ZipBatch::PasswordFor(size_t spec, const std::string& name) {
    if (!request_.specs[spec].password.empty()) return request_.specs[spec].password;
    if (!request_.password.empty()) return request_.password;
    if (!passwordAsked_) {
        passwordAsked_ = true;
        askedPassword_ = reporter_.AskPassword(name);
    }
    return askedPassword_;
}

bool ZipBatch::PlanAdditions(std::vector<SourceItem> sources) {
    std::map<std::string, size_t> existing;
    for (size_t i = 0; i < reader_.entries().size(); ++i)
        existing.emplace(reader_.entries()[i].displayName, i);
    std::set<std::string> taken;
    std::map<size_t, Planned> replacements;
    std::vector<Planned> additions;
    uint64_t total = 0;
    for (SourceItem& s : sources) {
        std::string name = request_.dropPaths ? Leaf(s.name) : s.name;
        if (request_.forceDos) name = DosName(name);
        if (auto renamed = reporter_.AskNewName(name)) name = *renamed;
        if (reporter_.cancelled()) return Cancelled(), false;
        std::string why;
        std::string stored = CleanName(name, s.isDir, why);
        if (stored.empty()) {
            Warn(kErrName, "  skipping: " + s.name + " (" + why + ")");
            continue;
        }
        if (taken.count(stored)) {
            if (!s.isDir)
                Warn(kErrName, "  skipping: " + s.name + " (" + stored +
                                   " is already taken by another file)");
            continue;
        }
        auto old = existing.find(stored);
        if (request_.freshen && old == existing.end()) continue;
        if ((request_.freshen || request_.update) && old != existing.end()) {
            // DOS times count in two-second steps and round down.
            const auto& e = reader_.entries()[old->second];
            int64_t slack = zip::FindUnixModTime(e.extra) ? 0 : 1;
            if (s.mtime <= EntryTime(e) + slack) continue;
        }
        taken.insert(stored);
        Planned p;
        p.source = s;
        p.name = stored;
        p.member.path = s.path;
        p.member.size = s.size;
        p.member.link = S_ISLNK(s.mode);
        p.member.level = request_.level;
        p.member.method = request_.method;
        for (const std::string& suffix : request_.storeSuffixes)
            if (HasSuffix(stored, suffix)) p.member.level = 0;
        if (request_.specs[s.spec].encrypt && !s.isDir) {
            auto password = PasswordFor(s.spec, stored);
            if (reporter_.cancelled()) return Cancelled(), false;
            if (!password) {
                reporter_.Message(kErrPassword,
                                  "  error: no password given for encryption; nothing was added");
                return false;
            }
            p.member.encrypt = true;
            p.member.aes = request_.encryption == KZIP_ENCRYPT_AES256;
            p.member.password = *password;
        }
        total += s.size;
        if (old != existing.end())
            replacements.emplace(old->second, std::move(p));
        else
            additions.push_back(std::move(p));
    }
    if (replacements.empty() && additions.empty()) {
        reporter_.Message(kErrNothing, "  nothing to add; the archive was not changed");
        return false;
    }
    for (size_t i = 0; i < reader_.entries().size(); ++i) {
        auto r = replacements.find(i);
        if (r != replacements.end()) {
            plan_.push_back(std::move(r->second));
        } else {
            plan_.emplace_back();
            plan_.back().entry = i;
        }
    }
    for (Planned& p : additions) plan_.push_back(std::move(p));
    reporter_.FileCount(static_cast<int64_t>(replacements.size() + additions.size()));
    reporter_.ByteTotal(static_cast<int64_t>(total));
    if (reporter_.cancelled()) return Cancelled(), false;
    return true;
}

int32_t ZipBatch::Delete() {
    if (!OpenArchive()) return 0;
    if (!exists_) {
        reporter_.Message(kErrArchive, "  error: " + request_.archive + " is not a ZIP archive");
        return 0;
    }
    std::vector<std::string> specs;
    for (const SpecLine& s : request_.specs) specs.push_back(s.text);
    const zip::MemberSelector selector(specs, request_.exactNames);
    auto excluded = [&](const std::string& name) {
        return std::any_of(request_.excludes.begin(), request_.excludes.end(),
                           [&](const std::string& p) { return zip::WildcardMatch(p, name); });
    };
    std::vector<size_t> doomed;
    for (size_t i = 0; i < reader_.entries().size(); ++i) {
        const std::string name(reader_.entries()[i].displayName);
        if (selector.Selects(name) && !excluded(name)) {
            doomed.push_back(i);
        } else {
            plan_.emplace_back();
            plan_.back().entry = i;
        }
    }
    if (doomed.empty()) {
        reporter_.Message(kErrNothing, "  nothing matched; the archive was not changed");
        return 0;
    }
    reporter_.FileCount(static_cast<int64_t>(doomed.size()));
    for (size_t i : doomed) {
        reporter_.Message(kNoError, "  deleting: " + std::string(reader_.entries()[i].displayName));
        if (reporter_.cancelled()) return Cancelled(), 0;
    }
    if (!WriteArchive()) return 0;
    changed_ = static_cast<int32_t>(doomed.size());
    reporter_.Message(kNoError, "  " + std::to_string(changed_) + " member(s) deleted");
    return changed_;
}

bool ZipBatch::WriteArchive() {
    std::string error;
    if (!out_.Create(request_.archive, request_.tempDir, error)) {
        reporter_.Message(kErrWrite, "  error: " + error + "; the archive was not changed");
        return false;
    }
    // Whatever stands in front of the first member (a self-extractor
    // program) is kept.
    if (exists_) {
        uint64_t first = reader_.centralOffset();
        for (const auto& e : reader_.entries()) first = std::min(first, e.localOffset);
        std::vector<uint8_t> buf(kCopyChunk);
        for (uint64_t at = 0; at < first;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), first - at));
            if (!reader_.ReadAt(at, buf.data(), n)) {
                reporter_.Message(kErrArchive, "  error: cannot read " + request_.archive +
                                                   "; the archive was not changed");
                return false;
            }
            if (!out_.Write(buf.data(), n)) return WriteFailed(), false;
            at += n;
        }
    }
    for (size_t i = 0; i < plan_.size(); ++i) {
        Planned& p = plan_[i];
        if (!p.entry && !p.source.isDir && p.source.size <= kWholeFileBudget) {
            p.cost = 2 * p.source.size + 4096;
            while (!pending_.empty() &&
                   (inFlight_ + p.cost > kPendingBudget || pending_.size() >= kMaxPending)) {
                if (WriteFront() == Step::Abort) return false;
            }
            p.result = Pool().Submit([m = p.member] { return CompressWhole(m); });
            inFlight_ += p.cost;
        }
        pending_.push_back(i);
        // Members that need no worker are written as soon as their turn comes.
        while (!pending_.empty() && !plan_[pending_.front()].result.valid()) {
            if (WriteFront() == Step::Abort) return false;
        }
    }
    while (!pending_.empty()) {
        if (WriteFront() == Step::Abort) return false;
    }
    return Finish();
}

CompressPool& ZipBatch::Pool() {
    if (!pool_)
        pool_ = std::make_unique<CompressPool>(
            std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    return *pool_;
}

ZipBatch::Step ZipBatch::WriteFront() {
    Planned& p = plan_[pending_.front()];
    size_t index = pending_.front();
    pending_.pop_front();
    Step step;
    if (p.entry) {
        step = CopyMember(*p.entry);
    } else if (p.source.isDir) {
        step = StoreFolder(p);
    } else if (p.result.valid()) {
        MemberResult r = p.result.get();
        inFlight_ -= p.cost;
        step = StoreWhole(p, std::move(r));
    } else {
        step = StoreStreamed(p);
    }
    if (step == Step::Ok && !p.entry) {
        written_.push_back(index);
        ++changed_;
    }
    return step;
}

ZipBatch::Step ZipBatch::CopyMember(size_t index) {
    const zip::MemberEntry& e = reader_.entries()[index];
    zip::MemberData data;
    std::string error;
    auto damaged = [&](const std::string& why) {
        reporter_.Message(kErrArchive, "  error: member " + std::string(e.displayName) +
                                           " of the archive is damaged (" + why +
                                           "); the archive was not changed");
        return Step::Abort;
    };
    if (!reader_.Locate(e, data, error)) return damaged(error);
    uint64_t end = data.dataOffset + data.packedSize;
    if (e.header.flags & zip::kFlagDataDescriptor) {
        // Its sizes are 8 bytes wide when the local header has a ZIP64 field.
        const bool zip64 = zip::FindExtraField(data.localExtra, zip::kExtraZip64).has_value();
        uint8_t buf[24];
        size_t avail =
            static_cast<size_t>(std::min<uint64_t>(sizeof buf, reader_.centralOffset() - end));
        zip::DataDescriptor d;
        if (!reader_.ReadAt(end, buf, avail) || !zip::ParseDataDescriptor({buf, avail}, d, zip64))
            return damaged("data descriptor missing");
        end += d.recordSize;
    }
    uint64_t at = out_.offset();
    Central c{e.header,
              std::string(e.name),
              {e.extra.begin(), e.extra.end()},
              std::string(e.comment),
              EntryTime(e),
              e.packedSize,
              e.unpackedSize,
              at};
    // A renamed member gets a new local header; everything after it is
    // copied as it stands.
    uint64_t start = e.localOffset;
    if (index < newNames_.size() && newNames_[index]) {
        const auto local = RenamedLocalHeader(e, data, *newNames_[index]);
        if (!local) return damaged("local header unreadable");
        if (!out_.Write(*local)) return WriteFailed();
        RenameCentral(c, *newNames_[index]);
        start = data.dataOffset;
    }
    std::vector<uint8_t> buf(
        static_cast<size_t>(std::min<uint64_t>(kCopyChunk, std::max<uint64_t>(end - start, 1))));
    for (uint64_t from = start; from < end;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), end - from));
        if (!reader_.ReadAt(from, buf.data(), n)) return damaged("read error");
        if (!out_.Write(buf.data(), n)) return WriteFailed();
        from += n;
    }
    central_.push_back(std::move(c));
    return Step::Ok;
}

bool ZipBatch::WriteLocal(const Planned& p, uint16_t method, uint16_t flags, uint32_t crc,
                          uint64_t packed, uint64_t unpacked, uint16_t dosTime, uint16_t dosDate,
                          uint64_t& at, bool reserveZip64) {
    at = out_.offset();
    return out_.Write(
        LocalRecord(p, method, flags, crc, packed, unpacked, dosTime, dosDate, reserveZip64));
}

std::vector<uint8_t> ZipBatch::LocalRecord(const Planned& p, uint16_t method, uint16_t flags,
                                           uint32_t crc, uint64_t packed, uint64_t unpacked,
                                           uint16_t dosTime, uint16_t dosDate, bool reserveZip64) {
    zip::LocalHeader h;
    h.versionNeeded = VersionNeeded(method, flags, p.source.isDir);
    h.flags = flags;
    h.method = method;
    h.dosTime = dosTime;
    h.dosDate = dosDate;
    h.crc = crc;
    h.nameLength = static_cast<uint16_t>(p.name.size());
    std::vector<uint8_t> more;  // the extra fields besides ZIP64
    zip::AppendUnixModTime(more, p.source.mtime);
    if (EncryptsAes(p.member)) {
        // AE-2: method 99 in the header, the real one in the AES field, and
        // no CRC (the authentication code stands for it).
        zip::AppendAesExtra(more, {2, zip::kAesStrength256, method});
        h.method = zip::kMethodAes;
        h.crc = 0;
        h.versionNeeded = kVersionAes;
    }
    const std::vector<uint8_t> extra = zip::PutLocalSizes(h, more, unpacked, packed, reserveZip64);
    std::vector<uint8_t> bytes;
    zip::AppendLocalHeader(bytes, h);
    zip::AppendBytes(bytes, p.name);
    zip::AppendBytes(bytes, std::span<const uint8_t>(extra));
    return bytes;
}

void ZipBatch::AddCentral(const Planned& p, uint16_t method, uint16_t flags, uint32_t crc,
                          uint64_t packed, uint64_t unpacked, uint64_t at) {
    uint32_t dos = zip::UnixToDosTime(p.source.mtime);
    Central c;
    c.header.versionMadeBy = kVersionMadeBy;
    c.header.hostSystem = zip::kHostUnix;
    c.header.versionNeeded = VersionNeeded(method, flags, p.source.isDir);
    c.header.flags = flags;
    c.header.method = method;
    c.header.dosTime = static_cast<uint16_t>(dos);
    c.header.dosDate = static_cast<uint16_t>(dos >> 16);
    c.header.crc = crc;
    c.packed = packed;
    c.unpacked = unpacked;
    c.offset = at;
    c.header.nameLength = static_cast<uint16_t>(p.name.size());
    // Unix permissions in the high word; the DOS folder and read-only bits
    // in the low one.
    c.header.externalAttributes = p.source.mode << 16 | (p.source.isDir ? 0x10u : 0u) |
                                  ((p.source.mode & S_IWUSR) ? 0u : 0x01u);
    c.name = p.name;
    zip::AppendUnixModTime(c.extra, p.source.mtime);
    if (EncryptsAes(p.member)) {
        zip::AppendAesExtra(c.extra, {2, zip::kAesStrength256, method});
        c.header.method = zip::kMethodAes;
        c.header.crc = 0;
        c.header.versionNeeded = kVersionAes;
    }
    c.mtime = p.source.mtime;
    central_.push_back(std::move(c));
}

ZipBatch::Step ZipBatch::StoreFolder(Planned& p) {
    reporter_.FileStart(p.name, 0);
    if (reporter_.cancelled()) return Cancelled();
    uint32_t dos = zip::UnixToDosTime(p.source.mtime);
    uint16_t flags = NeedsUtf8Flag(p.name) ? zip::kFlagUtf8 : 0;
    uint64_t at;
    if (!WriteLocal(p, zip::kMethodStored, flags, 0, 0, 0, static_cast<uint16_t>(dos),
                    static_cast<uint16_t>(dos >> 16), at))
        return WriteFailed();
    AddCentral(p, zip::kMethodStored, flags, 0, 0, 0, at);
    reporter_.Message(kNoError, "  adding: " + p.name + " (stored 0%)");
    return reporter_.cancelled() ? Cancelled() : Step::Ok;
}

ZipBatch::Step ZipBatch::StoreWhole(Planned& p, MemberResult r) {
    if (!r.ok) {
        Warn(kErrSource, "  skipping: " + p.source.path + " (" + r.error + ")");
        return reporter_.cancelled() ? Cancelled() : Step::Skipped;
    }
    reporter_.FileStart(p.name, static_cast<int64_t>(r.unpacked));
    if (reporter_.cancelled()) return Cancelled();
    uint32_t dos = zip::UnixToDosTime(p.source.mtime);
    uint16_t flags = (NeedsUtf8Flag(p.name) ? zip::kFlagUtf8 : 0) |
                     (p.member.encrypt ? zip::kFlagEncrypted : 0) |
                     MethodFlags(r.method, p.member.level);
    uint64_t at;
    if (!WriteLocal(p, r.method, flags, r.crc, r.packed, r.unpacked, static_cast<uint16_t>(dos),
                    static_cast<uint16_t>(dos >> 16), at) ||
        !out_.Write(r.data))
        return WriteFailed();
    AddCentral(p, r.method, flags, r.crc, r.packed, r.unpacked, at);
    uint64_t plainPacked = PlainPacked(p.member, r.packed);
    reporter_.Message(kNoError, "  adding: " + p.name + " (" + MethodWord(r.method) + " " +
                                    std::to_string(Percent(plainPacked, r.unpacked)) + "%)");
    if (r.changed) Warn(kErrSource, "  warning: " + p.source.path + " changed while it was read");
    reporter_.BytesDone(static_cast<int64_t>(r.unpacked));
    return reporter_.cancelled() ? Cancelled() : Step::Ok;
}

ZipBatch::Step ZipBatch::StoreStreamed(Planned& p) {
    reporter_.FileStart(p.name, static_cast<int64_t>(p.source.size));
    if (reporter_.cancelled()) return Cancelled();
    uint32_t dos = zip::UnixToDosTime(p.source.mtime);
    const auto dosTime = static_cast<uint16_t>(dos), dosDate = static_cast<uint16_t>(dos >> 16);
    // Traditionally encrypted data is checked against the time: its CRC
    // comes after it, in a data descriptor. AES data needs no CRC up front.
    const bool descriptor = p.member.encrypt && !p.member.aes;
    uint16_t flags = (NeedsUtf8Flag(p.name) ? zip::kFlagUtf8 : 0) |
                     (p.member.encrypt ? zip::kFlagEncrypted : 0) |
                     (descriptor ? zip::kFlagDataDescriptor : 0);
    // The local header is written before the sizes are known: a ZIP64 field
    // is reserved in it when the file's size says they may not fit 32 bits
    // (stored data never outgrows the file by more than what the
    // encryption adds). A file that grew past that while it was read is written again
    // with the field.
    const uint64_t limit = zip::Zip64SizeLimit();
    const uint64_t head = p.member.encrypt ? MemberEncryptor::Overhead(p.member.aes) : 0;
    bool zip64 = p.source.size + head >= limit;
    uint64_t at = 0;
    StreamOutcome o;
    for (;;) {
        if (!WriteLocal(p, zip::kMethodDeflated, flags, 0, 0, 0, dosTime, dosDate, at, zip64))
            return WriteFailed();
        const uint64_t dataStart = out_.offset();
        StreamSink sink{[this](const uint8_t* d, size_t n) { return out_.Write(d, n); },
                        [this, dataStart] { return out_.Truncate(dataStart); },
                        [this](uint64_t n) {
                            reporter_.BytesDone(static_cast<int64_t>(n));
                            return !reporter_.cancelled();
                        }};
        o = CompressStream(p.member, dosTime, Pool(), sink);
        if (o.stopped) return Cancelled();
        if (o.writeFailed) return WriteFailed();
        if (!o.result.ok) {
            if (!out_.Truncate(at)) return WriteFailed();
            Warn(kErrSource, "  skipping: " + p.source.path + " (" + o.result.error + ")");
            return Step::Skipped;
        }
        if (zip64 || (o.result.packed < limit && o.result.unpacked < limit)) break;
        if (!out_.Truncate(at)) return WriteFailed();
        zip64 = true;
    }
    MemberResult& r = o.result;
    // Fill in what is known only now: the local header is written again
    // with the same length (the ZIP64 field is there or not either way),
    // with the method and the flags and version it asks for; a descriptor
    // keeps the CRC and sizes behind.
    flags |= MethodFlags(r.method, p.member.level);
    const std::vector<uint8_t> local =
        descriptor
            ? LocalRecord(p, r.method, flags, 0, 0, 0, dosTime, dosDate, zip64)
            : LocalRecord(p, r.method, flags, r.crc, r.packed, r.unpacked, dosTime, dosDate, zip64);
    if (!out_.PatchAt(at, local.data(), local.size())) return WriteFailed();
    if (descriptor) {
        std::vector<uint8_t> d;
        if (zip64)
            zip::AppendDataDescriptor64(d, r.crc, r.packed, r.unpacked);
        else
            zip::AppendDataDescriptor(d, r.crc, static_cast<uint32_t>(r.packed),
                                      static_cast<uint32_t>(r.unpacked));
        if (!out_.Write(d)) return WriteFailed();
    }
    AddCentral(p, r.method, flags, r.crc, r.packed, r.unpacked, at);
    uint64_t plainPacked = PlainPacked(p.member, r.packed);
    reporter_.Message(kNoError, "  adding: " + p.name + " (" + MethodWord(r.method) + " " +
                                    std::to_string(Percent(plainPacked, r.unpacked)) + "%)");
    if (r.changed) Warn(kErrSource, "  warning: " + p.source.path + " changed while it was read");
    return reporter_.cancelled() ? Cancelled() : Step::Ok;
}

bool ZipBatch::Finish() {
    // Values too wide for their fields go into ZIP64 fields and a ZIP64 end
    // record, and only those.
    const uint64_t start = out_.offset();
    std::vector<uint8_t> bytes;
    int64_t newest = INT64_MIN;
    for (const Central& c : central_) {
        zip::CentralHeader h = c.header;
        const std::vector<uint8_t> extra =
            zip::PutCentralValues(h, c.extra, c.unpacked, c.packed, c.offset, 0);
        h.nameLength = static_cast<uint16_t>(c.name.size());
        h.commentLength = static_cast<uint16_t>(c.comment.size());
        zip::AppendCentralHeader(bytes, h);
        zip::AppendBytes(bytes, c.name);
        zip::AppendBytes(bytes, std::span<const uint8_t>(extra));
        zip::AppendBytes(bytes, c.comment);
        newest = std::max(newest, c.mtime);
    }
    std::string comment = request_.comment ? *request_.comment : reader_.comment();
    if (comment.size() > 0xFFFF) comment.resize(0xFFFF);
    zip::Zip64Eocd end;
    end.entriesOnDisk = end.totalEntries = central_.size();
    end.centralSize = bytes.size();
    end.centralOffset = start;
    zip::AppendEndRecords(bytes, end, start + bytes.size(), zip::NeedsZip64End(end), comment);
    if (!out_.Write(bytes)) return WriteFailed(), false;
    mode_t mode = haveStat_ ? (archiveStat_.st_mode & 07777) : platform::DefaultFileMode();
    std::optional<int64_t> mtime;
    if (request_.archiveTime && !central_.empty()) mtime = newest;
    std::string error;
    if (!request_.renames.empty() && !RenamesReadBack()) {
        out_.Abort();
        return false;
    }
    if (!out_.Commit(mode, mtime, error)) {
        reporter_.Message(kErrWrite, "  error: cannot write " + request_.archive + ": " + error +
                                         "; the archive was not changed");
        return false;
    }
    return true;
}

ZipBatch::Step ZipBatch::WriteFailed() {
    reporter_.Message(kErrWrite, "  error: cannot write the new archive: " + out_.ErrorText() +
                                     "; the archive was not changed");
    return Step::Abort;
}

ZipBatch::Step ZipBatch::Cancelled() {
    reporter_.Message(kErrCancelled, "  cancelled; the archive was not changed");
    return Step::Abort;
}

void ZipBatch::MoveSources() {
    if (!request_.move) return;
    // Files first, then the folders they were in, deepest first; a folder
    // that still holds something stays.
    std::vector<std::string> folders;
    for (size_t i : written_) {
        const SourceItem& s = plan_[i].source;
        if (s.isDir) {
            folders.push_back(s.path);
        } else if (unlink(s.path.c_str()) != 0) {
            Warn(kErrSource, "  warning: cannot remove " + s.path + ": " + std::strerror(errno));
        }
    }
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& f : folders) rmdir(f.c_str());
}

}  // namespace kelp::kzip
