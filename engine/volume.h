// A drive as the engine sees it when reading and writing multi-part sets.
// Local folders are fixed drives (parts become numbered files, no labels); a
// removable drive holds one disk at a time, each with a label.
#pragma once

#include <cstdint>
#include <string>

#include "platform/volume.h"

namespace kelp::engine {

class Volume {
  public:
    enum class Info { Read, NoDisk, Unformatted };

    virtual ~Volume() = default;

    // The folder the drive's files are in, ending in "/".
    virtual std::string Root() const = 0;
    virtual platform::DriveType Type() const = 0;
    // Label and serial number of the disk in the drive.
    virtual Info ReadInfo(std::string& label, uint32_t& serial) = 0;
    // Free and total bytes; false (both -1) when unknown.
    virtual bool QuerySpace(int64_t& freeBytes, int64_t& totalBytes) = 0;
    virtual bool SetLabel(const std::string& label) = 0;
    // Empties the disk and labels it: -2 cancelled by the user, -1 failed,
    // anything else done.
    virtual int Format(const std::string& label) = 0;
};

// A local folder.
class LocalVolume : public Volume {
  public:
    explicit LocalVolume(std::string root) : root_(std::move(root)) {}
    std::string Root() const override { return root_; }
    platform::DriveType Type() const override { return platform::TypeOfDrive(root_); }
    Info ReadInfo(std::string& label, uint32_t& serial) override {
        label.clear();
        serial = 0;
        return platform::DriveExists(root_) ? Info::Read : Info::NoDisk;
    }
    bool QuerySpace(int64_t& freeBytes, int64_t& totalBytes) override {
        return platform::QuerySpace(root_, freeBytes, totalBytes);
    }
    bool SetLabel(const std::string&) override { return false; }
    int Format(const std::string&) override { return -1; }

  private:
    std::string root_;
};

}  // namespace kelp::engine
