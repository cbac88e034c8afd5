#include "sort_grid_model.h"

#include <iterator>

namespace kelp {

SortGridModel::SortGridModel(QObject* parent) : QAbstractTableModel(parent) {
    rows_.resize(5);
}

QStringList& SortGridModel::rowAt(int row) {
    GridRow& g = rows_[row];
    if (g.record != GridRow::kOwnTexts) {
        g.cells = Rows(row);
        g.record = GridRow::kOwnTexts;
    }
    while (g.cells.size() < colCount_) g.cells.append(QString());
    return g.cells;
}

void SortGridModel::takeOwnTexts() {
    for (int r = 0; r < RowCount(); ++r)
        if (rows_[r].record != GridRow::kOwnTexts) rowAt(r);
    source_.reset();
}

void SortGridModel::setRowCount(int n) {
    n = std::max(n, fixedRows_);
    const int old = RowCount();
    if (n == old) return;
    if (n > old) {
        beginInsertRows({}, viewRow(old), viewRow(n) - 1);
        rows_.resize(n);
        endInsertRows();
    } else {
        beginRemoveRows({}, viewRow(n), viewRow(old) - 1);
        rows_.resize(n);
        endRemoveRows();
    }
}

void SortGridModel::setColCount(int n) {
    n = std::max(n, 1);
    if (n == colCount_) return;
    beginResetModel();
    colCount_ = n;
    for (GridRow& r : rows_)
        if (r.cells.size() > n) r.cells.resize(n);
    endResetModel();
}

void SortGridModel::setFixedRows(int n) {
    n = std::clamp(n, 0, 1);
    if (n == fixedRows_) return;
    beginResetModel();
    fixedRows_ = n;
    if (RowCount() < n) rows_.resize(n);
    endResetModel();
}

QString SortGridModel::Cells(int col, int row) const {
    if (row < 0 || row >= RowCount() || col < 0 || col >= colCount_) return {};
    const GridRow& r = rows_[row];
    if (r.record != GridRow::kOwnTexts) return source_->Cell(col, r.record);
    return col < r.cells.size() ? r.cells[col] : QString();
}

QStringList SortGridModel::Rows(int row) const {
    const GridRow& r = rows_.at(row);
    if (r.record == GridRow::kOwnTexts) return r.cells;
    QStringList cells;
    cells.reserve(colCount_);
    for (int c = 0; c < colCount_; ++c) cells.append(source_->Cell(c, r.record));
    return cells;
}

qsizetype SortGridModel::CellLength(int col, int row) const {
    const GridRow& r = rows_[row];
    if (r.record != GridRow::kOwnTexts) return source_->CellLength(col, r.record);
    return col < r.cells.size() ? r.cells[col].size() : 0;
}

void SortGridModel::setCells(int col, int row, const QString& text) {
    if (row < 0 || row >= RowCount() || col < 0 || col >= colCount_) return;
    rowAt(row)[col] = text;
    if (row < fixedRows_) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex i = index(viewRow(row), col);
        emit dataChanged(i, i);
    }
}

void SortGridModel::setRows(int row, const QStringList& cells) {
    if (row < 0 || row >= RowCount()) return;
    rows_[row] = GridRow{cells.mid(0, colCount_)};
    if (row < fixedRows_)
        emit headerDataChanged(Qt::Horizontal, 0, colCount_ - 1);
    else
        emit dataChanged(index(viewRow(row), 0), index(viewRow(row), colCount_ - 1));
}

void SortGridModel::setDataRows(std::vector<QStringList> rows) {
    GridRows own;
    own.reserve(fixedRows_ + rows.size());
    for (QStringList& r : rows) own.push_back(GridRow{std::move(r)});
    setDataRows(std::move(own), nullptr);
}

void SortGridModel::setDataRows(GridRows rows, std::shared_ptr<const GridRowSource> source) {
    if (!source)
        for (GridRow& r : rows) r.record = GridRow::kOwnTexts;
    beginResetModel();
    // The fixed rows go in front of the new ones, which keep their storage:
    // no second array of rows is made when it has room for them.
    rows.insert(rows.begin(), std::make_move_iterator(rows_.begin()),
                std::make_move_iterator(rows_.begin() + fixedRows_));
    rows_ = std::move(rows);
    source_ = std::move(source);
    endResetModel();
}

void SortGridModel::permuteRows(int first, const std::vector<int>& order) {
    const int n = int(order.size());
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    GridRows moved(n);
    std::vector<int> newPos(n);
    for (int i = 0; i < n; ++i) {
        moved[i] = std::move(rows_[first + order[i]]);
        newPos[order[i]] = i;
    }
    for (int i = 0; i < n; ++i) rows_[first + i] = std::move(moved[i]);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from) {
        const int g = gridRow(i.row()) - first;
        to.append(g >= 0 && g < n ? index(viewRow(first + newPos[g]), i.column()) : i);
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SortGridModel::insertGridRow(int row) {
    row = std::clamp(row, fixedRows_, RowCount());
    beginInsertRows({}, viewRow(row), viewRow(row));
    rows_.insert(rows_.begin() + row, GridRow());
    endInsertRows();
}

void SortGridModel::deleteGridRow(int row) {
    if (row < fixedRows_ || row >= RowCount()) return;
    beginRemoveRows({}, viewRow(row), viewRow(row));
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void SortGridModel::moveGridRow(int from, int to) {
    if (from == to || from < fixedRows_ || to < fixedRows_ || from >= RowCount() ||
        to >= RowCount())
        return;
    const int dest = viewRow(to > from ? to + 1 : to);
    beginMoveRows({}, viewRow(from), viewRow(from), {}, dest);
    GridRow r = std::move(rows_[from]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(r));
    endMoveRows();
}

void SortGridModel::insertGridColumn(int col) {
    col = std::clamp(col, 0, colCount_);
    takeOwnTexts();
    beginInsertColumns({}, col, col);
    ++colCount_;
    for (GridRow& r : rows_)
        if (col <= r.cells.size()) r.cells.insert(col, QString());
    endInsertColumns();
}

void SortGridModel::deleteGridColumn(int col) {
    if (col < 0 || col >= colCount_ || colCount_ == 1) return;
    takeOwnTexts();
    beginRemoveColumns({}, col, col);
    --colCount_;
    for (GridRow& r : rows_)
        if (col < r.cells.size()) r.cells.removeAt(col);
    endRemoveColumns();
}

int SortGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount() - fixedRows_;
}

int SortGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : colCount_;
}

QVariant SortGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return Cells(index.column(), gridRow(index.row()));
}

QVariant SortGridModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Vertical) return section + fixedRows_;
    return fixedRows_ > 0 ? Cells(section, 0) : QString();
}

bool SortGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const int row = gridRow(index.row());
    QString text = value.toString();
    if (text == Cells(index.column(), row)) return true;
    bool valid = true;
    if (validate) validate(index.column(), row, text, valid);
    if (!valid) return false;
    setCells(index.column(), row, text);
    return true;
}

Qt::ItemFlags SortGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable) f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace kelp
