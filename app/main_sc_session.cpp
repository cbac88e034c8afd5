// The window's side of its session: the dialogs that answer the session's
// questions (made on first use, kept between uses), the function panel's
// clicks, and what the window shows while an action runs.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "add_dlg.h"
#include "archive_picker.h"
#include "edit_watch.h"
#include "extract_dlg.h"
#include "main_sc.h"
#include "sfx_dlg.h"

namespace kelp {

ExtractDlg& Main_sc::ExtractDialog() {
    if (!extractDialog_) {
        extractDialog_ = new ExtractDlg(Settings, Store, host_, this);
        extractDialog_->SelectedIcon = [this] { return functionPanel->SelectedIcon(); };
    }
    return *extractDialog_;
}

AddDlg& Main_sc::AddDialog() {
    if (!addDialog_) addDialog_ = new AddDlg(Settings, host_, shell_, this);
    return *addDialog_;
}

ArchivePicker& Main_sc::ArchiveDialog() {
    if (!archivePicker_) archivePicker_ = new ArchivePicker(this);
    return *archivePicker_;
}

SfxDlg& Main_sc::SfxDialog() {
    if (!sfxDialog_) sfxDialog_ = new SfxDlg(Settings, this);
    return *sfxDialog_;
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
                    session_.ExtractAllFolder = dialog.ExtractDir;
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

SessionUi::Overwrite Main_sc::AskOverwrite(const QString& file) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    "Overwrite " + file + "?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll, this);
    const int answer = box.exec();
    return answer == QMessageBox::YesToAll ? Overwrite::YesToAll
           : answer == QMessageBox::Yes    ? Overwrite::Yes
                                           : Overwrite::No;
}

QString Main_sc::AskNewArchive(const QString& folder) {
    QFileDialog dialog(this, "New...", folder, "Zip Files(*.zip)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix("zip");
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QStringList Main_sc::AskOpenArchives(const QString& folder) {
    QFileDialog dialog(this, "Opening...", folder,
                       "All Readable files(*.zip*.exe) (*.zip *.exe);;Zip Files(*.zip) "
                       "(*.zip);;Self Extracting Files(*.exe) (*.exe)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

std::optional<QString> Main_sc::AskComment(const QString& old) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, "Comment modify*modify last zip only!!*",
                              "Enter a comment to change", QLineEdit::Normal, old, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<engine::AddRequest> Main_sc::AskAddSources() {
    AddDlg& dialog = AddDialog();
    dialog.setAddedFiles({});
    dialog.exec();
    if (!dialog.Accepted) return std::nullopt;
    return dialog.Choices;
}

std::optional<SessionUi::ExtractTarget> Main_sc::AskExtractTarget() {
    ExtractDlg& dialog = ExtractDialog();
    dialog.setWindowTitle("Extract:");
    dialog.exec();
    if (!dialog.Accepted) return std::nullopt;
    return ExtractTarget{dialog.ExtractDir, dialog.ExtractSelectedOnly()};
}

std::optional<engine::SfxSettings> Main_sc::AskSfxOptions() {
    SfxDlg& dialog = SfxDialog();
    dialog.exec();
    if (!dialog.Accepted) return std::nullopt;
    return dialog.Choices;
}

std::optional<QString> Main_sc::PickArchive(const QStringList& archives) {
    ArchivePicker& picker = ArchiveDialog();
    picker.Zipfiles = archives;
    picker.exec();
    if (!picker.Accepted) return std::nullopt;
    return picker.ChosenArchive;
}

void Main_sc::ShowHalt(bool shown) {
    haltButton->setVisible(shown);
}

void Main_sc::LockWindow(bool locked) {
    for (QWidget* w : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(memberGrid),
                       static_cast<QWidget*>(functionPanel), quickLaunchPanel})
        w->setEnabled(!locked);
}

void Main_sc::ActionStarting() {
    editsBeforeAction_ = edits_->Unchanged();
}

void Main_sc::ActionEnded(bool completed) {
    if (completed) {
        // What the window's own action did to an archive is no change by
        // another program.
        edits_->Restamp(editsBeforeAction_);
        haltButton->hide();
        haltButton->setEnabled(true);
    }
    editsBeforeAction_.clear();
    FocusGrid();
}

}  // namespace kelp
