// Finding the end record of an archive and reading its central directory
// into member records.
#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>
#include <span>

#include "engine/zip_engine.h"
#include "platform/code_page.h"
#include "platform/volume.h"
#include "libs/zipcore/zip_records.h"

namespace engine {

namespace {

// The disk number a "PKBACK# nnn" volume label names, 0 for any other label.
int DiskNumberFromLabel(const std::string& label) {
    static const std::string kPrefix = "PKBACK# ";
    if (label.rfind(kPrefix, 0) != 0) return 0;
    const std::string digits = label.substr(kPrefix.size(), 3);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return 0;
    return std::stoi(digits);
}

// The end record's values; the ZIP64 end record may replace them later.
EocdRecord FromEocd(const kelp::zip::Eocd& e) {
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

void FillEntry(ZipDirEntry& entry, const kelp::zip::CentralRecord& r) {
    const kelp::zip::CentralHeader& h = r.header;
    entry.VersionMadeBy = h.versionMadeBy;
    entry.HostSystem = h.hostSystem;
    entry.VersionNeeded = h.versionNeeded;
    entry.GeneralFlags = h.flags;
    entry.Method = h.method;
    entry.DosDateTime = static_cast<uint32_t>(h.dosDate) << 16 | h.dosTime;
    entry.Crc = h.crc;
    entry.PackedSize = r.packedSize;
    entry.UnpackedSize = r.unpackedSize;
    entry.NameLength = h.nameLength;
    entry.ExtraLength = h.extraLength;
    entry.CommentLength = h.commentLength;
    entry.DiskStart = r.diskStart;
    entry.InternalAttributes = h.internalAttributes;
    entry.ExternalAttributes = h.externalAttributes;
    entry.LocalHeaderOffset = r.localOffset;
    entry.IsEncrypted = (h.flags & kelp::zip::kFlagEncrypted) != 0;
}

}  // namespace

std::string ZipEngine::ConvertNameChars(const std::string& text, bool toOem) const {
    const bool convert = (CodePage == cpAuto && lastHost_ == 0) || lastHost_ == 6 ||
                         (lastHost_ == 11 && lastVersion_ == 50) || CodePage == cpOEM;
    if (!convert) return text;
    return toOem ? platform::AnsiToOem(text) : platform::OemToAnsi(text);
}

bool ZipEngine::OpenArchiveEnd(EocdRecord& eocd, bool raiseOnFailure) {
    rawComment_.clear();
    endOfDirOffset_ = 0;
    if (!inFile_.Open(spanInName_, ArchiveFile::Mode::Read)) {
        if (raiseOnFailure) throw EZipEngine(11001, true);
        ShowEngineMessage(11002);
        return false;
    }
    const int labelDisk = DiskNumberFromLabel(volumeLabel_);

    namespace zip = kelp::zip;
    unsigned char head[8];
    const bool firstPartOfSet = inFile_.Read(head, 8) == 8 && zip::ReadLe32(head) == zip::kSpanMarker &&
                                zip::ReadLe32(head + 4) == zip::kLocalHeaderSignature;

    const int64_t size = inFile_.Size();
    logicalSize_ = physicalSize_ = size;
    if (size >= static_cast<int64_t>(zip::kEocdSize)) {
        const int64_t length = std::min<int64_t>(zip::kMaxEocdSearch, size);
        std::vector<unsigned char> tail(static_cast<size_t>(length));
        if (!inFile_.Seek(size - length)) throw EZipEngine(11008, true);
        if (inFile_.Read(tail.data(), tail.size()) != tail.size()) throw EZipEngine(11011, true);
        // An end record that closes the file wins (no comment can follow
        // it); otherwise the last candidate in the tail.
        std::optional<size_t> at;
        zip::Eocd record;
        const size_t last = tail.size() - zip::kEocdSize;
        if (zip::ParseEocd(std::span(tail).subspan(last), record)) {
            at = last;
            record.commentLength = 0;
        } else if ((at = zip::FindEocd(tail))) {
            zip::ParseEocd(std::span(tail).subspan(*at), record);
        }
        if (at) {
            eocd = FromEocd(record);
            endOfDirOffset_ = size - length + static_cast<int64_t>(*at);
            const int64_t available = length - static_cast<int64_t>(*at + zip::kEocdSize);
            if (eocd.CommentLength > available) {
                // The comment runs past the end of the file: keep what is there.
                eocd.CommentLength = static_cast<uint16_t>(available);
            }
            const int64_t trailing = available - eocd.CommentLength;
            if (trailing > 0) {
                logicalSize_ = size - trailing;
                // Zero fill up to a 512-byte block is left by block-wise transfers.
                const bool blockFill =
                    size % 512 == 0 && trailing < 512 &&
                    std::all_of(tail.end() - trailing, tail.end(), [](unsigned char c) { return c == 0; });
                if (!blockFill) ShowEngineMessage(10204);
            }
            if (eocd.CommentLength > 0)
                rawComment_.assign(reinterpret_cast<const char*>(tail.data()) + *at + zip::kEocdSize,
                                   eocd.CommentLength);
            ReadZip64End(eocd);
            return true;
        }
    }

    if (!raiseOnFailure) return false;
    if (!firstPartOfSet && labelDisk != 0) throw EZipEngine(11038, labelDisk);
    if (firstPartOfSet && labelDisk == 1) throw EZipEngine(11037, true);
    if (firstPartOfSet) throw EZipEngine(11045, true);
    throw EZipEngine(11036, true);
}

// An archive with more members or bytes than the end record's fields hold
// has a ZIP64 end record and its locator in front of the end record; their
// values replace the saturated fields.
void ZipEngine::ReadZip64End(EocdRecord& eocd) {
    namespace zip = kelp::zip;
    const int64_t locatorAt = endOfDirOffset_ - static_cast<int64_t>(zip::kZip64LocatorSize);
    unsigned char bytes[zip::kZip64EocdSize];
    zip::Zip64Locator locator;
    if (locatorAt < 0 || !inFile_.Seek(locatorAt) ||
        inFile_.Read(bytes, zip::kZip64LocatorSize) != zip::kZip64LocatorSize ||
        !zip::ParseZip64Locator({bytes, zip::kZip64LocatorSize}, locator))
        return;
    // The record normally sits right in front of its locator; otherwise
    // believe the stored offset.
    zip::Zip64Eocd record;
    auto readRecord = [&](int64_t at) {
        return at >= 0 && inFile_.Seek(at) && inFile_.Read(bytes, sizeof bytes) == sizeof bytes &&
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

void ZipEngine::List() {
    dirEntries_.clear();
    rawComment_.clear();
    sfxPrefixSize_ = 0;
    physicalSize_ = 0;
    centralOffset_ = 0;

    std::error_code ec;
    if (zipFileName_.empty() || !std::filesystem::is_regular_file(zipFileName_, ec)) {
        if (OnDirUpdate) OnDirUpdate();
        return;
    }

    // Errors are shown after the cursor is back and the file is closed.
    std::function<void()> report;
    {
        BusyCursor busy(*host_);
        try {
            ReadDirectory();
        } catch (const EZipEngine& e) {
            report = [this, e] { ReportEngineError(e); };
        } catch (const std::bad_alloc&) {
            report = [this] { ShowEngineMessage(10103); };
        } catch (const std::exception& e) {
            report = [this, text = std::string(e.what())] { ShowEngineMessage(10202, text); };
        }
        inFile_.Close();
    }
    if (report) {
        zipFileName_.clear();
        sfxPrefixSize_ = 0;
        report();
    }
    if (OnDirUpdate) OnDirUpdate();
}

void ZipEngine::ReadDirectory() {
    spanInName_ = zipFileName_;
    spanDrive_ = platform::DriveRoot(zipFileName_);
    if (!CheckDrive()) throw EZipEngine(11004, spanDrive_);

    EocdRecord eocd;
    OpenArchiveEnd(eocd, true);
    lastDiskNumber_ = currentDisk_ = eocd.ThisDisk;

    if (eocd.CentralDisk != eocd.ThisDisk) {
        OpenPartForReading(eocd.CentralDisk);
        logicalSize_ = inFile_.Size();
        centralOffset_ = static_cast<int64_t>(eocd.CentralOffset);
    } else {
        // The central directory ends where the (ZIP64) end record begins.
        const int64_t dirEnd = eocd.Zip64 ? eocd.Zip64RecordOffset : endOfDirOffset_;
        centralOffset_ = dirEnd - static_cast<int64_t>(eocd.CentralSize);
    }

    // Every local header lies in front of the central directory; an empty
    // archive's prefix is everything in front of its (empty) directory.
    sfxPrefixSize_ = static_cast<int64_t>(
        std::min<uint64_t>(eocd.CentralOffset, static_cast<uint64_t>(std::max<int64_t>(physicalSize_, 0))));
    structureError_ = static_cast<int64_t>(eocd.CentralOffset) != centralOffset_;
    if (structureError_) ShowEngineMessage(10203);

    BufferedReader reader(inFile_);
    if (centralOffset_ < 0 || !reader.Seek(centralOffset_)) throw EZipEngine(10201, true);

    namespace zip = kelp::zip;
    // Every header takes at least 46 bytes, so the file bounds the count.
    const uint64_t fits = static_cast<uint64_t>(std::max<int64_t>(physicalSize_, 0)) / zip::kCentralHeaderSize;
    dirEntries_.reserve(static_cast<size_t>(std::min(eocd.TotalEntries, fits)));

    // On one disk the directory is read to its end, whatever the end record
    // counts: a count lower than the directory's would hide members.
    const bool oneDisk = lastDiskNumber_ == 0;
    const int64_t dirEnd = centralOffset_ + static_cast<int64_t>(eocd.CentralSize);
    std::vector<uint8_t> record;
    uint64_t n = 0;
    for (;; ++n) {
        if (oneDisk && reader.Position() + static_cast<int64_t>(zip::kCentralHeaderSize) > dirEnd) {
            // Fewer headers than the end record counts: the directory is damaged.
            if (n < eocd.TotalEntries) throw EZipEngine(11013, true);
            break;
        }
        if (!oneDisk && n >= eocd.TotalEntries) break;
        zip::CentralRecord r;
        RecordRead read = ReadCentralRecord(reader, record, r);
        if (read == RecordRead::ShortFixedPart && !oneDisk && currentDisk_ < lastDiskNumber_) {
            // A header never spans parts: it starts the next one.
            OpenPartForReading(currentDisk_ + 1);
            reader.Seek(0);
            read = ReadCentralRecord(reader, record, r);
        }
        if (read == RecordRead::ShortFixedPart) throw EZipEngine(11013, true);
        if (read == RecordRead::NotAHeader) {
            // Bytes behind the counted members that are no header end the directory.
            if (oneDisk && n >= eocd.TotalEntries) break;
            throw EZipEngine(11015, true);
        }
        if (read == RecordRead::ShortFields) throw EZipEngine(r.header.nameLength > 0 ? 11017 : 11022, true);

        ZipDirEntry& entry = dirEntries_.emplace_back();
        FillEntry(entry, r);
        lastVersion_ = entry.VersionMadeBy;
        lastHost_ = entry.HostSystem;
        lastFlags_ = entry.GeneralFlags;
        const bool utf8 = (entry.GeneralFlags & zip::kFlagUtf8) != 0;
        const std::string name(r.name), comment(r.comment);
        if (utf8) {
            entry.MemberName = name;
        } else if (auto unicode = zip::FindUnicodePath(r.extra, r.name)) {
            entry.MemberName = *unicode;
        } else {
            entry.MemberName = ConvertNameChars(name, false);
        }
        if (!comment.empty()) {
            auto unicode = utf8 ? std::nullopt : zip::FindUnicodeComment(r.extra, r.comment);
            entry.MemberComment = utf8 ? comment : unicode ? *unicode : ConvertNameChars(comment, false);
        }
        if (OnNewName) OnNewName(static_cast<int>(n + 1), entry);
        sfxPrefixSize_ = std::min<int64_t>(sfxPrefixSize_, static_cast<int64_t>(entry.LocalHeaderOffset));
    }
    if (n != eocd.TotalEntries) {
        // More headers than the end record counts: every member is listed,
        // and the archive is still reported damaged.
        ShowEngineMessage(11013, "\n" + std::to_string(n) + " members in the central directory, " +
                                     std::to_string(eocd.TotalEntries) + " in the end record");
    }
    lastDiskNumber_ = eocd.ThisDisk;
    // The first local header's file offset, whether or not the stored offsets
    // were adjusted for a program in front of the archive.
    sfxPrefixSize_ = std::max<int64_t>(
        0, sfxPrefixSize_ + centralOffset_ - static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX)));
}

}  // namespace engine
