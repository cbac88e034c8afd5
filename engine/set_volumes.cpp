// The disks and parts of a multi-part set. Kelp numbers the parts of a set
// on a fixed drive in front of the extension (data001.zip, data002.zip, ...),
// the common command-line zip tool in the extension (data.z01, data.z02, ...,
// the last one data.zip).
#include "engine/set_volumes.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/ezip_engine.h"
#include "engine/zip_messages.h"

namespace kelp::engine {

namespace {

// ".z" (or ".Z") and at least two digits.
bool IsSplitPartExtension(const std::string& ext) {
    return ext.size() >= 4 && (ext[1] == 'z' || ext[1] == 'Z') &&
           std::all_of(ext.begin() + 2, ext.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A part of a set named by the command-line tool: a ".z01"-style part, or
// the last part beside its ".z01".
bool IsSplitPartName(const std::filesystem::path& p) {
    const std::string ext = p.extension().string();
    if (IsSplitPartExtension(ext)) return true;
    if (ext.size() != 4 || strcasecmp(ext.c_str(), ".zip") != 0) return false;
    std::filesystem::path first = p;
    std::error_code ec;
    return std::filesystem::exists(first.replace_extension(ext[1] == 'Z' ? ".Z01" : ".z01"), ec);
}

// The disk number a "PKBACK# nnn" volume label names, 0 for any other label.
int DiskNumberFromLabel(const std::string& label) {
    static const std::string kPrefix = "PKBACK# ";
    if (label.rfind(kPrefix, 0) != 0) return 0;
    const std::string digits = label.substr(kPrefix.size(), 3);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return 0;
    return std::stoi(digits);
}

}  // namespace

bool IsFixedDrive(platform::DriveType type) {
    return type == platform::DriveType::Fixed || type == platform::DriveType::Remote;
}

std::string ThreeDigits(int n) {
    const std::string text = std::to_string(n + 1001);
    return text.substr(text.size() - 3);
}

std::string PartFileName(const std::string& path, int part, int lastPart) {
    std::filesystem::path p(path);
    const std::string ext = p.extension().string();
    if (IsSplitPartName(p)) {
        const bool upper = ext[1] == 'Z';
        if (part == lastPart) return p.replace_extension(upper ? ".ZIP" : ".zip").string();
        const std::string number = std::to_string(part + 1);
        return p
            .replace_extension((upper ? ".Z" : ".z") + std::string(number.size() < 2 ? "0" : "") +
                               number)
            .string();
    }
    std::string stem = p.stem().string();
    stem.erase(stem.size() - std::min<size_t>(3, stem.size()));
    return (p.parent_path() / (stem + ThreeDigits(part) + ext)).string();
}

int PartNumberInName(const std::string& path) {
    const std::filesystem::path p(path);
    const std::string ext = p.extension().string();
    std::string digits = IsSplitPartExtension(ext) ? ext.substr(2) : p.stem().string();
    digits.erase(0, digits.size() - std::min<size_t>(3, digits.size()));
    const bool number = !digits.empty() && std::all_of(digits.begin(), digits.end(), ::isdigit);
    return number && (digits.size() == 3 || IsSplitPartExtension(ext)) ? std::stoi(digits) : 0;
}

std::string SpanPartName(const std::string& target, int part) {
    const std::filesystem::path p(target);
    return (p.parent_path() / (p.stem().string() + ThreeDigits(part) + p.extension().string()))
        .string();
}

bool ReadArchiveEnd(ArchiveFile& file, ArchiveEnd& out) {
    const int64_t size = file.Size();
    if (size < 0) throw EZipEngine(MsgId::InputSeekError, true);
    switch (kelp::zip::FindArchiveEnd(file, static_cast<uint64_t>(size), out)) {
        case kelp::zip::EndSearch::Found:
            return true;
        case kelp::zip::EndSearch::NotFound:
            return false;
        case kelp::zip::EndSearch::ReadFailed:
            break;
    }
    throw EZipEngine(MsgId::EndRecordReadError, true);
}

bool OpenArchiveEnd(ArchiveFile& file, const std::string& path, const std::string& label,
                    bool raiseOnFailure, ArchiveEnd& end,
                    const std::function<void(int, const std::string&)>& show) {
    if (!file.Open(path, ArchiveFile::Mode::Read)) {
        if (raiseOnFailure) throw EZipEngine(MsgId::InputMissing, true);
        if (show) show(MsgId::ZipOpenFailed, {});
        return false;
    }
    const int labelDisk = DiskNumberFromLabel(label);
    if (ReadArchiveEnd(file, end)) {
        if (end.garbageBehind && show) show(MsgId::TrailingGarbage, {});
        return true;
    }
    if (!raiseOnFailure) return false;
    if (!end.firstPartOfSet && labelDisk != 0) throw EZipEngine(MsgId::NthDiskOfSet, labelDisk);
    if (end.firstPartOfSet && labelDisk == 1) throw EZipEngine(MsgId::FirstDiskOfSet, true);
    if (end.firstPartOfSet) throw EZipEngine(MsgId::FirstFileOfSet, true);
    throw EZipEngine(MsgId::NotAZipArchive, true);
}

SetVolumes::SetVolumes(HostUi& host, Volume* removableDrive, SetSettings settings,
                       std::function<void(int, const std::string&)> show)
    : host_(host), removableDrive_(removableDrive), settings_(settings), show_(std::move(show)) {}

void SetVolumes::StartReading(const std::string& drivePath, const std::string& partName) {
    driveRoot_ = platform::DriveRoot(drivePath);
    partName_ = partName;
    writing_ = false;
}

void SetVolumes::StartWriting(const std::string& target, int64_t setSize) {
    driveRoot_ = platform::DriveRoot(target);
    partName_.clear();
    writing_ = true;
    setSize_ = setSize;
    currentDisk_ = 0;
    newDiskNeeded_ = true;
}

bool SetVolumes::OpenArchiveEnd(ArchiveEnd& end, bool raiseOnFailure) {
    return engine::OpenArchiveEnd(file_, partName_, label_, raiseOnFailure, end, show_);
}

Volume& SetVolumes::Drive() {
    if (removableDrive_ && driveRoot_.rfind(removableDrive_->Root(), 0) == 0)
        return *removableDrive_;
    if (!localVolume_ || localVolume_->Root() != driveRoot_)
        localVolume_ = std::make_unique<LocalVolume>(driveRoot_);
    return *localVolume_;
}

bool SetVolumes::CheckDrive() {
    diskSize_ = diskFree_ = 0;
    label_.clear();
    if (!platform::DriveExists(driveRoot_)) throw EZipEngine(MsgId::DriveNotDefined, driveRoot_);
    Volume& volume = Drive();
    switch (volume.ReadInfo(label_, serial_)) {
        case Volume::Info::Read:
            volume.QuerySpace(diskFree_, diskSize_);
            return diskSize_ != -1 || IsFixedDrive(volume.Type());
        case Volume::Info::Unformatted:
            return settings_.eraseDisks;
        case Volume::Info::NoDisk:
            break;
    }
    return false;
}

platform::DriveType SetVolumes::DiskPrompt() {
    host_.ProcessPendingMessages();
    const platform::DriveType type = Drive().Type();
    Answer answer = Answer::Ok;
    for (;;) {
        if (answer == Answer::Ok) {
            if (CheckDrive() && !newDiskNeeded_) break;
        } else if (!newDiskNeeded_) {
            break;
        }
        if (IsFixedDrive(type)) {
            newDiskNeeded_ = false;
            break;
        }
        if (settings_.unattended) throw EZipEngine(MsgId::UnattendedSpanning, true);

        std::string text;
        if (currentDisk_ < 0) {
            text = LookupMessage(MsgId::InsertLastDisk, "Please insert last disk in set");
        } else if (writing_) {
            int64_t volume = diskSize_;
            if (settings_.maxVolumeSize > 0 && settings_.maxVolumeSize < volume)
                volume = settings_.maxVolumeSize;
            lastDisk_ = currentDisk_;
            if (volume > 0) {
                const int64_t estimate = (setSize_ + 4 + settings_.keepFreeOnDisk1) / volume;
                if (estimate > lastDisk_) lastDisk_ = static_cast<int>(estimate);
                text = FormatMessageText(
                    LookupMessage(MsgId::InsertDiskOf, MissingMessageText(MsgId::InsertDiskOf)),
                    {currentDisk_ + 1LL, lastDisk_ + 1LL});
            } else {
                text = FormatMessageText(
                    LookupMessage(MsgId::InsertDisk, MissingMessageText(MsgId::InsertDisk)),
                    {currentDisk_ + 1LL});
            }
        } else {
            text = FormatMessageText(
                LookupMessage(MsgId::InsertDiskOf, MissingMessageText(MsgId::InsertDiskOf)),
                {currentDisk_ + 1LL, lastDisk_ + 1LL});
        }
        text += FormatMessageText(LookupMessage(MsgId::InDrive, "\r\nin drive: %s"), {driveRoot_});
        answer = host_.AskQuestion("Kelp", text, Buttons::OkCancel);
        newDiskNeeded_ = false;
    }
    if (answer != Answer::Ok) throw EZipEngine(MsgId::UserCanceled, false);
    return type;
}

bool SetVolumes::PartCheck(platform::DriveType type) {
    if (IsFixedDrive(type)) {
        partName_ = PartFileName(partName_, currentDisk_, lastDisk_);
        return true;
    }
    return label_ == "PKBACK# " + ThreeDigits(currentDisk_);
}

void SetVolumes::OpenPartForReading(int disk) {
    file_.Close();
    currentDisk_ = disk;
    for (;;) {
        platform::DriveType type;
        do {
            newDiskNeeded_ = true;
            type = DiskPrompt();
        } while (!PartCheck(type));
        if (file_.Open(partName_, ArchiveFile::Mode::Read)) return;
        if (IsFixedDrive(type)) throw EZipEngine(MsgId::SetPartMissing, partName_);
        if (show_) show_(MsgId::InputMissing, {});
    }
}

}  // namespace kelp::engine
