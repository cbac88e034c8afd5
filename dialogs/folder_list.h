// The folder list: the file-system root, each folder of the path down to the
// current folder (indented one step a level), then the current folder's
// sub-folders, hidden ones included, in the user locale's name order.
// Double-clicking an item makes that folder current.
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QListView>

#include <vector>

namespace kelp {

class FolderListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Roles { PathRole = Qt::UserRole + 1, LevelRole };
    struct Item {
        QString path;
        QString text;
        int level = 0;
        bool open = false;  // on the path to the current folder
    };

    using QAbstractListModel::QAbstractListModel;
    // Rebuilds the items for `folder` (absolute); returns the current row.
    int setFolder(const QString& folder);
    const std::vector<Item>& items() const { return items_; }

    QIcon OpenIcon, ClosedIcon;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    std::vector<Item> items_;
};

class FolderList : public QListView {
    Q_OBJECT
  public:
    explicit FolderList(QWidget* parent = nullptr);

    QString Directory() const { return directory_; }
    // Shows `folder` (made absolute and clean); an existing folder only.
    // Raises OnChange when the folder differs from the one shown.
    void setDirectory(const QString& folder);
    // Moves to `mountPoint`: to the process's current folder when that lies
    // on it, else to the mount point itself.
    void setDrive(const QString& mountPoint);
    FolderListModel* listModel() const { return model_; }
    // The item texts in list order.
    QStringList Items() const;

  signals:
    void OnChange();

  private:
    FolderListModel* model_;
    QString directory_;
};

}  // namespace kelp
