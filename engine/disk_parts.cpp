// The drive check and the opening of parts of a multi-part archive. On this
// platform an archive's "drive" is the folder that holds it; a set on a fixed
// drive is a row of numbered part files (data001.zip, data002.zip, ...).
#include <filesystem>

#include "engine/zip_engine.h"
#include "platform/volume.h"

namespace engine {

namespace {

// Part number n as three digits: the last three of n + 1001 (0 gives "001").
std::string ThreeDigits(int n) {
    const std::string text = std::to_string(n + 1001);
    return text.substr(text.size() - 3);
}

}  // namespace

std::string PartFileName(const std::string& path, int part) {
    const std::filesystem::path p(path);
    const std::string ext = p.extension().string();
    std::string stem = p.stem().string();
    stem.erase(stem.size() - std::min<size_t>(3, stem.size()));
    return (p.parent_path() / (stem + ThreeDigits(part) + ext)).string();
}

void ZipEngine::CheckDrive() {
    diskSize_ = diskFree_ = 0;
    volumeLabel_.clear();
    if (!platform::DriveExists(spanDrive_)) throw EZipEngine(11004, spanDrive_);
    platform::QuerySpace(spanDrive_, diskFree_, diskSize_);
}

void ZipEngine::OpenPartForReading(int disk) {
    inFile_.Close();
    currentDisk_ = disk;
    spanInName_ = PartFileName(spanInName_, disk);
    if (!inFile_.Open(spanInName_, ArchiveFile::Mode::Read)) throw EZipEngine(11001, true);
}

}  // namespace engine
