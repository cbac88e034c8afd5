// The archive engine: reads an archive's directory into member records,
// writes its comment, and reports through the host user interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/archive_file.h"
#include "engine/ezip_engine.h"
#include "engine/host_ui.h"
#include "engine/zip_dir_entry.h"

namespace engine {

// How names and comments are converted between the OEM and ANSI character sets.
enum CodePageOpts { cpAuto, cpNone, cpOEM };

// The end-of-central-directory record. The counts, size and offset are wide
// enough for the values of a ZIP64 end record, which replace the 16- and
// 32-bit fields when the archive has one.
struct EocdRecord {
    uint16_t ThisDisk = 0;
    uint16_t CentralDisk = 0;
    uint64_t EntriesThisDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t CentralSize = 0;
    uint64_t CentralOffset = 0;
    uint16_t CommentLength = 0;
    bool Zip64 = false;
    int64_t Zip64RecordOffset = 0;  // file offset of the ZIP64 end record, if any
};

// The name of part `part` of a set on a fixed drive: the three characters in
// front of the extension replaced by the part number as three digits.
std::string PartFileName(const std::string& path, int part);

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

    bool Unattended = false;       // no message boxes, no password dialogs
    CodePageOpts CodePage = cpAuto;
    bool Verbose = false;
    bool Trace = false;

    // --- Directory ----------------------------------------------------------
    // Reads the directory of ZipFileName; see zip_directory.cpp.
    void List();
    const std::vector<ZipDirEntry>& DirEntries() const { return dirEntries_; }
    // Number of members, 0 when no archive is named (also after a failed read).
    size_t EntryCount() const { return zipFileName_.empty() ? 0 : dirEntries_.size(); }
    // File offset of the first local header (the length of a self-extractor
    // program in front of the archive).
    int64_t SfxPrefixSize() const { return sfxPrefixSize_; }
    bool StructureError() const { return structureError_; }
    int LastDiskNumber() const { return lastDiskNumber_; }
    int CurrentDisk() const { return currentDisk_; }
    const std::string& VolumeLabel() const { return volumeLabel_; }
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

    // The host interface; the engine does not own it. nullptr restores the
    // silent default.
    void SetHostUi(HostUi* host);
    HostUi& Host() const { return *host_; }

    // --- Events -------------------------------------------------------------
    std::function<void()> OnDirUpdate;
    std::function<void(int seqNo, const ZipDirEntry& entry)> OnNewName;
    std::function<void(int errCode, const std::string& message)> OnMessage;

private:
    void ReadDirectory();
    void ReadCentralDirectory(const EocdRecord& eocd);
    void ReadZip64End(EocdRecord& eocd);
    void CheckDrive();
    void OpenPartForReading(int disk);
    void WriteComment(const std::string& raw);

    std::string zipFileName_;
    std::vector<ZipDirEntry> dirEntries_;
    std::string rawComment_;
    int64_t sfxPrefixSize_ = 0;
    int64_t endOfDirOffset_ = 0;
    int64_t logicalSize_ = 0;
    int64_t physicalSize_ = 0;
    int64_t centralOffset_ = 0;
    bool structureError_ = false;
    int lastDiskNumber_ = 0;
    int currentDisk_ = 0;
    std::string volumeLabel_;
    std::string spanDrive_;   // root of the archive's drive, ending in "/"
    std::string spanInName_;  // the file being read (a part of a set may differ
                              // from ZipFileName)
    ArchiveFile inFile_;
    // The central header read last steers the conversion of names and of the
    // archive comment; before any, FAT rules apply.
    uint8_t lastHost_ = 0;
    uint8_t lastVersion_ = 0;
    uint16_t lastFlags_ = 0;

    int errorsReported_ = 0;
    int64_t diskFree_ = -1;
    int64_t diskSize_ = -1;

    SilentHostUi silentHost_;
    HostUi* host_ = &silentHost_;
};

}  // namespace engine
