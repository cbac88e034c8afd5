// The window's choice of code page for an archive's member names.
#include <QFile>

#include "centre_on_desktop.h"
#include "main_sc.h"
#include "member_rows.h"
#include "name_encoding_dlg.h"

namespace kelp {

void Main_sc::ChooseNameEncoding() {
    if (State.Busy || Zipfiles.isEmpty()) return;
    QString archive = Zipfiles.first();
    if (const auto record = RowRecord(memberGrid->currentIndex().row()))
        archive = memberRows_->Archive(*record);
    // The choice is kept under the name the engine is given the archive by.
    const std::string key = archive.toStdString();
    const auto it = engine.ArchiveNameCharsets.find(key);
    NameEncodingDlg dlg(archive, ReadNameSample(QFile::encodeName(archive).toStdString()),
                        it == engine.ArchiveNameCharsets.end() ? std::string() : it->second, this);
    CentreOnDesktop(&dlg);
    if (dlg.exec() != QDialog::Accepted) return;
    if (const std::string chosen = dlg.Chosen(); chosen.empty())
        engine.ArchiveNameCharsets.erase(key);
    else
        engine.ArchiveNameCharsets[key] = chosen;
    // Names, and the rows' records with them, are read again in the new code page.
    ListAllArchives();
}

}  // namespace kelp
