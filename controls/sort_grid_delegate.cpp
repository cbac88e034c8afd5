#include "sort_grid_delegate.h"

#include <QPainter>
#include <QPen>

#include "sort_grid.h"

namespace kelp {

SortGridDelegate::SortGridDelegate(SortGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

QPoint SortGridDelegate::textOffset(const QSize& cell, const QSize& text, Qt::AlignmentFlag horz,
                                    int vert) {
    int x = 2, y = 2;
    if (horz == Qt::AlignRight) x = cell.width() - text.width() - 2;
    if (horz == Qt::AlignHCenter) x = (cell.width() - text.width()) / 2;
    if (vert == taBottomJustify) y = cell.height() - text.height() - 3;
    if (vert == taMiddle) y = (cell.height() - text.height()) / 2;
    return {x, y};
}

void SortGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (!grid_->DefaultDrawing()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const int col = index.column();
    const int row = grid_->gridModel()->gridRow(index.row());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;

    FormatOptions fo;
    fo.Brush = selected ? pal.highlight() : pal.base();
    fo.Font = option.font;
    fo.FontColor = selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
    fo.Bevel = grid_->BevelStyle();
    if (grid_->isFooterRow(row)) {
        fo.Font = grid_->FooterFont();
        fo.Brush = grid_->FooterColor();
        fo.FontColor = pal.color(QPalette::Text);
        fo.Bevel = grid_->FooterBevelStyle();
    }
    fo.AlignmentHorz = grid_->AlignmentHorz();
    fo.AlignmentVert = grid_->AlignmentVert();
    const QColor light = pal.color(QPalette::Light), dark = pal.color(QPalette::Dark);
    fo.HighlightColor = fo.Bevel == cbRaised    ? light
                        : fo.Bevel == cbLowered ? dark
                                                : pal.color(QPalette::Base);
    fo.ShadowColor = fo.Bevel == cbRaised    ? dark
                     : fo.Bevel == cbLowered ? light
                                             : pal.color(QPalette::Base);
    emit grid_->OnGetCellFormat(col, row, option.state, fo);

    const QRect r = option.rect;
    painter->save();
    painter->setClipRect(r);
    painter->fillRect(r, fo.Brush);
    if (!fo.HideText) {
        // Control characters (a line break in a stored file name) would
        // break the row: each is drawn as its control picture instead.
        QString text = index.data().toString();
        for (QChar& c : text) {
            if (c.unicode() < 0x20)
                c = QChar(0x2400 + c.unicode());
            else if (c.unicode() == 0x7F)
                c = QChar(0x2421);
        }
        const QFontMetrics fm(fo.Font);
        const QPoint off = textOffset(r.size(), QSize(fm.horizontalAdvance(text), fm.height()),
                                      fo.AlignmentHorz, fo.AlignmentVert);
        painter->setFont(fo.Font);
        painter->setPen(fo.FontColor);
        painter->drawText(r.left() + off.x(), r.top() + off.y() + fm.ascent(), text);
    }
    if (fo.Bevel != cbNone) {
        if (grid_->Options() & goFixedVertLine) {
            painter->setPen(fo.ShadowColor);
            painter->drawLine(r.topRight(), r.bottomRight());
            painter->setPen(fo.HighlightColor);
            painter->drawLine(r.topLeft(), r.bottomLeft());
        }
        if (grid_->Options() & goFixedHorzLine) {
            painter->setPen(fo.ShadowColor);
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            painter->setPen(fo.HighlightColor);
            painter->drawLine(r.topLeft(), r.topRight());
        }
    }
    // The row the keyboard is on, while the grid has the keyboard: a dotted
    // frame around the whole row, so that moving with Ctrl and the arrows
    // shows where Space or Ctrl+Space will act.
    if (grid_->hasFocus() && grid_->currentIndex().row() == index.row() &&
        grid_->selectionBehavior() == QAbstractItemView::SelectRows) {
        painter->setPen(QPen(fo.FontColor, 1, Qt::DotLine));
        const QRect f = r.adjusted(0, 0, -1, -1);
        painter->drawLine(f.topLeft(), f.topRight());
        painter->drawLine(f.bottomLeft(), f.bottomRight());
        if (index.column() == 0) painter->drawLine(f.topLeft(), f.bottomLeft());
        if (index.column() == index.model()->columnCount() - 1)
            painter->drawLine(f.topRight(), f.bottomRight());
    }
    painter->restore();
    emit grid_->OnDrawCell(painter, col, row, r, option.state);
}

}  // namespace kelp
