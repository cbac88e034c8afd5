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

const QString LogSeparator(57, QLatin1Char('-'));

namespace {

// Position after the last "/" or ":" of a member name, 0 when none.
qsizetype NameStart(const QString& name) {
    return std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char(':'))) + 1;
}

}  // namespace

QString Main_sc::TypeName(const QString& fileName) {
    // Type names depend on the extension only; ask the database once each.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString key = dot >= 0 ? fileName.mid(dot).toLower() : fileName;
    auto it = typeNames_.constFind(key);
    if (it != typeNames_.constEnd()) return *it;
    static const QMimeDatabase db;
    const QString name = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment();
    return *typeNames_.insert(key, name.left(80));
}

void Main_sc::ListArchive() {
    SortGridModel* model = memberGrid->gridModel();
    const size_t count = engine.EntryCount();
    const QString archive = QString::fromStdString(engine.ZipFileName());
    // A further archive is appended below the rows already listed; the first
    // one replaces them. With no archive opened the named one counts as first.
    const bool further = !Zipfiles.isEmpty() && archive != Zipfiles.first();
    if (!further || !memberRows_) {
        memberRows_ = std::make_shared<MemberRows>([this](const QString& name) { return TypeName(name); });
        listedOrder_.clear();
    }
    if (count == 0) {
        // The grid keeps its header and one empty row; the status bar stays.
        if (!further) model->setDataRows({GridRow{QStringList(8, QString())}}, nullptr);
        return;
    }

    // Rows hold a record of the member each; the grid makes their texts
    // when it shows them. The filter field's text picks the rows shown.
    const uint32_t first = memberRows_->Count();
    const int64_t total = memberRows_->Append(engine.DirEntries(), archive);
    listedOrder_.reserve(memberRows_->Count());
    for (uint32_t i = first; i < memberRows_->Count(); ++i) listedOrder_.push_back(i);
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

void Main_sc::ListAllArchives() {
    ResetGrid();
    for (const QString& z : Zipfiles) {
        engine.setZipFileName(z.toStdString());
        ListArchive();
    }
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

std::vector<Main_sc::MemberRef> Main_sc::RowMember(int row) const {
    const std::optional<uint32_t> record = RowRecord(row);
    if (!record) return {};
    return {MemberRef{std::string(memberRows_->Name(*record)), memberRows_->Entry(*record)}};
}

std::vector<Main_sc::MemberRef> Main_sc::SelectedMembers(const QString& archive) const {
    std::vector<MemberRef> members;
    for (int r : SelectedRows())
        if (const std::optional<uint32_t> record = RowRecord(r); record && memberRows_->Archive(*record) == archive)
            members.push_back({std::string(memberRows_->Name(*record)), memberRows_->Entry(*record)});
    return members;
}

bool Main_sc::SetExactMembers(const std::vector<MemberRef>& members) {
    const std::vector<engine::ZipDirEntry>& entries = engine.DirEntries();
    for (const MemberRef& m : members) {
        if (m.entry < entries.size() && entries[m.entry].MemberName == m.name) continue;
        ShowMessage(QString::fromStdString(engine.ZipFileName()) +
                    " has changed since it was listed; nothing was done with it. The list is "
                    "read again: please select the members once more.");
        QTimer::singleShot(0, this, [this] { Dispatch(actRefresh); });
        return false;
    }
    engine.FSpecArgs.clear();
    for (const MemberRef& m : members) engine.FSpecArgs.push_back(m.name);
    engine.ExactNames = true;
    return true;
}

QString Main_sc::MemberPath(int row) const {
    const std::optional<uint32_t> record = RowRecord(row);
    if (!record) return {};
    const std::string_view name = memberRows_->Name(*record);
    return QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
}

QString Main_sc::MemberFileName(int row) const {
    const QString path = MemberPath(row);
    return path.mid(std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

QString Main_sc::ExtractForViewing(int row, const QString& folder) {
    const std::vector<MemberRef> member = RowMember(row);
    if (member.empty() || !HaveTempPath()) return {};
    const uint8_t action = State.CurrentAction;
    State.CurrentAction = actView;  // TimedExtract records the file for removal
    const QString target = folder.isEmpty() ? TempPath : folder;
    engine.ExtrBaseDir = target.toStdString();
    // The row's own archive, which need not be the current one.
    engine.setZipFileName(memberRows_->Archive(*RowRecord(row)).toStdString());
    const engine::ExtrOpts options = engine.ExtrOptions;
    engine.ExtrOptions = engine::ExtrOpts{engine::ExtrOverWrite};
    if (SetExactMembers(member)) TimedExtract();
    engine.ExtrOptions = options;
    State.CurrentAction = action;
    const QString file = target + MemberFileName(row);
    return QFileInfo(file).isFile() ? file : QString();
}

void Main_sc::MemberGridClick() {
    if (engine.EntryCount() == 0) return;
    const QList<int> rows = SelectedRows();
    State.SelectedBytes = 0;
    for (int r : rows)
        if (!memberGrid->Cells(1, r).isEmpty()) State.SelectedBytes += memberGrid->Cells(3, r).toLongLong();
    StatusPanels[0]->setText(rows.isEmpty() ? QString("Selected 0 Files(0k )")
                                            : QString("Selected %1 Files (%2k )")
                                                  .arg(rows.size())
                                                  .arg(State.SelectedBytes / 1000));
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
