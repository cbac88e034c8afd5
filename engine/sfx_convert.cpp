// Self-extracting archives: a program (the stub), a settings block the stub
// reads at run time, and a plain archive behind them whose stored offsets
// count the bytes in front. ConvertToExe puts stub and block in front of an
// archive, ConvertToZip takes them off again; both move the offsets in the
// central directory so that they stay right.
//
// The result is always written to a temporary file beside the output and
// renamed into place only after its size was checked, and the source is
// discarded only after that: a failed conversion leaves no partial output
// and an untouched source.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <new>

#include "engine/sfx_pe_icon.h"
#include "engine/sfx_settings_block.h"
#include "engine/zip_engine.h"
#include "libs/zipcore/record_writer.h"
#include "platform/folders.h"

namespace engine {

namespace {

namespace fs = std::filesystem;

constexpr size_t kCopyPiece = 8192;
constexpr const char* kStubFileName = "KELPSFX.BIN";
// The most of a Windows stub read to take its icon from.
constexpr int64_t kMaxStubRead = 64 * 1024 * 1024;

std::string LowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// Copies `count` bytes (all the rest when negative) from `in` to `out`, in
// pieces, letting the host handle its events after each piece. 0, -2 when a
// write comes back short, -3 when the source ends before `count` bytes.
int CopyLoop(ArchiveFile& in, ArchiveFile& out, int64_t count, HostUi& host) {
    unsigned char buffer[kCopyPiece];
    while (count != 0) {
        const size_t want = count < 0
                                ? sizeof buffer
                                : static_cast<size_t>(std::min<int64_t>(count, sizeof buffer));
        const size_t got = in.Read(buffer, want);
        if (got == 0) return count < 0 ? 0 : -3;
        if (out.Write(buffer, got) != got) return -2;
        if (count > 0) count -= static_cast<int64_t>(got);
        host.ProcessPendingMessages();
    }
    return 0;
}

// The flag byte of the settings block for the engine's SFX options.
uint8_t SfxFlags(const SFXOpts& options, OvrOpts overwrite) {
    uint8_t flags = 0;
    if (options.Has(SFXAskCmdLine)) flags |= kSfxFlagAskCmdLine;
    if (options.Has(SFXAskFiles)) flags |= kSfxFlagAskFiles;
    if (options.Has(SFXHideOverWriteBox)) flags |= kSfxFlagHideOverWriteBox;
    if (overwrite == OvrAlways) flags |= kSfxFlagOverwriteAlways;
    if (overwrite == OvrNever) flags |= kSfxFlagOverwriteNever;
    if (!options.Has(SFXCheckSize)) flags |= kSfxFlagNoCheckSize;
    if (options.Has(SFXAutoRun)) flags |= kSfxFlagAutoRun;
    if (options.Has(SFXNoSuccessMsg)) flags |= kSfxFlagNoSuccessMsg;
    return flags;
}

void ApplySfxFlags(const SfxSettingsBlock& block, SFXOpts& options, OvrOpts& overwrite) {
    const uint8_t f = block.flags;
    options = SFXOpts{};
    overwrite = OvrConfirm;
    if (f & kSfxFlagAskCmdLine) options.Include(SFXAskCmdLine);
    if (f & kSfxFlagAskFiles) options.Include(SFXAskFiles);
    if (f & kSfxFlagHideOverWriteBox) options.Include(SFXHideOverWriteBox);
    if (f & kSfxFlagOverwriteAlways) overwrite = OvrAlways;
    if (f & kSfxFlagOverwriteNever) overwrite = OvrNever;
    if (!(f & kSfxFlagNoCheckSize)) options.Include(SFXCheckSize);
    if (f & kSfxFlagAutoRun) options.Include(SFXAutoRun);
    if (block.current && (f & kSfxFlagNoSuccessMsg)) options.Include(SFXNoSuccessMsg);
}

// The stub file in `folder`, its name matched without regard to case; the
// plain name in that folder when there is none.
std::string StubIn(const std::string& folder) {
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        if (name == kStubFileName && it->is_regular_file(ec)) return it->path().string();
    }
    return folder.empty() ? kStubFileName : platform::WithTrailingSlash(folder) + kStubFileName;
}

// The folder of the running program, "" when unknown.
std::string ProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// Searches for the stub: SFXPath as set, then the stub file in the current
// folder, beside the program, in the program's library folder (where the
// build and the installation put it), in the home folder and in
// DLLDirectory. `path` holds each candidate in turn, and the hit.
bool FindStub(std::string& path, const std::string& dllDirectory) {
    std::error_code ec;
    auto found = [&] { return !path.empty() && fs::is_regular_file(path, ec); };
    if (found()) return true;
    const std::string program = ProgramFolder();
    std::vector<std::string> folders = {""};
    if (!program.empty()) {
        folders.push_back(program);
        folders.push_back((fs::path(program).parent_path() / "lib").string());
    }
    folders.push_back(platform::HomeFolder());
    if (!dllDirectory.empty()) folders.push_back(dllDirectory);
    for (const std::string& folder : folders) {
        path = StubIn(folder);
        if (found()) return true;
    }
    return false;
}

// The permission bits for a new file: those of `like` (with execute bits
// where it has read bits when `executable`, none otherwise), or the
// process's default when `like` cannot be read.
mode_t OutputMode(const std::string& like, bool executable) {
    struct stat st {};
    mode_t mode;
    if (!like.empty() && stat(like.c_str(), &st) == 0) {
        mode = st.st_mode & 0666;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (executable) mode |= (mode & 0444) >> 2;
    return mode;
}

// A file written under a temporary name beside its final name, renamed into
// place by Commit and removed when it was not committed.
class TempOutput {
  public:
    ~TempOutput() {
        file.Close();
        if (!temp_.empty()) ::unlink(temp_.c_str());
    }

    bool Create(const std::string& finalPath, mode_t mode) {
        std::string pattern = finalPath + ".kelp-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) return false;
        temp_ = pattern;
        const bool ok = fchmod(fd, mode) == 0;
        ::close(fd);
        return ok && file.Open(temp_, ArchiveFile::Mode::ReadWrite);
    }

    bool Commit(const std::string& finalPath) {
        const bool flushed = file.Flush();
        file.Close();
        if (!flushed || ::rename(temp_.c_str(), finalPath.c_str()) != 0) return false;
        temp_.clear();
        return true;
    }

    ArchiveFile file;

  private:
    std::string temp_;
};

// Puts the image of the icon file `icon` into the Windows stub copied to the
// front of `out`. A stub that is not a Windows program (the ELF program of
// this platform) has no icon resource: it is left as it is. 0, -10 when the
// stub has no fitting image, -11 when reading or writing fails, -12 when
// `icon` is not an icon file of one 744-byte image.
int ReplaceStubIcon(ArchiveFile& out, int64_t stubSize, const std::string& icon) {
    try {
        std::string program(2, '\0');
        if (!out.Seek(0) || out.Read(program.data(), 2) != 2) return -11;
        if (!IsWindowsProgram(program)) return out.Seek(stubSize) ? 0 : -11;
        if (stubSize > kMaxStubRead) return -10;
        program.resize(static_cast<size_t>(stubSize));
        if (!out.Seek(0) || out.Read(program.data(), program.size()) != program.size()) return -11;
        const auto at = FindStubIconImage(program);
        if (!at) return -10;
        if (!IsStubIconFile(icon)) return -12;
        if (!out.Seek(static_cast<int64_t>(*at)) ||
            out.Write(icon.data() + (kStubIconFileSize - kStubIconImageSize), kStubIconImageSize) !=
                kStubIconImageSize)
            return -11;
        return out.Seek(stubSize) ? 0 : -11;
    } catch (const std::exception&) {
        return -11;
    }
}

}  // namespace

// Copies the archive from file offset `from` on, shifting every stored
// offset by the difference between where the archive lands in `out` and
// `from`. An archive whose stored offsets are not the real ones (a structure
// error) is copied unchanged. `expected` becomes the number of bytes the
// copy must produce.
int ZipEngine::CopyArchiveBody(ArchiveFile& out, const EocdRecord& eocd, int64_t from,
                               int64_t& expected) {
    const int64_t shift = out.Position() - from;
    const int64_t dirEnd = eocd.Zip64 ? eocd.Zip64RecordOffset : endOfDirOffset_;
    const int64_t realCentral = dirEnd - static_cast<int64_t>(eocd.CentralSize);
    const int64_t storedCentral = static_cast<int64_t>(eocd.CentralOffset);
    if (!inFile_.Seek(from)) return -3;
    if (storedCentral != realCentral) {
        expected = physicalSize_ - from;
        return CopyLoop(inFile_, out, -1, *host_);
    }
    // The ZIP64 records hold offsets of their own that would need moving too.
    if (eocd.Zip64) return -9;
    if (storedCentral < from) return -3;
    expected = logicalSize_ - from;
    if (const int code = CopyLoop(inFile_, out, storedCentral - from, *host_)) return code;
    return MoveCentralDirectory(out, eocd, shift);
}

// Copies the central directory, the end record and the archive comment with
// every offset moved by `shift`. Failures are not shown: they give -2.
int ZipEngine::MoveCentralDirectory(ArchiveFile& out, const EocdRecord& eocd, int64_t shift) {
    namespace zip = kelp::zip;
    std::vector<uint8_t> record, moved;
    for (uint64_t n = 0; n < eocd.TotalEntries; ++n) {
        zip::CentralRecord r;
        if (ReadCentralRecord(inFile_, record, r) != RecordRead::Ok) return -2;  // 11013, 11015, 11042
        const int64_t offset = static_cast<int64_t>(r.localOffset) + shift;
        if (offset < 0) return -2;
        const auto extra = zip::PutCentralValues(r.header, r.extra, r.unpackedSize, r.packedSize,
                                                 static_cast<uint64_t>(offset), r.diskStart);
        moved.clear();
        zip::AppendCentralHeader(moved, r.header);
        zip::AppendBytes(moved, r.name);
        zip::AppendBytes(moved, extra);
        zip::AppendBytes(moved, r.comment);
        if (out.Write(moved.data(), moved.size()) != moved.size()) return -2;  // 11029
    }
    // Whatever stands between the last header and the end record belongs to
    // the directory as stored; it moves along unchanged.
    const int64_t gap = endOfDirOffset_ - inFile_.Position();
    if (gap < 0 || CopyLoop(inFile_, out, gap, *host_) != 0) return -2;

    unsigned char bytes[zip::kEocdSize];
    zip::Eocd end;
    if (inFile_.Read(bytes, sizeof bytes) != sizeof bytes || !zip::ParseEocd(bytes, end))
        return -2;  // 11043
    const int64_t central = static_cast<int64_t>(end.centralOffset) + shift;
    if (central < 0 || central >= zip::kFull32) return -2;
    end.centralOffset = static_cast<uint32_t>(central);
    std::vector<uint8_t> endBytes;
    zip::AppendEocd(endBytes, end);
    if (out.Write(endBytes.data(), endBytes.size()) != endBytes.size()) return -2;  // 11030
    const int64_t comment = logicalSize_ - inFile_.Position();
    if (comment < 0 || CopyLoop(inFile_, out, comment, *host_) != 0) return -2;  // 11044
    return 0;
}

int ZipEngine::ConvertToExe(bool newFile) {
    std::error_code ec;
    if (!newFile && (zipFileName_.empty() || !fs::is_regular_file(zipFileName_, ec))) {
        ShowEngineMessage(10102);
        return -9;
    }
    SfxSettingsBlock block;
    block.flags = SfxFlags(SFXOptions, SFXOverWriteMode);
    block.caption = SFXCaption;
    block.defaultDir = SFXDefaultDir;
    block.commandLine = SFXCommandLine;
    block.message = SFXMessage;
    const size_t blockSize = SettingsBlockSize(block);
    for (const std::string* text : {&SFXCaption, &SFXDefaultDir, &SFXCommandLine, &SFXMessage}) {
        if (text->size() > kSfxMaxTextLength) {
            ShowEngineMessage(10801,
                              "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " +
                                  std::to_string(blockSize + 1));
            return -9;
        }
    }
    if (!FindStub(SFXPath, dllDirectory_)) {
        ShowEngineMessage(10802);
        return -9;
    }
    const std::string blockBytes = EncodeSettingsBlock(block);
    BusyCursor busy(*host_);

    std::string outName = zipFileName_;
    if (!newFile) {
        if (LowerExtension(zipFileName_) != ".zip") {
            ShowEngineMessage(10803);
            return -9;
        }
        outName = fs::path(zipFileName_).replace_extension(".exe").string();
    }

    TempOutput out;
    if (outName.empty() ||
        !out.Create(outName, OutputMode(newFile ? std::string() : zipFileName_, true)))
        return -1;
    ArchiveFile stub;
    if (!stub.Open(SFXPath, ArchiveFile::Mode::Read)) return -3;
    int code = CopyLoop(stub, out.file, -1, *host_);
    const int64_t stubSize = stub.Size();
    stub.Close();
    if (code == 0 && out.file.Position() != stubSize) code = -3;
    if (code == 0 && !SFXIcon.empty()) code = ReplaceStubIcon(out.file, stubSize, SFXIcon);
    if (code == 0 && out.file.Write(blockBytes.data(), blockBytes.size()) != blockBytes.size())
        code = -2;

    int64_t expected = 0;
    if (code == 0 && newFile) {
        // An empty archive: an end record alone, its directory right behind the block.
        kelp::zip::Eocd end;
        end.centralOffset = static_cast<uint32_t>(stubSize + static_cast<int64_t>(blockBytes.size()));
        std::vector<uint8_t> record;
        kelp::zip::AppendEocd(record, end);
        if (out.file.Write(record.data(), record.size()) != record.size()) code = -2;
        expected = static_cast<int64_t>(record.size());
    } else if (code == 0) {
        spanInName_ = zipFileName_;
        try {
            EocdRecord eocd;
            OpenArchiveEnd(eocd, true);
            code = CopyArchiveBody(out.file, eocd, 0, expected);
        } catch (const std::exception&) {
            code = -3;
        }
        inFile_.Close();
    }
    if (code == 0 &&
        out.file.Size() != stubSize + static_cast<int64_t>(blockBytes.size()) + expected)
        code = -9;
    if (code != 0) return code;

    // An earlier output makes way only now that the new one is complete.
    if (fs::exists(fs::symlink_status(outName, ec)) && !DiscardFile(outName)) return -1;
    if (!out.Commit(outName)) return -2;
    if (!newFile) {
        DiscardFile(zipFileName_);
        setZipFileName(outName);
    }
    return 0;
}

int ZipEngine::ConvertToZip() {
    std::error_code ec;
    if (zipFileName_.empty() || !fs::is_regular_file(zipFileName_, ec)) {
        ShowEngineMessage(10901);
        return -3;
    }
    if (LowerExtension(zipFileName_) != ".exe") {
        ShowEngineMessage(10902);
        return -3;
    }
    const int64_t prefix = sfxPrefixSize_;
    if (prefix <= 0) {
        ShowEngineMessage(10903);
        return -9;
    }
    BusyCursor busy(*host_);
    const std::string outName = fs::path(zipFileName_).replace_extension(".zip").string();
    TempOutput out;
    if (!out.Create(outName, OutputMode(zipFileName_, false))) return -1;

    int code = 0;
    int64_t expected = 0;
    spanInName_ = zipFileName_;
    try {
        EocdRecord eocd;
        OpenArchiveEnd(eocd, true);

        // The settings block ends at the first local header.
        const int64_t region = std::min<int64_t>(prefix, kSfxMaxBlockSize);
        std::string front(static_cast<size_t>(region), '\0');
        if (!inFile_.Seek(prefix - region) ||
            inFile_.Read(front.data(), front.size()) != front.size())
            throw EZipEngine(11012, false);
        const auto block =
            FindSettingsBlock(reinterpret_cast<const unsigned char*>(front.data()), front.size());
        if (block) {
            // The icon of a Windows stub; this platform's stub has none, and
            // then SFXIcon keeps what it holds.
            std::string program(2, '\0');
            if (inFile_.Seek(0) && inFile_.Read(program.data(), 2) == 2 &&
                IsWindowsProgram(program) && prefix <= kMaxStubRead) {
                program.resize(static_cast<size_t>(prefix));
                if (inFile_.Seek(0) &&
                    inFile_.Read(program.data(), program.size()) == program.size()) {
                    if (const auto at = FindStubIconImage(program))
                        SFXIcon = StubIconFile(program.substr(*at, kStubIconImageSize));
                }
            }
            ApplySfxFlags(*block, SFXOptions, SFXOverWriteMode);
            SFXCaption = block->caption;
            SFXDefaultDir = block->defaultDir;
            SFXCommandLine = block->commandLine;
            if (block->current) SFXMessage = block->message;
        }
        code = CopyArchiveBody(out.file, eocd, prefix, expected);
    } catch (const std::bad_alloc&) {
        code = -10;
    } catch (const std::exception&) {
        code = -3;
    }
    inFile_.Close();
    if (code == 0 && out.file.Size() != expected) code = -9;
    if (code != 0) return code;

    if (fs::exists(fs::symlink_status(outName, ec)) && !DiscardFile(outName)) return -1;
    if (!out.Commit(outName)) return -2;
    DiscardFile(zipFileName_);
    setZipFileName(outName);
    return 0;
}

}  // namespace engine
