// The file list: the entries of one folder in name, size and date columns,
// folders first as "[name]", the parent as "[..]". Opening an entry (double
// click, Enter, Ctrl+Page Down) enters a folder, goes to the parent or opens
// a file with the desktop's program for it; Ctrl+Page Up goes to the parent.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include <vector>

#include "file_entries.h"

namespace kelp {

class ShellServices;

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn, SizeColumn, DateColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;
    void setEntries(std::vector<FileEntry> entries);
    const std::vector<FileEntry>& entries() const { return entries_; }

    QString DirName = QStringLiteral("<DIR>");  // size text of folder entries
    QString DateFormat = QStringLiteral("dd.MM.yy");
    QIcon FolderIcon, ParentIcon;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

  private:
    std::vector<FileEntry> entries_;
};

class FileListBox : public QTreeView {
    Q_OBJECT
  public:
    // `shell` (not owned) opens files; without one files are not opened.
    explicit FileListBox(ShellServices* shell, QWidget* parent = nullptr);

    QString Directory() const { return directory_; }
    // Shows `folder` (made absolute); raises OnChange when it differs from
    // the folder shown.
    void setDirectory(const QString& folder);
    ListingOptions Options() const { return options_; }
    void setOptions(const ListingOptions& options);
    void setMultiSelect(bool on);
    void setDateFormat(const QString& qtFormat);
    // Rereads the folder shown.
    void Reread();

    FileListModel* listModel() const { return model_; }
    // The item texts in list order, and the rows now selected (ascending).
    QStringList Items() const;
    std::vector<int> SelectedRows() const;
    void setRowSelected(int row, bool on);
    // Opens the entry of `row` as a double click does.
    void OpenEntry(int row);
    void OpenParent();

  signals:
    void OnChange();  // Directory changed
    void OnClick();   // the user changed the selection

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    ShellServices* shell_;
    FileListModel* model_;
    QString directory_;
    ListingOptions options_;
};

}  // namespace kelp
