// The engine's face for reading an archive: finding its end (also on the
// disks of a set) and reading its directory into member records.
#include <algorithm>
#include <filesystem>
#include <new>

#include "engine/directory_reader.h"
#include "engine/zip_engine.h"
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

}  // namespace

std::string ZipEngine::ConvertNameChars(const std::string& text, bool toOem) const {
    if (!NamesAreOem(CodePage, lastHost_, lastVersion_)) return text;
    return toOem ? platform::AnsiToOem(text) : platform::OemToAnsi(text);
}

bool ZipEngine::OpenArchiveEnd(EocdRecord& eocd, bool raiseOnFailure) {
    rawComment_.clear();
    endOfDirOffset_ = 0;
    if (!inFile_.Open(spanInName_, ArchiveFile::Mode::Read)) {
        if (raiseOnFailure) throw EZipEngine(MsgId::InputMissing, true);
        ShowEngineMessage(MsgId::ZipOpenFailed);
        return false;
    }
    const int labelDisk = DiskNumberFromLabel(volumeLabel_);
    ArchiveEnd end;
    const bool found = ReadArchiveEnd(inFile_, end);
    logicalSize_ = end.logicalSize;
    physicalSize_ = end.physicalSize;
    if (found) {
        eocd = end.eocd;
        endOfDirOffset_ = end.endOfDirOffset;
        rawComment_ = end.rawComment;
        if (end.garbageBehind) ShowEngineMessage(MsgId::TrailingGarbage);
        return true;
    }
    if (!raiseOnFailure) return false;
    if (!end.firstPartOfSet && labelDisk != 0) throw EZipEngine(MsgId::NthDiskOfSet, labelDisk);
    if (end.firstPartOfSet && labelDisk == 1) throw EZipEngine(MsgId::FirstDiskOfSet, true);
    if (end.firstPartOfSet) throw EZipEngine(MsgId::FirstFileOfSet, true);
    throw EZipEngine(MsgId::NotAZipArchive, true);
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
            report = [this] { ShowEngineMessage(MsgId::OutOfMemory); };
        } catch (const std::exception& e) {
            report = [this, text = std::string(e.what())] {
                ShowEngineMessage(MsgId::ListUnknownError, text);
            };
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
    if (!CheckDrive()) throw EZipEngine(MsgId::DriveNotDefined, spanDrive_);

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
    if (structureError_) ShowEngineMessage(MsgId::StructureWarning);

    BufferedReader reader(inFile_);
    if (centralOffset_ < 0 || !reader.Seek(centralOffset_))
        throw EZipEngine(MsgId::DirectorySeekError, true);

    // Every header takes at least 46 bytes, so the file bounds the count.
    const uint64_t fits = static_cast<uint64_t>(std::max<int64_t>(physicalSize_, 0)) / 46;
    dirEntries_.reserve(static_cast<size_t>(std::min(eocd.TotalEntries, fits)));

    const bool oneDisk = lastDiskNumber_ == 0;
    DirectoryReader directory(reader, CodePage, [&] {
        if (currentDisk_ >= lastDiskNumber_) return false;
        OpenPartForReading(currentDisk_ + 1);
        reader.Seek(0);
        return true;
    });
    std::string countMismatch;
    directory.Read(eocd, oneDisk, centralOffset_ + static_cast<int64_t>(eocd.CentralSize), dirEntries_,
                   [&](int seqNo, const ZipDirEntry& entry) {
                       if (OnNewName) OnNewName(seqNo, entry);
                       sfxPrefixSize_ =
                           std::min<int64_t>(sfxPrefixSize_, static_cast<int64_t>(entry.LocalHeaderOffset));
                   },
                   countMismatch);
    lastHost_ = directory.lastHost();
    lastVersion_ = directory.lastVersion();
    lastFlags_ = directory.lastFlags();
    if (!countMismatch.empty()) ShowEngineMessage(MsgId::CentralHeaderReadError, countMismatch);
    lastDiskNumber_ = eocd.ThisDisk;
    // The first local header's file offset, whether or not the stored offsets
    // were adjusted for a program in front of the archive.
    sfxPrefixSize_ = std::max<int64_t>(
        0, sfxPrefixSize_ + centralOffset_ - static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX)));
}

}  // namespace engine
