// The archive listing: one grid row per member of every opened archive, the
// status bar's totals, the selection summary, type names and icons, and the
// sort hooks.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeDatabase>
#include <QPainter>
#include <QTimer>

#include <algorithm>

#include "app_images.h"
#include "main_sc.h"
#include "mm_viewer.h"

namespace kelp {

namespace {

// Position after the last "/" or ":" of a member name, 0 when none.
qsizetype NameStart(const QString& name) {
    return std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char(':'))) + 1;
}

}  // namespace

void Main_sc::ShowEmptyListing() {
    // The grid keeps its header and one empty row; the status bar stays.
    listedOrder_.clear();
    memberGrid->gridModel()->setDataRows({GridRow{QStringList(8, QString())}}, nullptr);
}

void Main_sc::ShowListing(uint32_t firstNew, int64_t total) {
    // Rows hold a record of the member each; the grid makes their texts
    // when it shows them. The filter field's text picks the rows shown.
    if (firstNew == 0) listedOrder_.clear();
    listedOrder_.reserve(memberRows_->Count());
    for (uint32_t i = firstNew; i < memberRows_->Count(); ++i) listedOrder_.push_back(i);
    listedTotal_ = total;
    ShowListedRows(false);
    memberGrid->viewport()->update();
    UpdateStatusAfterListing();
}

void Main_sc::UpdateStatusAfterListing() {
    State.SelectedBytes = 0;
    StatusPanels[0]->setText("Selected 0 Files(0k )");
    UpdateTotals();
    QString opened = QString("(%1)").arg(Zipfiles.size());
    for (const QString& z : Zipfiles) opened += "  " + QFileInfo(z).fileName();
    StatusPanels[2]->setText(opened);
}

void Main_sc::RelistArchives() {
    if (engine.ZipFileName().empty()) return;
    // With several archives open, listing only the current one would drop
    // the others' rows from the grid; list them all again.
    if (Zipfiles.size() > 1 && engine.ZipFileName() == Zipfiles.first().toStdString()) {
        ListAllArchives();
        engine.setZipFileName(Zipfiles.first().toStdString());
    } else {
        ListArchive();
    }
}

QList<int> Main_sc::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : memberGrid->selectionModel()->selectedRows())
        rows.append(memberGrid->gridModel()->gridRow(i.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::optional<uint32_t> Main_sc::RowRecord(int row) const {
    if (!memberRows_ || row < 1 || row >= memberGrid->gridModel()->RowCount()) return std::nullopt;
    const uint32_t record = memberGrid->gridModel()->DataRow(row).record;
    if (record == GridRow::kOwnTexts || record >= memberRows_->Count()) return std::nullopt;
    return record;
}

std::vector<uint32_t> Main_sc::SelectedRecords() const {
    std::vector<uint32_t> records;
    for (int r : SelectedRows())
        if (const std::optional<uint32_t> record = RowRecord(r)) records.push_back(*record);
    return records;
}

std::vector<Main_sc::MemberRef> Main_sc::RowMember(int row) const {
    const std::optional<uint32_t> record = RowRecord(row);
    return record ? session_.RecordMember(*record) : std::vector<MemberRef>{};
}

std::vector<Main_sc::MemberRef> Main_sc::SelectedMembers(const QString& archive) const {
    return session_.SelectedMembers(archive);
}

QString Main_sc::MemberPath(int row) const {
    const std::optional<uint32_t> record = RowRecord(row);
    return record ? session_.MemberPath(*record) : QString();
}

QString Main_sc::MemberFileName(int row) const {
    const std::optional<uint32_t> record = RowRecord(row);
    return record ? session_.MemberFileName(*record) : QString();
}

QString Main_sc::ExtractForViewing(int row, const QString& folder) {
    const std::optional<uint32_t> record = RowRecord(row);
    return record ? session_.ExtractForViewing(*record, folder) : QString();
}

void Main_sc::MemberGridClick() {
    if (engine.EntryCount() == 0) return;
    const QList<int> rows = SelectedRows();
    State.SelectedBytes = 0;
    for (int r : rows)
        if (!memberGrid->Cells(1, r).isEmpty())
            State.SelectedBytes += memberGrid->Cells(3, r).toLongLong();
    StatusPanels[0]->setText(
        rows.isEmpty()
            ? QString("Selected 0 Files(0k )")
            : QString("Selected %1 Files (%2k )").arg(rows.size()).arg(State.SelectedBytes / 1000));
    if (!rows.isEmpty() && contentViewer && contentViewer->isVisible() && !State.Busy)
        PreviewMember(rows.first());
}

void Main_sc::PreviewMember(int row) {
    if (Zipfiles.isEmpty() || !HaveTempPath()) return;
    media::Viewer* view = contentViewer->viewer();
    const QString name = MemberFileName(row);
    if (!media::TakesExtension(media::LowerExtension(name), view->MoreTypes) ||
        media::LowerExtension(name).isEmpty())
        return;
    const QString file = ExtractForViewing(row);
    if (file.isEmpty()) return;
    // Another member may have been shown from the same file name before.
    if (view->FileName() == file)
        view->Reload();
    else
        view->setFileName(file);
}

QPixmap Main_sc::IconFor(const QString& ext) {
    auto it = icons_.constFind(ext);
    if (it != icons_.constEnd()) return *it;
    static const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile("." + ext.toLower(), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    QPixmap pic = icon.pixmap(16, 16);
    if (pic.isNull()) pic = DocumentPicture();
    return *icons_.insert(ext, pic);
}

void Main_sc::DrawCellIcon(QPainter* painter, int col, int row, const QRect& rect) {
    if (col != 0 || row < 1 || engine.ZipFileName().empty() || engine.EntryCount() < 1) return;
    const QString cell = memberGrid->Cells(0, row);
    if (cell.trimmed().isEmpty()) return;
    const QString name = cell.mid(NameStart(cell));
    // The three characters of the extension, also in front of " +".
    const QString ext =
        (name.endsWith(QLatin1Char('+')) ? name.mid(name.size() - 5, 3) : name.right(3)).toUpper();
    QPixmap pic;
    if (ext == "EXE" || ext == "COM")
        pic = images[5];
    else if (cell == DirectoryMarker)
        pic = images[6];
    else
        pic = IconFor(ext);
    painter->drawPixmap(QRect(rect.topLeft() + QPoint(1, 0), QSize(16, 16)), pic);
}

void Main_sc::ClickSort(int col, SortOptions& options) {
    SortSettings.SortStyle = col == 2                 ? ssDateTime
                             : (col == 3 || col == 4) ? ssNumeric
                                                      : SortStyleKind(0);
    if (col == LastSortColumn)
        SortSettings.SortDirection =
            SortSettings.SortDirection == sdAscending ? sdDescending : sdAscending;
    LastSortColumn = col;
    options = SortSettings;
    memberGrid->setSortSymbol(sgArrow);
}

void Main_sc::BeginSort(SortOptions& options) {
    options = SortSettings;
    QCoreApplication::processEvents();
}

}  // namespace kelp
