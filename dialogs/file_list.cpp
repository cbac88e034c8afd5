#include "file_list.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

#include "shell_services.h"

namespace kelp {

void FileListModel::setEntries(std::vector<FileEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(entries_.size())) return {};
    const FileEntry& e = entries_[index.row()];
    const bool file = e.kind == EntryKind::File;
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case NameColumn:
                    return e.Text();
                case SizeColumn:
                    return file ? GroupedSize(e.size) : DirName;
                case DateColumn:
                    return e.modified.toString(DateFormat);
            }
            break;
        case Qt::TextAlignmentRole:
            if (index.column() == SizeColumn) return int(Qt::AlignRight | Qt::AlignVCenter);
            break;
        case Qt::DecorationRole:
            if (index.column() == NameColumn && !file)
                return e.kind == EntryKind::Parent ? ParentIcon : FolderIcon;
            break;
    }
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[ColumnCount] = {"Name", "Size", "Date"};
    return section >= 0 && section < ColumnCount ? QString(names[section]) : QVariant();
}

FileListBox::FileListBox(ShellServices* shell, QWidget* parent)
    : QTreeView(parent), shell_(shell), model_(new FileListModel(this)) {
    model_->FolderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    model_->ParentIcon = style()->standardIcon(QStyle::SP_FileDialogToParent);
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(FileListModel::NameColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(FileListModel::SizeColumn, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(FileListModel::DateColumn, QHeaderView::ResizeToContents);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& i) { OpenEntry(i.row()); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit OnClick(); });
    setDirectory(QDir::currentPath());
}

void FileListBox::setDirectory(const QString& folder) {
    const QString path = QDir(folder).absolutePath();
    if (path == directory_) return;
    directory_ = path;
    Reread();
    emit OnChange();
}

void FileListBox::setOptions(const ListingOptions& options) {
    options_ = options;
    Reread();
}

void FileListBox::setMultiSelect(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                        : QAbstractItemView::SingleSelection);
}

void FileListBox::setDateFormat(const QString& qtFormat) {
    model_->DateFormat = qtFormat;
    viewport()->update();
}

void FileListBox::Reread() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->setEntries(ReadEntries(directory_, options_));
    QApplication::restoreOverrideCursor();
}

QStringList FileListBox::Items() const {
    QStringList items;
    for (const FileEntry& e : model_->entries()) items.append(e.Text());
    return items;
}

std::vector<int> FileListBox::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FileListBox::setRowSelected(int row, bool on) {
    selectionModel()->select(model_->index(row, 0),
                             (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                 QItemSelectionModel::Rows);
}

void FileListBox::OpenEntry(int row) {
    if (row < 0 || row >= int(model_->entries().size())) return;
    const FileEntry e = model_->entries()[row];
    switch (e.kind) {
        case EntryKind::Parent:
            OpenParent();
            break;
        case EntryKind::Folder:
            setDirectory(QDir(directory_).filePath(e.name));
            break;
        case EntryKind::File:
            if (shell_ && !shell_->Open(QDir(directory_).filePath(e.name), directory_))
                QApplication::beep();
            break;
    }
}

void FileListBox::OpenParent() {
    QDir dir(directory_);
    if (dir.isRoot()) return;
    const QString left = dir.dirName();
    dir.cdUp();
    setDirectory(dir.absolutePath());
    // The folder just left is selected (and made current) in the parent.
    const auto& entries = model_->entries();
    for (int row = 0; row < int(entries.size()); ++row) {
        if (entries[row].kind == EntryKind::Folder && entries[row].name == left) {
            setCurrentIndex(model_->index(row, 0));
            break;
        }
    }
}

void FileListBox::keyPressEvent(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (ctrl && e->key() == Qt::Key_PageUp) {
        OpenParent();
        return;
    }
    if ((ctrl && e->key() == Qt::Key_PageDown) ||
        ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentIndex().isValid())) {
        OpenEntry(currentIndex().row());
        return;
    }
    QTreeView::keyPressEvent(e);
}

}  // namespace kelp
