#include "file_entries.h"

#include <QFileInfo>

#include <algorithm>

namespace kelp {

QString FileEntry::Text() const {
    return kind == EntryKind::File ? name : QStringLiteral("[%1]").arg(name);
}

QString GroupedSize(qint64 bytes) {
    QString digits = QString::number(bytes);
    // Blanks go in from the right, before each group of three digits.
    for (int pos = digits.size() - 3, blanks = 0; pos > 0 && blanks < 2; pos -= 3, ++blanks)
        digits.insert(pos, QLatin1Char(' '));
    return digits;
}

QStringList SplitMasks(const QString& mask) {
    QStringList masks;
    for (QString m : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        m = m.trimmed();
        if (m.isEmpty()) continue;
        masks.append(m == QLatin1String("*.*") ? QStringLiteral("*") : m);
    }
    if (masks.isEmpty()) masks.append(QStringLiteral("*"));
    masks.removeDuplicates();
    return masks;
}

std::vector<FileEntry> ReadEntries(const QString& folder, const ListingOptions& options) {
    std::vector<FileEntry> folders, files;
    const QDir dir(folder);
    const QDir::Filters hidden = options.FileType & (QDir::Hidden | QDir::System);
    if (options.FileType & QDir::Dirs) {
        for (const QFileInfo& info :
             dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | hidden, QDir::NoSort))
            folders.push_back({info.fileName(), EntryKind::Folder, 0, info.lastModified()});
    }
    if (options.FileType & QDir::Files) {
        // A name matching several masks is listed once.
        for (const QFileInfo& info :
             dir.entryInfoList(SplitMasks(options.Mask), QDir::Files | hidden, QDir::NoSort))
            files.push_back({info.fileName(), EntryKind::File, info.size(), info.lastModified()});
    }
    const NameOrder order;
    auto byName = [&order](const FileEntry& a, const FileEntry& b) {
        return order(a.name, b.name);
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);

    std::vector<FileEntry> entries;
    if (options.ShowParentFolder && (options.FileType & QDir::Dirs) && !dir.isRoot()) {
        const QFileInfo parent(dir.absoluteFilePath(QStringLiteral("..")));
        entries.push_back({QStringLiteral(".."), EntryKind::Parent, 0, parent.lastModified()});
    }
    entries.insert(entries.end(), folders.begin(), folders.end());
    entries.insert(entries.end(), files.begin(), files.end());
    return entries;
}

}  // namespace kelp
