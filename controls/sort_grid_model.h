// The cell store of the sortable grid: a table of texts whose first row is the
// fixed header row (when the grid has one). The view shows the data rows; the
// header view shows row 0 through headerData().
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/huge_pages.h"

namespace kelp {

// Texts of data rows made when they are asked for rather than stored: a grid
// of 100 000 rows then holds one small record per row instead of its texts.
class GridRowSource {
  public:
    virtual ~GridRowSource() = default;
    // The text of one cell of a record; empty for a column without text.
    virtual QString Cell(int col, uint32_t record) const = 0;
    // Its length in characters, for measuring columns without making texts.
    virtual qsizetype CellLength(int col, uint32_t record) const {
        return Cell(col, record).size();
    }
};

// One grid row: its own texts, or a record of the model's row source.
struct GridRow {
    static constexpr uint32_t kOwnTexts = UINT32_MAX;
    QStringList cells;
    uint32_t record = kOwnTexts;
};
// A grid of a million rows takes tens of megabytes.
using GridRows = std::vector<GridRow, platform::LargeBlocks<GridRow>>;

class SortGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SortGridModel(QObject* parent = nullptr);

    // Grid coordinates: rows count the fixed row.
    int RowCount() const { return int(rows_.size()); }
    int ColCount() const { return colCount_; }
    int FixedRows() const { return fixedRows_; }
    void setRowCount(int n);
    void setColCount(int n);
    void setFixedRows(int n);  // 0 or 1

    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString& text);
    QStringList Rows(int row) const;
    // The length of a cell's text, read without copying the text.
    qsizetype CellLength(int col, int row) const;
    void setRows(int row, const QStringList& cells);
    // Replaces all data rows at once (one model reset).
    void setDataRows(std::vector<QStringList> rows);
    // The same with rows that may show records of `source`; a row that is
    // edited takes its texts from the source and holds them from then on.
    // Room for FixedRows() more rows in `rows` saves a copy of them.
    void setDataRows(GridRows rows, std::shared_ptr<const GridRowSource> source);
    // One row as stored, for handing rows on to setDataRows.
    const GridRow& DataRow(int row) const { return rows_.at(row); }
    const std::shared_ptr<const GridRowSource>& RowSource() const { return source_; }

    // Moves whole rows: order[i] is the offset from `first` of the row that
    // goes to position first + i. Persistent indexes (current cell,
    // selection) follow their rows.
    void permuteRows(int first, const std::vector<int>& order);

    void insertGridRow(int row);
    void deleteGridRow(int row);
    void insertGridColumn(int col);
    void deleteGridColumn(int col);
    void moveGridRow(int from, int to);

    int gridRow(int viewRow) const { return viewRow + fixedRows_; }
    int viewRow(int gridRow) const { return gridRow - fixedRows_; }

    // Called when an edited cell is left with changed text; may change the
    // value or refuse it.
    std::function<void(int col, int row, QString& value, bool& valid)> validate;
    bool editable = false;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    QStringList& rowAt(int row);
    // Gives source rows their own texts (before columns move).
    void takeOwnTexts();
    GridRows rows_;
    std::shared_ptr<const GridRowSource> source_;
    int colCount_ = 5;
    int fixedRows_ = 1;
};

}  // namespace kelp
