// The drive check, the disk prompt and the opening of parts of a multi-part
// set. A set on a fixed drive is a row of numbered part files (data001.zip,
// data002.zip, ...) and needs no prompts; on a removable drive every part has
// the same name on its own disk, labelled "PKBACK# 001" onwards.
#include <filesystem>

#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "platform/volume.h"

namespace engine {

namespace {

bool IsFixed(platform::DriveType type) {
    return type == platform::DriveType::Fixed || type == platform::DriveType::Remote;
}

}  // namespace

std::string ThreeDigits(int n) {
    const std::string text = std::to_string(n + 1001);
    return text.substr(text.size() - 3);
}

std::string PartFileName(const std::string& path, int part) {
    const std::filesystem::path p(path);
    const std::string ext = p.extension().string();
    std::string stem = p.stem().string();
    stem.erase(stem.size() - std::min<size_t>(3, stem.size()));
    return (p.parent_path() / (stem + ThreeDigits(part) + ext)).string();
}

void ZipEngine::SetRemovableDrive(Volume* drive) { removableDrive_ = drive; }

Volume& ZipEngine::DriveVolume() {
    if (removableDrive_ && spanDrive_.rfind(removableDrive_->Root(), 0) == 0) return *removableDrive_;
    if (!localVolume_ || localVolume_->Root() != spanDrive_)
        localVolume_ = std::make_unique<LocalVolume>(spanDrive_);
    return *localVolume_;
}

bool ZipEngine::CheckDrive() {
    diskSize_ = diskFree_ = 0;
    volumeLabel_.clear();
    if (!platform::DriveExists(spanDrive_)) throw EZipEngine(MsgId::DriveNotDefined, spanDrive_);
    Volume& volume = DriveVolume();
    switch (volume.ReadInfo(volumeLabel_, volumeSerial_)) {
        case Volume::Info::Read:
            volume.QuerySpace(diskFree_, diskSize_);
            return diskSize_ != -1 || IsFixed(volume.Type());
        case Volume::Info::Unformatted:
            return AddOptions.Has(AddDiskSpanErase);
        case Volume::Info::NoDisk:
            break;
    }
    return false;
}

platform::DriveType ZipEngine::DiskPrompt() {
    host_->ProcessPendingMessages();
    const platform::DriveType type = DriveVolume().Type();
    Answer answer = Answer::Ok;
    for (;;) {
        if (answer == Answer::Ok) {
            if (CheckDrive() && !newDiskNeeded_) break;
        } else if (!newDiskNeeded_) {
            break;
        }
        if (IsFixed(type)) {
            newDiskNeeded_ = false;
            break;
        }
        if (Unattended) throw EZipEngine(MsgId::UnattendedSpanning, true);

        std::string text;
        if (currentDisk_ < 0) {
            text = LookupMessage(MsgId::InsertLastDisk, "Please insert last disk in set");
        } else if (writingSpan_) {
            int64_t volume = diskSize_;
            if (MaxVolumeSize > 0 && MaxVolumeSize < volume) volume = MaxVolumeSize;
            lastDiskNumber_ = currentDisk_;
            if (volume > 0) {
                const int64_t estimate = (logicalSize_ + 4 + KeepFreeOnDisk1) / volume;
                if (estimate > lastDiskNumber_) lastDiskNumber_ = static_cast<int>(estimate);
                text = FormatMessageText(
                    LookupMessage(MsgId::InsertDiskOf, MissingMessageText(MsgId::InsertDiskOf)),
                    {currentDisk_ + 1LL, lastDiskNumber_ + 1LL});
            } else {
                text = FormatMessageText(
                    LookupMessage(MsgId::InsertDisk, MissingMessageText(MsgId::InsertDisk)),
                    {currentDisk_ + 1LL});
            }
        } else {
            text = FormatMessageText(
                LookupMessage(MsgId::InsertDiskOf, MissingMessageText(MsgId::InsertDiskOf)),
                {currentDisk_ + 1LL, lastDiskNumber_ + 1LL});
        }
        text += FormatMessageText(LookupMessage(MsgId::InDrive, "\r\nin drive: %s"), {spanDrive_});
        answer = host_->AskQuestion("Kelp", text, Buttons::OkCancel);
        newDiskNeeded_ = false;
    }
    if (answer != Answer::Ok) throw EZipEngine(MsgId::UserCanceled, false);
    return type;
}

bool ZipEngine::PartCheck(platform::DriveType type) {
    if (IsFixed(type)) {
        spanInName_ = PartFileName(spanInName_, currentDisk_);
        return true;
    }
    return volumeLabel_ == "PKBACK# " + ThreeDigits(currentDisk_);
}

void ZipEngine::OpenPartForReading(int disk) {
    inFile_.Close();
    currentDisk_ = disk;
    for (;;) {
        platform::DriveType type;
        do {
            newDiskNeeded_ = true;
            type = DiskPrompt();
        } while (!PartCheck(type));
        if (inFile_.Open(spanInName_, ArchiveFile::Mode::Read)) return;
        if (IsFixed(type)) throw EZipEngine(MsgId::InputMissing, true);
        ShowEngineMessage(MsgId::InputMissing);
    }
}

}  // namespace engine
