// Writing one archive as a multi-part set. On this platform the parts are
// numbered files beside the target (data001.zip, data002.zip, ...), each at
// most as large as the free space, MaxVolumeSize and, for the first part,
// KeepFreeOnDisk1 allow. Headers with their names, extra fields and comments,
// and the end record with the archive comment, are never split over parts.
#include <strings.h>
#include <sys/stat.h>

#include <filesystem>
#include <new>

#include "engine/span_records.h"
#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "engine/zip_records.h"
#include "platform/volume.h"

namespace engine {

namespace {

constexpr size_t kCopyBlock = 8192;
constexpr int kLocalHeaderSize = 30;

time_t FileTime(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

}  // namespace

std::string SpanPartName(const std::string& target, int part) {
    const std::filesystem::path p(target);
    return (p.parent_path() / (p.stem().string() + ThreeDigits(part) + p.extension().string())).string();
}

void ZipEngine::CloseSpanPart() {
    if (!spanOutFile_.IsOpen()) return;
    spanOutFile_.Flush();
    spanOutFile_.Close();
    std::error_code ec;
    const auto stamp = std::filesystem::file_time_type::clock::now() -
                       (std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(spanFileDate_));
    std::filesystem::last_write_time(spanPartPath_, stamp, ec);
}

// Opens the next part: asks for a disk on a removable drive (formatting it
// with AddDiskSpanErase), asks before replacing an existing file, makes sure
// the part can hold at least MinFreeVolumeSize bytes and labels the disk.
void ZipEngine::OpenNextSpanPart() {
    for (;;) {
        const platform::DriveType type = DiskPrompt();
        const bool fixed = type == platform::DriveType::Fixed || type == platform::DriveType::Remote;
        spanPartPath_ = fixed ? SpanPartName(spanOutName_, currentDisk_) : spanOutName_;
        const std::string label = "PKBACK# " + ThreeDigits(currentDisk_);
        if (!fixed && AddOptions.Has(AddDiskSpanErase)) {
            volumeLabel_ = label;
            const int formatted = DriveVolume().Format(label);
            if (formatted == -2) throw EZipEngine(MsgId::UserCanceled, false);
            if (formatted == -1) throw EZipEngine(MsgId::UserCanceled, true);
        }
        std::error_code ec;
        if (std::filesystem::exists(spanPartPath_, ec)) {
            if (Unattended) throw EZipEngine(MsgId::UnattendedSpanning, true);
            // A file of this set (same date-time) on a disk labelled with an
            // earlier number is an earlier disk; anything else is a stranger.
            int labelNo = 1;
            if (volumeLabel_.size() >= 11 &&
                std::all_of(volumeLabel_.begin() + 8, volumeLabel_.begin() + 11, ::isdigit))
                labelNo = std::stoi(volumeLabel_.substr(8, 3));
            const bool stranger = FileTime(spanPartPath_) != spanFileDate_ || labelNo - 1 >= currentDisk_;
            const std::string text =
                stranger ? FormatMessageText(LookupMessage(MsgId::OverwriteFileQuery,
                                                           "Overwrite previous file %s"),
                                             {spanPartPath_})
                         : FormatMessageText(LookupMessage(MsgId::OverwritePreviousDisk,
                                                           "Overwrite previous disk no %d"),
                                             {static_cast<long long>(labelNo)});
            const Answer answer = host_->AskQuestion("Confirm", text, Buttons::YesNoCancel);
            // No asks for another disk; on a fixed drive there is none, so it stops.
            if (answer == Answer::No && !fixed) {
                bytesOnDisk_ = 0;
                newDiskNeeded_ = true;
                continue;
            }
            if (answer != Answer::Yes) throw EZipEngine(MsgId::UserCanceled, false);
        }
        std::filesystem::remove(spanPartPath_, ec);
        if (!spanOutFile_.Create(spanPartPath_)) throw EZipEngine(MsgId::OutputCreateFailed, true);

        int64_t total = -1;
        DriveVolume().QuerySpace(diskFree_, total);
        if (MaxVolumeSize > 0 && (diskFree_ < 0 || MaxVolumeSize < diskFree_)) diskFree_ = MaxVolumeSize;
        if (currentDisk_ == 0) diskFree_ -= KeepFreeOnDisk1;
        if (MinFreeVolumeSize > diskFree_ || diskFree_ <= 0) {
            // Nothing stays on a disk that is too full.
            spanOutFile_.Close();
            std::filesystem::remove(spanPartPath_, ec);
            if (Unattended) throw EZipEngine(MsgId::UnattendedSpanning, true);
            const Answer answer = host_->AskQuestion(
                "Kelp", LookupMessage(MsgId::DiskFull, MissingMessageText(MsgId::DiskFull)),
                Buttons::RetryCancel);
            if (answer == Answer::None) throw EZipEngine(MsgId::NoMemoryForMsgBox, true);
            if (answer != Answer::Retry) throw EZipEngine(MsgId::UserCanceled, false);
            bytesOnDisk_ = 0;
            newDiskNeeded_ = true;
            continue;
        }
        if (!fixed && !DriveVolume().SetLabel(label)) throw EZipEngine(MsgId::LabelNotSet, true);
        return;
    }
}

// Writes `length` bytes into the set; `unit` bytes from here on must share
// one part (0: the bytes may be cut anywhere).
void ZipEngine::SplitWrite(const unsigned char* buffer, size_t length, size_t unit) {
    for (;;) {
        host_->ProcessPendingMessages();
        if (CancelRequested) throw EZipEngine(MsgId::UserCanceled, false);
        if (!spanOutFile_.IsOpen()) OpenNextSpanPart();
        if (unit > 0 && static_cast<int64_t>(unit) > diskFree_) {
            // A unit larger than a whole part would never fit anywhere.
            if (bytesOnDisk_ == 0) throw EZipEngine(MsgId::DiskFull, true);
            CloseSpanPart();
            newDiskNeeded_ = true;
            ++currentDisk_;
            bytesOnDisk_ = 0;
            continue;
        }
        const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), diskFree_));
        if (spanOutFile_.Write(buffer, n) != n) throw EZipEngine(MsgId::OutputWriteError, true);
        if (showSpanProgress_ && OnProgress) OnProgress(ptBytesDone, "", static_cast<int64_t>(n));
        bytesOnDisk_ += n;
        diskFree_ -= static_cast<int64_t>(n);
        if (n == length) return;
        CloseSpanPart();
        diskFree_ = 0;
        bytesOnDisk_ = 0;
        newDiskNeeded_ = true;
        ++currentDisk_;
        buffer += n;
        length -= n;
    }
}

void ZipEngine::CopyToSplit(uint64_t count, int errorId) {
    unsigned char block[kCopyBlock];
    while (count > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(count, sizeof block));
        if (inFile_.Read(block, want) != want) throw EZipEngine(errorId, true);
        SplitWrite(block, want, 0);
        count -= want;
    }
}

int ZipEngine::WriteSpan(const std::string& inFileName, const std::string& outFileName) {
    int result = 0;
    writingSpan_ = true;
    newDiskNeeded_ = true;
    spanDrive_ = platform::DriveRoot(outFileName);
    currentDisk_ = 0;
    diskFree_ = 0;
    bytesOnDisk_ = 0;
    spanInName_ = inFileName;
    spanOutName_ = outFileName;
    showSpanProgress_ = false;
    BusyCursor busy(*host_);
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(inFileName, ec))
            throw EZipEngine(MsgId::InputMissing, true);
        EocdRecord eocd;
        OpenArchiveEnd(eocd, true);
        spanFileDate_ = FileTime(inFileName);

        // The packed sizes come from the central directory: a local header
        // followed by a data descriptor may hold 0.
        std::vector<std::pair<uint32_t, uint32_t>> packedAt;  // local offset, packed size
        const int64_t centralAt = endOfDirOffset_ - static_cast<int64_t>(eocd.CentralSize);
        if (centralAt < 0 || !inFile_.Seek(centralAt))
            throw EZipEngine(MsgId::InputSeekError, true);
        unsigned char header[kCentralHeaderSize];
        for (uint64_t i = 0; i < eocd.TotalEntries; ++i) {
            if (inFile_.Read(header, sizeof header) != sizeof header)
                throw EZipEngine(MsgId::CentralHeaderReadError, true);
            if (Get32(header) != kCentralHeaderSig)
                throw EZipEngine(MsgId::CentralSignatureWrong, true);
            packedAt.emplace_back(Get32(header + 42), Get32(header + 20));
            inFile_.Seek(inFile_.Position() + Get16(header + 28) + Get16(header + 30) + Get16(header + 32));
        }
        std::sort(packedAt.begin(), packedAt.end());
        if (!inFile_.Seek(0)) throw EZipEngine(MsgId::InputSeekError, true);

        const unsigned char marker[4] = {0x50, 0x4B, 0x07, 0x08};
        SplitWrite(marker, sizeof marker, 0);
        showSpanProgress_ = true;
        if (OnProgress) {
            OnProgress(ptFileCount, "", static_cast<int64_t>(eocd.TotalEntries));
            OnProgress(ptByteTotal, "", logicalSize_);
        }

        std::vector<SpanRecord> records;
        std::string name;
        unsigned char local[kLocalHeaderSize];
        const std::string copying =
            LookupMessage(MsgId::Copying, MissingMessageText(MsgId::Copying));
        for (uint64_t i = 0; i < eocd.TotalEntries; ++i) {
            const uint32_t at = static_cast<uint32_t>(inFile_.Position());
            if (inFile_.Read(local, sizeof local) != sizeof local)
                throw EZipEngine(MsgId::LocalHeaderReadError, true);
            if (Get32(local) != kLocalHeaderSig) throw EZipEngine(MsgId::LocalSignatureWrong, true);
            name.resize(Get16(local + 26));
            if (inFile_.Read(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::LocalNameReadError, true);
            SpanRecord& record = records.emplace_back();
            record.diskNo = static_cast<uint16_t>(currentDisk_);
            record.name = name;
            const uint16_t extra = Get16(local + 28);
            const bool descriptor = (Get16(local + 6) & 0x0008) != 0;
            auto found = std::lower_bound(packedAt.begin(), packedAt.end(), std::make_pair(at, 0u));
            const uint32_t packed =
                found != packedAt.end() && found->first == at ? found->second : Get32(local + 18);
            if (OnMessage) OnMessage(0, copying + name);
            if (OnProgress)
                OnProgress(ptFileStart, name,
                           kLocalHeaderSize + name.size() + extra + int64_t{packed} + (descriptor ? 16 : 0));
            SplitWrite(local, sizeof local, kLocalHeaderSize + name.size() + extra);
            record.relOffset = static_cast<uint32_t>(bytesOnDisk_ - kLocalHeaderSize);
            SplitWrite(reinterpret_cast<const unsigned char*>(name.data()), name.size(), 0);
            CopyToSplit(extra, MsgId::LocalExtraReadError);
            CopyToSplit(packed, MsgId::PackedDataReadError);
            if (descriptor) CopyToSplit(16, MsgId::DataDescriptorError);
        }

        const std::string central =
            LookupMessage(MsgId::CentralDirectory, MissingMessageText(MsgId::CentralDirectory));
        if (OnMessage) OnMessage(0, copying + central);
        if (OnProgress)
            OnProgress(ptFileStart, central,
                       static_cast<int64_t>(eocd.CentralSize) + kEndOfDirSize + eocd.CommentLength);
        if (!inFile_.Seek(centralAt)) throw EZipEngine(MsgId::InputSeekError, true);
        int centralDisk = currentDisk_;
        uint32_t centralOffset = 0;
        for (uint64_t i = 0; i < eocd.TotalEntries; ++i) {
            if (inFile_.Read(header, sizeof header) != sizeof header)
                throw EZipEngine(MsgId::CentralHeaderReadError, true);
            if (Get32(header) != kCentralHeaderSig)
                throw EZipEngine(MsgId::CentralSignatureWrong, true);
            name.resize(Get16(header + 28));
            if (inFile_.Read(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::CentralNameReadError, true);
            const SpanRecord& record = FindSpanRecord(records, name);
            Put16(header + 34, record.diskNo);
            Put32(header + 42, record.relOffset);
            const uint16_t extra = Get16(header + 30), comment = Get16(header + 32);
            SplitWrite(header, sizeof header, kCentralHeaderSize + name.size() + extra + comment);
            if (i == 0) {
                centralDisk = currentDisk_;
                centralOffset = static_cast<uint32_t>(bytesOnDisk_ - kCentralHeaderSize);
            }
            SplitWrite(reinterpret_cast<const unsigned char*>(name.data()), name.size(), 0);
            CopyToSplit(extra, MsgId::CentralExtraReadError);
            CopyToSplit(comment, MsgId::FileCommentReadError);
        }

        unsigned char end[kEndOfDirSize];
        if (!inFile_.Seek(endOfDirOffset_) || inFile_.Read(end, sizeof end) != sizeof end)
            throw EZipEngine(MsgId::InputSeekError, true);
        // Place the end record first: the part it lands on is the last one.
        const size_t endUnit = kEndOfDirSize + eocd.CommentLength;
        SplitWrite(end, 0, endUnit);
        if (eocd.TotalEntries == 0) {
            centralDisk = currentDisk_;
            centralOffset = static_cast<uint32_t>(bytesOnDisk_);
        }
        Put16(end + 4, static_cast<uint16_t>(currentDisk_));
        Put16(end + 6, static_cast<uint16_t>(centralDisk));
        Put32(end + 16, centralOffset);
        SplitWrite(end, sizeof end, endUnit);
        CopyToSplit(eocd.CommentLength, MsgId::ArchiveCommentReadError);
        showSpanProgress_ = false;
    } catch (...) {
        result = ReportSpanFailure();
    }
    if (OnProgress) OnProgress(ptBatchEnd, "", 0);
    CloseSpanPart();
    inFile_.Close();
    writingSpan_ = false;
    return result;
}

}  // namespace engine
