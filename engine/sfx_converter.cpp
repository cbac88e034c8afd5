// The result is always written to a temporary file beside the output and
// renamed into place only after its size was checked, and the source is
// discarded only after that: a failed conversion leaves no partial output
// and an untouched source.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <new>

#include "engine/ezip_engine.h"
#include "engine/message_ids.h"
#include "engine/sfx_converter.h"
#include "engine/sfx_pe_icon.h"
#include "engine/sfx_settings_block.h"
#include "libs/zipcore/record_writer.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"

namespace kelp::engine {

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
        mode = platform::DefaultFileMode();
    }
    if (executable) mode |= (mode & 0444) >> 2;
    return mode;
}

// The output while it is written: a temporary file beside its final name
// (see platform::AtomicFile), written through an ArchiveFile of its own.
struct TempOutput {
    bool Create(const std::string& finalPath) {
        return !finalPath.empty() && temp.Create(finalPath) &&
               file.Open(temp.TempPath(), ArchiveFile::Mode::ReadWrite);
    }
    // Renames the complete output over the final name with `mode`.
    bool Commit(mode_t mode) {
        file.Close();
        return temp.Commit(mode);
    }

    platform::AtomicFile temp;
    ArchiveFile file;  // closed before temp removes an uncommitted file
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
int SfxConverter::CopyArchiveBody(ArchiveFile& out, int64_t from, int64_t& expected) {
    const EocdRecord& eocd = end_.eocd;
    const int64_t shift = out.Position() - from;
    const int64_t realCentral = CentralDirectoryStart(end_);
    const int64_t storedCentral = static_cast<int64_t>(eocd.CentralOffset);
    if (!in_.Seek(from)) return -3;
    if (storedCentral != realCentral) {
        expected = end_.physicalSize - from;
        return CopyLoop(in_, out, -1, host_);
    }
    if (storedCentral < from) return -3;
    if (const int code = CopyLoop(in_, out, storedCentral - from, host_)) return code;
    int64_t moved = 0;
    if (const int code = MoveCentralDirectory(out, shift, moved)) return code;
    expected = storedCentral - from + moved;
    return 0;
}

// Copies the central directory with every offset moved by `shift` and writes
// new end records behind it: offsets that now pass 32 bits go into ZIP64
// fields and a ZIP64 end record, and ZIP64 records no longer needed are
// left out. `written` becomes the number of bytes written. Failures are not
// shown: they give -2.
int SfxConverter::MoveCentralDirectory(ArchiveFile& out, int64_t shift, int64_t& written) {
    const EocdRecord& eocd = end_.eocd;
    namespace zip = kelp::zip;
    std::vector<uint8_t> record, moved;
    const int64_t start = out.Position();
    for (uint64_t n = 0; n < eocd.TotalEntries; ++n) {
        zip::CentralRecord r;
        if (ReadCentralRecord(in_, record, r) != RecordRead::Ok)
            return -2;  // MsgId::CentralHeaderReadError, MsgId::CentralSignatureWrong,
                        // MsgId::CentralNameCopyError
        const int64_t offset = static_cast<int64_t>(r.localOffset) + shift;
        if (offset < 0) return -2;
        const auto extra = zip::PutCentralValues(r.header, r.extra, r.unpackedSize, r.packedSize,
                                                 static_cast<uint64_t>(offset), r.diskStart);
        moved.clear();
        zip::AppendCentralHeader(moved, r.header);
        zip::AppendBytes(moved, r.name);
        zip::AppendBytes(moved, extra);
        zip::AppendBytes(moved, r.comment);
        if (out.Write(moved.data(), moved.size()) != moved.size())
            return -2;  // MsgId::CentralHeaderWriteError
    }
    // Whatever stands between the last header and the (ZIP64) end record
    // belongs to the directory as stored; it moves along unchanged.
    const int64_t dirEnd = eocd.Zip64 ? eocd.Zip64RecordOffset : end_.endOfDirOffset;
    const int64_t gap = dirEnd - in_.Position();
    if (gap < 0 || CopyLoop(in_, out, gap, host_) != 0) return -2;

    const int64_t central = static_cast<int64_t>(eocd.CentralOffset) + shift;
    if (central < 0) return -2;
    zip::Zip64Eocd end;
    end.entriesOnDisk = eocd.EntriesThisDisk;
    end.totalEntries = eocd.TotalEntries;
    end.centralSize = static_cast<uint64_t>(out.Position() - start);
    end.centralOffset = static_cast<uint64_t>(central);
    std::vector<uint8_t> endBytes;
    zip::AppendEndRecords(endBytes, end, static_cast<uint64_t>(out.Position()),
                          zip::NeedsZip64End(end), end_.rawComment);
    if (out.Write(endBytes.data(), endBytes.size()) != endBytes.size())
        return -2;  // MsgId::EndRecordWriteError
    written = out.Position() - start;
    return 0;
}

int SfxConverter::ToExe(const std::string& archive, bool newFile, const SfxSettings& settings,
                        std::string& stubPath, const std::string& dllDirectory,
                        std::string& outName) {
    std::error_code ec;
    if (!newFile && (archive.empty() || !fs::is_regular_file(archive, ec))) {
        show_(MsgId::NoZipFile, {});
        return -9;
    }
    SfxSettingsBlock block;
    block.flags = SfxFlags(settings.options, settings.overwrite);
    block.caption = settings.caption;
    block.defaultDir = settings.defaultDir;
    block.commandLine = settings.commandLine;
    block.message = settings.message;
    const size_t blockSize = SettingsBlockSize(block);
    for (const std::string* text :
         {&block.caption, &block.defaultDir, &block.commandLine, &block.message}) {
        if (text->size() > kSfxMaxTextLength) {
            show_(MsgId::SfxStringTooLong,
                  "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " +
                      std::to_string(blockSize + 1));
            return -9;
        }
    }
    if (!FindStub(stubPath, dllDirectory)) {
        show_(MsgId::SfxStubNotFound, {});
        return -9;
    }
    const std::string blockBytes = EncodeSettingsBlock(block);
    BusyCursor busy(host_);

    outName = archive;
    if (!newFile) {
        if (LowerExtension(archive) != ".zip") {
            show_(MsgId::InputNotZip, {});
            return -9;
        }
        outName = fs::path(archive).replace_extension(".exe").string();
    }

    const mode_t mode = OutputMode(newFile ? std::string() : archive, true);
    TempOutput out;
    if (!out.Create(outName)) return -1;
    ArchiveFile stub;
    if (!stub.Open(stubPath, ArchiveFile::Mode::Read)) return -3;
    int code = CopyLoop(stub, out.file, -1, host_);
    const int64_t stubSize = stub.Size();
    stub.Close();
    if (code == 0 && out.file.Position() != stubSize) code = -3;
    if (code == 0 && !settings.icon.empty())
        code = ReplaceStubIcon(out.file, stubSize, settings.icon);
    if (code == 0 && out.file.Write(blockBytes.data(), blockBytes.size()) != blockBytes.size())
        code = -2;

    int64_t expected = 0;
    if (code == 0 && newFile) {
        // An empty archive: an end record alone, its directory right behind the block.
        kelp::zip::Zip64Eocd end;
        end.centralOffset = static_cast<uint64_t>(stubSize) + blockBytes.size();
        std::vector<uint8_t> record;
        kelp::zip::AppendEndRecords(record, end, end.centralOffset, kelp::zip::NeedsZip64End(end),
                                    {});
        if (out.file.Write(record.data(), record.size()) != record.size()) code = -2;
        expected = static_cast<int64_t>(record.size());
    } else if (code == 0) {
        try {
            code = in_.Open(archive, ArchiveFile::Mode::Read) && ReadArchiveEnd(in_, end_)
                       ? CopyArchiveBody(out.file, 0, expected)
                       : -3;
        } catch (const std::exception&) {
            code = -3;
        }
        in_.Close();
    }
    if (code == 0 &&
        out.file.Size() != stubSize + static_cast<int64_t>(blockBytes.size()) + expected)
        code = -9;
    if (code != 0) return code;

    // An earlier output makes way only now that the new one is complete.
    if (fs::exists(fs::symlink_status(outName, ec)) && !discard_(outName)) return -1;
    if (!out.Commit(mode)) return -2;
    if (!newFile) discard_(archive);
    return 0;
}

int SfxConverter::ToZip(const std::string& program, int64_t prefix, SfxSettings& settings,
                        std::string& outName) {
    std::error_code ec;
    if (program.empty() || !fs::is_regular_file(program, ec)) {
        show_(MsgId::NoExeFile, {});
        return -3;
    }
    if (LowerExtension(program) != ".exe") {
        show_(MsgId::InputNotExe, {});
        return -3;
    }
    if (prefix <= 0) {
        show_(MsgId::SfxTypeUnknown, {});
        return -9;
    }
    BusyCursor busy(host_);
    outName = fs::path(program).replace_extension(".zip").string();
    const mode_t mode = OutputMode(program, false);
    TempOutput out;
    if (!out.Create(outName)) return -1;

    int code = 0;
    int64_t expected = 0;
    try {
        if (!in_.Open(program, ArchiveFile::Mode::Read) || !ReadArchiveEnd(in_, end_))
            throw EZipEngine(MsgId::NotAZipArchive, false);

        // The settings block ends at the first local header.
        const int64_t region = std::min<int64_t>(prefix, kSfxMaxBlockSize);
        std::string front(static_cast<size_t>(region), '\0');
        if (!in_.Seek(prefix - region) || in_.Read(front.data(), front.size()) != front.size())
            throw EZipEngine(MsgId::LocalHeaderReadError, false);
        const auto block =
            FindSettingsBlock(reinterpret_cast<const unsigned char*>(front.data()), front.size());
        if (block) {
            // The icon of a Windows stub; this platform's stub has none, and
            // then SFXIcon keeps what it holds.
            std::string program(2, '\0');
            if (in_.Seek(0) && in_.Read(program.data(), 2) == 2 && IsWindowsProgram(program) &&
                prefix <= kMaxStubRead) {
                program.resize(static_cast<size_t>(prefix));
                if (in_.Seek(0) && in_.Read(program.data(), program.size()) == program.size()) {
                    if (const auto at = FindStubIconImage(program))
                        settings.icon = StubIconFile(program.substr(*at, kStubIconImageSize));
                }
            }
            ApplySfxFlags(*block, settings.options, settings.overwrite);
            settings.caption = block->caption;
            settings.defaultDir = block->defaultDir;
            settings.commandLine = block->commandLine;
            if (block->current) settings.message = block->message;
        }
        code = CopyArchiveBody(out.file, prefix, expected);
    } catch (const std::bad_alloc&) {
        code = -10;
    } catch (const std::exception&) {
        code = -3;
    }
    in_.Close();
    if (code == 0 && out.file.Size() != expected) code = -9;
    if (code != 0) return code;

    if (fs::exists(fs::symlink_status(outName, ec)) && !discard_(outName)) return -1;
    if (!out.Commit(mode)) return -2;
    discard_(program);
    return 0;
}

}  // namespace kelp::engine
