// The session's tools beside the dispatcher's actions: comparing archives,
// repairing one, renaming a member and extracting the members of a drag. Each keeps the session
// busy while it works and ends as the actions do.
#include <QDir>
#include <QFileInfo>

#include "archive_session.h"
#include "engine/archive_compare.h"

namespace kelp {

void ArchiveSession::CompareArchives() {
    if (State.Busy || Zipfiles.isEmpty()) return;
    QString other;
    if (Zipfiles.size() >= 2) {
        other = Zipfiles[1];
    } else {
        other = ui_.AskCompareFolder(Settings.DefExtr);
        if (other.isEmpty()) return;
    }
    State.Busy = true;
    ui_.ShowProcessViewer();
    WriteLogMark(lmStart);
    ui_.LogAdd("Comparing " + Zipfiles.first() + " with " + other);
    std::string error;
    const auto result =
        engine::CompareArchives(Zipfiles.first().toStdString(), other.toStdString(), false, error);
    if (!result) {
        State.LastError = QString::fromStdString(error);
    } else {
        int counts[3] = {};
        for (const auto& d : result->differences) {
            ++counts[d.kind];
            QString line =
                QString(engine::DifferenceKindText(d.kind)) + ": " + QString::fromStdString(d.name);
            for (size_t f = 0; f < d.changes.size(); ++f)
                line += (f ? ", " : " (") + QString::fromStdString(d.changes[f]);
            ui_.LogAdd(d.changes.empty() ? line : line + ")");
        }
        ui_.LogAdd(QString("%1 added, %2 removed, %3 changed, %4 the same")
                       .arg(counts[engine::MemberDifference::Added])
                       .arg(counts[engine::MemberDifference::Removed])
                       .arg(counts[engine::MemberDifference::Changed])
                       .arg(result->same));
    }
    WriteLogMark(lmEnd);
    ui_.FlushLog();
    EndAction();
}

void ArchiveSession::RepairArchive(const QString& broken) {
    if (State.Busy || broken.isEmpty()) return;
    const QFileInfo info(broken);
    const QString fixed = ui_.AskRepairTarget(broken);
    if (fixed.isEmpty()) return;
    if (QFileInfo(fixed).canonicalFilePath() == info.canonicalFilePath()) {
        ui_.ShowMessage("The repaired copy must be written to another file than " + broken);
        return;
    }
    State.Busy = true;
    ui_.ShowProcessViewer();
    WriteLogMark(lmStart);
    ui_.LogAdd("Repairing " + broken + " into " + fixed);
    ui_.ShowHalt(true);
    engine.Run(engine::RepairRequest{broken.toStdString(), fixed.toStdString(), engine.Password});
    WriteLogMark(lmEnd);
    ui_.FlushLog();
    if (engine.SuccessCount() > 0 && QFileInfo(fixed).isFile()) {
        // The repaired copy takes the broken archive's place.
        ui_.RememberCurrentArchive();
        Zipfiles = {fixed};
        OpenDialogFileName = fixed;
        engine.setZipFileName(fixed.toStdString());
        ListArchive();
        EndAction();
        return;
    }
    // Nothing to open: the broken archive is not read again.
    ui_.ShowHalt(false);
    engine.CancelRequested = false;
    EarlyEnd();
}

void ArchiveSession::RenameMember(const QString& archive, const MemberRef& member,
                                  const std::string& newName) {
    if (State.Busy) return;
    State.Busy = true;
    engine.setZipFileName(archive.toStdString());
    const engine::DirEntryList entries = engine.DirEntries();
    if (member.entry < entries.size() && entries[member.entry].MemberName() == member.name) {
        State.LastError.clear();
        try {
            engine.Run(engine::RenameRequest{archive.toStdString(), {{member.name, newName}}});
            // The library says why in the log; the user is told here too.
            if (engine.SuccessCount() == 0)
                ui_.ShowMessage("Cannot rename " + QString::fromStdString(member.name) + ":\n" +
                                State.LastError.trimmed());
        } catch (...) {
            ui_.ShowMessage("DLL Error");
        }
    } else {
        ui_.ShowMessage(archive +
                        " has changed since it was listed; nothing was renamed. The list is "
                        "read again: please select the member once more.");
    }
    ListAllArchives();
    // The common ending: idle again, an action asked for meanwhile run.
    EndAction();
}

void ArchiveSession::ExtractMembersTo(
    const QString& folder, const std::vector<std::pair<QString, std::vector<MemberRef>>>& members) {
    if (State.Busy) return;
    // The files stay until the run's temporary folder goes at exit: the
    // target may still be copying them after the drop has returned.
    State.Busy = true;
    QDir().mkpath(folder);
    for (const auto& [archive, chosen] : members) {
        engine.setZipFileName(archive.toStdString());
        if (std::optional<std::vector<std::string>> names = ExactNames(chosen))
            TimedExtract({archive.toStdString(), std::move(*names), true, folder.toStdString(),
                          engine::ExtrOpts{engine::ExtrDirNames, engine::ExtrOverWrite},
                          engine.Password});
    }
    if (!Zipfiles.isEmpty()) engine.setZipFileName(Zipfiles.first().toStdString());
    State.Busy = false;
}

}  // namespace kelp
