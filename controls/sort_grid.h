// SortGrid: a grid of text cells with a fixed header row that sorts its data
// rows by a column when a header cell is clicked, marks the sorted column with
// a symbol, formats cells (alignment, bevels, footer rows) and reports each
// sort through signals. Built on a model and a view, so 100 000 rows cost one
// string list each, or one record of a row source (sort_grid_model.h), and
// nothing per cell on screen.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QStyle>
#include <QTableView>

#include <vector>

#include "sort_grid_logic.h"
#include "sort_grid_model.h"

namespace kelp {

enum SortSymbolKind { sgNone, sgArrow, sgGlyph, sgCustom };
enum VertAlignment { taTopJustify, taBottomJustify, taMiddle };
enum CellBevelStyle { cbNone, cbRaised, cbLowered };
enum GridOption { goFixedVertLine = 0x1, goFixedHorzLine = 0x2, goEditing = 0x4 };

// How one cell is drawn; OnGetCellFormat may change any of it.
struct FormatOptions {
    QBrush Brush;
    QFont Font;
    QColor FontColor;  // the font's colour (a QFont carries none)
    Qt::AlignmentFlag AlignmentHorz = Qt::AlignLeft;
    VertAlignment AlignmentVert = taTopJustify;
    CellBevelStyle Bevel = cbNone;
    QColor HighlightColor;
    QColor ShadowColor;
    bool HideText = false;
};

// The named symbol pictures; names are the six-character pieces of
// "SORTUPSORTDNSORTAZSORTZA".
QPixmap sortSymbolPicture(const QString& name);

class SortGridHeader;

class SortGrid : public QTableView {
    Q_OBJECT
  public:
    explicit SortGrid(QWidget* parent = nullptr);

    SortGridModel* gridModel() const { return model_; }

    // Cells and shape, in grid coordinates (row 0 is the fixed row).
    int RowCount() const { return model_->RowCount(); }
    int ColCount() const { return model_->ColCount(); }
    void setRowCount(int n);
    void setColCount(int n);
    int FixedRows() const { return model_->FixedRows(); }
    void setFixedRows(int n);
    QString Cells(int col, int row) const { return model_->Cells(col, row); }
    void setCells(int col, int row, const QString& text) { model_->setCells(col, row, text); }
    int Row() const;  // current grid row, -1 without one
    int Col() const;
    void setRow(int row);

    bool SortOnClick() const { return sortOnClick_; }
    void setSortOnClick(bool v) { sortOnClick_ = v; }
    bool CaseSensitive() const { return caseSensitive_; }
    void setCaseSensitive(bool v) { caseSensitive_ = v; }
    int SortColumn() const { return sortColumn_; }
    void setSortColumn(int col);
    kelp::SortDirection SortDirection() const { return sortDirection_; }
    void setSortDirection(kelp::SortDirection d);
    SortSymbolKind SortSymbol() const { return sortSymbol_; }
    void setSortSymbol(SortSymbolKind s);
    int SortSpacingHor() const { return sortSpacingHor_; }
    void setSortSpacingHor(int v);
    int SortSpacingVert() const { return sortSpacingVert_; }
    void setSortSpacingVert(int v);
    QPixmap SortBitMapA() const { return bitmapA_; }
    void setSortBitMapA(const QPixmap& p);
    QPixmap SortBitMapD() const { return bitmapD_; }
    void setSortBitMapD(const QPixmap& p);
    const QPixmap& sortSymbolBitmap() const { return symbol_; }

    Qt::AlignmentFlag AlignmentHorz() const { return alignHorz_; }
    void setAlignmentHorz(Qt::AlignmentFlag a);
    VertAlignment AlignmentVert() const { return alignVert_; }
    void setAlignmentVert(VertAlignment a);
    CellBevelStyle BevelStyle() const { return bevel_; }
    void setBevelStyle(CellBevelStyle b);
    int FooterRows() const { return footerRows_; }
    void setFooterRows(int n);
    bool SortFooter() const { return sortFooter_; }
    void setSortFooter(bool v) { sortFooter_ = v; }
    QColor FooterColor() const { return footerColor_; }
    void setFooterColor(const QColor& c);
    QFont FooterFont() const { return footerFont_; }
    void setFooterFont(const QFont& f);
    CellBevelStyle FooterBevelStyle() const { return footerBevel_; }
    void setFooterBevelStyle(CellBevelStyle b);
    bool ProportionalScrollBars() const { return proportional_; }
    void setProportionalScrollBars(bool v) { proportional_ = v; }
    bool ExtendedKeys() const { return extendedKeys_; }
    void setExtendedKeys(bool v) { extendedKeys_ = v; }
    bool DefaultDrawing() const { return defaultDrawing_; }
    void setDefaultDrawing(bool v);
    int Options() const { return options_; }
    void setOptions(int o);

    bool isSorted() const { return sorted_; }
    bool isSorting() const { return sorting_; }
    const SortedList& sortedList() const { return sortList_; }

    // Sorting.
    void SortOnColumn(int col, SortOptions options);
    SortStyleKind DetectSortStyle(int col) const;
    void ReorderRows(int col, const SortOptions& options);
    void Unsort();

    // Row and column operations; each clears the sorted state.
    void InsertRow(int row);
    void DeleteRow(int row);
    void MoveRow(int from, int to);
    void ExchangeRows(int a, int b);
    void InsertColumn(int col);
    void DeleteColumn(int col);
    void Clear();  // empties every cell
    void AutoSizeColumn(int col);
    // Per column, the width that shows its texts whole: the widest of its
    // `sample` longest cells (by characters; all cells when sample <= 0)
    // plus a character of room. Sampling keeps 100 000 rows cheap.
    std::vector<int> ContentWidths(int sample = 0) const;
    bool LoadFromFile(const QString& path, QChar delimiter);
    bool SaveToFile(const QString& path, QChar delimiter) const;
    int FindColumn(const QString& text) const;  // first column with a cell holding text, or -1

    // The row range a sort reorders: [first, last], grid rows.
    int sortFirstRow() const { return FixedRows(); }
    int sortLastRow() const { return RowCount() - 1 - (sortFooter_ ? 0 : footerRows_); }
    bool isFooterRow(int row) const { return row > RowCount() - 1 - footerRows_; }

    // Used by the header when a fixed cell was clicked.
    void headerClicked(int col, Qt::MouseButton button);

  signals:
    void OnClickSort(int Col, int Row, kelp::SortOptions& SortOptions);
    void OnBeginSort(int Col, kelp::SortOptions& SortOptions);
    void OnEndSort(int Col);
    void OnGetCellFormat(int Col, int Row, QStyle::State State, kelp::FormatOptions& FormatOptions);
    void OnCellValidate(int Col, int Row, QString& Value, bool& Valid);
    void OnRowInsert(int Index);
    void OnRowDelete(int Index);
    void OnColumnInsert(int Index);
    void OnColumnDelete(int Index);
    void OnColumnWidthsChanged();
    void OnRowHeightsChanged();
    void OnSizeChanged(int OldColCount, int OldRowCount);
    void OnMouseEnter();
    void OnMouseLeave();
    // The ordinary cell-drawing event, raised after the grid drew a cell.
    void OnDrawCell(QPainter* painter, int Col, int Row, const QRect& Rect, QStyle::State State);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    // With whole rows selected, Home and End go to the first and the last
    // row (as in a list), not to the first and last column of the row.
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    // Repaints the whole rows the keyboard leaves and reaches (their frame).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

  private:
    void updateSymbol();
    void rowsChanged() { sorted_ = false; }
    void repaintHeader();

    SortGridModel* model_;
    SortGridHeader* header_;
    bool sortOnClick_ = true;
    bool caseSensitive_ = false;
    int sortColumn_ = 1;
    kelp::SortDirection sortDirection_ = sdAscending;
    SortSymbolKind sortSymbol_ = sgNone;
    int sortSpacingHor_ = 2;
    int sortSpacingVert_ = 0;
    QPixmap bitmapA_, bitmapD_, symbol_;
    Qt::AlignmentFlag alignHorz_ = Qt::AlignLeft;
    VertAlignment alignVert_ = taTopJustify;
    CellBevelStyle bevel_ = cbNone;
    int footerRows_ = 0;
    bool sortFooter_ = false;
    QColor footerColor_{0, 255, 255};
    QFont footerFont_;
    CellBevelStyle footerBevel_ = cbNone;
    bool proportional_ = true;
    bool extendedKeys_ = false;
    bool defaultDrawing_ = true;
    int options_ = goFixedVertLine | goFixedHorzLine;
    bool sorted_ = false;
    bool sorting_ = false;
    SortedList sortList_;
};

}  // namespace kelp
