// Editing a member where it lies: a member opened in another program is a
// copy in a folder of its own, watched until Kelp exits; when the user saves
// it, the window asks whether to update the archive and writes the copy back
// stored as the member was. An archive that changed meanwhile is never
// overwritten: the copy can go in under a new name or be saved elsewhere.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <stdlib.h>
#include <sys/stat.h>

#include "add_dlg.h"
#include "edit_watch.h"
#include "libs/zipcore/member_decoder.h"
#include "main_sc.h"
#include "platform/folders.h"

namespace kelp {

namespace {

std::string Encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The record of `name` in the directory the engine read last.
std::optional<engine::ZipDirEntry> EntryNamed(const engine::ZipEngine& e, const std::string& name) {
    for (const engine::ZipDirEntry& entry : e.DirEntries())
        if (entry.MemberName() == name) return entry;
    return std::nullopt;
}

bool SameData(const engine::ZipDirEntry& a, const engine::ZipDirEntry& b) {
    return a.Crc() == b.Crc() && a.PackedSize() == b.PackedSize() &&
           a.UnpackedSize() == b.UnpackedSize() && a.Method() == b.Method() &&
           a.DataMethod() == b.DataMethod();
}

// "docs/a.txt" gives "docs/a (edited).txt".
QString EditedName(const QString& name) {
    const int slash = name.lastIndexOf(QLatin1Char('/'));
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const int at = dot > slash + 1 ? dot : name.size();
    return name.left(at) + " (edited)" + name.mid(at);
}

}  // namespace

void Main_sc::WatchEdits() {
    edits_ = new EditWatch(this);
    connect(edits_, &EditWatch::CopyChanged, this, &Main_sc::CopyChanged);
}

QString Main_sc::OpenForEditing(uint32_t record) {
    const std::vector<MemberRef> member = session_.RecordMember(record);
    if (member.empty() || !HaveTempPath()) return {};
    const QString archive = memberRows_->Archive(record);
    OpenedMember* open = edits_->Find(archive, member[0].name);
    // A copy already handed out keeps what the user did to it; it is taken
    // afresh only when unchanged while the archive changed.
    if (open && QFileInfo(open->file).isFile() &&
        (!StateOfCopy(open->file).SameBytes(open->seen) ||
         engine::StampOf(Encoded(archive)) == open->archiveStamp))
        return open->file;
    QString folder = open ? QFileInfo(open->file).absolutePath() + "/" : QString();
    if (folder.isEmpty()) {
        folder = TempPath + QString("open-%1/").arg(++openCount_);
        if (!QDir().mkpath(folder) ||
            !QFile::setPermissions(folder,
                                   QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            ShowMessage("Cannot create a private folder in " + TempPath);
            return {};
        }
    }
    const QString file = session_.ExtractForViewing(record, folder);
    // The engine now holds the row's archive as it was read for the extraction.
    const std::optional<engine::ZipDirEntry> entry = EntryNamed(engine, member[0].name);
    if (file.isEmpty() || !entry) return file;
    OpenedMember m;
    m.archive = archive;
    m.name = member[0].name;
    m.entry = *entry;
    if (entry->IsEncrypted()) m.password = engine.Password;
    m.file = file;
    m.seen = m.inArchive = StateOfCopy(file);
    m.archiveStamp = engine::StampOf(Encoded(archive));
    edits_->Watch(std::move(m));
    return file;
}

void Main_sc::CopyChanged(OpenedMember* m) {
    // Nothing is asked in the middle of an action; it is asked when it ends.
    if (State.Busy) {
        QTimer::singleShot(EditWatch::kSettleMs, this, [this, m] { CopyChanged(m); });
        return;
    }
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(),
                    QString("%1 was changed in another program.\n\nUpdate it in the archive %2?")
                        .arg(QString::fromStdString(m->name), m->archive),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText("&Update the archive");
    box.button(QMessageBox::No)->setText("&Not now");
    box.setDefaultButton(QMessageBox::Yes);
    const bool update = box.exec() == QMessageBox::Yes;
    // The copy as it is now, saves made while the question was open
    // included, is what the answer was about; a later save asks again.
    m->seen = StateOfCopy(m->file);
    if (update) WriteBackCopy(*m);
    m->asking = false;
    edits_->CheckCopies();
}

void Main_sc::WriteBackCopy(OpenedMember& m) {
    const std::string archive = Encoded(m.archive);
    // The archive must still be the one the member was opened from, and hold
    // the member as it was.
    QString changed;
    if (!engine::StampOf(archive)) {
        changed = "is gone";
    } else if (engine::StampOf(archive) != m.archiveStamp) {
        changed = "was changed by another program";
    } else {
        engine.setZipFileName(archive);
        const std::optional<engine::ZipDirEntry> entry = EntryNamed(engine, m.name);
        if (!entry || !m.entry || !SameData(*entry, *m.entry))
            changed = "no longer holds the member as it was";
    }
    if (!changed.isEmpty()) {
        EditConflict(m, changed);
    } else {
        WriteMember(m, m.name);
    }
    if (!Zipfiles.isEmpty()) engine.setZipFileName(Zipfiles.first().toStdString());
}

bool Main_sc::WriteMember(OpenedMember& m, const std::string& name) {
    // Members whose level cannot be told take the level last chosen for adding.
    const engine::MemberStorage storage =
        engine::StorageOf(*m.entry, addDialog_ ? addDialog_->Choices.level : engine.AddCompLevel);
    std::optional<engine::AddMethodEnum> method = engine::WritableMethod(storage.method);
    if (!method) {
        if (!Confirm(QString("%1 is compressed with %2, which Kelp cannot write.\n\n"
                             "Write it compressed with Deflate instead?")
                         .arg(QString::fromStdString(m.name),
                              QString::fromStdString(kelp::zip::MethodName(storage.method)))))
            return false;
        method = engine::AddMethodDeflate;
    }
    engine::MemberWriteBack w{Encoded(m.archive),
                              name,
                              Encoded(m.file),
                              m.password,
                              storage,
                              *method,
                              Encoded(TempPath + "write-back")};
    State.Busy = true;
    WriteLogMark(lmStart);
    std::string error;
    const bool written = engine::ReplaceMember(engine, w, error);
    WriteLogMark(lmEnd);
    State.Busy = false;
    if (written) {
        if (const auto entry = EntryNamed(engine, name)) m.entry = entry;
        m.name = name;
        m.inArchive = StateOfCopy(m.file);
        m.archiveStamp = engine::StampOf(w.archive);
        if (Zipfiles.contains(m.archive)) {
            engine.setZipFileName(Zipfiles.first().toStdString());
            RelistArchives();
        }
    }
    if (!error.empty())
        ShowMessage(
            QString("%1 of %2: %3")
                .arg(QString::fromStdString(name), m.archive, QString::fromStdString(error)));
    return written;
}

void Main_sc::EditConflict(OpenedMember& m, const QString& why) {
    const bool archiveThere = engine::StampOf(Encoded(m.archive)).has_value();
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    QString("The archive %1 %2 since %3 was opened, so it is not overwritten.\n\n"
                            "Your edited copy can go into the archive under a new name, "
                            "or be saved elsewhere.")
                        .arg(m.archive, why, QString::fromStdString(m.name)),
                    QMessageBox::Yes | QMessageBox::Save | QMessageBox::Cancel, this);
    box.button(QMessageBox::Yes)->setText("&Add under a new name...");
    box.button(QMessageBox::Yes)->setEnabled(archiveThere);
    box.button(QMessageBox::Save)->setText("&Save elsewhere...");
    box.setDefaultButton(archiveThere ? QMessageBox::Yes : QMessageBox::Save);
    const int answer = box.exec();
    if (answer == QMessageBox::Yes) {
        // A name the archive does not hold yet, so nothing in it is replaced.
        QString name = EditedName(QString::fromStdString(m.name));
        for (;;) {
            bool ok = false;
            name = QInputDialog::getText(
                this, "Add under a new name",
                "Name of the edited copy in the archive:", QLineEdit::Normal, name, &ok);
            if (!ok) return;
            engine.setZipFileName(Encoded(m.archive));
            const std::string stored = name.toStdString();
            if (!engine::StorableAsIs(stored))
                ShowMessage(name + " cannot be stored as a member's name.");
            else if (EntryNamed(engine, stored))
                ShowMessage("The archive already holds " + name + ".");
            else
                break;
        }
        WriteMember(m, name.toStdString());
    } else if (answer == QMessageBox::Save) {
        QFileDialog dialog(this, "Save the edited copy", QDir::homePath());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.selectFile(QFileInfo(m.file).fileName());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        const QString target = dialog.selectedFiles().first();
        // The dialog has asked before an existing file is replaced.
        if (QFileInfo(target).isFile()) QFile::remove(target);
        if (!QFile::copy(m.file, target)) ShowMessage("Cannot write " + target);
    }
}

void Main_sc::AskAboutEditedCopies() {
    edits_->CheckCopies();
}

void Main_sc::KeepUnwrittenCopies() {
    // The run's folder goes at exit: a copy whose changes the archive does
    // not hold (answered "Not now", or its write-back failed) is moved to a
    // folder of its own that stays, and the user is told where.
    QStringList kept;
    QString keep;
    for (const auto& m : edits_->Members()) {
        if (!QFileInfo(m->file).isFile() || StateOfCopy(m->file).SameBytes(m->inArchive)) continue;
        if (keep.isEmpty()) {
            std::string pattern = platform::TempFolder() + "kelp-edited-XXXXXX";
            if (!mkdtemp(pattern.data())) break;
            keep = QString::fromStdString(pattern) + "/";
        }
        QString target = keep + QFileInfo(m->file).fileName();
        for (int n = 2; QFileInfo::exists(target); ++n)
            target = keep + QString("%1 (%2)").arg(QFileInfo(m->file).fileName()).arg(n);
        if (QFile::rename(m->file, target))
            kept << QString("%1 (%2)").arg(QString::fromStdString(m->name), target);
    }
    if (!kept.isEmpty())
        ShowMessage("These edited copies were not written to their archives and were kept:\n\n" +
                    kept.join('\n'));
}

}  // namespace kelp
