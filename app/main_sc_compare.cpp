// "Co&mpare" asks for the folder to compare the one opened archive with;
// the session compares and writes the differences to the log.
#include <QFileDialog>

#include "main_sc.h"

namespace kelp {

QString Main_sc::AskCompareFolder(const QString& start) {
    QFileDialog dialog(this, "Compare with folder", start);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace kelp
