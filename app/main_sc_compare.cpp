// "Co&mpare" (Action menu): the differences between the first two opened
// archives, or between the one opened archive and a folder the user picks,
// written to the process viewer one line each with a summary.
#include <QFileDialog>

#include "engine/archive_compare.h"
#include "main_sc.h"

namespace kelp {

void Main_sc::CompareArchives() {
    if (State.Busy || Zipfiles.isEmpty()) return;
    QString other;
    if (Zipfiles.size() >= 2) {
        other = Zipfiles[1];
    } else {
        QFileDialog dialog(this, "Compare with folder", Settings.DefExtr);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        other = dialog.selectedFiles().first();
    }
    State.Busy = true;
    ShowProcessViewer();
    WriteLogMark(lmStart);
    LogAdd("Comparing " + Zipfiles.first() + " with " + other);
    std::string error;
    const auto result = engine::CompareArchives(Zipfiles.first().toStdString(), other.toStdString(), false, error);
    if (!result) {
        State.LastError = QString::fromStdString(error);
    } else {
        int counts[3] = {};
        for (const auto& d : result->differences) {
            ++counts[d.kind];
            QString line = QString(engine::DifferenceKindText(d.kind)) + ": " + QString::fromStdString(d.name);
            for (size_t f = 0; f < d.changes.size(); ++f)
                line += (f ? ", " : " (") + QString::fromStdString(d.changes[f]);
            LogAdd(d.changes.empty() ? line : line + ")");
        }
        LogAdd(QString("%1 added, %2 removed, %3 changed, %4 the same")
                   .arg(counts[engine::MemberDifference::Added])
                   .arg(counts[engine::MemberDifference::Removed])
                   .arg(counts[engine::MemberDifference::Changed])
                   .arg(result->same));
    }
    WriteLogMark(lmEnd);
    FlushLog();
    EndAction();
}

}  // namespace kelp
