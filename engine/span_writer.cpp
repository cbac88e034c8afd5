// Writing one archive as a multi-part set. On this platform the parts are
// numbered files beside the target (data001.zip, data002.zip, ...), each at
// most as large as the free space, MaxVolumeSize and, for the first part,
// KeepFreeOnDisk1 allow. Headers with their names, extra fields and comments,
// and the end record with the archive comment, are never split over parts.
#include <sys/stat.h>

#include <filesystem>
#include <new>

#include "engine/span_records.h"
#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "platform/volume.h"

namespace engine {

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

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

void ZipEngine::CopyToSplit(BufferedReader& reader, uint64_t count, int errorId) {
    unsigned char block[kCopyBlock];
    while (count > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(count, sizeof block));
        if (reader.Read(block, want) != want) throw EZipEngine(errorId, true);
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
        const std::string comment = rawComment_;
        spanFileDate_ = FileTime(inFileName);

        // The source's central directory, read whole; its end lies where the
        // (ZIP64) end record begins. Bytes in front of the archive shift
        // every stored offset.
        const int64_t dirEnd = eocd.Zip64 ? eocd.Zip64RecordOffset : endOfDirOffset_;
        if (eocd.CentralSize > static_cast<uint64_t>(dirEnd))
            throw EZipEngine(MsgId::InputSeekError, true);
        const int64_t centralAt = dirEnd - static_cast<int64_t>(eocd.CentralSize);
        const int64_t shift = centralAt - static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX));
        std::vector<uint8_t> directory(static_cast<size_t>(eocd.CentralSize));
        if (!inFile_.Seek(centralAt) || inFile_.Read(directory.data(), directory.size()) != directory.size())
            throw EZipEngine(MsgId::CentralHeaderReadError, true);
        std::vector<SpanMember> members;
        size_t at = 0;
        for (uint64_t i = 0; i < eocd.TotalEntries; ++i) {
            const std::span<const uint8_t> rest = std::span<const uint8_t>(directory).subspan(at);
            size_t variable = 0;
            if (!CentralVariableSize(rest, variable))
                throw EZipEngine(MsgId::CentralSignatureWrong, true);
            const size_t size = kelp::zip::kCentralHeaderSize + variable;
            if (size > rest.size() ||
                !ReadSpanMember(std::vector<uint8_t>(rest.begin(), rest.begin() + size), members.emplace_back()))
                throw EZipEngine(MsgId::CentralNameReadError, true);
            at += size;
        }
        directory = {};
        const std::vector<size_t> order = LocalHeaderOrder(members);

        std::vector<uint8_t> bytes;
        AppendSpanMarker(bytes);
        SplitWrite(bytes.data(), bytes.size(), 0);
        showSpanProgress_ = true;
        if (OnProgress) {
            OnProgress(ptFileCount, "", static_cast<int64_t>(members.size()));
            OnProgress(ptByteTotal, "", logicalSize_);
        }

        // The local entries in the order they lie in the source. A header
        // that does not fit the rest of a part starts the next one, so its
        // place is taken once it is written.
        struct Place {
            uint32_t disk = 0;
            uint64_t offset = 0;
        };
        std::vector<Place> places(members.size());
        BufferedReader reader(inFile_);
        auto read = [&](void* buffer, size_t size) { return reader.Read(buffer, size) == size; };
        std::vector<uint8_t> record, descriptor;
        const std::string copying =
            LookupMessage(MsgId::Copying, MissingMessageText(MsgId::Copying));
        for (const size_t index : order) {
            const SpanMember& member = members[index];
            // Local headers lie in front of the central directory, one after another.
            if (member.disk != 0 || member.localOffset > static_cast<uint64_t>(centralAt))
                throw EZipEngine(MsgId::SpanRecordMissing, true);
            const int64_t from = static_cast<int64_t>(member.localOffset) + shift;
            if (from < reader.Position()) throw EZipEngine(MsgId::SpanRecordMissing, true);
            reader.Skip(static_cast<uint64_t>(from - reader.Position()));
            ReadWholeRecord(read, record, false);
            const LocalPlace local = CheckLocalRecord(record, member);
            if (OnMessage) OnMessage(0, copying + member.name);
            if (OnProgress)
                OnProgress(ptFileStart, member.name, static_cast<int64_t>(record.size() + member.packedSize));
            SplitWrite(record.data(), record.size(), record.size());
            places[index] = {static_cast<uint32_t>(currentDisk_), static_cast<uint64_t>(bytesOnDisk_) - record.size()};
            CopyToSplit(reader, member.packedSize, MsgId::PackedDataReadError);
            if (local.hasDescriptor) {
                ReadDescriptor(read, descriptor, local.zip64);
                SplitWrite(descriptor.data(), descriptor.size(), 0);
            }
        }

        // The central directory in its own order, each record whole on a part.
        const std::string central =
            LookupMessage(MsgId::CentralDirectory, MissingMessageText(MsgId::CentralDirectory));
        if (OnMessage) OnMessage(0, copying + central);
        if (OnProgress)
            OnProgress(ptFileStart, central,
                       static_cast<int64_t>(eocd.CentralSize + kelp::zip::kEocdSize + comment.size()));
        kelp::zip::Zip64Eocd end;
        end.totalEntries = members.size();
        int countedDisk = -1;
        for (size_t i = 0; i < members.size(); ++i) {
            bytes.clear();
            AppendPlacedCentral(bytes, members[i], places[i].disk, places[i].offset);
            SplitWrite(bytes.data(), bytes.size(), bytes.size());
            if (i == 0) {
                end.centralDisk = static_cast<uint32_t>(currentDisk_);
                end.centralOffset = static_cast<uint64_t>(bytesOnDisk_) - bytes.size();
            }
            if (currentDisk_ != countedDisk) {
                countedDisk = currentDisk_;
                end.entriesOnDisk = 0;
            }
            ++end.entriesOnDisk;
            end.centralSize += bytes.size();
        }

        // The end records land whole on the last part; placing them first
        // gives its number. (Deciding on ZIP64 counts the part they may move
        // to.)
        end.thisDisk = static_cast<uint32_t>(currentDisk_) + 1;
        const bool zip64 = NeedsZip64End(end);
        const size_t endUnit = EndRecordsSize(zip64, comment.size());
        SplitWrite(bytes.data(), 0, endUnit);
        if (currentDisk_ != countedDisk) end.entriesOnDisk = 0;
        if (members.empty()) {
            end.centralDisk = static_cast<uint32_t>(currentDisk_);
            end.centralOffset = static_cast<uint64_t>(bytesOnDisk_);
        }
        end.thisDisk = static_cast<uint32_t>(currentDisk_);
        bytes.clear();
        AppendEndRecords(bytes, end, static_cast<uint64_t>(bytesOnDisk_), zip64, comment);
        SplitWrite(bytes.data(), bytes.size(), endUnit);
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
