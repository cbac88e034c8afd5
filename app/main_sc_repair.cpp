// "Re&pair…" (Action menu), also offered by the box that says an archive
// cannot be opened: the members that can still be found are copied into a
// new archive the user names, the engine's lines go to the process viewer,
// and the new archive is opened.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

#include "main_sc.h"

namespace kelp {

QString Main_sc::RepairableArchive() const {
    return !engine.ZipFileName().empty() ? QString::fromStdString(engine.ZipFileName())
                                         : unopenedArchive_;
}

void Main_sc::RepairWhenIdle(const QString& broken) {
    if (State.Busy || session_.StartupOpen || QApplication::activeModalWidget()) {
        QTimer::singleShot(50, this, [this, broken] { RepairWhenIdle(broken); });
        return;
    }
    RepairArchive(broken);
}

QString Main_sc::AskRepairTarget(const QString& broken) {
    const QFileInfo info(broken);
    QFileDialog dialog(this, "Repair into...", info.absolutePath(), "Zip Files(*.zip)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("zip");
    dialog.selectFile(info.completeBaseName() + "-repaired.zip");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace kelp
