// The header row of SortGrid: paints the sort symbol beside the sorted
// column's caption and turns button releases on a caption into sorts.
#pragma once

#include <QHeaderView>

namespace kelp {

class SortGrid;

class SortGridHeader : public QHeaderView {
  public:
    explicit SortGridHeader(SortGrid* grid);

    // Where the symbol of a column is drawn, in header coordinates.
    QRect symbolRect(int section) const;

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    bool onSectionEdge(int x) const;
    SortGrid* grid_;
    bool resizing_ = false;
    bool moved_ = false;
};

}  // namespace kelp
