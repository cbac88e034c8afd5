// Joining a multi-part set into one ordinary archive. The parts concatenated
// hold a 4-byte marker, the local entries, the central directory and the end
// records, with every offset relative to its part. Each central record names
// the part and offset of its local header: the members are copied in that
// order and the central directory is written with offsets into the joined
// file.
#include "engine/span_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/span_records.h"
#include "engine/zip_messages.h"
#include "platform/atomic_file.h"
#include "platform/volume.h"

namespace kelp::engine {

namespace {

constexpr size_t kCopyBlock = 256 * 1024;

}  // namespace

// Reads `size` bytes from the parts: bytes may run on from the end of one
// part into the next.
bool SpanReader::ReadAcrossParts(BufferedReader& reader, void* buffer, size_t size) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = reader.Read(out, size);
    while (got < size) {
        if (reader.Position() < volumes_.File().Size() ||
            volumes_.CurrentDisk() >= volumes_.LastDisk())
            return false;
        volumes_.OpenPartForReading(volumes_.CurrentDisk() + 1);
        reader.Seek(0);
        got += reader.Read(out + got, size - got);
    }
    return true;
}

// The joined file: a fresh name in a folder (ending in "/"), or the given path.
std::string SpanReader::JoinedPath(const std::string& outFilePath) {
    std::string outPath = outFilePath;
    if (!outFilePath.empty() && outFilePath.back() == '/') {
        std::string pattern = outFilePath + "zipXXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) throw EZipEngine(MsgId::TempFileCreateFailed, true);
        ::close(fd);
        std::filesystem::remove(pattern);
        outPath = pattern;
    }
    return std::filesystem::path(outPath).replace_extension(".zip").string();
}

// Only the last part has an end record: on a removable drive, ask for disks
// until it is in; on a fixed drive the file must be it.
ArchiveEnd SpanReader::FindLastPart() {
    ArchiveEnd last;
    volumes_.NeedNewDisk(false);
    platform::DriveType type = platform::DriveType::Removable;
    for (;;) {
        if (IsFixedDrive(type)) {
            const int n = PartNumberInName(volumes_.PartName());
            if (n == 1) throw EZipEngine(MsgId::FirstFileOfSet, true);
            throw EZipEngine(MsgId::NthDiskOfSet, n);
        }
        type = volumes_.DiskPrompt();
        volumes_.NeedNewDisk(true);
        last = {};
        if (volumes_.OpenArchiveEnd(last, false)) return last;
    }
}

// The central directory, which may run over several parts.
std::vector<SpanMember> SpanReader::ReadDirectory(BufferedReader& reader, const EocdRecord& eocd,
                                                  uint64_t& byteTotal) {
    auto readParts = [&](void* buffer, size_t size) {
        return ReadAcrossParts(reader, buffer, size);
    };
    if (eocd.CentralDisk != eocd.ThisDisk) volumes_.OpenPartForReading(eocd.CentralDisk);
    if (!reader.Seek(static_cast<int64_t>(std::min<uint64_t>(eocd.CentralOffset, INT64_MAX))))
        throw EZipEngine(MsgId::InputSeekError, true);
    std::vector<SpanMember> members;
    byteTotal = 0;
    std::vector<uint8_t> record;
    for (uint64_t i = 0; i < eocd.TotalEntries; ++i) {
        ReadWholeRecord(readParts, record, true);
        if (!ReadSpanMember(std::move(record), members.emplace_back()))
            throw EZipEngine(MsgId::CentralExtraReadError, true);
        byteTotal += members.back().packedSize;
    }
    return members;
}

// The local entries, in the order of their places (each starts at or after
// the end of the one before), copied to `joined`; gives each member's offset
// there.
std::vector<uint64_t> SpanReader::CopyLocalEntries(BufferedReader& reader, BufferedWriter& joined,
                                                   const std::vector<SpanMember>& members) {
    auto readParts = [&](void* buffer, size_t size) {
        return ReadAcrossParts(reader, buffer, size);
    };
    auto append = [&](const uint8_t* bytes, size_t size) {
        if (!joined.Write(bytes, size)) throw EZipEngine(MsgId::OutputWriteError, true);
    };
    // The size of the part being read, taken once per part.
    int sizedDisk = -1;
    int64_t partSize = -1;
    auto currentPartSize = [&] {
        if (sizedDisk != volumes_.CurrentDisk()) {
            sizedDisk = volumes_.CurrentDisk();
            partSize = volumes_.File().Size();
        }
        return partSize;
    };
    std::vector<uint64_t> joinedOffsets(members.size());
    std::vector<uint8_t> record;
    std::vector<uint8_t> block;
    const std::string copying = LookupMessage(MsgId::Copying, MissingMessageText(MsgId::Copying));
    for (const size_t index : LocalHeaderOrder(members)) {
        const SpanMember& member = members[index];
        if (member.disk > static_cast<uint32_t>(volumes_.LastDisk()) ||
            member.disk < static_cast<uint32_t>(volumes_.CurrentDisk()))
            throw EZipEngine(MsgId::SpanRecordMissing, true);
        if (member.disk != static_cast<uint32_t>(volumes_.CurrentDisk())) {
            volumes_.OpenPartForReading(static_cast<int>(member.disk));
            reader.Seek(0);
        }
        if (member.localOffset < static_cast<uint64_t>(reader.Position()) ||
            member.localOffset >= static_cast<uint64_t>(currentPartSize()))
            throw EZipEngine(MsgId::SpanRecordMissing, true);
        reader.Skip(member.localOffset - static_cast<uint64_t>(reader.Position()));

        ReadWholeRecord(readParts, record, false);
        const LocalPlace local = CheckLocalRecord(record, member);
        sink_.Message(copying + member.name);
        sink_.Progress(ptFileStart, member.name, static_cast<int64_t>(member.packedSize));
        joinedOffsets[index] = joined.Position();
        append(record.data(), record.size());

        for (uint64_t left = member.packedSize; left > 0;) {
            block.resize(static_cast<size_t>(std::min<uint64_t>(left, kCopyBlock)));
            if (!ReadAcrossParts(reader, block.data(), block.size()))
                throw EZipEngine(MsgId::PackedDataReadError, true);
            append(block.data(), block.size());
            left -= block.size();
            sink_.Progress(ptBytesDone, "", static_cast<int64_t>(block.size()));
            host_.ProcessPendingMessages();
            if (cancel_) throw EZipEngine(MsgId::UserCanceled, false);
        }
        if (local.hasDescriptor) {
            ReadDescriptor(readParts, block, local.zip64);
            append(block.data(), block.size());
        }
    }
    return joinedOffsets;
}

// The central directory with offsets into the joined file, in its own order,
// and the end records for one disk.
void SpanReader::WriteDirectory(BufferedWriter& joined, const std::vector<SpanMember>& members,
                                const std::vector<uint64_t>& joinedOffsets,
                                const std::string& comment) {
    kelp::zip::Zip64Eocd end;
    end.centralOffset = joined.Position();
    std::vector<uint8_t>& buffer = joined.Buffer();
    const size_t before = buffer.size();
    for (size_t i = 0; i < members.size(); ++i)
        AppendPlacedCentral(buffer, members[i], 0, joinedOffsets[i]);
    end.centralSize = buffer.size() - before;
    end.entriesOnDisk = end.totalEntries = members.size();
    kelp::zip::AppendEndRecords(buffer, end, end.centralOffset + end.centralSize,
                                kelp::zip::NeedsZip64End(end), comment);
    if (!joined.Flush()) throw EZipEngine(MsgId::OutputWriteError, true);
}

int SpanReader::Join(const std::string& inFileName, std::string& outFilePath) {
    int result = 0;
    // The joined archive is written under a temporary name beside its
    // final one and takes that name only when complete: a file it replaces
    // stays until then, and a failed join leaves nothing behind.
    platform::AtomicFile joinedFile;
    ArchiveFile out;
    std::string outPath;
    BusyCursor busy(host_);
    try {
        volumes_.StartReading(inFileName, inFileName);
        volumes_.SetCurrentDisk(-1);
        volumes_.NeedNewDisk(false);
        outPath = JoinedPath(outFilePath);
        if (!joinedFile.Create(outPath) ||
            !out.Open(joinedFile.TempPath(), ArchiveFile::Mode::ReadWrite))
            throw EZipEngine(MsgId::OutputCreateFailed, true);

        const ArchiveEnd last = FindLastPart();
        time_t spanTime = 0;
        struct stat st {};
        if (stat(volumes_.PartName().c_str(), &st) == 0) spanTime = st.st_mtime;
        const EocdRecord& eocd = last.eocd;
        volumes_.SetLastDisk(eocd.ThisDisk);
        volumes_.SetCurrentDisk(eocd.ThisDisk);

        BufferedReader reader(volumes_.File());
        uint64_t byteTotal = 0;
        const std::vector<SpanMember> members = ReadDirectory(reader, eocd, byteTotal);
        volumes_.OpenPartForReading(0);
        reader.Seek(0);
        sink_.Progress(ptFileCount, "", static_cast<int64_t>(members.size()));
        sink_.Progress(ptByteTotal, "", static_cast<int64_t>(byteTotal));
        uint8_t marker[4];
        if (!ReadAcrossParts(reader, marker, sizeof marker) || !kelp::zip::IsSpanMarker(marker))
            throw EZipEngine(MsgId::ExtendedLocalReadError, true);

        BufferedWriter joined(out, kCopyBlock);
        const std::vector<uint64_t> joinedOffsets = CopyLocalEntries(reader, joined, members);
        // The last member's data must end where the directory begins.
        const int lastRead = volumes_.CurrentDisk();
        if (lastRead > eocd.CentralDisk ||
            (lastRead == eocd.CentralDisk &&
             static_cast<uint64_t>(reader.Position()) > eocd.CentralOffset))
            throw EZipEngine(MsgId::PackedDataReadError, true);
        WriteDirectory(joined, members, joinedOffsets, last.rawComment);

        out.Close();
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(outPath, ec)) &&
            !discard_(outPath))
            throw EZipEngine(MsgId::OutputCreateFailed, true);
        if (!joinedFile.Commit(platform::DefaultFileMode(),
                               spanTime != 0 ? std::optional<int64_t>(spanTime) : std::nullopt))
            throw EZipEngine(MsgId::OutputWriteError, true);
    } catch (...) {
        result = sink_.ReportSetFailure();
    }
    sink_.Progress(ptBatchEnd, "", 0);
    volumes_.File().Close();
    out.Close();
    if (result != 0)
        outFilePath.clear();
    else
        outFilePath = outPath;
    return result;
}

}  // namespace kelp::engine
