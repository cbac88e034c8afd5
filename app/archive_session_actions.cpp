// The session's actions: new, open, add, extract, checkout, test, delete,
// view, the self-extractor conversions, removing the archive files, and the
// archive comment. What they ask of a person goes through SessionUi.
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <map>

#include "archive_session.h"
#include "platform/folders.h"
#include "platform/trash.h"

namespace kelp {

namespace fs = std::filesystem;

namespace {

// Keeps the window's controls other than the halt button disabled while it
// lives, so that an add cannot be disturbed but can still be stopped.
class WindowLock {
  public:
    explicit WindowLock(SessionUi& ui) : ui_(ui) { ui_.LockWindow(true); }
    ~WindowLock() { ui_.LockWindow(false); }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

  private:
    SessionUi& ui_;
};

}  // namespace

void ArchiveSession::ActionNew() {
    const QString chosen = ui_.AskNewArchive(Settings.DefOpen);
    if (!chosen.isEmpty()) {
        if (!QFileInfo::exists(chosen)) {
            Zipfiles = {chosen};
            ui_.ClearListing();
            ui_.ShowTotals();  // the previous archive's totals go
        } else {
            ui_.ShowMessage("File exist, use Open instead!");
        }
    }
    OpenDialogFileName = chosen;
    engine.setZipFileName(chosen.toStdString());
}

void ArchiveSession::ActionOpen() {
    const QStringList chosen = ui_.AskOpenArchives(Settings.DefOpen);
    if (!chosen.isEmpty()) {
        State.CurrentAction = actNone;
        ui_.RememberCurrentArchive();
        OpenDialogFiles = chosen;
        OpenDialogFileName = chosen.first();
        Zipfiles = chosen;
        if (chosen.size() == 1) {
            engine.setZipFileName(chosen.first().toStdString());
            ListArchive();
        } else {
            ui_.ClearListing();
            for (const QString& z : chosen) {
                engine.setZipFileName(z.toStdString());
                ListArchive();
            }
        }
    }
    if (engine.ZipFileName().empty()) Zipfiles.clear();
}

void ArchiveSession::ActionCheckout() {
    const QString folder = MakeCheckoutFolder();
    if (folder.isEmpty()) {
        ui_.ShowMessage("Cannot create a checkout folder in " +
                        QString::fromStdString(platform::TempFolder()));
        return;
    }
    const QStringList archives = Zipfiles;  // the list may not change meanwhile
    for (const QString& z : archives) {
        if (haltRequested_) break;
        engine.setZipFileName(z.toStdString());
        // No members named: every member, also those without a "." in their names.
        TimedExtract({z.toStdString(),
                      {},
                      false,
                      folder.toStdString(),
                      engine::ExtrOpts{engine::ExtrDirNames, engine::ExtrOverWrite},
                      engine.Password});
    }
    shell_.Explore(folder);
}

void ArchiveSession::ActionTest() {
    ui_.ShowProcessViewer();
    engine::ExtractRequest request;
    request.targetDir = TempPath.toStdString();
    request.options = {checkStructure_ ? engine::ExtrCheck : engine::ExtrTest};
    ExtractEachArchive(request, false);
}

void ArchiveSession::ExtractEachArchive(const engine::ExtractRequest& request, bool existingOnly) {
    WriteLogMark(lmStart);
    const QStringList archives = Zipfiles;  // the list may not change meanwhile
    for (const QString& z : archives) {
        // The halt button stops the whole run, not just the current archive.
        if (haltRequested_) break;
        if (existingOnly && !QFileInfo(z).isFile()) continue;
        engine.setZipFileName(z.toStdString());
        // No members named: every member, also those without a "." in their names.
        engine::ExtractRequest each = request;
        each.archive = z.toStdString();
        each.password = engine.Password;  // as the previous archive's members found it
        ui_.ShowHalt(true);
        TimedExtract(each);
        WriteLogMark(lmSeparator);
    }
    WriteLogMark(lmEnd);
}

void ArchiveSession::ActionView(uint32_t record) {
    if (!HaveTempPath()) return;
    const QString file = ui_.OpenMemberCopy(record);
    if (!file.isEmpty()) shell_.Open(QFileInfo(file).fileName(), QFileInfo(file).path() + "/");
}

void ArchiveSession::ActionListArchives() {
    for (int i = 0; i < Zipfiles.size(); ++i)
        ui_.LogAdd(QString("%1 :%2").arg(i + 1).arg(Zipfiles[i]));
    ui_.ShowProcessViewer();
}

void ArchiveSession::ActionShowComment() {
    const QString text = QString::fromStdString(engine.ArchiveComment());
    ui_.ShowMessage(text.isEmpty() ? QString("No Comment avaliable") : text);
}

void ArchiveSession::ActionChangeComment() {
    const QString old = QString::fromStdString(engine.ArchiveComment());
    engine.Run(engine::CommentRequest{engine.ZipFileName(),
                                      ui_.AskComment(old).value_or(old).toStdString()});
}

std::optional<QString> ArchiveSession::ChooseArchive() {
    if (Zipfiles.size() >= 2) return ui_.PickArchive(Zipfiles);
    // One archive needs no question. With none opened (New named a file
    // that exists) the archive the engine names is the one meant.
    return Zipfiles.isEmpty() ? QString::fromStdString(engine.ZipFileName()) : Zipfiles.first();
}

void ArchiveSession::ExpandFolderSources(engine::AddRequest& request, bool subDirs) {
    const std::vector<engine::AddSource> given = std::move(request.sources);
    request.sources.clear();
    bool hiddenPicked = false;
    std::error_code ec;
    for (const engine::AddSource& source : given) {
        // What the user picked is added, a dot-file too.
        const std::string leaf = fs::path(source.path).filename().string();
        if (!leaf.empty() && leaf[0] == '.') hiddenPicked = true;
        request.sources.push_back(source);
        if (fs::is_directory(source.path, ec)) ExpandFolder(request.sources, source, subDirs);
    }
    // The library would pass over the dot-files picked; the hidden entries
    // inside picked folders are left out (and named) by ExpandFolder.
    if (hiddenPicked) request.options.Include(engine::AddHiddenFiles);
}

void ArchiveSession::ExpandFolder(std::vector<engine::AddSource>& sources,
                                  const engine::AddSource& folder, bool subDirs) {
    std::vector<fs::directory_entry> children;
    std::error_code ec;
    for (fs::directory_iterator it(folder.path, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(*it);
    if (ec) {
        ui_.LogAdd(QString::fromStdString("Skipped " + folder.path + ": cannot read the folder (" +
                                          ec.message() + ")"));
        return;
    }
    std::sort(children.begin(), children.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                  return a.path().filename() < b.path().filename();
              });
    for (const fs::directory_entry& child : children) {
        const std::string name = child.path().filename().string();
        // A link to a folder is added as what it points to, never walked.
        const bool folderHere = child.is_directory(ec) && !child.is_symlink(ec);
        if (!name.empty() && name[0] == '.') {
            ui_.LogAdd(QString::fromStdString("Skipped " + child.path().string() + ": hidden " +
                                              (folderHere ? "folder" : "file") +
                                              " inside a picked folder (pick it to add it)"));
            continue;
        }
        engine::AddSource entry{child.path().string(), false, folder.password};
        sources.push_back(entry);
        if (folderHere && subDirs) ExpandFolder(sources, entry, true);
    }
}

void ArchiveSession::AskAddPassword(engine::AddRequest& request, const std::string& prompt) {
    if (!Settings.Addpass) return;
    std::string answer;
    if (engine.AskPassword("Enter Add Password", prompt, answer) == 1)
        request.password = answer.substr(0, 255);
    if (!request.password.empty()) request.options.Include(engine::AddEncrypt);
}

bool ArchiveSession::RunAdd(engine::AddRequest request, const QString& archive) {
    ui_.ShowHalt(true);
    bool ran = true;
    request.archive = archive.toStdString();
    // The cipher chosen on the options dialog, for members given a password.
    request.encryption = Settings.AesAdd ? engine::aeAES256 : engine::aeZipCrypto;
    try {
        engine.Run(request);
    } catch (...) {
        ui_.ShowMessage("DLL Error");
        ran = false;
    }
    ui_.ShowHalt(false);
    // The archive a new name was given to is the opened one from now on.
    if (Zipfiles.isEmpty()) Zipfiles = {archive};
    return ran;
}

void ArchiveSession::ActionAdd() {
    WindowLock lock(ui_);
    std::optional<engine::AddRequest> request = ui_.AskAddSources();
    if (!request) return;
    const std::optional<QString> archive = ChooseArchive();
    if (!archive) return;
    engine.setZipFileName(archive->toStdString());
    if (!ui_.Confirm("File will be added if you press yes now.", true)) return;
    AskAddPassword(*request, "Press cancel if you wont want password.  ");
    ExpandFolderSources(*request, Settings.AddSubDirs);
    ui_.ShowProcessViewer();
    // A halted add ends with the log's "cancelled", not with a count.
    if (RunAdd(*request, *archive) && !haltRequested_)
        ui_.ShowMessage(QString("DONE: Number of files Added: %1").arg(engine.SuccessCount()));
    ListAllArchives();
}

void ArchiveSession::AddDropped(const engine::AddRequest& choices) {
    if (State.Busy) return;
    droppedAdd_ = choices;
    Dispatch(actAddDropped);
    droppedAdd_ = {};
}

void ArchiveSession::ActionAddDropped() {
    engine::AddRequest request = droppedAdd_;
    // Dropped folders come with what lies below them.
    ExpandFolderSources(request, true);
    // Closing the picker without a choice adds nothing anywhere.
    const std::optional<QString> archive = ChooseArchive();
    if (!archive) return;
    AskAddPassword(request, "Press cancel if you wont want password. ");
    engine.setZipFileName(archive->toStdString());
    RunAdd(request, *archive);
    // Every archive again: listing only the changed one would append its
    // records a second time below the others.
    ListAllArchives();
}

engine::ExtrOpts ArchiveSession::ExtractOptions() const {
    engine::ExtrOpts options;
    if (Settings.Extrfold) options.Include(engine::ExtrDirNames);
    if (Settings.Extrover) options.Include(engine::ExtrOverWrite);
    return options;
}

void ArchiveSession::ActionExtractAll(const QString& folder) {
    ui_.ShowProcessViewer();
    engine::ExtractRequest request;
    request.targetDir = folder.toStdString();
    request.options = ExtractOptions();
    ExtractEachArchive(request, true);
}

void ArchiveSession::ActionExtract() {
    if (ui_.SelectedRowCount() == 0) return;
    const std::optional<SessionUi::ExtractTarget> target = ui_.AskExtractTarget();
    if (!target) return;
    ExtractAllFolder = target->folder;
    if (!target->selectedOnly) {
        ActionExtractAll(target->folder);
        return;
    }
    ui_.ShowProcessViewer();
    // The selection is read once: the listing may change while the engine works.
    std::map<QString, std::vector<MemberRef>> chosen;
    for (const QString& z : Zipfiles) chosen[z] = SelectedMembers(z);
    WriteLogMark(lmStart);
    const QStringList archives = Zipfiles;
    for (const QString& z : archives) {
        if (haltRequested_) break;
        if (chosen[z].empty()) continue;
        engine.setZipFileName(z.toStdString());
        ui_.ShowHalt(true);
        if (std::optional<std::vector<std::string>> names = ExactNames(chosen[z]))
            TimedExtract({z.toStdString(), std::move(*names), true, target->folder.toStdString(),
                          ExtractOptions(), engine.Password});
    }
    WriteLogMark(lmEnd);
}

void ArchiveSession::ActionDelete() {
    if (ui_.Confirm("    Are you sure?\nYou may lost this file.", true)) {
        // Each archive gets the names of its own selected members only.
        std::map<QString, std::vector<MemberRef>> chosen;
        for (const QString& z : Zipfiles) chosen[z] = SelectedMembers(z);
        const QStringList archives = Zipfiles;
        for (const QString& z : archives) {
            if (haltRequested_) break;
            if (chosen[z].empty()) continue;
            engine.setZipFileName(z.toStdString());
            std::optional<std::vector<std::string>> names = ExactNames(chosen[z]);
            if (!names) continue;
            ui_.ShowHalt(true);
            try {
                engine.Run(engine::DeleteRequest{z.toStdString(), std::move(*names), true});
            } catch (...) {
                ui_.ShowMessage("DLL Error");
            }
            ui_.ShowHalt(false);
        }
    }
    ListAllArchives();
}

bool ArchiveSession::ActionMakeExe() {
    const std::optional<QString> archive = ChooseArchive();
    const std::optional<engine::SfxSettings> sfx = ui_.AskSfxOptions();
    if (!sfx) return false;
    if (archive) engine.setZipFileName(archive->toStdString());
    ConvertWithCopy(sfx);
    return true;
}

void ArchiveSession::ActionMakeZip() {
    if (const std::optional<QString> archive = ChooseArchive())
        engine.setZipFileName(archive->toStdString());
    ConvertWithCopy(std::nullopt);
}

void ArchiveSession::ConvertWithCopy(const std::optional<engine::SfxSettings>& sfx) {
    const bool toExe = sfx.has_value();
    if (!HaveTempPath()) return;
    // A copy of the archive in the run's private folder stands in for it
    // until the conversion is over.
    const QString archive = QString::fromStdString(engine.ZipFileName());
    if (archive.isEmpty()) return;  // not an archive; the engine has said so
    const QString copy = TempPath + "_" + QFileInfo(archive).fileName();
    QFile::remove(copy);
    if (!QFile::copy(archive, copy)) {
        ui_.ShowMessage("Cannot make a safety copy of " + archive + "; nothing was converted");
        return;
    }
    int result = -1;
    try {
        result = toExe ? engine.Run(engine::SfxRequest{archive.toStdString(), *sfx, engine.SFXPath})
                       : engine.ConvertToZip();
    } catch (...) {
        ui_.ShowMessage("DLL Error");
    }
    if (result == 0)
        ui_.ShowMessage("Filename is now: " + QString::fromStdString(engine.ZipFileName()));
    else
        ui_.ShowMessage(
            QString("Error %1 occured in making %2 file").arg(result).arg(toExe ? ".EXE" : ".ZIP"));
    // The archive the conversion replaced comes back from the copy; one still
    // in place (a failed conversion leaves it) makes the copy unneeded.
    if (QFileInfo::exists(archive) || QFile::rename(copy, archive))
        QFile::remove(copy);
    else
        ui_.ShowMessage("Cannot put " + archive + " back; its copy is " + copy);
    engine.setZipFileName(archive.toStdString());
}

bool ArchiveSession::ActionRemoveZip() {
    if (!ui_.Confirm("Are you sure to remove this zip?", false)) return false;
    engine.setZipFileName(std::string());
    int removed = 0;
    QStringList kept;
    for (const QString& z : Zipfiles) {
        // Into the desktop's trash, where the user can get it back.
        if (platform::MoveToTrash(z.toStdString()))
            ++removed;
        else
            kept.append(z);
    }
    if (!kept.isEmpty()) ui_.ShowMessage("Cannot move to the trash:\n" + kept.join('\n'));
    ui_.ShowMessage(QString("%1 files deleted").arg(removed));
    Zipfiles.clear();
    ui_.ClearListing();
    ui_.ShowTotals();
    return true;
}

}  // namespace kelp
