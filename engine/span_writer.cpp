// Writing one archive as a multi-part set. On this platform the parts are
// numbered files beside the target (data001.zip, data002.zip, ...), each at
// most as large as the free space, MaxVolumeSize and, for the first part,
// KeepFreeOnDisk1 allow. Headers with their names, extra fields and comments,
// and the end record with the archive comment, are never split over parts.
#include "engine/span_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "engine/span_records.h"
#include "engine/zip_messages.h"
#include "platform/volume.h"

namespace kelp::engine {

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

time_t FileTime(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

}  // namespace

// Writes out and closes the part; false when its last bytes could not be
// written.
bool SpanWriter::ClosePart() {
    if (!part_.IsOpen()) return true;
    const bool written = partOut_.Flush();
    partOut_.Buffer().clear();
    part_.Flush();
    part_.Close();
    std::error_code ec;
    const auto stamp =
        std::filesystem::file_time_type::clock::now() -
        (std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(sourceDate_));
    std::filesystem::last_write_time(partPath_, stamp, ec);
    return written;
}

// Opens the next part: asks for a disk on a removable drive (formatting it
// with AddDiskSpanErase), asks before replacing an existing file, makes sure
// the part can hold at least MinFreeVolumeSize bytes and labels the disk.
void SpanWriter::OpenNextPart() {
    for (;;) {
        const SetSettings& settings = volumes_.Settings();
        const int disk = volumes_.CurrentDisk();
        const bool fixed = IsFixedDrive(volumes_.DiskPrompt());
        partPath_ = fixed ? SpanPartName(target_, disk) : target_;
        const std::string label = "PKBACK# " + ThreeDigits(disk);
        if (!fixed && settings.eraseDisks) {
            volumes_.SetLabelRead(label);
            const int formatted = volumes_.Drive().Format(label);
            if (formatted == -2) throw EZipEngine(MsgId::UserCanceled, false);
            if (formatted == -1) throw EZipEngine(MsgId::UserCanceled, true);
        }
        std::error_code ec;
        if (std::filesystem::exists(partPath_, ec)) {
            if (settings.unattended) throw EZipEngine(MsgId::UnattendedSpanning, true);
            // A file of this set (same date-time) on a disk labelled with an
            // earlier number is an earlier disk; anything else is a stranger.
            const std::string& diskLabel = volumes_.Label();
            int labelNo = 1;
            if (diskLabel.size() >= 11 &&
                std::all_of(diskLabel.begin() + 8, diskLabel.begin() + 11, ::isdigit))
                labelNo = std::stoi(diskLabel.substr(8, 3));
            const bool stranger = FileTime(partPath_) != sourceDate_ || labelNo - 1 >= disk;
            const std::string text =
                stranger ? FormatMessageText(LookupMessage(MsgId::OverwriteFileQuery,
                                                           "Overwrite previous file %s"),
                                             {partPath_})
                         : FormatMessageText(LookupMessage(MsgId::OverwritePreviousDisk,
                                                           "Overwrite previous disk no %d"),
                                             {static_cast<long long>(labelNo)});
            const Answer answer =
                host_.AskQuestion("Confirm", text, Buttons::YesNoCancel, Answer::No);
            // No, the default answer, keeps the file and asks for another disk;
            // on a fixed drive there is none, so it stops.
            if (answer == Answer::No && !fixed) {
                bytesOnPart_ = 0;
                volumes_.NeedNewDisk(true);
                continue;
            }
            if (answer != Answer::Yes) throw EZipEngine(MsgId::UserCanceled, false);
        }
        std::filesystem::remove(partPath_, ec);
        if (!part_.Create(partPath_)) throw EZipEngine(MsgId::OutputCreateFailed, true);

        int64_t total = -1;
        volumes_.Drive().QuerySpace(partFree_, total);
        if (settings.maxVolumeSize > 0 && (partFree_ < 0 || settings.maxVolumeSize < partFree_))
            partFree_ = settings.maxVolumeSize;
        if (disk == 0) partFree_ -= settings.keepFreeOnDisk1;
        if (settings.minFreeVolumeSize > partFree_ || partFree_ <= 0) {
            // Nothing stays on a disk that is too full.
            part_.Close();
            std::filesystem::remove(partPath_, ec);
            if (settings.unattended) throw EZipEngine(MsgId::UnattendedSpanning, true);
            const Answer answer = host_.AskQuestion(
                "Kelp", LookupMessage(MsgId::DiskFull, MissingMessageText(MsgId::DiskFull)),
                Buttons::RetryCancel);
            if (answer == Answer::None) throw EZipEngine(MsgId::NoMemoryForMsgBox, true);
            if (answer != Answer::Retry) throw EZipEngine(MsgId::UserCanceled, false);
            bytesOnPart_ = 0;
            volumes_.NeedNewDisk(true);
            continue;
        }
        if (!fixed && !volumes_.Drive().SetLabel(label)) throw EZipEngine(MsgId::LabelNotSet, true);
        return;
    }
}

// Writes `length` bytes into the set; `unit` bytes from here on must share
// one part (0: the bytes may be cut anywhere).
void SpanWriter::SplitWrite(const unsigned char* buffer, size_t length, size_t unit) {
    for (;;) {
        host_.ProcessPendingMessages();
        if (cancel_) throw EZipEngine(MsgId::UserCanceled, false);
        if (!part_.IsOpen()) OpenNextPart();
        if (unit > 0 && static_cast<int64_t>(unit) > partFree_) {
            // A unit larger than a whole part would never fit anywhere.
            if (bytesOnPart_ == 0) throw EZipEngine(MsgId::DiskFull, true);
            NextPart();
            continue;
        }
        const size_t n =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), partFree_));
        if (!partOut_.Write(buffer, n)) throw EZipEngine(MsgId::OutputWriteError, true);
        if (showProgress_) sink_.Progress(ptBytesDone, "", static_cast<int64_t>(n));
        bytesOnPart_ += n;
        partFree_ -= static_cast<int64_t>(n);
        if (n == length) return;
        NextPart();
        buffer += n;
        length -= n;
    }
}

// Closes the part and moves on to the next, which is opened (and its disk
// asked for) when bytes are written to it.
void SpanWriter::NextPart() {
    if (!ClosePart()) throw EZipEngine(MsgId::OutputWriteError, true);
    partFree_ = 0;
    bytesOnPart_ = 0;
    volumes_.NeedNewDisk(true);
    volumes_.SetCurrentDisk(volumes_.CurrentDisk() + 1);
}

void SpanWriter::CopyToSplit(BufferedReader& reader, uint64_t count, int errorId) {
    unsigned char block[kCopyBlock];
    while (count > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(count, sizeof block));
        if (reader.Read(block, want) != want) throw EZipEngine(errorId, true);
        SplitWrite(block, want, 0);
        count -= want;
    }
}

// The source's central directory, read whole; its end lies where the
// (ZIP64) end record begins. Bytes in front of the archive shift every stored
// offset: gives where the directory starts and that shift.
std::vector<SpanMember> SpanWriter::ReadSourceDirectory(const ArchiveEnd& source,
                                                        int64_t& centralAt, int64_t& shift) {
    const EocdRecord& eocd = source.eocd;
    const int64_t dirEnd = eocd.Zip64 ? eocd.Zip64RecordOffset : source.endOfDirOffset;
    if (eocd.CentralSize > static_cast<uint64_t>(dirEnd))
        throw EZipEngine(MsgId::InputSeekError, true);
    centralAt = dirEnd - static_cast<int64_t>(eocd.CentralSize);
    shift = centralAt - static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX));
    std::vector<uint8_t> directory(static_cast<size_t>(eocd.CentralSize));
    if (!source_.Seek(centralAt) ||
        source_.Read(directory.data(), directory.size()) != directory.size())
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
            !ReadSpanMember(std::vector<uint8_t>(rest.begin(), rest.begin() + size),
                            members.emplace_back()))
            throw EZipEngine(MsgId::CentralNameReadError, true);
        at += size;
    }
    return members;
}

// The local entries in the order they lie in the source. A header that does
// not fit the rest of a part starts the next one, so its place is taken once
// it is written.
std::vector<SpanWriter::Place> SpanWriter::CopyLocalEntries(const std::vector<SpanMember>& members,
                                                            int64_t centralAt, int64_t shift) {
    std::vector<Place> places(members.size());
    BufferedReader reader(source_);
    auto read = [&](void* buffer, size_t size) { return reader.Read(buffer, size) == size; };
    std::vector<uint8_t> record, descriptor;
    const std::string copying = LookupMessage(MsgId::Copying, MissingMessageText(MsgId::Copying));
    for (const size_t index : LocalHeaderOrder(members)) {
        const SpanMember& member = members[index];
        // Local headers lie in front of the central directory, one after another.
        if (member.disk != 0 || member.localOffset > static_cast<uint64_t>(centralAt))
            throw EZipEngine(MsgId::SpanRecordMissing, true);
        const int64_t from = static_cast<int64_t>(member.localOffset) + shift;
        if (from < reader.Position()) throw EZipEngine(MsgId::SpanRecordMissing, true);
        reader.Skip(static_cast<uint64_t>(from - reader.Position()));
        ReadWholeRecord(read, record, false);
        const LocalPlace local = CheckLocalRecord(record, member);
        sink_.Message(copying + member.name);
        sink_.Progress(ptFileStart, member.name,
                       static_cast<int64_t>(record.size() + member.packedSize));
        SplitWrite(record.data(), record.size(), record.size());
        places[index] = {static_cast<uint32_t>(volumes_.CurrentDisk()),
                         static_cast<uint64_t>(bytesOnPart_) - record.size()};
        CopyToSplit(reader, member.packedSize, MsgId::PackedDataReadError);
        if (local.hasDescriptor) {
            ReadDescriptor(read, descriptor, local.zip64);
            SplitWrite(descriptor.data(), descriptor.size(), 0);
        }
    }
    return places;
}

// The central directory in its own order, each record whole on a part, then
// the end records whole on the last part.
void SpanWriter::WriteDirectory(const std::vector<SpanMember>& members,
                                const std::vector<Place>& places, const EocdRecord& eocd,
                                const std::string& comment) {
    const std::string copying = LookupMessage(MsgId::Copying, MissingMessageText(MsgId::Copying));
    const std::string central =
        LookupMessage(MsgId::CentralDirectory, MissingMessageText(MsgId::CentralDirectory));
    sink_.Message(copying + central);
    sink_.Progress(ptFileStart, central,
                   static_cast<int64_t>(eocd.CentralSize + kelp::zip::kEocdSize + comment.size()));
    kelp::zip::Zip64Eocd end;
    end.totalEntries = members.size();
    int countedDisk = -1;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < members.size(); ++i) {
        bytes.clear();
        AppendPlacedCentral(bytes, members[i], places[i].disk, places[i].offset);
        SplitWrite(bytes.data(), bytes.size(), bytes.size());
        if (i == 0) {
            end.centralDisk = static_cast<uint32_t>(volumes_.CurrentDisk());
            end.centralOffset = static_cast<uint64_t>(bytesOnPart_) - bytes.size();
        }
        if (volumes_.CurrentDisk() != countedDisk) {
            countedDisk = volumes_.CurrentDisk();
            end.entriesOnDisk = 0;
        }
        ++end.entriesOnDisk;
        end.centralSize += bytes.size();
    }

    // Placing the end records first gives the last part's number. (Deciding
    // on ZIP64 counts the part they may move to.)
    end.thisDisk = static_cast<uint32_t>(volumes_.CurrentDisk()) + 1;
    const bool zip64 = kelp::zip::NeedsZip64End(end);
    const size_t endUnit = kelp::zip::EndRecordsSize(zip64, comment.size());
    SplitWrite(bytes.data(), 0, endUnit);
    if (volumes_.CurrentDisk() != countedDisk) end.entriesOnDisk = 0;
    if (members.empty()) {
        end.centralDisk = static_cast<uint32_t>(volumes_.CurrentDisk());
        end.centralOffset = static_cast<uint64_t>(bytesOnPart_);
    }
    end.thisDisk = static_cast<uint32_t>(volumes_.CurrentDisk());
    bytes.clear();
    kelp::zip::AppendEndRecords(bytes, end, static_cast<uint64_t>(bytesOnPart_), zip64, comment);
    SplitWrite(bytes.data(), bytes.size(), endUnit);
}

int SpanWriter::Write(const std::string& inFileName, const std::string& outFileName) {
    int result = 0;
    partFree_ = 0;
    bytesOnPart_ = 0;
    target_ = outFileName;
    showProgress_ = false;
    BusyCursor busy(host_);
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(inFileName, ec))
            throw EZipEngine(MsgId::InputMissing, true);
        ArchiveEnd source;
        OpenArchiveEnd(source_, inFileName, volumes_.Label(), true, source, sink_.show);
        sourceDate_ = FileTime(inFileName);
        volumes_.StartWriting(outFileName, source.logicalSize);

        int64_t centralAt = 0;
        int64_t shift = 0;
        const std::vector<SpanMember> members = ReadSourceDirectory(source, centralAt, shift);
        std::vector<uint8_t> marker;
        kelp::zip::AppendSpanMarker(marker);
        SplitWrite(marker.data(), marker.size(), 0);
        showProgress_ = true;
        sink_.Progress(ptFileCount, "", static_cast<int64_t>(members.size()));
        sink_.Progress(ptByteTotal, "", source.logicalSize);

        const std::vector<Place> places = CopyLocalEntries(members, centralAt, shift);
        WriteDirectory(members, places, source.eocd, source.rawComment);
        if (!ClosePart()) throw EZipEngine(MsgId::OutputWriteError, true);
        showProgress_ = false;
    } catch (...) {
        result = sink_.ReportSetFailure();
    }
    showProgress_ = false;
    sink_.Progress(ptBatchEnd, "", 0);
    ClosePart();
    source_.Close();
    return result;
}

}  // namespace kelp::engine
