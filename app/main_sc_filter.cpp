// The filter field above the member grid: which listed rows the grid shows,
// the selection kept over a change of the filter, the count in the status
// bar, and the field's keys.
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "main_sc.h"

namespace kelp {

namespace {

// True when the grid's data rows show exactly `records`, in order.
bool SameRows(const SortGridModel& model, const std::vector<uint32_t>& records) {
    if (model.rowCount() != int(records.size())) return false;
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.DataRow(model.gridRow(r)).record != records[size_t(r)]) return false;
    return true;
}

}  // namespace

void Main_sc::SetMemberFilter(const QString& text) {
    if (memberFilterEdit->text() != text) {
        memberFilterEdit->setText(text);  // whose change comes back here
        return;
    }
    MemberFilter filter(text);
    if (filter.IsEmpty() && memberFilter_.IsEmpty()) return;
    memberFilter_ = std::move(filter);
    // Only records are filtered: the blank row of an empty grid stays.
    if (!memberRows_ || listedOrder_.empty()) return;
    ShowListedRows(true);
}

void Main_sc::FocusMemberFilter() {
    memberFilterEdit->setFocus(Qt::ShortcutFocusReason);
    memberFilterEdit->selectAll();
}

void Main_sc::ShowListedRows(bool keepSelection) {
    SortGridModel* model = memberGrid->gridModel();
    // The records first, into a buffer kept between keys: most keys change
    // few rows or none, and a grid row is eight times the size.
    shownRecords_.clear();
    for (const uint32_t record : listedOrder_)
        if (memberFilter_.Matches(memberRows_->MatchName(record))) shownRecords_.push_back(record);
    // A key that keeps the same rows (the first letters typed often do)
    // leaves the grid, its selection and its place as they are.
    if (keepSelection && SameRows(*model, shownRecords_)) {
        UpdateTotals();
        return;
    }
    // The selection and the current row, by record: the rows move.
    std::vector<bool> selected;
    std::optional<uint32_t> current;
    if (keepSelection) {
        selected.resize(memberRows_->Count());
        for (int r : SelectedRows())
            if (const std::optional<uint32_t> record = RowRecord(r)) selected[*record] = true;
        current = RowRecord(memberGrid->Row());
    }
    const int column = std::max(memberGrid->Col(), 0);

    GridRows rows;
    rows.reserve(shownRecords_.size() + 1);  // and the header row, which the grid puts in front
    for (const uint32_t record : shownRecords_) rows.push_back(GridRow{{}, record});
    // A change of the filter keeps the columns as they are: they would
    // jump at every key.
    filtering_ = keepSelection;
    model->setDataRows(std::move(rows), memberRows_);
    filtering_ = false;

    if (keepSelection) {
        QItemSelection shown;
        int runStart = -1;
        int currentRow = -1;
        const int count = model->rowCount();
        for (int r = 0; r <= count; ++r) {
            const uint32_t record =
                r < count ? model->DataRow(model->gridRow(r)).record : GridRow::kOwnTexts;
            const bool on = record < selected.size() && selected[record];
            if (on && runStart < 0) runStart = r;
            if (!on && runStart >= 0) {
                shown.select(model->index(runStart, 0),
                             model->index(r - 1, model->columnCount() - 1));
                runStart = -1;
            }
            if (current && record == *current) currentRow = r;
        }
        if (currentRow >= 0)
            memberGrid->selectionModel()->setCurrentIndex(model->index(currentRow, column),
                                                          QItemSelectionModel::NoUpdate);
        lastCurrentRow_ = std::max(currentRow, 0);
        // Selecting runs the selection summary; an empty selection gives no
        // signal, so the summary is run here.
        if (shown.isEmpty())
            MemberGridClick();
        else
            memberGrid->selectionModel()->select(
                shown, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    UpdateTotals();
}

void Main_sc::ListedRowsSorted(int col) {
    if (!memberRows_) return;
    if (memberFilter_.IsEmpty()) {
        // Every listed row is shown: the grid's order is the listed order.
        listedOrder_.clear();
        for (int r = 1; r < memberGrid->RowCount(); ++r)
            if (const std::optional<uint32_t> record = RowRecord(r))
                listedOrder_.push_back(*record);
        return;
    }
    // The grid sorted the shown rows; the hidden ones take the same order,
    // so that they come back sorted when the filter lets them through.
    SortedList keys;
    keys.reserve(listedOrder_.size());
    for (size_t i = 0; i < listedOrder_.size(); ++i)
        keys.push_back({memberRows_->Cell(col, listedOrder_[i]), int(i)});
    std::vector<uint32_t> sorted;
    sorted.reserve(listedOrder_.size());
    for (const int i : sortedOrder(keys, SortSettings)) sorted.push_back(listedOrder_[i]);
    listedOrder_ = std::move(sorted);
    ShowListedRows(true);
}

void Main_sc::UpdateTotals() {
    const auto listed = qulonglong(listedOrder_.size());
    if (memberFilter_.IsEmpty() || listed == 0)
        StatusPanels[1]->setText(
            QString("Total %1 Files ( %2k )").arg(listed).arg(listedTotal_ / 1000));
    else
        StatusPanels[1]->setText(
            QString("Shown %1 of %2 Files").arg(memberGrid->gridModel()->rowCount()).arg(listed));
}

bool Main_sc::FilterKey(QKeyEvent* e) {
    const int key = e->key();
    if (e->modifiers() & ~Qt::KeypadModifier) return false;
    if (key == Qt::Key_Escape) {
        SetMemberFilter(QString());
        FocusGrid();
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Down) {
        FocusGrid();
        return true;
    }
    return false;
}

}  // namespace kelp
