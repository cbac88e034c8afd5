// Draws the data cells of SortGrid: brush, font, alignment offsets, footer
// colours and bevels, with OnGetCellFormat deciding the details per cell.
#pragma once

#include <QStyledItemDelegate>

namespace kelp {

class SortGrid;

class SortGridDelegate : public QStyledItemDelegate {
  public:
    explicit SortGridDelegate(SortGrid* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Text offset inside a cell, from its left and top edges.
    static QPoint textOffset(const QSize& cell, const QSize& text, Qt::AlignmentFlag horz,
                             int vert);

  private:
    SortGrid* grid_;
};

}  // namespace kelp
