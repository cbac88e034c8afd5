// The engine's face for reading an archive: finding its end (also on the
// disks of a set) and reading its directory into member records.
#include <algorithm>
#include <filesystem>
#include <new>

#include "engine/directory_reader.h"
#include "engine/raw_volumes.h"
#include "engine/zip_engine.h"
#include "libs/zipcore/name_encoding.h"
#include "platform/code_page.h"
#include "platform/volume.h"

namespace engine {

std::string ZipEngine::ConvertNameChars(const std::string& text, bool toOem) const {
    if (!NamesAreOem(CodePage, lastHost_, lastVersion_)) return text;
    // The comment is in the code page of the archive's names when they have one.
    if (!nameCharset_.empty() && nameCharset_ != "CP437")
        return toOem ? kelp::zip::EncodeCharset(text, nameCharset_)
                     : kelp::zip::DecodeCharset(text, nameCharset_);
    return toOem ? platform::AnsiToOem(text) : platform::OemToAnsi(text);
}

bool ZipEngine::OpenArchiveEnd(EocdRecord& eocd, bool raiseOnFailure) {
    rawComment_.clear();
    endOfDirOffset_ = 0;
    ArchiveEnd end;
    const bool found = volumes_->OpenArchiveEnd(end, raiseOnFailure);
    if (!volumes_->File().IsOpen()) return false;
    logicalSize_ = end.logicalSize;
    physicalSize_ = end.physicalSize;
    if (!found) return false;
    eocd = end.eocd;
    endOfDirOffset_ = end.endOfDirOffset;
    rawComment_ = end.rawComment;
    return true;
}

void ZipEngine::List() {
    unreadableArchive_.clear();
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
        volumes_->File().Close();
    }
    if (report) {
        unreadableArchive_ = zipFileName_;
        zipFileName_.clear();
        sfxPrefixSize_ = 0;
        reportingUnreadable_ = true;
        report();
        reportingUnreadable_ = false;
    }
    if (OnDirUpdate) OnDirUpdate();
}

void ZipEngine::ReadDirectory() {
    // Raw volumes are read from a joined copy.
    const JoinedVolumes joined(zipFileName_, TempFolder());
    volumes_ = MakeVolumes();
    SetVolumes& volumes = *volumes_;
    volumes.StartReading(zipFileName_, joined.Path());
    if (!volumes.CheckDrive()) throw EZipEngine(MsgId::DriveNotDefined, volumes.DriveRoot());

    EocdRecord eocd;
    OpenArchiveEnd(eocd, true);
    volumes.SetLastDisk(eocd.ThisDisk);
    volumes.SetCurrentDisk(eocd.ThisDisk);

    if (eocd.CentralDisk != eocd.ThisDisk) {
        volumes.OpenPartForReading(eocd.CentralDisk);
        logicalSize_ = volumes.File().Size();
        centralOffset_ = static_cast<int64_t>(eocd.CentralOffset);
    } else {
        // The central directory ends where the (ZIP64) end record begins.
        const int64_t dirEnd = eocd.Zip64 ? eocd.Zip64RecordOffset : endOfDirOffset_;
        centralOffset_ = dirEnd - static_cast<int64_t>(eocd.CentralSize);
    }

    // Every local header lies in front of the central directory; an empty
    // archive's prefix is everything in front of its (empty) directory.
    sfxPrefixSize_ = static_cast<int64_t>(std::min<uint64_t>(
        eocd.CentralOffset, static_cast<uint64_t>(std::max<int64_t>(physicalSize_, 0))));
    structureError_ = static_cast<int64_t>(eocd.CentralOffset) != centralOffset_;
    if (structureError_) ShowEngineMessage(MsgId::StructureWarning);

    BufferedReader reader(volumes.File());
    if (centralOffset_ < 0 || !reader.Seek(centralOffset_))
        throw EZipEngine(MsgId::DirectorySeekError, true);

    // Every header takes at least 46 bytes, so the file bounds the count.
    const uint64_t fits = static_cast<uint64_t>(std::max<int64_t>(physicalSize_, 0)) / 46;
    dirEntries_.reserve(static_cast<size_t>(std::min(eocd.TotalEntries, fits)));

    const bool oneDisk = volumes.LastDisk() == 0;
    DirectoryReader directory(reader, CodePage, NameCharsetNow(), [&] {
        if (volumes.CurrentDisk() >= volumes.LastDisk()) return false;
        volumes.OpenPartForReading(volumes.CurrentDisk() + 1);
        reader.Seek(0);
        return true;
    });
    std::string countMismatch;
    directory.Read(
        eocd, oneDisk, centralOffset_ + static_cast<int64_t>(eocd.CentralSize), dirEntries_,
        [&](int seqNo, const ZipDirEntry& entry) {
            if (OnNewName) OnNewName(seqNo, entry);
            sfxPrefixSize_ =
                std::min<int64_t>(sfxPrefixSize_, static_cast<int64_t>(entry.LocalHeaderOffset));
        },
        countMismatch);
    lastHost_ = directory.lastHost();
    lastVersion_ = directory.lastVersion();
    lastFlags_ = directory.lastFlags();
    nameCharset_ = directory.charset();
    if (!countMismatch.empty()) ShowEngineMessage(MsgId::CentralHeaderReadError, countMismatch);
    volumes.SetLastDisk(eocd.ThisDisk);
    // The first local header's file offset, whether or not the stored offsets
    // were adjusted for a program in front of the archive.
    sfxPrefixSize_ = std::max<int64_t>(
        0, sfxPrefixSize_ + centralOffset_ -
               static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX)));
}

}  // namespace engine
