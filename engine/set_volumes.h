// The disks and parts of a multi-part set: which drive the set is on, which
// part is in hand, the disk prompt and the opening of parts. A set on a fixed
// drive is a row of numbered part files and needs no prompts; on a removable
// drive every part has the same name on its own disk, labelled "PKBACK# 001"
// onwards.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/archive_file.h"
#include "engine/host_ui.h"
#include "engine/volume.h"
#include "libs/zipcore/archive_end.h"
#include "platform/volume.h"

namespace kelp::engine {

using kelp::zip::ArchiveEnd;
using kelp::zip::CentralDirectoryStart;
using kelp::zip::EocdRecord;

// Finds the end of the archive `file` (see kelp::zip::FindArchiveEnd):
// false when there is none; a read failure raises EZipEngine.
bool ReadArchiveEnd(ArchiveFile& file, ArchiveEnd& out);

// The name of part `part` of the set on a fixed drive that `path` (any of
// its parts) belongs to, `lastPart` being the number of the last part: the
// three characters in front of the extension replaced by the part number as
// three digits, or for a set of the command-line zip tool the extension
// ".z01", ".z02", ... and ".zip" for the last part.
std::string PartFileName(const std::string& path, int part, int lastPart);
// The part number (from 1) that a part's file name carries: the three digits
// in front of the extension, or those of a ".z01" extension; 0 for none.
int PartNumberInName(const std::string& path);
// Part number n as three digits: the last three of n + 1001 (0 gives "001").
std::string ThreeDigits(int n);
// The name of part `part` of a set written to `target` on a fixed drive: the
// part number as three digits in front of the extension (data.zip ->
// data001.zip).
std::string SpanPartName(const std::string& target, int part);
// Fixed and network drives hold a set as numbered part files.
bool IsFixedDrive(platform::DriveType type);

// The engine settings the disks of a set are handled by.
struct SetSettings {
    bool unattended = false;      // Unattended: no disk prompts
    bool eraseDisks = false;      // AddDiskSpanErase: unformatted disks are taken and formatted
    int64_t maxVolumeSize = 0;    // MaxVolumeSize, 0 for no limit
    int64_t keepFreeOnDisk1 = 0;  // KeepFreeOnDisk1
    int64_t minFreeVolumeSize = 65536;  // MinFreeVolumeSize
};

// Opens `path` into `file` and finds the archive's end. When there is none,
// raises with `raiseOnFailure` (naming the disk a "PKBACK# nnn" `label`
// gives, or the first part of a set) and otherwise returns false; a file
// that does not open is reported through `show` when not raising.
bool OpenArchiveEnd(ArchiveFile& file, const std::string& path, const std::string& label,
                    bool raiseOnFailure, ArchiveEnd& end,
                    const std::function<void(int, const std::string&)>& show);

class SetVolumes {
  public:
    // `removableDrive` (not owned, may be null) holds the disks of sets under
    // its root; every other folder is a local drive. `show` shows a message
    // by id with extra text.
    SetVolumes(HostUi& host, Volume* removableDrive, SetSettings settings,
               std::function<void(int, const std::string&)> show);
    SetVolumes(const SetVolumes&) = delete;
    SetVolumes& operator=(const SetVolumes&) = delete;

    // Reads the set on the drive of `drivePath` starting with the part
    // `partName`.
    void StartReading(const std::string& drivePath, const std::string& partName);
    // Writes a set of about `setSize` bytes to `target`: a disk is asked
    // for first, and the prompts count the disks.
    void StartWriting(const std::string& target, int64_t setSize);

    // The drive the set is on.
    Volume& Drive();
    // Reads label, serial and space of the disk in the drive: true when a
    // disk is there to use.
    bool CheckDrive();
    // Asks for a disk until one is in (or a new one, after NeedNewDisk) and
    // gives the drive's type; raises when cancelled or Unattended.
    platform::DriveType DiskPrompt();
    // Names the current part on a fixed drive (true), or says whether the
    // disk in a removable drive is labelled as the current part.
    bool PartCheck(platform::DriveType type);
    // Opens part `disk` of the set for reading (asking for its disk).
    void OpenPartForReading(int disk);
    // Opens the current part and finds its end; see the free function.
    bool OpenArchiveEnd(ArchiveEnd& end, bool raiseOnFailure);

    // The part being read.
    ArchiveFile& File() { return file_; }
    const std::string& PartName() const { return partName_; }
    const std::string& DriveRoot() const { return driveRoot_; }
    const SetSettings& Settings() const { return settings_; }
    int CurrentDisk() const { return currentDisk_; }
    void SetCurrentDisk(int disk) { currentDisk_ = disk; }
    int LastDisk() const { return lastDisk_; }
    void SetLastDisk(int disk) { lastDisk_ = disk; }
    const std::string& Label() const { return label_; }
    void SetLabelRead(const std::string& label) { label_ = label; }
    // The next DiskPrompt asks for another disk (true) or takes the one in
    // the drive (false).
    void NeedNewDisk(bool needed) { newDiskNeeded_ = needed; }

  private:
    HostUi& host_;
    Volume* removableDrive_;
    std::unique_ptr<LocalVolume> localVolume_;
    SetSettings settings_;
    std::function<void(int, const std::string&)> show_;

    std::string driveRoot_;  // root of the set's drive, ending in "/"
    std::string partName_;   // the part being read
    ArchiveFile file_;
    int currentDisk_ = 0;
    int lastDisk_ = 0;
    std::string label_;
    uint32_t serial_ = 0;
    int64_t diskFree_ = -1;
    int64_t diskSize_ = -1;
    bool newDiskNeeded_ = false;
    bool writing_ = false;
    int64_t setSize_ = 0;
};

}  // namespace kelp::engine
