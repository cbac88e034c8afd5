// Finding the end record of an archive and reading its central directory
// into member records.
#include <algorithm>
#include <filesystem>
#include <new>

#include "engine/raw_volumes.h"
#include "engine/zip_engine.h"
#include "engine/zip_records.h"
#include "platform/code_page.h"
#include "platform/volume.h"

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

void FillEocd(EocdRecord& eocd, const unsigned char* p) {
    eocd.ThisDisk = Get16(p + 4);
    eocd.CentralDisk = Get16(p + 6);
    eocd.EntriesThisDisk = Get16(p + 8);
    eocd.TotalEntries = Get16(p + 10);
    eocd.CentralSize = Get32(p + 12);
    eocd.CentralOffset = Get32(p + 16);
    eocd.CommentLength = Get16(p + 20);
    eocd.Zip64 = false;
    eocd.Zip64RecordOffset = 0;
}

}  // namespace

void ZipDirEntry::SetHeaderFields(const unsigned char* b) {
    VersionMadeBy = b[0];
    HostSystem = b[1];
    VersionNeeded = Get16(b + 2);
    GeneralFlags = Get16(b + 4);
    Method = Get16(b + 6);
    DosDateTime = Get32(b + 8);
    Crc = Get32(b + 12);
    PackedSize = Get32(b + 16);
    UnpackedSize = Get32(b + 20);
    NameLength = Get16(b + 24);
    ExtraLength = Get16(b + 26);
    CommentLength = Get16(b + 28);
    DiskStart = Get16(b + 30);
    InternalAttributes = Get16(b + 32);
    ExternalAttributes = Get32(b + 34);
    LocalHeaderOffset = Get32(b + 38);
    IsEncrypted = (GeneralFlags & kFlagEncrypted) != 0;
}

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

    unsigned char head[8];
    const bool firstPartOfSet = inFile_.Read(head, 8) == 8 && Get32(head) == kDataDescriptorSig &&
                                Get32(head + 4) == kLocalHeaderSig;

    const int64_t size = inFile_.Size();
    logicalSize_ = physicalSize_ = size;
    unsigned char record[kEndOfDirSize];
    if (size >= kEndOfDirSize && inFile_.Seek(size - kEndOfDirSize) &&
        inFile_.Read(record, kEndOfDirSize) == kEndOfDirSize && Get32(record) == kEndOfDirSig) {
        // The end record closes the file: no comment can follow it.
        FillEocd(eocd, record);
        eocd.CommentLength = 0;
        endOfDirOffset_ = size - kEndOfDirSize;
        ReadZip64End(eocd);
        return true;
    }

    if (size > kEndOfDirSize) {
        const int64_t length = std::min<int64_t>(kMaxCommentLength + kEndOfDirSize, size);
        std::vector<unsigned char> tail(static_cast<size_t>(length));
        if (!inFile_.Seek(size - length)) throw EZipEngine(11008, true);
        if (inFile_.Read(tail.data(), tail.size()) != tail.size()) throw EZipEngine(11011, true);
        // The last candidate wins; the position right at the end was tested above.
        for (int64_t i = length - kEndOfDirSize - 1; i >= 0; --i) {
            const unsigned char* p = tail.data() + i;
            if (p[0] != 'P' || p[1] != 'K' || p[2] != 5 || p[3] != 6) continue;
            FillEocd(eocd, p);
            endOfDirOffset_ = size - length + i;
            const int64_t available = length - i - kEndOfDirSize;
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
                rawComment_.assign(reinterpret_cast<const char*>(p + kEndOfDirSize), eocd.CommentLength);
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
    const int64_t locatorAt = endOfDirOffset_ - kZip64LocatorSize;
    unsigned char locator[kZip64LocatorSize];
    if (locatorAt < 0 || !inFile_.Seek(locatorAt) ||
        inFile_.Read(locator, sizeof locator) != sizeof locator || Get32(locator) != kZip64LocatorSig)
        return;
    // The record normally sits right in front of its locator; otherwise
    // believe the stored offset.
    unsigned char record[kZip64EndOfDirSize];
    int64_t recordAt = locatorAt - kZip64EndOfDirSize;
    auto readRecord = [&](int64_t at) {
        return at >= 0 && inFile_.Seek(at) && inFile_.Read(record, sizeof record) == sizeof record &&
               Get32(record) == kZip64EndOfDirSig;
    };
    if (!readRecord(recordAt)) {
        const uint64_t stored = Get64(locator + 8);
        if (stored > static_cast<uint64_t>(locatorAt)) return;
        recordAt = static_cast<int64_t>(stored);
        if (!readRecord(recordAt)) return;
    }
    eocd.Zip64 = true;
    eocd.Zip64RecordOffset = recordAt;
    if (eocd.EntriesThisDisk == 0xFFFF) eocd.EntriesThisDisk = Get64(record + 24);
    if (eocd.TotalEntries == 0xFFFF) eocd.TotalEntries = Get64(record + 32);
    if (eocd.CentralSize == 0xFFFFFFFF) eocd.CentralSize = Get64(record + 40);
    if (eocd.CentralOffset == 0xFFFFFFFF) eocd.CentralOffset = Get64(record + 48);
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
    // Raw volumes are read from a joined copy.
    const JoinedVolumes volumes(zipFileName_, TempFolder());
    spanInName_ = volumes.Path();
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

    // Every header takes at least 46 bytes, so the file bounds the count.
    const uint64_t fits = static_cast<uint64_t>(std::max<int64_t>(physicalSize_, 0)) / kCentralHeaderSize;
    dirEntries_.reserve(static_cast<size_t>(std::min(eocd.TotalEntries, fits)));

    unsigned char header[kCentralHeaderSize];
    std::string raw;
    for (uint64_t n = 1; n <= eocd.TotalEntries; ++n) {
        if (reader.Read(header, sizeof header) != sizeof header) {
            if (currentDisk_ >= lastDiskNumber_) throw EZipEngine(11013, true);
            OpenPartForReading(currentDisk_ + 1);
            reader.Seek(0);
            if (reader.Read(header, sizeof header) != sizeof header) throw EZipEngine(11013, true);
        }
        if (Get32(header) != kCentralHeaderSig) throw EZipEngine(11015, true);

        ZipDirEntry& entry = dirEntries_.emplace_back();
        entry.SetHeaderFields(header + 4);
        lastVersion_ = entry.VersionMadeBy;
        lastHost_ = entry.HostSystem;
        lastFlags_ = entry.GeneralFlags;
        const bool utf8 = (entry.GeneralFlags & kFlagUtf8) != 0;

        raw.resize(entry.NameLength);
        if (reader.Read(raw.data(), raw.size()) != raw.size()) {
            dirEntries_.pop_back();
            throw EZipEngine(11017, true);
        }
        entry.MemberName = utf8 ? raw : ConvertNameChars(raw, false);
        reader.Skip(entry.ExtraLength);
        if (entry.CommentLength > 0) {
            raw.resize(entry.CommentLength);
            if (reader.Read(raw.data(), raw.size()) != raw.size()) throw EZipEngine(11022, true);
            entry.MemberComment = utf8 ? raw : ConvertNameChars(raw, false);
        }
        if (OnNewName) OnNewName(static_cast<int>(n), entry);
        sfxPrefixSize_ = std::min<int64_t>(sfxPrefixSize_, entry.LocalHeaderOffset);
    }
    lastDiskNumber_ = eocd.ThisDisk;
    // The first local header's file offset, whether or not the stored offsets
    // were adjusted for a program in front of the archive.
    sfxPrefixSize_ = std::max<int64_t>(
        0, sfxPrefixSize_ + centralOffset_ - static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX)));
}

}  // namespace engine
