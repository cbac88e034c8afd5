#include "folder_list.h"

#include <QDir>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

#include "file_entries.h"

namespace kelp {

namespace {

// Draws each item shifted right by its level.
class IndentDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->rect.adjust(Indent(option) * index.data(FolderListModel::LevelRole).toInt(), 0, 0,
                            0);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += Indent(&option) * index.data(FolderListModel::LevelRole).toInt();
        return s;
    }

  private:
    static int Indent(const QStyleOptionViewItem* option) {
        return option->fontMetrics.averageCharWidth() * 2;
    }
};

}  // namespace

int FolderListModel::setFolder(const QString& folder) {
    beginResetModel();
    items_.clear();
    // The path from the root down, one item a level.
    QStringList parts = QDir::cleanPath(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    items_.push_back({QStringLiteral("/"), QStringLiteral("/"), 0, true});
    QString path;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        items_.push_back({path, part, int(items_.size()), true});
    }
    const int current = int(items_.size()) - 1;
    const QDir dir(items_.back().path);
    QStringList subs = dir.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(subs.begin(), subs.end(), NameOrder());
    for (const QString& sub : subs) items_.push_back({dir.filePath(sub), sub, current + 1, false});
    endResetModel();
    return current;
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(items_.size());
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(items_.size())) return {};
    const Item& item = items_[index.row()];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return role == Qt::DisplayRole ? item.text : item.path;
        case Qt::DecorationRole:
            return item.open ? OpenIcon : ClosedIcon;
        case PathRole:
            return item.path;
        case LevelRole:
            return item.level;
    }
    return {};
}

FolderList::FolderList(QWidget* parent) : QListView(parent), model_(new FolderListModel(this)) {
    model_->OpenIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    model_->ClosedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    setModel(model_);
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        setDirectory(i.data(FolderListModel::PathRole).toString());
    });
    setDirectory(QDir::currentPath());
}

void FolderList::setDirectory(const QString& folder) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (!QDir(path).exists()) return;
    const bool changed = path != directory_;
    directory_ = path;
    const int row = model_->setFolder(path);
    setCurrentIndex(model_->index(row));
    scrollTo(currentIndex());
    if (changed) emit OnChange();
}

void FolderList::setDrive(const QString& mountPoint) {
    const QString mount = QDir::cleanPath(mountPoint);
    const QString current = QDir::currentPath();
    const bool onIt = mount == QLatin1String("/") || current == mount ||
                      current.startsWith(mount + QLatin1Char('/'));
    setDirectory(onIt ? current : mount);
}

QStringList FolderList::Items() const {
    QStringList texts;
    for (const auto& item : model_->items()) texts.append(item.text);
    return texts;
}

}  // namespace kelp
