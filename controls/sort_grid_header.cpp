#include "sort_grid_header.h"

#include <QMouseEvent>
#include <QPainter>

#include "sort_grid.h"

namespace kelp {

SortGridHeader::SortGridHeader(SortGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
    // The grid sorts on release itself; a press must not select the column.
    setSectionsClickable(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHighlightSections(false);
    connect(this, &QHeaderView::sectionMoved, this, [this] { moved_ = true; });
}

QRect SortGridHeader::symbolRect(int section) const {
    const QPixmap& sym = grid_->sortSymbolBitmap();
    if (sym.isNull()) return {};
    const QFontMetrics fm(font());
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    const QString text =
        model() ? model()->headerData(section, Qt::Horizontal).toString() : QString();
    const int textLeft = sectionViewportPosition(section) + margin;
    const int textTop = (height() - fm.height()) / 2;
    return QRect(textLeft + fm.horizontalAdvance(text) + grid_->SortSpacingHor(),
                 textTop + grid_->SortSpacingVert(), sym.width(), sym.height());
}

void SortGridHeader::paintSection(QPainter* painter, const QRect& rect, int section) const {
    QHeaderView::paintSection(painter, rect, section);
    if (section != grid_->SortColumn() || grid_->FixedRows() < 1) return;
    const QRect r = symbolRect(section);
    if (r.isNull()) return;
    painter->save();
    painter->setClipRect(rect);
    painter->drawPixmap(r.topLeft(), grid_->sortSymbolBitmap());
    painter->restore();
}

bool SortGridHeader::onSectionEdge(int x) const {
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int section = logicalIndexAt(x);
    if (section < 0) return false;
    const int left = sectionViewportPosition(section);
    const int right = left + sectionSize(section);
    return (visualIndex(section) > 0 && x - left < grip) || right - x <= grip;
}

void SortGridHeader::mousePressEvent(QMouseEvent* e) {
    // A press on the grid's header gives the grid the focus, as on a cell.
    grid_->setFocus(Qt::MouseFocusReason);
    resizing_ = e->button() == Qt::LeftButton && onSectionEdge(e->position().toPoint().x());
    moved_ = false;
    QHeaderView::mousePressEvent(e);
}

void SortGridHeader::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    const int section = logicalIndexAt(p.x());
    const bool plain = e->modifiers() == Qt::NoModifier && e->buttons() == Qt::NoButton;
    if (grid_->hasFocus() && grid_->SortOnClick() && !resizing_ && !moved_ && plain &&
        grid_->FixedRows() >= 1 && section >= 0 && rect().contains(p))
        grid_->headerClicked(section, e->button());
    resizing_ = moved_ = false;
    QHeaderView::mouseReleaseEvent(e);
}

}  // namespace kelp
