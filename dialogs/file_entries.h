// The entries of one folder as the file list shows them: the parent entry
// first, then the folders, then the files matching the masks, each group in
// the user locale's name order. Plain code, called by the file list's model
// and by tests.
#pragma once

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>

#include <vector>

namespace kelp {

enum class EntryKind { Parent, Folder, File };

struct FileEntry {
    QString name;  // ".." for the parent entry
    EntryKind kind = EntryKind::File;
    qint64 size = 0;
    QDateTime modified;

    // "[name]" for a folder, "[..]" for the parent, the plain name for a file.
    QString Text() const;
};

// What a folder listing holds. `FileType` uses QDir's filters: QDir::Files for
// files, QDir::Dirs for folders, QDir::Hidden for hidden entries of either.
struct ListingOptions {
    QString Mask = QStringLiteral("*.*");
    QDir::Filters FileType = QDir::Files;
    bool ShowParentFolder = true;
};

// Orders names by the user locale's comparison; case only breaks ties.
class NameOrder {
  public:
    NameOrder() { collator_.setCaseSensitivity(Qt::CaseInsensitive); }
    bool operator()(const QString& a, const QString& b) const {
        const int c = collator_.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    }

  private:
    QCollator collator_;
};

// A byte count with a blank before each group of three digits, at most two
// blanks: 999, 12 345, 1 234 567, 1234 567 890.
QString GroupedSize(qint64 bytes);

// The masks of a mask text split at ";", blanks trimmed; "*.*" (and an empty
// text) stands for every name, dotted or not.
QStringList SplitMasks(const QString& mask);

// Reads `folder` into sorted entries. The parent entry is left out at the
// file-system root.
std::vector<FileEntry> ReadEntries(const QString& folder, const ListingOptions& options);

}  // namespace kelp
