// Members opened from Kelp in another program, watched until Kelp exits, so
// that what the user saves there can go back into the archive.
#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/member_writeback.h"
#include "engine/zip_dir_entry.h"

namespace kelp {

// A state of a copy on disk: size, modification time and a hash of its
// bytes; an editor that saves the same bytes again changes nothing.
struct CopyState {
    qint64 size = -1;  // -1: no file
    qint64 mtimeNs = 0;
    QByteArray hash;
    bool SameBytes(const CopyState& o) const { return size == o.size && hash == o.hash; }
};
CopyState StateOfCopy(const QString& file);

// One member handed to another program.
struct OpenedMember {
    QString archive;
    std::string name;                          // exact, as the archive's record has it
    std::optional<engine::ZipDirEntry> entry;  // its record when opened (or last written)
    std::string password;                      // what it was opened with; "" when not encrypted
    QString file;                              // the copy the program has
    CopyState seen;                            // the copy as extracted, written back or answered
    CopyState inArchive;  // the copy as the archive holds it (extracted or written back)
    std::optional<engine::FileStamp> archiveStamp;  // the archive at that moment
    bool asking = false;                            // a question about it is open
};

class EditWatch : public QObject {
    Q_OBJECT
  public:
    explicit EditWatch(QObject* parent = nullptr);

    // Watches the copy and its folder (editors often write a new file and
    // rename it over the old one); replaces the record of the same member.
    OpenedMember& Watch(OpenedMember member);
    OpenedMember* Find(const QString& archive, const std::string& name);
    const std::vector<std::unique_ptr<OpenedMember>>& Members() const { return members_; }

    // Emits CopyChanged once for each copy whose bytes differ from what was
    // seen and that no question is open about; that copy is then marked
    // asking until the caller clears it.
    void CheckCopies();
    // How long a burst of saves settles before the copies are compared.
    static constexpr int kSettleMs = 300;

    // The members whose archives are as recorded now; after an action of
    // the window's own, Restamp takes those archives as they have become.
    std::vector<OpenedMember*> Unchanged();
    void Restamp(const std::vector<OpenedMember*>& members);

  signals:
    void CopyChanged(kelp::OpenedMember* member);

  private:
    void Changed();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    std::vector<std::unique_ptr<OpenedMember>> members_;
};

}  // namespace kelp
