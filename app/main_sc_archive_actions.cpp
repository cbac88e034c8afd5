// The actions that show a dialog before they work or that change archive
// files: add, add dropped files, extract all, extract through the dialog,
// delete, the self-extractor conversions and removing the archive files.
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <map>

#include "add_dlg.h"
#include "archive_picker.h"
#include "extract_dlg.h"
#include "main_sc.h"
#include "platform/folders.h"
#include "platform/trash.h"
#include "sfx_dlg.h"

namespace kelp {

namespace fs = std::filesystem;

namespace {

// Keeps the window's controls other than the halt button disabled while it
// lives, so that an add cannot be disturbed but can still be stopped.
class WindowLock {
  public:
    explicit WindowLock(std::initializer_list<QWidget*> widgets) : widgets_(widgets) {
        for (QWidget* w : widgets_) w->setEnabled(false);
    }
    ~WindowLock() {
        for (QWidget* w : widgets_) w->setEnabled(true);
    }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

  private:
    std::vector<QWidget*> widgets_;
};

}  // namespace

ExtractDlg& Main_sc::ExtractDialog() {
    if (!extractDialog_) {
        extractDialog_ = new ExtractDlg(Settings, Store, host_, this);
        extractDialog_->SelectedIcon = [this] { return functionPanel->SelectedIcon(); };
    }
    return *extractDialog_;
}

AddDlg& Main_sc::AddDialog() {
    if (!addDialog_) addDialog_ = new AddDlg(engine, Settings, host_, shell_, this);
    return *addDialog_;
}

ArchivePicker& Main_sc::ArchiveDialog() {
    if (!archivePicker_) archivePicker_ = new ArchivePicker(this);
    return *archivePicker_;
}

SfxDlg& Main_sc::SfxDialog() {
    if (!sfxDialog_) sfxDialog_ = new SfxDlg(engine, Settings, this);
    return *sfxDialog_;
}

ArchivePicker& Main_sc::ChooseArchive() {
    ArchivePicker& picker = ArchiveDialog();
    if (Zipfiles.size() >= 2) {
        picker.Zipfiles = Zipfiles;
        picker.exec();
    } else {
        // One archive needs no question. With none opened (New named a file
        // that exists) the archive the engine names is the one meant.
        picker.Accepted = true;
        picker.ChosenArchive = Zipfiles.isEmpty() ? QString::fromStdString(engine.ZipFileName())
                                                  : Zipfiles.first();
    }
    return picker;
}

void Main_sc::ExpandFolderSources(bool subDirs) {
    const std::vector<engine::AddSource> given = std::move(engine.FSpecSources);
    engine.FSpecSources.clear();
    bool hiddenPicked = false;
    std::error_code ec;
    for (const engine::AddSource& source : given) {
        // What the user picked is added, a dot-file too.
        const std::string leaf = fs::path(source.path).filename().string();
        if (!leaf.empty() && leaf[0] == '.') hiddenPicked = true;
        engine.FSpecSources.push_back(source);
        if (fs::is_directory(source.path, ec)) ExpandFolder(source, subDirs);
    }
    // The library would pass over the dot-files picked; the hidden entries
    // inside picked folders are left out (and named) by ExpandFolder.
    if (hiddenPicked) engine.AddOptions.Include(engine::AddHiddenFiles);
}

void Main_sc::ExpandFolder(const engine::AddSource& folder, bool subDirs) {
    std::vector<fs::directory_entry> children;
    std::error_code ec;
    for (fs::directory_iterator it(folder.path, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(*it);
    if (ec) {
        LogAdd(QString::fromStdString("Skipped " + folder.path + ": cannot read the folder (" +
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
            LogAdd(QString::fromStdString("Skipped " + child.path().string() + ": hidden " +
                                          (folderHere ? "folder" : "file") +
                                          " inside a picked folder (pick it to add it)"));
            continue;
        }
        engine::AddSource entry{child.path().string(), false, folder.password};
        engine.FSpecSources.push_back(entry);
        if (folderHere && subDirs) ExpandFolder(entry, true);
    }
}

void Main_sc::AskAddPassword(const std::string& prompt, bool clearOnCancel) {
    if (!Settings.Addpass) return;
    std::string answer;
    const int result = engine.AskPassword("Enter Add Password", prompt, answer);
    if (result == 1)
        engine.Password = answer.substr(0, 255);
    else if (clearOnCancel && result == 0)
        engine.Password.clear();
    if (!engine.Password.empty()) engine.AddOptions.Include(engine::AddEncrypt);
}

bool Main_sc::RunAdd(const QString& archive) {
    haltButton->show();
    bool ran = true;
    // The cipher chosen on the options dialog, for members given a password.
    engine.AddEncryption = Settings.AesAdd ? engine::aeAES256 : engine::aeZipCrypto;
    try {
        engine.Add();
    } catch (...) {
        ShowMessage("DLL Error");
        ran = false;
    }
    haltButton->hide();
    engine.AddOptions.Exclude(engine::AddEncrypt);
    engine.AddOptions.Exclude(engine::AddHiddenFiles);
    // The archive a new name was given to is the opened one from now on.
    if (Zipfiles.isEmpty()) Zipfiles = {archive};
    return ran;
}

void Main_sc::ActionAdd() {
    WindowLock lock({menuBar(), memberGrid, functionPanel, quickLaunchPanel});
    AddDlg& dialog = AddDialog();
    dialog.setAddedFiles({});
    dialog.exec();
    if (!dialog.Accepted) return;
    ArchivePicker& picker = ChooseArchive();
    if (!picker.Accepted) return;
    engine.setZipFileName(picker.ChosenArchive.toStdString());
    if (!Confirm("File will be added if you press yes now.", true)) return;
    AskAddPassword("Press cancel if you wont want password.  ", true);
    ExpandFolderSources(Settings.AddSubDirs);
    ShowProcessViewer();
    // A halted add ends with the log's "cancelled", not with a count.
    if (RunAdd(picker.ChosenArchive) && !haltRequested_)
        ShowMessage(QString("DONE: Number of files Added: %1").arg(engine.SuccessCount()));
    ListAllArchives();
}

void Main_sc::ActionAddDropped() {
    // Dropped folders come with what lies below them.
    ExpandFolderSources(true);
    ArchivePicker& picker = ChooseArchive();
    // Closing the picker without a choice adds nothing anywhere.
    if (!picker.Accepted) {
        engine.FSpecArgs.clear();
        engine.FSpecSources.clear();
        engine.AddOptions.Exclude(engine::AddHiddenFiles);
        return;
    }
    AskAddPassword("Press cancel if you wont want password. ", false);
    engine.setZipFileName(picker.ChosenArchive.toStdString());
    RunAdd(picker.ChosenArchive);
    // Every archive again: listing only the changed one would append its
    // rows a second time below the others.
    ListAllArchives();
}

void Main_sc::SetExtractOptions() {
    if (Settings.Extrfold) engine.ExtrOptions.Include(engine::ExtrDirNames);
    if (Settings.Extrover) engine.ExtrOptions.Include(engine::ExtrOverWrite);
}

void Main_sc::ActionExtractAll() {
    ShowProcessViewer();
    SetExtractOptions();
    ExtractEachArchive(true);
}

void Main_sc::ActionExtract() {
    ExtractDlg& dialog = ExtractDialog();
    dialog.setWindowTitle("Extract:");
    engine.FSpecArgs.clear();
    if (SelectedRows().isEmpty()) return;
    dialog.exec();
    if (!dialog.Accepted) return;
    SetExtractOptions();
    ShowProcessViewer();
    engine.ExtrBaseDir = dialog.ExtractDir.toStdString();
    if (!dialog.ExtractSelectedOnly()) {
        ActionExtractAll();
        return;
    }
    // The selection is read once: the grid may change while the engine works.
    std::map<QString, std::vector<MemberRef>> chosen;
    for (const QString& z : Zipfiles) chosen[z] = SelectedMembers(z);
    WriteLogMark(lmStart);
    const QStringList archives = Zipfiles;
    for (const QString& z : archives) {
        if (haltRequested_) break;
        if (chosen[z].empty()) continue;
        engine.setZipFileName(z.toStdString());
        haltButton->show();
        if (SetExactMembers(chosen[z])) TimedExtract();
    }
    WriteLogMark(lmEnd);
}

void Main_sc::ActionDelete() {
    engine.FSpecArgs.clear();
    if (Confirm("    Are you sure?\nYou may lost this file.", true)) {
        // Each archive gets the names of its own selected rows only.
        std::map<QString, std::vector<MemberRef>> chosen;
        for (const QString& z : Zipfiles) chosen[z] = SelectedMembers(z);
        const QStringList archives = Zipfiles;
        for (const QString& z : archives) {
            if (haltRequested_) break;
            if (chosen[z].empty()) continue;
            engine.setZipFileName(z.toStdString());
            if (!SetExactMembers(chosen[z])) continue;
            haltButton->show();
            try {
                engine.Delete();
            } catch (...) {
                ShowMessage("DLL Error");
            }
            haltButton->hide();
        }
    }
    ListAllArchives();
}

bool Main_sc::ActionMakeExe() {
    ArchivePicker& picker = ChooseArchive();
    SfxDlg& dialog = SfxDialog();
    dialog.exec();
    if (!dialog.Accepted) return false;
    if (picker.Accepted) engine.setZipFileName(picker.ChosenArchive.toStdString());
    ConvertWithCopy(true);
    return true;
}

void Main_sc::ActionMakeZip() {
    ArchivePicker& picker = ChooseArchive();
    if (picker.Accepted) engine.setZipFileName(picker.ChosenArchive.toStdString());
    ConvertWithCopy(false);
}

void Main_sc::ConvertWithCopy(bool toExe) {
    if (!HaveTempPath()) return;
    // A copy of the archive in the run's private folder stands in for it
    // until the conversion is over.
    const QString archive = QString::fromStdString(engine.ZipFileName());
    if (archive.isEmpty()) return;  // not an archive; the engine has said so
    const QString copy = TempPath + "_" + QFileInfo(archive).fileName();
    QFile::remove(copy);
    if (!QFile::copy(archive, copy)) {
        ShowMessage("Cannot make a safety copy of " + archive + "; nothing was converted");
        return;
    }
    int result = -1;
    try {
        result = toExe ? engine.ConvertToExe() : engine.ConvertToZip();
    } catch (...) {
        ShowMessage("DLL Error");
    }
    if (result == 0)
        ShowMessage("Filename is now: " + QString::fromStdString(engine.ZipFileName()));
    else
        ShowMessage(QString("Error %1 occured in making %2 file").arg(result).arg(toExe ? ".EXE" : ".ZIP"));
    // The archive the conversion replaced comes back from the copy; one still
    // in place (a failed conversion leaves it) makes the copy unneeded.
    if (QFileInfo::exists(archive) || QFile::rename(copy, archive))
        QFile::remove(copy);
    else
        ShowMessage("Cannot put " + archive + " back; its copy is " + copy);
    engine.setZipFileName(archive.toStdString());
}

bool Main_sc::ActionRemoveZip() {
    if (!Confirm("Are you sure to remove this zip?")) return false;
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
    if (!kept.isEmpty()) ShowMessage("Cannot move to the trash:\n" + kept.join('\n'));
    ShowMessage(QString("%1 files deleted").arg(removed));
    Zipfiles.clear();
    ResetGrid();
    UpdateStatusAfterListing();
    return true;
}

}  // namespace kelp
