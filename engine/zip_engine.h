// The archive engine: reads an archive's directory into member records,
// writes its comment, and reports through the host user interface.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <atomic>
#include <ctime>

#include "engine/archive_file.h"
#include "engine/ezip_engine.h"
#include "engine/host_ui.h"
#include "engine/job_sink.h"
#include "engine/option_set.h"
#include "engine/requests.h"
#include "engine/set_volumes.h"
#include "engine/sfx_converter.h"
#include "engine/volume.h"
#include "engine/zip_dir_entry.h"

struct KCallbackRecord;

namespace kelp::engine {

// What happens to files the engine replaces: deleted for good, or moved to
// the trash.
enum DeleteOpts { htdFinal, htdAllowUndo };

class JoinedVolumes;
class UnzipParamBlock;
class ZipParamBlock;

class ZipEngine {
  public:
    ZipEngine();
    ~ZipEngine();
    ZipEngine(const ZipEngine&) = delete;
    ZipEngine& operator=(const ZipEngine&) = delete;

    // --- Properties ---------------------------------------------------------
    const std::string& ZipFileName() const { return zipFileName_; }
    // Stores the name and reads that archive's directory at once.
    void setZipFileName(const std::string& name);
    // The code page the last directory read decoded names from (NameCharset
    // or the detected one); empty when every name was UTF-8 or ASCII.
    const std::string& NameCharsetInUse() const { return nameCharset_; }

    bool Verbose = false;
    bool Trace = false;  // also switches the libraries' verbose output on
    int AddCompLevel = 9;
    AddMethodEnum AddMethod = AddMethodDeflate;
    AddOpts AddOptions;
    AddEncryptionEnum AddEncryption = aeZipCrypto;
    std::string ExtrBaseDir;
    ExtrOpts ExtrOptions;
    SFXOpts SFXOptions{SFXCheckSize};
    std::vector<std::string> FSpecArgs;  // specifications for add, delete, extract
    // For the next Extract or Delete only: FSpecArgs are exact member names
    // as DirEntries gives them, not patterns; one ending in "/" also takes
    // the members under that folder. Needs libraries of version 1.80.
    bool ExactNames = false;
    std::vector<std::string> FSpecArgsExcl;  // exclusion patterns for adding
    std::vector<AddSource> FSpecSources;     // files to add, beside FSpecArgs (see AddSource)
    bool Unattended = false;                 // no message boxes, no password dialogs
    std::string Password;                    // at most 255 characters are used
    std::string SFXPath = "KelpSFX.bin";
    std::string SFXCaption = "Self-extracting Archive";
    std::string SFXDefaultDir;
    std::string SFXCommandLine;
    std::string SFXMessage;
    OvrOpts SFXOverWriteMode = OvrConfirm;
    std::string SFXIcon;  // the bytes of an icon file, empty for none
    std::string TempDir;
    int64_t KeepFreeOnDisk1 = 0;
    int64_t MaxVolumeSize = 0;
    int64_t MinFreeVolumeSize = 65536;
    bool ConfirmErase = true;
    CodePageOpts CodePage = cpAuto;
    // The code page (an iconv name such as "CP866") of member names that are
    // neither flagged nor valid UTF-8; empty: detected for each archive.
    // Listing, extracting and testing all read names through it.
    std::string NameCharset;
    // The user's code page for particular archives, by the name given to
    // setZipFileName (the window's "Name encoding"); others use NameCharset.
    std::map<std::string, std::string> ArchiveNameCharsets;
    // What the names of the current archive are read with.
    const std::string& NameCharsetNow() const;
    DeleteOpts HowToDelete = htdAllowUndo;
    AddStoreExts AddStoreSuffixes{assGIF, assPNG, assZ,   assZIP, assZOO, assARC,
                                  assLZH, assARJ, assTAZ, assTGZ, assLHA};

    const std::string& DLLDirectory() const { return dllDirectory_; }
    // Stores the folder without one trailing "/".
    void setDLLDirectory(const std::string& folder);
    uint32_t PasswordReqCount() const { return passwordReqCount_; }
    // Values above 15 are stored as 15.
    void setPasswordReqCount(uint32_t count);
    static std::string VersionInfo() { return "1.60 K"; }
    // The application window handed to the libraries (none on this platform
    // unless the shell sets one); not passed when Unattended.
    void* WindowHandle = nullptr;

    // --- Libraries ----------------------------------------------------------
    void LoadZipLib();
    void LoadUnzipLib();
    void UnloadZipLib();
    void UnloadUnzipLib();
    // Library versions (160 = 1.60), 0 when the library cannot be loaded.
    int ZipLibVersion();
    int UnzipLibVersion();
    static bool ZipLibLoaded();
    static bool UnzipLibLoaded();

    // The decompression block for `request` with the archive `archiveName`
    // (its absolute path, or a joined copy) in the layout of `version`.
    std::unique_ptr<UnzipParamBlock> FillUnzParams(const ExtractRequest& request,
                                                   const std::string& archiveName, int version);
    // The compression block for `request` with `archiveName` in the layout
    // of `version`.
    std::unique_ptr<ZipParamBlock> FillZipParams(const AddRequest& request,
                                                 const std::string& archiveName, int version);

    // --- Requests -----------------------------------------------------------
    // The operation the properties now describe, as a value.
    ExtractRequest ExtractRequestNow() const;
    AddRequest AddRequestNow() const;
    DeleteRequest DeleteRequestNow() const;
    SpanRequest SpanRequestNow(const std::string& input, const std::string& output) const;
    SfxRequest SfxRequestNow() const;
    SfxToZipRequest SfxToZipRequestNow() const;
    RenameRequest RenameRequestNow(
        const std::vector<std::pair<std::string, std::string>>& renames) const;
    RepairRequest RepairRequestNow(const std::string& broken, const std::string& fixed) const;
    CommentRequest CommentRequestNow(const std::string& text) const;
    // Run an operation from its request: the operation's properties
    // (specifications, options, folders, password, volume sizes, the SFX
    // settings) are neither read nor changed; the engine's own settings
    // (Unattended, TempDir, DLLDirectory, NameCharset, the events) still
    // apply. Each shows the message of a refusal (the request's Check, or
    // what this engine cannot do now) and returns false when it refused
    // before the library was called; SuccessCount gives the count. An
    // archive changed is listed again when it is ZipFileName; extracting,
    // converting a program back and writing a comment name the request's
    // archive first.
    bool Run(const ExtractRequest& request);
    bool Run(const AddRequest& request);
    bool Run(const DeleteRequest& request);
    bool Run(const RenameRequest& request);
    bool Run(const RepairRequest& request);
    // True when the comment was written.
    bool Run(const CommentRequest& request);
    // The result codes of WriteSpan; a refusal is an engine error (-7).
    int Run(const SpanRequest& request);
    // The result codes of ReadSpan, the joined archive's path in `joined`;
    // a refusal is an engine error (-7).
    int Run(const JoinRequest& request, std::string* joined = nullptr);
    // The result codes of ConvertToExe; a refusal is -9. The program is
    // named when the archive was.
    int Run(const SfxRequest& request);
    // The result codes of ConvertToZip; a refusal is -3. The program's
    // settings are read into `settings` (what it holds stays where the
    // program has none); the archive is named when done.
    int Run(const SfxToZipRequest& request, SfxSettings* settings = nullptr);

    // --- Operations ---------------------------------------------------------
    // Adds the files FSpecArgs names to ZipFileName (created when missing);
    // see add.cpp.
    void Add();
    // Removes the members FSpecArgs names from ZipFileName.
    void Delete();
    // Renames members of ZipFileName, each pair an exact old name and its
    // new name; a folder's name ("docs/") renames what lies under it too.
    // The data is copied unchanged. Needs a compression library of version
    // 1.80; SuccessCount gives the members renamed.
    void Rename(const std::vector<std::pair<std::string, std::string>>& renames);
    // Extracts (or, with ExtrTest, tests) the members FSpecArgs names below
    // ExtrBaseDir; see extract.cpp.
    void Extract();
    // Salvages the damaged archive `broken` into the new archive `fixed`
    // (never `broken` itself): every member whose data checks out, copied
    // as it is. Messages name each member lost ("Lost: NAME: WHY") and end
    // with "Recovered N of M members ..."; SuccessCount gives N. Needs
    // a decompression library of version 1.80.
    void Repair(const std::string& broken, const std::string& fixed);
    // Extracts the member the first line of FSpecArgs names into ExtractStream.
    void ExtractToMemory();
    const std::vector<unsigned char>& ExtractStream() const { return extractStream_; }

    // Joins the set whose last part is `inFileName` into one archive;
    // `outFilePath` is a folder (ending in "/") or a file path, and holds the
    // joined archive's path on success. 0 on success, -7 after an engine
    // error, -8 out of memory, -9 any other failure (the partial file is gone).
    int ReadSpan(const std::string& inFileName, std::string& outFilePath);
    // Copies the archive `inFileName` into a set of part files named after
    // `outFileName`; same result codes as ReadSpan.
    int WriteSpan(const std::string& inFileName, const std::string& outFileName);
    // Removes a file the engine replaces: into the trash with htdAllowUndo,
    // deleted with htdFinal. False when the file is missing or stays.
    bool DiscardFile(const std::string& path);

    // Self-extracting archives; see sfx_convert.cpp. Both return 0 on
    // success and a negative code otherwise.
    // Turns ZipFileName (".zip") into a program (".exe") that extracts it.
    // With `newFile`, writes ZipFileName itself as the program with an empty
    // archive (for adding to a new self-extracting archive).
    int ConvertToExe(bool newFile = false);
    // Turns the self-extracting ZipFileName (".exe") back into a ".zip" and
    // reads its settings into the SFX properties.
    int ConvertToZip();

    // The count the last library call returned.
    int SuccessCount() const { return successCount_; }
    bool ZipLibBusy() const { return zipLibBusy_; }
    bool UnzipLibBusy() const { return unzipLibBusy_; }
    // Set by the user interface to stop a running library call.
    std::atomic<bool> CancelRequested{false};

    // Answers one library callback; public for the C entry the libraries call.
    int32_t HandleCallback(KCallbackRecord& record);

    // --- Directory ----------------------------------------------------------
    // Reads the directory of ZipFileName; see zip_directory.cpp.
    void List();
    DirEntryList DirEntries() const { return DirEntryList(directory_); }
    // Number of members, 0 when no archive is named (also after a failed read).
    size_t EntryCount() const { return zipFileName_.empty() ? 0 : directory_.size(); }
    // Lets go of the member list, the archive staying named with its end and
    // parts as read: for a caller that runs one operation on the whole
    // archive, which the library reads for itself, so that a large directory
    // is not held twice while it runs.
    void ReleaseDirectory() {
        directory_ = kelp::zip::CentralDirectory();
        directoryPlace_.reset();
    }
    // Fills `loan` with the directory read last, for a library call, when it
    // was read whole from one file (see KDirectoryLoan).
    bool LendDirectory(KDirectoryLoan& loan) const;
    // File offset of the first local header (the length of a self-extractor
    // program in front of the archive).
    int64_t SfxPrefixSize() const { return sfxPrefixSize_; }
    bool StructureError() const { return structureError_; }
    // The archive whose directory the last read could not make out (it was
    // named, then dropped); empty after a read that succeeded.
    const std::string& UnreadableArchive() const { return unreadableArchive_; }
    // True while the message about that failure is being shown.
    bool ReportingUnreadable() const { return reportingUnreadable_; }
    // The set read or written last: its last disk, the disk in hand and its label.
    int LastDiskNumber() const { return volumes_->LastDisk(); }
    int CurrentDisk() const { return volumes_->CurrentDisk(); }
    const std::string& VolumeLabel() const { return volumes_->Label(); }
    int64_t EndOfDirOffset() const { return endOfDirOffset_; }
    int64_t LogicalSize() const { return logicalSize_; }
    int64_t PhysicalSize() const { return physicalSize_; }
    int64_t CentralOffset() const { return centralOffset_; }

    // The archive comment, converted for display.
    std::string ArchiveComment() const;
    // Rewrites the archive comment in the file; an empty text removes it.
    void setArchiveComment(const std::string& text);

    // Opens the current input file and finds its end record; see
    // zip_directory.cpp. Leaves the file open on success.
    bool OpenArchiveEnd(EocdRecord& eocd, bool raiseOnFailure);
    // Converts a name or comment towards ANSI (or towards OEM when `toOem`)
    // under the rules for the central header read last.
    std::string ConvertNameChars(const std::string& text, bool toOem) const;

    // --- Messages and prompts -----------------------------------------------
    // Shows message `id` followed by `extra`: a message box unless
    // Unattended, and OnMessage with code 0.
    void ShowEngineMessage(int id, const std::string& extra = {});
    // Shows an engine error the same way (the box only when it asks for one).
    void ReportEngineError(const EZipEngine& error);
    // Number of shown messages and reported errors that were not warnings.
    int ErrorsReported() const { return errorsReported_; }
    // The password dialog: 1 and the text entered on OK, else 0 and "".
    int AskPassword(const std::string& title, const std::string& prompt, std::string& password);
    // Asks twice for a new password to add with; "" when cancelled or different.
    std::string AddPasswordPrompt();
    // Asks once for the password to extract with; "" when cancelled.
    std::string ExtractPasswordPrompt();

    // A removable drive (not owned); archives under its root are read and
    // written disk by disk. nullptr: every drive is a local folder.
    void SetRemovableDrive(Volume* drive);

    // The host interface; the engine does not own it. nullptr restores the
    // silent default.
    void SetHostUi(HostUi* host);
    HostUi& Host() const { return *host_; }

    // --- Events -------------------------------------------------------------
    std::function<void()> OnDirUpdate;
    std::function<void(ProgressType type, const std::string& fileName, int64_t fileSize)>
        OnProgress;
    std::function<void(int errCode, const std::string& message)> OnMessage;
    std::function<void(std::string& oldFileName, bool& isChanged)> OnSetNewName;
    std::function<void(int seqNo, const ZipDirEntry& entry)> OnNewName;
    std::function<void(const std::string& forFile, uint32_t foundCrc, uint32_t expectedCrc,
                       bool& doExtract)>
        OnCRC32Error;
    std::function<void(std::string& newPassword, const std::string& forFile, uint32_t& repeatCount)>
        OnPasswordError;
    std::function<void(const std::string& forFile, bool isOlder, bool& doOverwrite)>
        OnExtractOverwrite;
    std::function<void(const std::string& forFile, uint8_t skipType, int extError)>
        OnExtractSkipped;
    std::function<void(const std::string& forFile, bool& doOverwrite)> OnCopyZipOverwrite;

  private:
    void ReadDirectory();
    // TempDir, or the system's temporary folder; with a trailing "/".
    std::string TempFolder() const;
    // The disks of a set as the settings now ask, and the events and
    // messages the operation classes report through.
    std::unique_ptr<SetVolumes> MakeVolumes();
    JobSink MakeJobSink();
    void WriteComment(const std::string& raw);
    bool RunExtract(const ExtractRequest& request, bool toMemory);
    // The stages of RunExtract: why this library cannot run the extraction
    // asked for, if it cannot; the archive to hand it (a set joined first);
    // the call itself.
    std::optional<MsgId::Id> ExtractRefusal(const ExtractRequest& request, int version,
                                            bool toMemory) const;
    bool JoinForExtract(std::unique_ptr<JoinedVolumes>& volumes, std::string& joined,
                        std::string& archive);
    void CallExtract(const ExtractRequest& request, const std::string& archive, int version,
                     bool toMemory);
    // The common end of a library call that may change `archive`.
    void FinishZipCall(const std::string& archive, bool unloadLibrary);
    // Starts a library call that changes an archive in place (delete,
    // rename): false when it cannot start; `version` is then the library's.
    bool BeginArchiveChange(bool& loadedHere, int& version);
    // The specifications of a property-driven call are used up once it has
    // started.
    void ClearSpecs();
    std::unique_ptr<SetVolumes> MakeVolumes(const VolumeSizes& sizes, bool eraseDisks);
    // The SFX properties as the converter takes them, and back.
    SfxSettings SfxSettingsNow() const;
    void SetSfxSettings(const SfxSettings& settings);
    SfxConverter MakeSfxConverter();
    // Writes the program; `stubFound` is where the stub was found.
    int RunToExe(const SfxRequest& request, bool newFile, std::string& stubFound);
    static int32_t CallZipExec(void* block);
    static int32_t CallUnzipExec(void* block);

    std::string zipFileName_;
    kelp::zip::CentralDirectory directory_;  // the directory read last; DirEntries views it
    // The stamp of the file directory_ was read from, and where it lies in
    // it, when the directory may be lent (see LendDirectory).
    std::optional<KDirectoryLoan> directoryPlace_;
    std::string rawComment_;
    std::string callbackText_;  // a callback's text, its room kept between callbacks
    int64_t sfxPrefixSize_ = 0;
    int64_t endOfDirOffset_ = 0;
    int64_t logicalSize_ = 0;
    int64_t physicalSize_ = 0;
    int64_t centralOffset_ = 0;
    bool structureError_ = false;
    std::string unreadableArchive_;
    bool reportingUnreadable_ = false;
    // The central header read last steers the conversion of names and of the
    // archive comment; before any, FAT rules apply.
    uint8_t lastHost_ = 0;
    uint8_t lastVersion_ = 0;
    uint16_t lastFlags_ = 0;
    std::string nameCharset_;  // what the last directory read decoded names from

    int errorsReported_ = 0;
    std::string dllDirectory_;
    uint32_t passwordReqCount_ = 1;
    int successCount_ = 0;
    bool zipLibBusy_ = false;
    bool unzipLibBusy_ = false;
    std::vector<unsigned char> extractStream_;
    Volume* removableDrive_ = nullptr;

    SilentHostUi silentHost_;
    HostUi* host_ = &silentHost_;
    // The disks and parts of the archive listed, or of the set joined or
    // written, last (never null).
    std::unique_ptr<SetVolumes> volumes_;
};

}  // namespace kelp::engine
