// "Re&pair…" (Action menu), also offered by the box that says an archive
// cannot be opened: the members that can still be found are copied into a
// new archive the user names, the engine's lines go to the process viewer,
// and the new archive is opened.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include "main_sc.h"

namespace kelp {

QString Main_sc::RepairableArchive() const {
    return !engine.ZipFileName().empty() ? QString::fromStdString(engine.ZipFileName()) : unopenedArchive_;
}

void Main_sc::RepairWhenIdle(const QString& broken) {
    if (State.Busy || startupOpen_ || QApplication::activeModalWidget()) {
        QTimer::singleShot(50, this, [this, broken] { RepairWhenIdle(broken); });
        return;
    }
    RepairArchive(broken);
}

void Main_sc::RepairArchive(const QString& broken) {
    if (State.Busy || broken.isEmpty()) return;
    const QFileInfo info(broken);
    QFileDialog dialog(this, "Repair into...", info.absolutePath(), "Zip Files(*.zip)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("zip");
    dialog.selectFile(info.completeBaseName() + "-repaired.zip");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString fixed = dialog.selectedFiles().first();
    if (QFileInfo(fixed).canonicalFilePath() == info.canonicalFilePath()) {
        ShowMessage("The repaired copy must be written to another file than " + broken);
        return;
    }
    State.Busy = true;
    ShowProcessViewer();
    WriteLogMark(lmStart);
    LogAdd("Repairing " + broken + " into " + fixed);
    haltButton->show();
    engine.Repair(broken.toStdString(), fixed.toStdString());
    WriteLogMark(lmEnd);
    FlushLog();
    if (engine.SuccessCount() > 0 && QFileInfo(fixed).isFile()) {
        // The repaired copy takes the broken archive's place in the window.
        RememberCurrentArchive();
        Zipfiles = {fixed};
        OpenDialogFileName = fixed;
        engine.setZipFileName(fixed.toStdString());
        ListArchive();
        EndAction();
        return;
    }
    // Nothing to open: the broken archive is not read again.
    haltButton->hide();
    engine.CancelRequested = false;
    EarlyEnd();
}

}  // namespace kelp
