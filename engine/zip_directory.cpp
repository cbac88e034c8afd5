// The engine's face for reading an archive: finding its end (also on the
// disks of a set) and reading its directory into member records.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <new>

#include "engine/raw_volumes.h"
#include "engine/zip_engine.h"
#include "libs/zipcore/name_encoding.h"
#include "platform/code_page.h"
#include "platform/volume.h"

namespace kelp::engine {

namespace zip = kelp::zip;

namespace {

// The parts of a set as the directory reader reads them: a part other than
// the one in hand is opened (asking for its disk) when it is needed.
class VolumeParts : public zip::PartSource {
  public:
    explicit VolumeParts(SetVolumes& volumes) : volumes_(volumes) {}
    int LastPart() const override { return volumes_.LastDisk(); }
    size_t ReadPart(int part, uint64_t offset, void* buffer, size_t size) override {
        if (part != volumes_.CurrentDisk()) volumes_.OpenPartForReading(part);
        return volumes_.File().ReadAtMost(offset, buffer, size);
    }

  private:
    SetVolumes& volumes_;
};

// The reader stops where the bytes are no (whole) header. Short of the
// counted members that is a damaged directory, raised as the message for
// where it broke; bytes behind the counted members that are no header end
// the directory.
void RaiseIfDamaged(const zip::CentralDirectory& dir) {
    const bool short_ = dir.size() < dir.counted();
    switch (dir.stop()) {
        case zip::DirectoryStop::NotAHeader:
            if (short_) throw EZipEngine(MsgId::CentralSignatureWrong, true);
            break;
        case zip::DirectoryStop::CutFields:
            throw EZipEngine(dir.cutHeader().nameLength > 0 ? MsgId::CentralNameReadError
                                                            : MsgId::FileCommentReadError,
                             true);
        case zip::DirectoryStop::CutHeader:
        case zip::DirectoryStop::Complete:
            if (short_) throw EZipEngine(MsgId::CentralHeaderReadError, true);
            break;
    }
}

}  // namespace

ZipDirEntry::ZipDirEntry(const zip::CentralDirectory& directory, size_t index)
    : directory_(&directory), index_(index) {
    const zip::CentralRecord r = directory.Record(index);
    header_ = r.header;
    packedSize_ = r.packedSize;
    unpackedSize_ = r.unpackedSize;
    localOffset_ = r.localOffset;
    diskStart_ = r.diskStart;
    dataMethod_ = r.header.method;
    if (r.header.method == zip::kMethodAes)
        if (const auto aes = zip::FindAesExtra(r.extra)) {
            dataMethod_ = aes->method;
            aesStrength_ = aes->strength;
        }
}

ZipDirEntry MakeDirEntry(const zip::CentralDirectory& directory, size_t index) {
    return ZipDirEntry(directory, index);
}

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
    ReleaseDirectory();
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

bool ZipEngine::LendDirectory(KDirectoryLoan& loan) const {
    if (!directoryPlace_ || zipFileName_.empty()) return false;
    loan = *directoryPlace_;
    directory_.Lend(loan);
    return true;
}

void ZipEngine::ReadDirectory() {
    // Raw volumes are read from a joined copy.
    const JoinedVolumes joined(zipFileName_, TempFolder());
    // The file's stamp, taken before its directory is read: a library is
    // lent the directory only for this very file, unchanged since.
    struct stat file {};
    const bool stamped = joined.Path() == zipFileName_ && stat(zipFileName_.c_str(), &file) == 0;
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

    if (centralOffset_ < 0) throw EZipEngine(MsgId::DirectorySeekError, true);

    VolumeParts parts(volumes);
    std::string error;
    if (!directory_.Read(parts, volumes.CurrentDisk(), static_cast<uint64_t>(centralOffset_),
                         eocd.CentralSize, eocd.TotalEntries, {CodePage, NameCharsetNow()}, error))
        throw EZipEngine(MsgId::DirectorySeekError, true);
    // Members read before a damaged header are listed before it is reported.
    if (OnNewName)
        for (size_t i = 0; i < directory_.size(); ++i)
            OnNewName(static_cast<int>(i + 1), ZipDirEntry(directory_, i));
    if (!directory_.empty())
        sfxPrefixSize_ = static_cast<int64_t>(
            std::min<uint64_t>(static_cast<uint64_t>(sfxPrefixSize_), directory_.lowestOffset()));
    // The central header read last steers the conversion of the archive
    // comment; before any, FAT rules apply.
    lastHost_ = lastVersion_ = 0;
    lastFlags_ = 0;
    if (!directory_.empty()) {
        const zip::CentralHeader last = directory_.Record(directory_.size() - 1).header;
        lastHost_ = last.hostSystem;
        lastVersion_ = last.versionMadeBy;
        lastFlags_ = last.flags;
    }
    nameCharset_ = directory_.charset();
    RaiseIfDamaged(directory_);
    if (directory_.size() != eocd.TotalEntries) {
        // More headers than the end record counts: every member is listed,
        // and the archive is still reported damaged.
        ShowEngineMessage(MsgId::CentralHeaderReadError, "\n" + std::to_string(directory_.size()) +
                                                             " members in the central directory, " +
                                                             std::to_string(eocd.TotalEntries) +
                                                             " in the end record");
    }
    volumes.SetLastDisk(eocd.ThisDisk);
    if (stamped && eocd.ThisDisk == 0 && eocd.CentralDisk == 0 &&
        directory_.stop() == zip::DirectoryStop::Complete && !directory_.bytesMissing()) {
        KDirectoryLoan place{};
        place.FileDevice = static_cast<uint64_t>(file.st_dev);
        place.FileInode = static_cast<uint64_t>(file.st_ino);
        place.FileSize = static_cast<uint64_t>(file.st_size);
        place.FileTimeSec = static_cast<int64_t>(file.st_mtim.tv_sec);
        place.FileTimeNsec = static_cast<int64_t>(file.st_mtim.tv_nsec);
        place.CentralOffset = static_cast<uint64_t>(centralOffset_);
        place.CentralSize = eocd.CentralSize;
        directoryPlace_ = place;
    }
    // The first local header's file offset, whether or not the stored offsets
    // were adjusted for a program in front of the archive.
    sfxPrefixSize_ = std::max<int64_t>(
        0, sfxPrefixSize_ + centralOffset_ -
               static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX)));
}

}  // namespace kelp::engine
