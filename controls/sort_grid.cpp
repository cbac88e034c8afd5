#include "sort_grid.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>
#include <QTextStream>

#include <algorithm>
#include <utility>
#include <vector>

#include "sort_grid_delegate.h"
#include "sort_grid_header.h"

namespace kelp {

namespace {

// Restores the cursor when a sort ends, also when it throws.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

const QString kSymbolNames = QStringLiteral("SORTUPSORTDNSORTAZSORTZA");

// Draws "A" over "Z" (or the reverse) in a 16 by 16 glyph.
QPixmap letterGlyph(bool ascending) {
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter g(&p);
    QFont f;
    f.setPixelSize(7);
    f.setBold(true);
    g.setFont(f);
    g.setPen(Qt::black);
    g.drawText(QRect(0, 0, 10, 8), Qt::AlignCenter, ascending ? "A" : "Z");
    g.drawText(QRect(0, 8, 10, 8), Qt::AlignCenter, ascending ? "Z" : "A");
    g.drawLine(13, 1, 13, 14);
    const int tip = ascending ? 14 : 1, back = ascending ? 11 : 4;
    g.drawLine(13, tip, 11, back);
    g.drawLine(13, tip, 15, back);
    return p;
}

}  // namespace

QPixmap sortSymbolPicture(const QString& name) {
    const int i = kSymbolNames.indexOf(name) / 6;
    if (name.size() != 6 || kSymbolNames.indexOf(name) % 6 != 0) return {};
    if (i >= 2) return letterGlyph(i == 2);
    // An 8 by 7 triangle pointing up (ascending) or down.
    QPixmap p(8, 7);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(96, 96, 96));
    const QPolygon up{{0, 6}, {7, 6}, {4, 0}, {3, 0}};
    const QPolygon down{{0, 0}, {7, 0}, {4, 6}, {3, 6}};
    g.drawPolygon(i == 0 ? up : down);
    return p;
}

SortGrid::SortGrid(QWidget* parent)
    : QTableView(parent), model_(new SortGridModel(this)), header_(new SortGridHeader(this)) {
    setModel(model_);
    setHorizontalHeader(header_);
    header_->setModel(model_);
    setItemDelegate(new SortGridDelegate(this));
    verticalHeader()->hide();
    // Fixed row heights keep a grid of 100 000 rows cheap to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    model_->validate = [this](int col, int row, QString& value, bool& valid) {
        emit OnCellValidate(col, row, value, valid);
    };
    connect(header_, &QHeaderView::sectionResized, this, [this] { emit OnColumnWidthsChanged(); });
    connect(verticalHeader(), &QHeaderView::sectionResized, this,
            [this] { emit OnRowHeightsChanged(); });
}

int SortGrid::Row() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? model_->gridRow(i.row()) : -1;
}

int SortGrid::Col() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

void SortGrid::setRow(int row) {
    const int col = std::max(Col(), 0);
    setCurrentIndex(model_->index(model_->viewRow(row), col));
}

void SortGrid::setRowCount(int n) {
    const int oldRows = RowCount(), oldCols = ColCount();
    model_->setRowCount(n);
    if (RowCount() != oldRows) {
        rowsChanged();
        footerRows_ = std::min(footerRows_, RowCount() - FixedRows());
        emit OnSizeChanged(oldCols, oldRows);
    }
}

void SortGrid::setColCount(int n) {
    const int oldRows = RowCount(), oldCols = ColCount();
    model_->setColCount(n);
    if (ColCount() != oldCols) emit OnSizeChanged(oldCols, oldRows);
}

void SortGrid::setFixedRows(int n) {
    model_->setFixedRows(n);
    header_->setVisible(FixedRows() > 0);
    rowsChanged();
}

void SortGrid::setSortColumn(int col) {
    if (col < 0 || col >= ColCount()) return;
    sortColumn_ = col;
    repaintHeader();
}

void SortGrid::setSortDirection(kelp::SortDirection d) {
    sortDirection_ = d;
    updateSymbol();
}

void SortGrid::setSortSymbol(SortSymbolKind s) {
    sortSymbol_ = s;
    updateSymbol();
}

void SortGrid::setSortSpacingHor(int v) {
    sortSpacingHor_ = v;
    repaintHeader();
}

void SortGrid::setSortSpacingVert(int v) {
    sortSpacingVert_ = v;
    repaintHeader();
}

void SortGrid::setSortBitMapA(const QPixmap& p) {
    bitmapA_ = p;
    updateSymbol();
}

void SortGrid::setSortBitMapD(const QPixmap& p) {
    bitmapD_ = p;
    updateSymbol();
}

void SortGrid::updateSymbol() {
    const bool asc = sortDirection_ == sdAscending;
    switch (sortSymbol_) {
        case sgNone:
            symbol_ = QPixmap();
            break;
        case sgArrow:
            symbol_ = sortSymbolPicture(asc ? "SORTUP" : "SORTDN");
            break;
        case sgGlyph:
            symbol_ = sortSymbolPicture(asc ? "SORTAZ" : "SORTZA");
            break;
        case sgCustom: {
            // The colour of the top-left pixel is transparent in a custom symbol.
            const QPixmap src = asc ? bitmapA_ : bitmapD_;
            symbol_ = src;
            if (!src.isNull()) {
                const QImage img = src.toImage();
                symbol_.setMask(
                    QBitmap::fromImage(img.createMaskFromColor(img.pixel(0, 0), Qt::MaskInColor)));
            }
            break;
        }
    }
    repaintHeader();
}

void SortGrid::repaintHeader() {
    header_->viewport()->update();
}

void SortGrid::setAlignmentHorz(Qt::AlignmentFlag a) {
    alignHorz_ = a;
    viewport()->update();
}

void SortGrid::setAlignmentVert(VertAlignment a) {
    alignVert_ = a;
    viewport()->update();
}

void SortGrid::setBevelStyle(CellBevelStyle b) {
    bevel_ = b;
    viewport()->update();
}

void SortGrid::setFooterRows(int n) {
    if (n < 0 || n > RowCount() - FixedRows()) return;
    footerRows_ = n;
    viewport()->update();
}

void SortGrid::setFooterColor(const QColor& c) {
    footerColor_ = c;
    viewport()->update();
}

void SortGrid::setFooterFont(const QFont& f) {
    footerFont_ = f;
    viewport()->update();
}

void SortGrid::setFooterBevelStyle(CellBevelStyle b) {
    footerBevel_ = b;
    viewport()->update();
}

void SortGrid::setDefaultDrawing(bool v) {
    defaultDrawing_ = v;
    viewport()->update();
}

void SortGrid::setOptions(int o) {
    options_ = o;
    model_->editable = o & goEditing;
    setEditTriggers(model_->editable
                        ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed
                        : QAbstractItemView::NoEditTriggers);
    viewport()->update();
}

void SortGrid::headerClicked(int col, Qt::MouseButton button) {
    SortOptions o;
    o.SortStyle = ssAutomatic;
    o.SortDirection = button == Qt::RightButton ? sdDescending : sdAscending;
    o.SortCaseSensitive = caseSensitive_;
    emit OnClickSort(col, 0, o);
    WaitCursor wait;
    SortOnColumn(col, o);
}

SortStyleKind SortGrid::DetectSortStyle(int col) const {
    QStringList keys;
    for (int r = sortFirstRow(); r <= sortLastRow(); ++r) keys.append(Cells(col, r));
    return detectSortStyle(keys);
}

void SortGrid::SortOnColumn(int col, SortOptions options) {
    if (state() == EditingState || FixedRows() + 1 >= RowCount()) return;
    if (options.SortStyle == ssAutomatic) options.SortStyle = DetectSortStyle(col);
    emit OnBeginSort(col, options);
    ReorderRows(col, options);
    emit OnEndSort(col);
}

void SortGrid::ReorderRows(int col, const SortOptions& options) {
    sorting_ = true;
    sortList_.clear();
    setSortDirection(options.SortDirection);
    setSortColumn(col);
    const int first = sortFirstRow(), last = sortLastRow();
    sortList_.reserve(std::max(0, last - first + 1));
    for (int r = first; r <= last; ++r) sortList_.push_back({Cells(col, r), r});
    const std::vector<int> order = sortedOrder(sortList_, options);
    SortedList sorted(order.size());
    for (size_t i = 0; i < order.size(); ++i) sorted[i] = std::move(sortList_[order[i]]);
    sortList_ = std::move(sorted);
    // The model moves whole rows; the current cell follows its record.
    model_->permuteRows(first, order);
    sorting_ = false;
    sorted_ = true;
}

void SortGrid::Unsort() {
    const int first = sortFirstRow();
    const int n = sortLastRow() - first + 1;
    if (sorted_ && int(sortList_.size()) == n) {
        std::vector<int> order(n);
        for (int i = 0; i < n; ++i) order[sortList_[i].RowNum - first] = i;
        model_->permuteRows(first, order);
    }
    sortList_.clear();
    sorted_ = false;
}

void SortGrid::InsertRow(int row) {
    const int oldRows = RowCount();
    model_->insertGridRow(row);
    rowsChanged();
    emit OnRowInsert(row);
    emit OnSizeChanged(ColCount(), oldRows);
}

void SortGrid::DeleteRow(int row) {
    const int oldRows = RowCount();
    if (row < FixedRows() || row >= oldRows) return;
    model_->deleteGridRow(row);
    rowsChanged();
    footerRows_ = std::min(footerRows_, RowCount() - FixedRows());
    emit OnRowDelete(row);
    emit OnSizeChanged(ColCount(), oldRows);
}

void SortGrid::MoveRow(int from, int to) {
    model_->moveGridRow(from, to);
    rowsChanged();
}

void SortGrid::ExchangeRows(int a, int b) {
    if (a == b || std::min(a, b) < FixedRows() || std::max(a, b) >= RowCount()) return;
    const QStringList ra = model_->Rows(a);
    model_->setRows(a, model_->Rows(b));
    model_->setRows(b, ra);
    rowsChanged();
}

void SortGrid::InsertColumn(int col) {
    const int oldCols = ColCount();
    model_->insertGridColumn(col);
    emit OnColumnInsert(col);
    emit OnSizeChanged(oldCols, RowCount());
}

void SortGrid::DeleteColumn(int col) {
    const int oldCols = ColCount();
    if (col < 0 || col >= oldCols || oldCols == 1) return;
    model_->deleteGridColumn(col);
    emit OnColumnDelete(col);
    emit OnSizeChanged(oldCols, RowCount());
}

void SortGrid::Clear() {
    std::vector<QStringList> empty(RowCount() - FixedRows());
    model_->setDataRows(std::move(empty));
    rowsChanged();
}

void SortGrid::AutoSizeColumn(int col) {
    if (col >= 0 && col < ColCount()) setColumnWidth(col, ContentWidths()[col]);
}

std::vector<int> SortGrid::ContentWidths(int sample) const {
    // One pass over the rows keeps, per column, the `sample` longest cells
    // (by characters) in a heap whose top is the shortest of them; only
    // those are measured.
    using Cell = std::pair<qsizetype, int>;  // length, row
    const auto longer = [](const Cell& a, const Cell& b) { return a.first > b.first; };
    std::vector<std::vector<Cell>> longest(ColCount());
    for (int r = 0; r < RowCount(); ++r) {
        for (int c = 0; c < ColCount(); ++c) {
            std::vector<Cell>& heap = longest[c];
            const qsizetype length = model_->CellLength(c, r);
            if (sample <= 0 || int(heap.size()) < sample) {
                heap.emplace_back(length, r);
                std::push_heap(heap.begin(), heap.end(), longer);
            } else if (length > heap.front().first) {
                std::pop_heap(heap.begin(), heap.end(), longer);
                heap.back() = {length, r};
                std::push_heap(heap.begin(), heap.end(), longer);
            }
        }
    }
    const QFontMetrics fm(font());
    std::vector<int> widths(ColCount(), 0);
    for (int c = 0; c < ColCount(); ++c) {
        for (const Cell& cell : longest[c])
            widths[c] = std::max(widths[c], fm.horizontalAdvance(Cells(c, cell.second)));
        widths[c] += fm.horizontalAdvance(QLatin1Char('x'));
    }
    return widths;
}

bool SortGrid::LoadFromFile(const QString& path, QChar delimiter) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&f);
    std::vector<QStringList> rows;
    QStringList header;
    int cols = 1;
    for (int line = 0; !in.atEnd(); ++line) {
        const QStringList cells = in.readLine().split(delimiter);
        cols = std::max(cols, int(cells.size()));
        if (line < FixedRows())
            header = cells;
        else
            rows.push_back(cells);
    }
    const int oldRows = RowCount(), oldCols = ColCount();
    model_->setColCount(cols);
    if (FixedRows() > 0) model_->setRows(0, header);
    model_->setDataRows(std::move(rows));
    rowsChanged();
    emit OnSizeChanged(oldCols, oldRows);
    return true;
}

bool SortGrid::SaveToFile(const QString& path, QChar delimiter) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
    QTextStream out(&f);
    for (int r = 0; r < RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ColCount(); ++c) cells.append(Cells(c, r));
        out << cells.join(delimiter) << '\n';
    }
    return true;
}

int SortGrid::FindColumn(const QString& text) const {
    for (int c = 0; c < ColCount(); ++c)
        for (int r = 0; r < RowCount(); ++r)
            if (Cells(c, r).contains(text)) return c;
    return -1;
}

void SortGrid::keyPressEvent(QKeyEvent* e) {
    const auto mods = e->modifiers();
    const bool ins = e->key() == Qt::Key_Insert, del = e->key() == Qt::Key_Delete;
    if (extendedKeys_ && state() != EditingState && (ins || del) && (mods & Qt::ControlModifier)) {
        if (mods & Qt::ShiftModifier) {
            if (ins)
                InsertColumn(std::max(Col(), 0));
            else if (ColCount() > 1)
                DeleteColumn(Col());
        } else if (ins) {
            InsertRow(std::max(Row(), FixedRows()));
        } else if (RowCount() - FixedRows() > 1) {
            DeleteRow(Row());
        }
        return;
    }
    QTableView::keyPressEvent(e);
}

QModelIndex SortGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    if (selectionBehavior() == QAbstractItemView::SelectRows &&
        (cursorAction == MoveHome || cursorAction == MoveEnd) && model_->rowCount() > 0) {
        const int column = std::max(currentIndex().column(), 0);
        const int rows = model_->rowCount();
        if (cursorAction == MoveHome) {
            for (int r = 0; r < rows; ++r)
                if (!isRowHidden(r)) return model_->index(r, column);
        } else {
            for (int r = rows - 1; r >= 0; --r)
                if (!isRowHidden(r)) return model_->index(r, column);
        }
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

void SortGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    for (const QModelIndex& i : {previous, current})
        if (i.isValid())
            viewport()->update(0, rowViewportPosition(i.row()), viewport()->width(),
                               rowHeight(i.row()));
}

void SortGrid::enterEvent(QEnterEvent* e) {
    QTableView::enterEvent(e);
    emit OnMouseEnter();
}

void SortGrid::leaveEvent(QEvent* e) {
    QTableView::leaveEvent(e);
    emit OnMouseLeave();
}

}  // namespace kelp
