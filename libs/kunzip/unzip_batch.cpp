#include "unzip_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "archive_check.h"
#include "member_selector.h"
#include "prefetcher.h"
#include "safe_path.h"

namespace kelp::kunzip {
namespace {

// Bytes-done reports are gathered up to this size.
constexpr uint64_t kProgressStep = 1u << 20;
// Plain bytes a password not yet proven is tried on.
constexpr uint64_t kPasswordTrialBytes = 64u << 10;
// The longest link target made (PATH_MAX less its NUL).
constexpr size_t kMaxLinkTarget = PATH_MAX - 1;

bool MethodSupported(const zip::MemberEntry& entry) {
    return !(entry.header.flags & zip::kFlagStrongEncryption) &&
           zip::MethodDecodable(entry.CompressionMethod());
}

// Faults of the directory as a whole, reported once by Run; the batch fails
// even when every member passes.
bool ArchiveDamaged(const zip::ArchiveReader& reader) {
    return reader.directoryTruncated() || reader.countMismatch() || reader.overlappingEntries() > 0;
}

}  // namespace

UnzipBatch::UnzipBatch(const UnzipRequest& request)
    : request_(request), reporter_(request.callback, request.engineRef) {}

UnzipBatch::~UnzipBatch() {
    prefetcher_.reset();
    folders_.reset();
    if (baseFd_ >= 0) close(baseFd_);
}

std::vector<size_t> UnzipBatch::SelectMembers() const {
    std::vector<size_t> out;
    const auto& entries = reader_.entries();
    const zip::MemberSelector selector(request_.specs, request_.exactNames);
    if (selector.SelectsAll() && !request_.toMemory) {
        out.resize(entries.size());
        std::iota(out.begin(), out.end(), size_t{0});
        return out;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (selector.Selects(entries[i].displayName)) {
            out.push_back(i);
            if (request_.toMemory) break;  // memory mode takes one member
        }
    }
    return out;
}

int32_t UnzipBatch::Run() {
    std::string error;
    reader_.SetNameCharset(request_.nameCharset);
    if (request_.archive.empty() || !reader_.Open(request_.archive, error, request_.loan)) {
        if (error.empty()) error = "no archive named";
        if (request_.check)
            reporter_.Message(kErrFinding, "Finding: the archive cannot be read: " + error);
        else
            reporter_.Message(kErrArchive, "Error found in " + request_.archive + ": " + error);
        reporter_.BatchEnd();
        return 0;
    }
    if (!request_.test && !request_.toMemory) {
        const std::string folder = request_.targetDir.empty() ? "." : request_.targetDir;
        baseFd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (baseFd_ < 0) {
            reporter_.Message(kErrWrite, "Error found: the target folder " + folder +
                                             " cannot be opened: " + std::strerror(errno));
            reporter_.BatchEnd();
            return 0;
        }
        folders_ = std::make_unique<zip::FolderCache>(baseFd_);
    }
    if (reader_.offsetShift() != 0) {
        ++warnings_;
        reporter_.Message(0, "Warning: " + std::to_string(reader_.offsetShift()) +
                                 " bytes in front of the archive are not counted by its offsets");
    }
    if (reader_.directoryTruncated()) {
        lastError_ = kErrArchive;
        reporter_.Message(kErrArchive, "Error found in " + request_.archive +
                                           ": the central directory is damaged; only " +
                                           std::to_string(reader_.entries().size()) +
                                           " entries could be read");
    }
    if (reader_.countMismatch()) {
        // Every entry of the directory is handled, but the archive is not
        // sound: some other reader would see a different set of members.
        lastError_ = kErrArchive;
        reporter_.Message(kErrArchive, "Error found in " + request_.archive +
                                           ": the end record counts " +
                                           std::to_string(reader_.declaredEntries()) +
                                           " members but the central directory holds " +
                                           std::to_string(reader_.entries().size()) +
                                           "; every member found is handled");
    }
    if (reader_.overlappingEntries() > 0) {
        lastError_ = kErrArchive;
        reporter_.Message(kErrArchive, "Error found in " + request_.archive + ": " +
                                           std::to_string(reader_.overlappingEntries()) +
                                           " members overlap the data of other members (a zip "
                                           "bomb construction); they are refused");
    }
    if (request_.check) {
        for (const std::string& finding : zip::StructureFindings(reader_)) {
            ++findings_;
            lastError_ = kErrFinding;
            reporter_.Message(kErrFinding, "Finding: " + finding);
        }
    }

    std::vector<size_t> selected = SelectMembers();
    // One walk over the selection sums the sizes and picks what workers
    // decode ahead.
    uint64_t total = 0;
    std::vector<size_t> ahead;
    ahead.reserve(selected.size());
    for (size_t i : selected) {
        const zip::MemberExtent member = reader_.Extent(i);
        total += member.unpackedSize;
        if (!request_.toMemory && Prefetcher::Eligible(member, request_.test)) ahead.push_back(i);
    }
    reporter_.FileCount(static_cast<int64_t>(selected.size()));
    reporter_.ByteTotal(static_cast<int64_t>(std::min<uint64_t>(total, INT64_MAX)));
    if (!request_.toMemory && !reporter_.cancelled()) {
        WriteAheadPlan plan;
        if (!request_.test)
            plan = PlanWriteAhead(reader_.entries(), selected, baseFd_, request_.dirNames,
                                  request_.freshen);
        prefetcher_ = std::make_unique<Prefetcher>(reader_, std::move(ahead), request_.test, &plan);
    }

    bool cancelled = reporter_.cancelled();
    for (size_t i : selected) {
        if (cancelled) break;
        Outcome outcome = Process(i);
        if (prefetcher_) prefetcher_->Drop(i);
        if (outcome == Outcome::Success) ++successes_;
        cancelled = outcome == Outcome::Cancelled || reporter_.cancelled();
    }
    prefetcher_.reset();
    // Folder times last: writing files into a folder changes its time.
    for (auto it = dirTimes_.rbegin(); it != dirTimes_.rend(); ++it)
        zip::SetDirTime(baseFd_, it->first, it->second);
    Summary(selected.size(), cancelled);
    reporter_.BatchEnd();
    return successes_;
}

void UnzipBatch::Summary(size_t selected, bool cancelled) {
    const char* verb = request_.test ? "tested" : "unzipped";
    if (cancelled) {
        // A stopped run never reads as a clean one, however many members it
        // got through.
        reporter_.Message(kErrCancelled, "Error found: the operation was cancelled; " +
                                             std::to_string(successes_) + " of " +
                                             std::to_string(selected) + " members " + verb +
                                             " in " + request_.archive);
    } else if (selected == 0) {
        reporter_.Message(0, std::string("Zero files ") + verb + " in " + request_.archive);
    } else if (errors_ > 0 || findings_ > 0 || ArchiveDamaged(reader_)) {
        const std::string where =
            errors_ > 0 ? std::to_string(errors_) + " of " + std::to_string(selected) + " members"
            : findings_ > 0 ? "the structure (" + std::to_string(findings_) + " findings)"
                            : "the directory";
        reporter_.Message(lastError_, "Error found in " + where + "; " +
                                          std::to_string(successes_) + " " + verb + " in " +
                                          request_.archive);
    } else if (warnings_ > 0) {
        reporter_.Message(0, std::to_string(successes_) + " members " + verb + " in " +
                                 request_.archive + ", but warnings were given");
    } else {
        reporter_.Message(0, "No Errors Found: " + std::to_string(successes_) + " members " + verb +
                                 " in " + request_.archive);
    }
}

UnzipBatch::Outcome UnzipBatch::Fail(std::string_view name, int32_t error, uint8_t skipType,
                                     const std::string& why) {
    ++errors_;
    lastError_ = error;
    reporter_.Skipped(name, error, skipType);
    reporter_.Message(error, MemberError(name, why));
    return Outcome::Failed;
}

void UnzipBatch::Progress(uint64_t bytes) {
    pendingBytes_ += bytes;
    if (pendingBytes_ >= kProgressStep) FlushProgress();
}

void UnzipBatch::FlushProgress() {
    if (pendingBytes_ == 0) return;
    reporter_.BytesDone(static_cast<int64_t>(pendingBytes_));
    pendingBytes_ = 0;
}

UnzipBatch::Outcome UnzipBatch::Process(size_t index) {
    const zip::MemberEntry& entry = reader_.entries()[index];
    if (entry.overlapsAnother)
        return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA,
                    "its data overlaps another member's, refused");
    if (entry.header.flags & zip::kFlagStrongEncryption)
        return Fail(entry.displayName, kErrMethod, KSKIP_METHOD,
                    "strong encryption is not supported, skipped");
    if (entry.CompressionMethod() == zip::kMethodAes)
        return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA,
                    "its AES encryption field is missing or damaged, skipped");
    if (!MethodSupported(entry)) {
        return Fail(entry.displayName, kErrMethod, KSKIP_METHOD,
                    "compression method " + zip::MethodName(entry.CompressionMethod()) +
                        " is not supported, skipped");
    }
    if (request_.test) return Test(entry, index);
    if (request_.toMemory) return ToMemory(entry);
    return Extract(entry, index);
}

bool UnzipBatch::OpensData(const zip::MemberData& data, const std::string& password) const {
    std::optional<zip::MemberCipher> keys = zip::TryPassword(reader_, data, password);
    if (!keys) return false;
    uint64_t seen = 0;
    const zip::DecodeResult r =
        zip::DecodeMember(reader_, data, &*keys, [&](const uint8_t*, size_t n) {
            seen += n;
            return seen < kPasswordTrialBytes;
        });
    return r.status == zip::DecodeStatus::Ok || r.status == zip::DecodeStatus::Stopped;
}

bool UnzipBatch::ResolvePassword(const zip::MemberEntry& entry, const zip::MemberData& data,
                                 std::optional<zip::MemberCipher>& crypto) {
    if (!entry.IsEncrypted()) return true;
    // The header's check lets a wrong password through now and then (one in
    // 256 with traditional encryption), which would then read as damaged
    // data: a password not yet proven in this batch is tried on the data
    // first. One that fails there is used only if no other passes.
    std::optional<zip::MemberCipher> doubtful;
    auto opens = [&](const std::string& password) {
        if (password.empty() || !(crypto = zip::TryPassword(reader_, data, password))) return false;
        if (password == provenPassword_ || OpensData(data, password)) {
            lastPassword_ = provenPassword_ = password;
            return true;
        }
        if (!doubtful) doubtful = std::move(crypto);
        crypto.reset();
        return false;
    };
    if (opens(lastPassword_) || opens(request_.password)) return true;
    int tries = request_.passwordTries;
    std::string answer;
    while (!reporter_.cancelled() && reporter_.AskPassword(entry.displayName, tries, answer))
        if (opens(answer)) return true;
    // Its decoding reports what is wrong with the member.
    if (doubtful && !reporter_.cancelled()) crypto = std::move(doubtful);
    return crypto.has_value();
}

Prefetched* UnzipBatch::TakeReady(size_t index) {
    return prefetcher_ ? prefetcher_->Take(index) : nullptr;
}

bool UnzipBatch::LocateMember(const zip::MemberEntry& entry, const Prefetched* ready,
                              zip::MemberData& data, std::string& error) const {
    if (!ready) return reader_.Locate(entry, data, error);
    if (!ready->located) {
        error = ready->result.detail;
        return false;
    }
    data = ready->data;
    return true;
}

zip::DecodeResult UnzipBatch::Decode(Prefetched* ready, const zip::MemberData& data,
                                     zip::MemberCipher* crypto, const zip::ByteSink& sink) {
    if (!ready || crypto) return zip::DecodeMember(reader_, data, crypto, sink);
    if (ready->result.status != zip::DecodeStatus::Ok &&
        ready->result.status != zip::DecodeStatus::CrcMismatch)
        return ready->result;
    // A test needs no bytes: report the size as done at once.
    if (!ready->keptBytes) {
        sink(nullptr, static_cast<size_t>(ready->result.produced));
        return ready->result;
    }
    const auto& bytes = ready->bytes;
    for (size_t at = 0; at < bytes.size(); at += kProgressStep) {
        size_t n = std::min<size_t>(kProgressStep, bytes.size() - at);
        if (!sink(bytes.data() + at, n)) {
            zip::DecodeResult stopped;
            stopped.status = zip::DecodeStatus::Stopped;
            return stopped;
        }
    }
    return ready->result;
}

std::string UnzipBatch::MemberError(std::string_view name, const std::string& why) const {
    return (request_.check ? "Finding: " : "Error found in ") + std::string(name) + ": " + why;
}

void UnzipBatch::CheckLinkTarget(const zip::MemberEntry& entry, const zip::MemberData& data,
                                 zip::MemberCipher* crypto) {
    std::string target;
    const zip::DecodeResult r =
        zip::DecodeMember(reader_, data, crypto, [&](const uint8_t* p, size_t n) {
            if (n > kMaxLinkTarget - target.size()) return false;
            target.append(reinterpret_cast<const char*>(p), n);
            return true;
        });
    // A damaged link is reported by the test that follows.
    if (r.status != zip::DecodeStatus::Ok || !zip::LinkLeadsOut(entry.displayName, target)) return;
    ++findings_;
    lastError_ = kErrFinding;
    reporter_.Message(kErrFinding, "Finding: " + std::string(entry.displayName) + " is a link to " +
                                       target + ": the link leads out of the target folder");
}

UnzipBatch::Outcome UnzipBatch::Test(const zip::MemberEntry& entry, size_t index) {
    Prefetched* ready = TakeReady(index);
    zip::MemberData data;
    std::string error;
    if (!LocateMember(entry, ready, data, error))
        return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA, error);
    std::optional<zip::MemberCipher> crypto;
    if (!ResolvePassword(entry, data, crypto)) {
        if (reporter_.cancelled()) return Outcome::Cancelled;
        return Fail(entry.displayName, kErrPassword, KSKIP_PASSWORD, "no valid password, skipped");
    }
    if (request_.check && entry.IsSymlink())
        CheckLinkTarget(entry, data, crypto ? &*crypto : nullptr);
    reporter_.FileStart(entry.displayName, data.unpackedSize);
    auto sink = [&](const uint8_t*, size_t n) {
        Progress(n);
        return !reporter_.cancelled();
    };
    zip::DecodeResult r = Decode(ready, data, crypto ? &*crypto : nullptr, sink);
    FlushProgress();
    switch (r.status) {
        case zip::DecodeStatus::Ok:
            line_.assign("Tested: ").append(entry.displayName).append(" OK");
            reporter_.Message(0, line_);
            return Outcome::Success;
        case zip::DecodeStatus::Stopped:
            return Outcome::Cancelled;
        case zip::DecodeStatus::CrcMismatch: {
            reporter_.ReportCrc(entry.displayName, r.crc, data.crc);
            ++errors_;
            lastError_ = kErrCrc;
            char text[80];
            std::snprintf(text, sizeof(text), "CRC error (found %08x, expected %08x)", r.crc,
                          data.crc);
            reporter_.Message(kErrCrc, MemberError(entry.displayName, text));
            return Outcome::Failed;
        }
        default:
            return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA, r.detail);
    }
}

UnzipBatch::Outcome UnzipBatch::ToMemory(const zip::MemberEntry& entry) {
    zip::MemberData data;
    std::string error;
    if (!reader_.Locate(entry, data, error))
        return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA, error);
    if (!request_.memory || data.unpackedSize != request_.memorySize)
        return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA,
                    "the memory given does not fit the member");
    std::optional<zip::MemberCipher> crypto;
    if (!ResolvePassword(entry, data, crypto)) {
        if (reporter_.cancelled()) return Outcome::Cancelled;
        return Fail(entry.displayName, kErrPassword, KSKIP_PASSWORD, "no valid password, skipped");
    }
    reporter_.FileStart(entry.displayName, data.unpackedSize);
    uint64_t at = 0;
    auto sink = [&](const uint8_t* p, size_t n) {
        if (n > request_.memorySize - at) return false;  // never past the memory given
        std::memcpy(request_.memory + at, p, n);
        at += n;
        Progress(n);
        return !reporter_.cancelled();
    };
    zip::DecodeResult r = zip::DecodeMember(reader_, data, crypto ? &*crypto : nullptr, sink);
    FlushProgress();
    if (r.status == zip::DecodeStatus::Ok) {
        reporter_.Message(0, "Unzipped: " + std::string(entry.displayName) + " to memory");
        return Outcome::Success;
    }
    if (r.status == zip::DecodeStatus::Stopped && reporter_.cancelled()) return Outcome::Cancelled;
    if (r.status == zip::DecodeStatus::CrcMismatch) {
        reporter_.ReportCrc(entry.displayName, r.crc, data.crc);
        return Fail(entry.displayName, kErrCrc, KSKIP_CRC, "CRC error");
    }
    return Fail(entry.displayName, kErrData, KSKIP_BAD_DATA,
                r.detail.empty() ? "damaged data" : r.detail);
}

UnzipBatch::Outcome UnzipBatch::Extract(const zip::MemberEntry& entry, size_t index) {
    const std::string name(entry.displayName);
    zip::TargetName target = zip::ResolveMemberName(name, request_.dirNames);
    if (!target.ok) return Fail(name, kErrName, KSKIP_UNSAFE_PATH, target.reason + ", skipped");
    std::string error;
    if (target.leaf.empty()) {
        // Folders need folder names, and freshening makes nothing new.
        if (!request_.dirNames || request_.freshen) return Outcome::Skipped;
        if (folders_->Open(target.dirs, true, error) < 0)
            return Fail(name, kErrName, KSKIP_UNSAFE_PATH, error + ", skipped");
        RememberFolder(target.dirs, {zip::MemberModTime(entry, nullptr), entry.UnixMode() & 0777});
        reporter_.FileStart(name, 0);
        reporter_.Message(0, "Unzipped: " + name);
        return Outcome::Success;
    }
    Prefetched* ready = TakeReady(index);
    zip::MemberData data;
    if (!LocateMember(entry, ready, data, error))
        return Fail(name, kErrData, KSKIP_BAD_DATA, error);
    if (ready && ready->written) return ReportWritten(entry, *ready);
    const int dirFd = folders_->Open(target.dirs, !request_.freshen, error);
    if (dirFd < 0) {
        if (request_.freshen) {  // no folder, so no file to freshen
            reporter_.Skipped(name, 0, KSKIP_FRESHEN);
            return Outcome::Skipped;
        }
        return Fail(name, kErrName, KSKIP_UNSAFE_PATH, error + ", skipped");
    }
    int64_t mtime = zip::MemberModTime(entry, &data);
    if (auto kept = KeepExisting(dirFd, target.leaf, name, mtime)) return *kept;
    if (reporter_.cancelled()) return Outcome::Cancelled;

    std::optional<zip::MemberCipher> crypto;
    if (!ResolvePassword(entry, data, crypto)) {
        if (reporter_.cancelled()) return Outcome::Cancelled;
        return Fail(name, kErrPassword, KSKIP_PASSWORD, "no valid password, skipped");
    }
    reporter_.FileStart(name, data.unpackedSize);
    if (entry.IsSymlink()) return ExtractLink(entry, ready, data, crypto, target, dirFd, mtime);
    zip::OutputFile out;
    if (!out.Create(dirFd, target.leaf, error)) return Fail(name, kErrWrite, KSKIP_WRITE, error);
    bool writeFailed = false;
    auto sink = [&](const uint8_t* p, size_t n) {
        if (!out.Write(p, n)) {
            writeFailed = true;
            return false;
        }
        Progress(n);
        return !reporter_.cancelled();
    };
    zip::DecodeResult r = Decode(ready, data, crypto ? &*crypto : nullptr, sink);
    FlushProgress();
    unsigned mode = entry.UnixMode() & 0777;
    switch (r.status) {
        case zip::DecodeStatus::Ok:
            if (!out.Commit(mtime, mode, error)) return Fail(name, kErrWrite, KSKIP_WRITE, error);
            reporter_.Message(0, "Unzipped: " + name);
            return Outcome::Success;
        case zip::DecodeStatus::CrcMismatch: {
            bool keep = reporter_.ReportCrc(name, r.crc, data.crc);
            if (keep) out.Commit(mtime, mode, error);
            char text[96];
            std::snprintf(text, sizeof(text), "CRC error (found %08x, expected %08x)%s", r.crc,
                          data.crc, keep ? ", data kept" : "");
            ++errors_;
            lastError_ = kErrCrc;
            reporter_.Message(kErrCrc, "Error found in " + name + ": " + text);
            return Outcome::Failed;
        }
        case zip::DecodeStatus::Stopped:
            if (writeFailed)
                return Fail(name, kErrWrite, KSKIP_WRITE,
                            std::string("write error: ") + std::strerror(errno));
            return Outcome::Cancelled;
        default:
            return Fail(name, kErrData, KSKIP_BAD_DATA, r.detail);
    }
}

UnzipBatch::Outcome UnzipBatch::ReportWritten(const zip::MemberEntry& entry,
                                              const Prefetched& ready) {
    // The same steps as writing it now: cancelling on the way drops it.
    if (!reporter_.cancelled()) {
        reporter_.FileStart(entry.displayName, ready.data.unpackedSize);
        Progress(ready.result.produced);
        FlushProgress();
    }
    if (reporter_.cancelled()) {
        prefetcher_->Discard(ready);
        return Outcome::Cancelled;
    }
    reporter_.Message(0, "Unzipped: " + std::string(entry.displayName));
    return Outcome::Success;
}

std::optional<UnzipBatch::Outcome> UnzipBatch::KeepExisting(int dirFd, const std::string& leaf,
                                                            const std::string& name,
                                                            int64_t mtime) {
    struct stat st {};
    if (fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(name, kErrWrite, KSKIP_WRITE, "a folder of that name exists");
        bool older = static_cast<int64_t>(st.st_mtime) + 1 < mtime;
        if (request_.freshen || request_.update) {
            if (!older) {
                reporter_.Skipped(name, 0, KSKIP_FRESHEN);
                return Outcome::Skipped;
            }
        } else if (!request_.overwrite && !reporter_.AskOverwrite(name, older)) {
            reporter_.Skipped(name, 0, KSKIP_OVERWRITE);
            reporter_.Message(0, "Kept existing file: " + name);
            return reporter_.cancelled() ? Outcome::Cancelled : Outcome::Skipped;
        }
    } else if (request_.freshen) {
        reporter_.Skipped(name, 0, KSKIP_FRESHEN);
        return Outcome::Skipped;
    }
    return std::nullopt;
}

UnzipBatch::Outcome UnzipBatch::ExtractLink(const zip::MemberEntry& entry, Prefetched* ready,
                                            const zip::MemberData& data,
                                            std::optional<zip::MemberCipher>& crypto,
                                            const zip::TargetName& target, int dirFd,
                                            int64_t mtime) {
    const std::string name(entry.displayName);
    // The member's data is the link's target, a path of at most PATH_MAX.
    std::string linkTarget;
    auto sink = [&](const uint8_t* p, size_t n) {
        if (n > kMaxLinkTarget - linkTarget.size()) return false;
        linkTarget.append(reinterpret_cast<const char*>(p), n);
        return !reporter_.cancelled();
    };
    zip::DecodeResult r = Decode(ready, data, crypto ? &*crypto : nullptr, sink);
    Progress(linkTarget.size());
    FlushProgress();
    if (r.status == zip::DecodeStatus::Stopped) {
        if (reporter_.cancelled()) return Outcome::Cancelled;
        return Fail(name, kErrData, KSKIP_BAD_DATA, "the link target is too long, skipped");
    }
    if (r.status == zip::DecodeStatus::CrcMismatch) {
        reporter_.ReportCrc(name, r.crc, data.crc);
        return Fail(name, kErrCrc, KSKIP_CRC, "CRC error, the link was not made");
    }
    if (r.status != zip::DecodeStatus::Ok) return Fail(name, kErrData, KSKIP_BAD_DATA, r.detail);
    std::string error;
    if (!zip::LinkStaysInside(baseFd_, target.dirs, target.leaf, linkTarget, error))
        return Fail(name, kErrName, KSKIP_SYMLINK, error + ", skipped");
    if (!zip::CreateLink(dirFd, target.leaf, linkTarget, mtime, error))
        return Fail(name, kErrWrite, KSKIP_WRITE, error);
    reporter_.Message(0, "Unzipped: " + name + " -> " + linkTarget);
    return Outcome::Success;
}

void UnzipBatch::RememberFolder(const std::vector<std::string>& dirs, const zip::DirStamp& stamp) {
    // Stamped in reverse order at the end: kept shallow to deep, so that a
    // folder is stamped after every folder inside it.
    auto at = std::upper_bound(dirTimes_.begin(), dirTimes_.end(), dirs.size(),
                               [](size_t depth, const auto& d) { return depth < d.first.size(); });
    dirTimes_.insert(at, {dirs, stamp});
}

}  // namespace kelp::kunzip
