#include "engine/zip_engine.h"

#include "engine/span_reader.h"
#include "engine/span_writer.h"
#include "engine/zip_messages.h"
#include "platform/folders.h"

namespace kelp::engine {

namespace {

// Warnings and notices that do not mean an operation failed.
bool IsWarning(int id) {
    return id == MsgId::StructureWarning || id == MsgId::TrailingGarbage ||
           id == MsgId::ZipLibLoaded || id == MsgId::UnzipLibLoaded;
}

constexpr size_t kPasswordMaxLength = 80;

}  // namespace

ZipEngine::ZipEngine() : volumes_(MakeVolumes()) {}
ZipEngine::~ZipEngine() = default;

void ZipEngine::setZipFileName(const std::string& name) {
    zipFileName_ = name;
    List();
}

std::string ZipEngine::TempFolder() const {
    return TempDir.empty() ? platform::TempFolder() : platform::WithTrailingSlash(TempDir);
}

const std::string& ZipEngine::NameCharsetNow() const {
    const auto chosen = ArchiveNameCharsets.find(zipFileName_);
    return chosen == ArchiveNameCharsets.end() ? NameCharset : chosen->second;
}

void ZipEngine::SetHostUi(HostUi* host) {
    host_ = host ? host : &silentHost_;
}

void ZipEngine::ShowEngineMessage(int id, const std::string& extra) {
    const std::string text = LookupMessage(id, MissingMessageText(id)) + extra;
    if (!IsWarning(id)) ++errorsReported_;
    if (!Unattended) host_->ShowMessage(text);
    if (OnMessage) OnMessage(0, text);
}

void ZipEngine::ReportEngineError(const EZipEngine& error) {
    if (!IsWarning(error.MessageId)) ++errorsReported_;
    if (error.ShowToUser && !Unattended) host_->ShowMessage(error.what());
    if (OnMessage) OnMessage(0, error.what());
}

int ZipEngine::AskPassword(const std::string& title, const std::string& prompt,
                           std::string& password) {
    std::string entered;
    if (host_->PasswordDialog(title, prompt, entered)) {
        // The dialog's edit holds at most 80 characters.
        password = entered.substr(0, kPasswordMaxLength);
        return 1;
    }
    password.clear();
    return 0;
}

std::string ZipEngine::AddPasswordPrompt() {
    if (Unattended) {
        ShowEngineMessage(MsgId::NoAddPassword);
        return {};
    }
    const std::string title = LookupMessage(MsgId::PasswordTitle, kMissingMessagePrefix);
    std::string first;
    if (AskPassword(title,
                    LookupMessage(MsgId::EnterPassword, MissingMessageText(MsgId::EnterPassword)),
                    first) != 1 ||
        first.empty())
        return {};
    std::string second;
    if (AskPassword(
            title,
            LookupMessage(MsgId::ConfirmPassword, MissingMessageText(MsgId::ConfirmPassword)),
            second) != 1 ||
        second.empty())
        return {};
    if (first != second) {
        ShowEngineMessage(MsgId::PasswordsDiffer);
        return {};
    }
    return second;
}

std::string ZipEngine::ExtractPasswordPrompt() {
    if (Unattended) {
        ShowEngineMessage(MsgId::NoExtractPassword);
        return {};
    }
    std::string password;
    AskPassword(LookupMessage(MsgId::PasswordTitle, kMissingMessagePrefix),
                LookupMessage(MsgId::EnterPassword, MissingMessageText(MsgId::EnterPassword)),
                password);
    return password;
}

}  // namespace kelp::engine

namespace kelp::engine {

SfxSettings ZipEngine::SfxSettingsNow() const {
    return {SFXOptions,     SFXOverWriteMode, SFXCaption, SFXDefaultDir,
            SFXCommandLine, SFXMessage,       SFXIcon};
}

void ZipEngine::SetSfxSettings(const SfxSettings& s) {
    SFXOptions = s.options;
    SFXOverWriteMode = s.overwrite;
    SFXCaption = s.caption;
    SFXDefaultDir = s.defaultDir;
    SFXCommandLine = s.commandLine;
    SFXMessage = s.message;
    SFXIcon = s.icon;
}

SfxConverter ZipEngine::MakeSfxConverter() {
    return SfxConverter(
        *host_, [this](int id, const std::string& extra) { ShowEngineMessage(id, extra); },
        [this](const std::string& path) { return DiscardFile(path); });
}

SfxRequest ZipEngine::SfxRequestNow() const {
    return {zipFileName_, SfxSettingsNow(), SFXPath};
}

int ZipEngine::ConvertToExe(bool newFile) {
    return RunToExe(SfxRequestNow(), newFile, SFXPath);
}

int ZipEngine::Run(const SfxRequest& request) {
    std::string stubFound = request.stubPath;
    return RunToExe(request, false, stubFound);
}

int ZipEngine::RunToExe(const SfxRequest& request, bool newFile, std::string& stubFound) {
    if (const std::optional<MsgId::Id> refused = newFile ? std::nullopt : request.Check()) {
        ShowEngineMessage(*refused);
        return -9;
    }
    std::string outName;
    stubFound = request.stubPath;
    const int code = MakeSfxConverter().ToExe(request.archive, newFile, request.settings, stubFound,
                                              dllDirectory_, outName);
    if (code == 0 && !newFile && request.archive == zipFileName_) setZipFileName(outName);
    return code;
}

SfxToZipRequest ZipEngine::SfxToZipRequestNow() const {
    return {zipFileName_};
}

int ZipEngine::ConvertToZip() {
    SfxSettings settings = SfxSettingsNow();
    const int code = Run(SfxToZipRequestNow(), &settings);
    // The program's settings are taken even when its archive could not be written.
    SetSfxSettings(settings);
    return code;
}

int ZipEngine::Run(const SfxToZipRequest& request, SfxSettings* settings) {
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        return -3;
    }
    // The length of the program in front of the archive is read with its
    // directory; a directory that cannot be read has been reported.
    if (request.program != zipFileName_) setZipFileName(request.program);
    if (request.program != zipFileName_) return -3;
    SfxSettings read;
    std::string outName;
    const int code = MakeSfxConverter().ToZip(request.program, sfxPrefixSize_,
                                              settings ? *settings : read, outName);
    if (code == 0) setZipFileName(outName);
    return code;
}

}  // namespace kelp::engine

namespace kelp::engine {

void ZipEngine::SetRemovableDrive(Volume* drive) {
    removableDrive_ = drive;
}

std::unique_ptr<SetVolumes> ZipEngine::MakeVolumes() {
    return MakeVolumes({MaxVolumeSize, KeepFreeOnDisk1, MinFreeVolumeSize},
                       AddOptions.Has(AddDiskSpanErase));
}

std::unique_ptr<SetVolumes> ZipEngine::MakeVolumes(const VolumeSizes& sizes, bool eraseDisks) {
    const SetSettings settings{Unattended, eraseDisks, sizes.maxVolumeSize, sizes.keepFreeOnDisk1,
                               sizes.minFreeVolumeSize};
    return std::make_unique<SetVolumes>(
        *host_, removableDrive_, settings,
        [this](int id, const std::string& extra) { ShowEngineMessage(id, extra); });
}

JobSink ZipEngine::MakeJobSink() {
    JobSink sink;
    sink.show = [this](int id, const std::string& extra) { ShowEngineMessage(id, extra); };
    sink.reportError = [this](const EZipEngine& error) { ReportEngineError(error); };
    sink.message = [this](const std::string& text) {
        if (OnMessage) OnMessage(0, text);
    };
    sink.progress = [this](ProgressType type, const std::string& fileName, int64_t size) {
        if (OnProgress) OnProgress(type, fileName, size);
    };
    return sink;
}

int ZipEngine::ReadSpan(const std::string& inFileName, std::string& outFilePath) {
    return Run(JoinRequest{inFileName, outFilePath}, &outFilePath);
}

int ZipEngine::Run(const JoinRequest& request, std::string* joined) {
    std::string path = request.output;
    int code = -7;
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        path.clear();
    } else {
        // Reading a set neither sizes parts nor takes an unformatted disk.
        volumes_ = MakeVolumes(VolumeSizes{}, false);
        code = SpanReader(*volumes_, *host_, MakeJobSink(), CancelRequested,
                          [this](const std::string& file) { return DiscardFile(file); })
                   .Join(request.lastPart, path);
    }
    if (joined) *joined = path;
    return code;
}

SpanRequest ZipEngine::SpanRequestNow(const std::string& input, const std::string& output) const {
    return {input,
            output,
            {MaxVolumeSize, KeepFreeOnDisk1, MinFreeVolumeSize},
            AddOptions.Has(AddDiskSpanErase)};
}

int ZipEngine::WriteSpan(const std::string& inFileName, const std::string& outFileName) {
    return Run(SpanRequestNow(inFileName, outFileName));
}

int ZipEngine::Run(const SpanRequest& request) {
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        return -7;
    }
    // LastDiskNumber still tells whether the listed archive is a set (Extract
    // asks it) unless the disk prompts of the new set count its disks.
    std::unique_ptr<SetVolumes> volumes = MakeVolumes(request.volumes, request.eraseDisks);
    volumes->SetLastDisk(volumes_->LastDisk());
    volumes_ = std::move(volumes);
    return SpanWriter(*volumes_, *host_, MakeJobSink(), CancelRequested)
        .Write(request.input, request.output);
}

}  // namespace kelp::engine
