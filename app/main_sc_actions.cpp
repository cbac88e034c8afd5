// The dispatcher: every archive operation runs through RunAction, which
// refuses to start while another runs, does the work on all opened archives
// and brings the window back to idle.
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <stdlib.h>

#include "edit_watch.h"
#include "extract_dlg.h"
#include "main_sc.h"
#include "platform/folders.h"
#include "platform/freed_memory.h"
#include "platform/ticks.h"

namespace kelp {

void Main_sc::Dispatch(uint8_t action) {
    if (State.Busy) {
        // While a halted action is still stopping, the action asked for runs
        // when it has ended; otherwise a running action refuses others.
        if (haltRequested_) pendingAction_ = action;
        return;
    }
    State.CurrentAction = action;
    RunAction();
}

void Main_sc::FunctionPanelClick() {
    if (State.Busy) return;
    gauge->setValue(0);
    State.CurrentAction = actNone;
    const int icon = functionPanel->SelectedIcon();
    const bool named = !engine.ZipFileName().empty();
    static const uint8_t archive[5] = {actNew, actOpen, actExtract, actAdd, actTest};
    static const uint8_t extract[5] = {actExtract, actExtractAll, actCheckout, actMakeExe,
                                       actMakeZip};
    static const uint8_t addDelete[3] = {actAdd, actDelete, actRemoveZip};
    switch (functionPanel->SelectedButton()) {
        case 0:
            if (icon >= 0 && icon < 5) State.CurrentAction = archive[icon];
            if (State.CurrentAction == actExtract)
                engine.ExtrBaseDir = ExtractDialog().ExtractDir.toStdString();
            break;
        case 1:
            if (named && icon >= 0 && icon < 5) State.CurrentAction = extract[icon];
            if (State.CurrentAction == actExtractAll) {
                // "Extr. All" asks for the target folder first; cancelled, the
                // dispatch runs with no action.
                ExtractDlg& dialog = ExtractDialog();
                dialog.exec();
                State.CurrentAction = actNone;
                if (dialog.Accepted) {
                    engine.ExtrBaseDir = dialog.ExtractDir.toStdString();
                    State.CurrentAction = actExtractAll;
                }
            }
            break;
        case 2:
            if (named && icon >= 0 && icon < 3) State.CurrentAction = addDelete[icon];
            break;
        default:  // the panel has three groups
            break;
    }
    RunAction();
}

void Main_sc::RunAction() {
    const uint8_t action = State.CurrentAction;
    if (State.Busy) return;
    if (engine.ZipFileName().empty() && action != actNew && action != actOpen) return;
    State.Busy = true;
    haltRequested_ = false;
    editsBeforeAction_ = edits_->Unchanged();
    engine.ExtrOptions = engine::ExtrOpts{};
    // 0, 15, 16 and every number above 19 have no operation of their own:
    // they run only the common ending.
    if (action == actNone || action == 15 || action == 16 || action > actRefresh) {
        EndAction();
        return;
    }
    switch (action) {
        case actNew:
            ActionNew();
            break;
        case actOpen:
            ActionOpen();
            break;
        case actAdd:
            ActionAdd();
            break;
        case actAddDropped:
            ActionAddDropped();
            break;
        case actExtractAll:
            if (Zipfiles.isEmpty()) {
                EarlyEnd();
                return;
            }
            ActionExtractAll();
            break;
        case actExtract:
            ActionExtract();
            break;
        case actCheckout:
            ActionCheckout();
            break;
        case actTest:
            ActionTest();
            break;
        case actDelete:
            // Nothing selected: nothing to ask about.
            if (SelectedRows().isEmpty()) {
                EarlyEnd();
                return;
            }
            ActionDelete();
            break;
        case actView:
            if (SelectedRows().isEmpty() || !RowRecord(SelectedRows().first()) ||
                memberRows_->IsFolder(*RowRecord(SelectedRows().first()))) {
                EarlyEnd();
                return;
            }
            ActionView();
            break;
        case actMakeExe:
            if (!ActionMakeExe()) {
                EarlyEnd();
                return;
            }
            break;
        case actMakeZip:
            ActionMakeZip();
            break;
        case actRemoveZip:
            if (ActionRemoveZip()) {
                EarlyEnd();
                return;
            }
            break;
        case actListArchives:
            ActionListArchives();
            break;
        case actShowComment:
            ActionShowComment();
            break;
        case actChangeComment:
            ActionChangeComment();
            break;
        case actRefresh:
            ListAllArchives();
            break;
    }
    EndAction();
}

void Main_sc::EndAction() {
    // What the window's own action did to an archive is no change by
    // another program.
    edits_->Restamp(editsBeforeAction_);
    editsBeforeAction_.clear();
    if (!Zipfiles.isEmpty()) engine.setZipFileName(Zipfiles.first().toStdString());
    engine.Password.clear();
    haltButton->hide();
    haltButton->setEnabled(true);
    State.CurrentAction = actNone;
    State.Busy = false;
    engine.CancelRequested = false;
    haltRequested_ = false;
    FocusGrid();
    RunPendingAction();
    // Listing, testing or extracting a large archive frees a record per
    // member at the end; without this the process would keep that memory.
    platform::ReturnFreedMemory();
}

void Main_sc::EarlyEnd() {
    editsBeforeAction_.clear();
    State.Busy = false;
    State.CurrentAction = actNone;
    haltRequested_ = false;
    FocusGrid();
    RunPendingAction();
}

void Main_sc::RunPendingAction() {
    if (pendingAction_ == actNone) return;
    const uint8_t action = pendingAction_;
    pendingAction_ = actNone;
    // On the next turn of the event loop, once the ended action has unwound.
    QTimer::singleShot(0, this, [this, action] { Dispatch(action); });
}

void Main_sc::TimedExtract() {
    if (State.CurrentAction == actView)
        for (const std::string& spec : engine.FSpecArgs)
            Delfiles.append(QString::fromStdString(spec));
    const uint32_t before = platform::TickCount();
    try {
        engine.Extract();
    } catch (...) {
        ShowMessage("Error on DLL");
    }
    const uint32_t after = platform::TickCount();
    LogAdd(QString("Time used: %1 ms")
               .arg(static_cast<int64_t>(after) - static_cast<int64_t>(before)));
}

void Main_sc::ActionNew() {
    QFileDialog dialog(this, "New...", Settings.DefOpen, "Zip Files(*.zip)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix("zip");
    dialog.setFileMode(QFileDialog::AnyFile);
    QString chosen;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        chosen = dialog.selectedFiles().first();
        if (!QFileInfo::exists(chosen)) {
            Zipfiles = {chosen};
            ResetGrid();
            UpdateStatusAfterListing();  // the previous archive's totals go
        } else {
            ShowMessage("File exist, use Open instead!");
        }
    }
    OpenDialogFileName = chosen;
    engine.setZipFileName(chosen.toStdString());
}

void Main_sc::ActionOpen() {
    QFileDialog dialog(this, "Opening...", Settings.DefOpen,
                       "All Readable files(*.zip*.exe) (*.zip *.exe);;Zip Files(*.zip) "
                       "(*.zip);;Self Extracting Files(*.exe) (*.exe)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        State.CurrentAction = actNone;
        RememberCurrentArchive();
        const QStringList chosen = dialog.selectedFiles();
        OpenDialogFiles = chosen;
        OpenDialogFileName = chosen.first();
        Zipfiles = chosen;
        if (chosen.size() == 1) {
            engine.setZipFileName(chosen.first().toStdString());
            ListArchive();
        } else {
            ResetGrid();
            for (const QString& z : chosen) {
                engine.setZipFileName(z.toStdString());
                ListArchive();
            }
        }
    }
    if (engine.ZipFileName().empty()) Zipfiles.clear();
}

QString Main_sc::MakeCheckoutFolder() {
    // The user's own copy: under the temporary folder, named by the time,
    // but outside this run's private folder, so that it stays when Kelp
    // closes. mkdtemp makes it new (never a folder or link someone else put
    // there) and private to the user.
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss");
    std::string pattern = platform::TempFolder() + "kelp-checkout-" + stamp.toStdString() + "-XXXXXX";
    if (!mkdtemp(pattern.data())) return QString();
    return QString::fromStdString(pattern);
}

void Main_sc::ActionCheckout() {
    const QString folder = MakeCheckoutFolder();
    if (folder.isEmpty()) {
        ShowMessage("Cannot create a checkout folder in " +
                    QString::fromStdString(platform::TempFolder()));
        return;
    }
    engine.ExtrOptions.Include(engine::ExtrDirNames);
    engine.ExtrOptions.Include(engine::ExtrOverWrite);
    engine.ExtrBaseDir = folder.toStdString();
    const QStringList archives = Zipfiles;  // the list may not change meanwhile
    for (const QString& z : archives) {
        if (haltRequested_) break;
        engine.setZipFileName(z.toStdString());
        engine.FSpecArgs.clear();  // every member, also those without a "." in their names
        TimedExtract();
    }
    shell_->Explore(folder);
    engine.ExtrOptions.Exclude(engine::ExtrDirNames);
    engine.ExtrOptions.Exclude(engine::ExtrOverWrite);
}

void Main_sc::ActionTest() {
    ShowProcessViewer();
    engine.ExtrBaseDir = TempPath.toStdString();
    engine.ExtrOptions.Include(checkStructure_ ? engine::ExtrCheck : engine::ExtrTest);
    ExtractEachArchive(false);
    engine.ExtrOptions.Exclude(engine::ExtrTest);
    engine.ExtrOptions.Exclude(engine::ExtrCheck);
}

void Main_sc::CheckArchives() {
    if (State.Busy) return;
    checkStructure_ = true;
    Dispatch(actTest);
    checkStructure_ = false;
}

void Main_sc::ExtractEachArchive(bool existingOnly) {
    WriteLogMark(lmStart);
    const QStringList archives = Zipfiles;  // the list may not change meanwhile
    for (const QString& z : archives) {
        // The halt button stops the whole run, not just the current archive.
        if (haltRequested_) break;
        if (existingOnly && !QFileInfo(z).isFile()) continue;
        engine.setZipFileName(z.toStdString());
        engine.FSpecArgs.clear();  // every member, also those without a "." in their names
        haltButton->show();
        TimedExtract();
        WriteLogMark(lmSeparator);
    }
    WriteLogMark(lmEnd);
}

void Main_sc::ActionView() {
    if (!HaveTempPath()) return;
    const QString file = OpenForEditing(SelectedRows().first());
    if (!file.isEmpty()) shell_->Open(QFileInfo(file).fileName(), QFileInfo(file).path() + "/");
}

void Main_sc::ActionListArchives() {
    for (int i = 0; i < Zipfiles.size(); ++i) LogAdd(QString("%1 :%2").arg(i + 1).arg(Zipfiles[i]));
    ShowProcessViewer();
}

void Main_sc::ActionShowComment() {
    const QString text = QString::fromStdString(engine.ArchiveComment());
    ShowMessage(text.isEmpty() ? QString("No Comment avaliable") : text);
}

void Main_sc::ActionChangeComment() {
    const QString old = QString::fromStdString(engine.ArchiveComment());
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, "Comment modify*modify last zip only!!*",
                              "Enter a comment to change", QLineEdit::Normal, old, &ok);
    engine.setArchiveComment((ok ? text : old).toStdString());
}

}  // namespace kelp
