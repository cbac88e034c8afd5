// The dispatcher: every archive operation runs through RunAction, which
// refuses to start while another runs, does the work on all opened archives
// and brings the window back to idle.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>

#include "main_sc.h"
#include "platform/ticks.h"

namespace kelp {

void Main_sc::Dispatch(uint8_t action) {
    if (State.Busy) return;
    State.CurrentAction = action;
    RunAction();
}

void Main_sc::OutlookBar1Click() {
    if (State.Busy) return;
    progressbar1->setValue(0);
    State.CurrentAction = actNone;
    const int icon = OutlookBar1->SelectedIcon();
    const bool named = !ZipDir1.ZipFileName().empty();
    static const uint8_t archive[5] = {actNew, actOpen, actExtract, actAdd, actTest};
    static const uint8_t extract[5] = {actExtract, actNone, actCheckout, actMakeExe, actMakeZip};
    static const uint8_t addDelete[3] = {actAdd, actDelete, actRemoveZip};
    switch (OutlookBar1->SelectedButton()) {
        case 0:
            if (icon >= 0 && icon < 5) State.CurrentAction = archive[icon];
            break;
        case 1:
            // "Extr. All" goes through the extract dialog first.
            if (named && icon >= 0 && icon < 5) State.CurrentAction = extract[icon];
            break;
        case 2:
            if (named && icon >= 0 && icon < 3) State.CurrentAction = addDelete[icon];
            break;
        default:
            break;
    }
    RunAction();
}

void Main_sc::RunAction() {
    const uint8_t action = State.CurrentAction;
    if (State.Busy) return;
    if (ZipDir1.ZipFileName().empty() && action != actNew && action != actOpen) return;
    State.Busy = true;
    haltRequested_ = false;
    ZipDir1.ExtrOptions = engine::ExtrOpts{};
    switch (action) {
        case actNew:
            ActionNew();
            break;
        case actOpen:
            ActionOpen();
            break;
        case actCheckout:
            ActionCheckout();
            break;
        case actTest:
            ActionTest();
            break;
        case actView:
            if (SelectedRows().isEmpty() ||
                ListBox1->Cells(0, SelectedRows().first()) == DirectoryMarker) {
                EarlyEnd();
                return;
            }
            ActionView();
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
        default:
            break;
    }
    EndAction();
}

void Main_sc::EndAction() {
    if (!Zipfiles.isEmpty()) ZipDir1.setZipFileName(Zipfiles.first().toStdString());
    ZipDir1.Password.clear();
    BitBtn1->hide();
    State.CurrentAction = actNone;
    State.Busy = false;
    ZipDir1.CancelRequested = false;
}

void Main_sc::EarlyEnd() {
    State.Busy = false;
    State.CurrentAction = actNone;
}

void Main_sc::TimedExtract() {
    if (State.CurrentAction == actView)
        for (const std::string& spec : ZipDir1.FSpecArgs)
            Delfiles.append(QString::fromStdString(spec));
    const uint32_t before = platform::TickCount();
    try {
        ZipDir1.Extract();
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
            UpdateStatusAfterListing(0);  // the previous archive's totals go
        } else {
            ShowMessage("File exist, use Open instead!");
        }
    }
    OpenDialogFileName = chosen;
    ZipDir1.setZipFileName(chosen.toStdString());
}

void Main_sc::ActionOpen() {
    QFileDialog dialog(this, "Opening...", Settings.DefOpen,
                       "All Readable files(*.zip*.exe) (*.zip *.exe);;Zip Files(*.zip) "
                       "(*.zip);;Self Extracting Files(*.exe) (*.exe)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        State.CurrentAction = actNone;
        const QStringList chosen = dialog.selectedFiles();
        OpenDialogFiles = chosen;
        OpenDialogFileName = chosen.first();
        Zipfiles = chosen;
        if (chosen.size() == 1) {
            ZipDir1.setZipFileName(chosen.first().toStdString());
            ListArchive();
        } else {
            ResetGrid();
            for (const QString& z : chosen) {
                ZipDir1.setZipFileName(z.toStdString());
                ListArchive();
            }
        }
    }
    if (ZipDir1.ZipFileName().empty()) Zipfiles.clear();
}

void Main_sc::ActionCheckout() {
    if (!HaveTempPath()) return;
    ZipDir1.ExtrOptions.Include(engine::ExtrDirNames);
    ZipDir1.ExtrOptions.Include(engine::ExtrOverWrite);
    const QString folder = TempPath + QTime::currentTime().toString("hhmmss");
    QDir().mkpath(folder);
    ZipDir1.ExtrBaseDir = folder.toStdString();
    const QStringList archives = Zipfiles;  // the list may not change meanwhile
    for (const QString& z : archives) {
        if (haltRequested_) break;
        ZipDir1.setZipFileName(z.toStdString());
        ZipDir1.FSpecArgs = {"*.*"};
        TimedExtract();
    }
    shell_->Explore(folder);
    ZipDir1.ExtrOptions.Exclude(engine::ExtrDirNames);
    ZipDir1.ExtrOptions.Exclude(engine::ExtrOverWrite);
}

void Main_sc::ActionTest() {
    ShowProcessViewer();
    ZipDir1.ExtrBaseDir = TempPath.toStdString();
    ZipDir1.ExtrOptions.Include(engine::ExtrTest);
    WriteLogMark(lmStart);
    const QStringList archives = Zipfiles;
    for (const QString& z : archives) {
        // The halt button stops the whole run, not just the current archive.
        if (haltRequested_) break;
        ZipDir1.setZipFileName(z.toStdString());
        ZipDir1.FSpecArgs = {"*.*"};
        BitBtn1->show();
        TimedExtract();
        WriteLogMark(lmSeparator);
    }
    WriteLogMark(lmEnd);
    ZipDir1.ExtrOptions.Exclude(engine::ExtrTest);
}

void Main_sc::ActionView() {
    if (!HaveTempPath()) return;
    const int r = SelectedRows().first();
    ZipDir1.ExtrOptions.Include(engine::ExtrOverWrite);
    ZipDir1.ExtrBaseDir = TempPath.toStdString();
    ZipDir1.setZipFileName(ListBox1->Cells(7, r).toStdString());
    const QString name = PlainName(ListBox1->Cells(0, r));
    ZipDir1.FSpecArgs.clear();
    ZipDir1.FSpecArgs.push_back(MemberPath(r).toStdString());
    TimedExtract();
    shell_->Open(name, TempPath);
    ZipDir1.ExtrOptions.Exclude(engine::ExtrOverWrite);
}

void Main_sc::ActionListArchives() {
    for (int i = 0; i < Zipfiles.size(); ++i) LogAdd(QString("%1 :%2").arg(i + 1).arg(Zipfiles[i]));
    ShowProcessViewer();
}

void Main_sc::ActionShowComment() {
    const QString text = QString::fromStdString(ZipDir1.ArchiveComment());
    ShowMessage(text.isEmpty() ? QString("No Comment avaliable") : text);
}

void Main_sc::ActionChangeComment() {
    const QString old = QString::fromStdString(ZipDir1.ArchiveComment());
    bool ok = false;
    const QString text =
        QInputDialog::getText(this, "Comment modify*modify last zip only!!*",
                              "Enter a comment to change", QLineEdit::Normal, old, &ok);
    ZipDir1.setArchiveComment((ok ? text : old).toStdString());
}

}  // namespace kelp
