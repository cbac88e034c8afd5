#include "engine/simulated_drive.h"

#include <filesystem>
#include <fstream>

namespace kelp::engine {

namespace fs = std::filesystem;

namespace {

constexpr const char* kInfoFile = ".disk";

}  // namespace

SimulatedDrive::SimulatedDrive(std::string folder) : folder_(std::move(folder)) {
    fs::create_directories(fs::path(folder_) / "slot");
    fs::create_directories(fs::path(folder_) / "shelf");
}

std::string SimulatedDrive::Root() const {
    return (fs::path(folder_) / "slot").string() + "/";
}

SimulatedDrive::DiskInfo SimulatedDrive::ReadDiskInfo(const std::string& folder) {
    DiskInfo info;
    std::ifstream in(fs::path(folder) / kInfoFile);
    std::getline(in, info.name);
    std::getline(in, info.label);
    int formatted = 1;
    in >> info.capacity >> formatted;
    info.formatted = formatted != 0;
    return info;
}

void SimulatedDrive::WriteDiskInfo(const std::string& folder, const DiskInfo& info) {
    std::ofstream out(fs::path(folder) / kInfoFile, std::ios::trunc);
    out << info.name << '\n'
        << info.label << '\n'
        << info.capacity << ' ' << (info.formatted ? 1 : 0) << '\n';
}

void SimulatedDrive::AddDisk(const std::string& name, int64_t capacity, bool formatted,
                             const std::string& label) {
    const fs::path disk = fs::path(folder_) / "shelf" / name;
    fs::create_directories(disk);
    WriteDiskInfo(disk.string(), DiskInfo{name, label, capacity, formatted});
}

std::string SimulatedDrive::Inserted() const {
    std::error_code ec;
    if (!fs::exists(fs::path(Root()) / kInfoFile, ec)) return {};
    return ReadDiskInfo(Root()).name;
}

std::string SimulatedDrive::DiskFolder(const std::string& name) const {
    if (!name.empty() && Inserted() == name) return Root();
    return (fs::path(folder_) / "shelf" / name).string();
}

void SimulatedDrive::Insert(const std::string& name) {
    const fs::path slot = fs::path(folder_) / "slot";
    const std::string current = Inserted();
    if (!current.empty()) {
        fs::rename(slot, fs::path(folder_) / "shelf" / current);
        fs::create_directories(slot);
    }
    if (!name.empty()) {
        fs::remove(slot);
        fs::rename(fs::path(folder_) / "shelf" / name, slot);
    }
}

std::string SimulatedDrive::DiskFile(const std::string& disk, const std::string& file) const {
    return (fs::path(DiskFolder(disk)) / file).string();
}

std::string SimulatedDrive::DiskLabel(const std::string& disk) const {
    return ReadDiskInfo(DiskFolder(disk)).label;
}

Volume::Info SimulatedDrive::ReadInfo(std::string& label, uint32_t& serial) {
    label.clear();
    serial = 0;
    const std::string disk = Inserted();
    if (disk.empty()) return Info::NoDisk;
    const DiskInfo info = ReadDiskInfo(Root());
    if (!info.formatted) return Info::Unformatted;
    label = info.label;
    serial = static_cast<uint32_t>(std::hash<std::string>{}(disk));
    return Info::Read;
}

bool SimulatedDrive::QuerySpace(int64_t& freeBytes, int64_t& totalBytes) {
    freeBytes = totalBytes = -1;
    if (Inserted().empty()) return false;
    const DiskInfo info = ReadDiskInfo(Root());
    int64_t used = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Root()))
        if (entry.is_regular_file() && entry.path().filename() != kInfoFile)
            used += static_cast<int64_t>(entry.file_size());
    totalBytes = info.capacity;
    freeBytes = std::max<int64_t>(0, info.capacity - used);
    return true;
}

bool SimulatedDrive::SetLabel(const std::string& label) {
    if (Inserted().empty()) return false;
    DiskInfo info = ReadDiskInfo(Root());
    if (!info.formatted) return false;
    info.label = label;
    WriteDiskInfo(Root(), info);
    return true;
}

int SimulatedDrive::Format(const std::string& label) {
    if (formatAnswer < 0 || Inserted().empty()) return formatAnswer < 0 ? formatAnswer : -1;
    DiskInfo info = ReadDiskInfo(Root());
    for (const auto& entry : fs::directory_iterator(Root()))
        if (entry.path().filename() != kInfoFile) fs::remove_all(entry.path());
    info.formatted = true;
    info.label = label;
    WriteDiskInfo(Root(), info);
    return 0;
}

}  // namespace kelp::engine
