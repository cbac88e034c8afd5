// Joining a multi-part set into one ordinary archive. On this platform a set
// lives on a fixed drive as numbered part files (data001.zip, data002.zip,
// ...); the parts concatenated hold a 4-byte marker, the local entries, the
// central directory and the end record, with offsets relative to each part.
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

// Reads a unit that is never split over parts (a header with its name): a
// short read at the very end of a part moves on to the next part.
bool ZipEngine::ReadSpanUnit(void* buffer, size_t size, int errorId) {
    size_t got = inFile_.Read(buffer, size);
    if (got == size) return true;
    if (got != 0 || inFile_.Position() < inFile_.Size()) throw EZipEngine(errorId, true);
    if (currentDisk_ >= lastDiskNumber_) return false;
    OpenPartForReading(currentDisk_ + 1);
    if (inFile_.Read(buffer, size) != size) throw EZipEngine(errorId, true);
    return true;
}

// Copies `count` bytes from the parts to the joined file; data may run on
// from the end of one part into the next.
void ZipEngine::CopySpanBytes(ArchiveFile& out, uint64_t count, int errorId) {
    unsigned char buffer[kCopyBlock];
    while (count > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(count, sizeof buffer));
        const size_t got = inFile_.Read(buffer, want);
        if (got > 0 && out.Write(buffer, got) != got)
            throw EZipEngine(MsgId::OutputWriteError, true);
        count -= got;
        if (got < want) {
            if (inFile_.Position() < inFile_.Size() || currentDisk_ >= lastDiskNumber_)
                throw EZipEngine(errorId, true);
            OpenPartForReading(currentDisk_ + 1);
        }
    }
}

// Reports the exception being handled and gives the result code for it:
// -7 after an engine error, -8 out of memory, -9 anything else.
int ZipEngine::ReportSpanFailure() {
    try {
        throw;
    } catch (const EZipEngine& e) {
        ReportEngineError(e);
        return -7;
    } catch (const std::bad_alloc&) {
        ShowEngineMessage(MsgId::OutOfMemory);
        return -8;
    } catch (const std::exception& e) {
        ShowEngineMessage(MsgId::SpanUnknownError, e.what());
        return -9;
    }
}

int ZipEngine::ReadSpan(const std::string& inFileName, std::string& outFilePath) {
    int result = 0;
    ArchiveFile out;
    std::string outPath;
    time_t spanTime = 0;
    BusyCursor busy(*host_);
    try {
        spanDrive_ = platform::DriveRoot(inFileName);
        currentDisk_ = -1;
        newDiskNeeded_ = false;
        spanInName_ = inFileName;

        // The joined file: a fresh name in a folder, or the given path.
        if (!outFilePath.empty() && outFilePath.back() == '/') {
            std::string pattern = outFilePath + "zipXXXXXX";
            const int fd = mkstemp(pattern.data());
            if (fd < 0) throw EZipEngine(MsgId::TempFileCreateFailed, true);
            ::close(fd);
            std::filesystem::remove(pattern);
            outPath = pattern;
        } else {
            outPath = outFilePath;
            std::error_code ec;
            if (std::filesystem::exists(outPath, ec)) DiscardFile(outPath);
        }
        outPath = std::filesystem::path(outPath).replace_extension(".zip").string();
        const int fd = ::open(outPath.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) throw EZipEngine(MsgId::OutputCreateFailed, true);
        ::close(fd);
        if (!out.Open(outPath, ArchiveFile::Mode::ReadWrite))
            throw EZipEngine(MsgId::OutputCreateFailed, true);

        // Only the last part has an end record: on a removable drive, ask
        // for disks until it is in; on a fixed drive the file must be it.
        EocdRecord eocd;
        newDiskNeeded_ = false;
        platform::DriveType type = platform::DriveType::Removable;
        for (;;) {
            if (type == platform::DriveType::Fixed || type == platform::DriveType::Remote) {
                const std::string stem = std::filesystem::path(spanInName_).stem().string();
                const std::string digits = stem.size() >= 3 ? stem.substr(stem.size() - 3) : "";
                const int n = digits.size() == 3 && std::all_of(digits.begin(), digits.end(), ::isdigit)
                                  ? std::stoi(digits)
                                  : 0;
                if (n == 1) throw EZipEngine(MsgId::FirstFileOfSet, true);
                throw EZipEngine(MsgId::NthDiskOfSet, n);
            }
            type = DiskPrompt();
            newDiskNeeded_ = true;
            if (OpenArchiveEnd(eocd, false)) break;
        }
        struct stat st {};
        if (stat(spanInName_.c_str(), &st) == 0) spanTime = st.st_mtime;
        lastDiskNumber_ = currentDisk_ = eocd.ThisDisk;
        if (eocd.CentralDisk != eocd.ThisDisk) OpenPartForReading(eocd.CentralDisk);
        if (!inFile_.Seek(static_cast<int64_t>(eocd.CentralOffset)))
            throw EZipEngine(MsgId::InputSeekError, true);

        // First pass over the central directory: the member table.
        std::vector<SpanRecord> records;
        uint64_t byteTotal = 0;
        unsigned char header[kCentralHeaderSize];
        std::string name;
        for (uint64_t i = 0; i < eocd.TotalEntries; ++i) {
            if (!ReadSpanUnit(header, sizeof header, MsgId::CentralHeaderReadError))
                throw EZipEngine(MsgId::CentralHeaderReadError, true);
            if (Get32(header) != kCentralHeaderSig)
                throw EZipEngine(MsgId::CentralSignatureWrong, true);
            name.resize(Get16(header + 28));
            if (inFile_.Read(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::CentralNameReadError, true);
            SpanRecord& r = records.emplace_back();
            r.name = name;
            r.packedSize = Get32(header + 20);
            const uint32_t extra = Get16(header + 30), comment = Get16(header + 32);
            byteTotal += name.size() + r.packedSize + extra + comment;
            if (!inFile_.Seek(inFile_.Position() + extra + comment))
                throw EZipEngine(MsgId::InputSeekError, true);
        }

        OpenPartForReading(0);
        if (OnProgress) {
            OnProgress(ptFileCount, "", static_cast<int64_t>(records.size()));
            OnProgress(ptByteTotal, "", static_cast<int64_t>(byteTotal));
        }
        unsigned char marker[4];
        if (inFile_.Read(marker, 4) != 4 || Get32(marker) != kDataDescriptorSig)
            throw EZipEngine(MsgId::ExtendedLocalReadError, true);

        // The local entries, copied in order.
        unsigned char local[kLocalHeaderSize];
        for (size_t i = 0; i < records.size(); ++i) {
            if (!ReadSpanUnit(local, sizeof local, MsgId::LocalHeaderReadError))
                throw EZipEngine(MsgId::LocalHeaderReadError, true);
            if (Get32(local) != kLocalHeaderSig) throw EZipEngine(MsgId::LocalSignatureWrong, true);
            name.resize(Get16(local + 26));
            if (inFile_.Read(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::LocalNameReadError, true);
            SpanRecord& r = FindSpanRecord(records, name);
            r.relOffset = static_cast<uint32_t>(out.Position());
            if (OnMessage)
                OnMessage(0,
                          LookupMessage(MsgId::Copying, MissingMessageText(MsgId::Copying)) + name);
            if (OnProgress) OnProgress(ptFileStart, name, r.packedSize);
            if (out.Write(local, sizeof local) != sizeof local ||
                out.Write(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::LocalHeaderWriteError, true);
            CopySpanBytes(out, Get16(local + 28), MsgId::LocalExtraReadError);
            const uint32_t packed = Get32(local + 18) != 0 ? Get32(local + 18) : r.packedSize;
            CopySpanBytes(out, packed, MsgId::PackedDataReadError);
            if (Get16(local + 6) & 0x0008) CopySpanBytes(out, 16, MsgId::DataDescriptorError);
        }

        // Second pass: the central directory with offsets into the joined file.
        uint32_t centralAt = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            if (!ReadSpanUnit(header, sizeof header, MsgId::CentralHeaderReadError))
                throw EZipEngine(MsgId::CentralHeaderReadError, true);
            if (Get32(header) != kCentralHeaderSig)
                throw EZipEngine(MsgId::CentralSignatureWrong, true);
            name.resize(Get16(header + 28));
            if (inFile_.Read(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::CentralNameReadError, true);
            if (i == 0) centralAt = static_cast<uint32_t>(out.Position());
            const SpanRecord& r = FindSpanRecord(records, name);
            Put32(header + 42, r.relOffset);
            Put16(header + 34, 0);
            if (out.Write(header, sizeof header) != sizeof header ||
                out.Write(name.data(), name.size()) != name.size())
                throw EZipEngine(MsgId::CentralHeaderWriteError, true);
            CopySpanBytes(out, Get16(header + 30), MsgId::CentralExtraReadError);
            CopySpanBytes(out, Get16(header + 32), MsgId::FileCommentReadError);
        }

        // The end record, for one disk.
        unsigned char end[kEndOfDirSize];
        if (!ReadSpanUnit(end, sizeof end, MsgId::EndRecordReadError) || Get32(end) != kEndOfDirSig)
            throw EZipEngine(MsgId::EndRecordReadError, true);
        if (records.empty()) centralAt = static_cast<uint32_t>(out.Position());
        Put16(end + 4, 0);
        Put16(end + 6, 0);
        Put32(end + 16, centralAt);
        if (out.Write(end, sizeof end) != sizeof end)
            throw EZipEngine(MsgId::EndRecordWriteError, true);
        CopySpanBytes(out, Get16(end + 20), MsgId::ArchiveCommentReadError);
        if (!out.Flush()) throw EZipEngine(MsgId::OutputWriteError, true);
    } catch (...) {
        result = ReportSpanFailure();
    }
    if (OnProgress) OnProgress(ptBatchEnd, "", 0);
    inFile_.Close();
    out.Close();
    std::error_code ec;
    if (result != 0) {
        if (!outPath.empty()) std::filesystem::remove(outPath, ec);
        outFilePath.clear();
    } else {
        if (spanTime != 0) {
            const auto when = std::filesystem::file_time_type::clock::now() -
                              (std::chrono::system_clock::now() -
                               std::chrono::system_clock::from_time_t(spanTime));
            std::filesystem::last_write_time(outPath, when, ec);
        }
        outFilePath = outPath;
    }
    return result;
}

}  // namespace engine
