// A removable drive simulated in a folder, for tests and demonstrations of
// the disk-by-disk flow. Its layout:
//   DRIVE/slot/          the files of the disk in the drive (empty: no disk)
//   DRIVE/shelf/NAME/    the disks outside the drive
// Each disk folder holds ".disk" with its label, capacity and formatted flag;
// the rest are the disk's files. Inserting a disk swaps folders, so the
// engine reads and writes ordinary files under DRIVE/slot/.
#pragma once

#include <string>
#include <vector>

#include "engine/volume.h"

namespace kelp::engine {

class SimulatedDrive : public Volume {
  public:
    // Opens (creating when missing) the drive folder.
    explicit SimulatedDrive(std::string folder);

    // Puts a new blank disk on the shelf.
    void AddDisk(const std::string& name, int64_t capacity, bool formatted = true,
                 const std::string& label = "");
    // Takes the disk in the drive out and puts `name` in ("" leaves it empty).
    void Insert(const std::string& name);
    // The name of the disk in the drive, "" for none.
    std::string Inserted() const;
    // Path of a file on a disk, wherever the disk is.
    std::string DiskFile(const std::string& disk, const std::string& file) const;
    std::string DiskLabel(const std::string& disk) const;
    // What Format answers next (-2 for a cancel, -1 for a failure).
    int formatAnswer = 0;

    std::string Root() const override;
    platform::DriveType Type() const override { return platform::DriveType::Removable; }
    Info ReadInfo(std::string& label, uint32_t& serial) override;
    bool QuerySpace(int64_t& freeBytes, int64_t& totalBytes) override;
    bool SetLabel(const std::string& label) override;
    int Format(const std::string& label) override;

  private:
    struct DiskInfo {
        std::string name;
        std::string label;
        int64_t capacity = 0;
        bool formatted = true;
    };
    std::string DiskFolder(const std::string& name) const;
    static DiskInfo ReadDiskInfo(const std::string& folder);
    static void WriteDiskInfo(const std::string& folder, const DiskInfo& info);

    std::string folder_;
};

}  // namespace kelp::engine
