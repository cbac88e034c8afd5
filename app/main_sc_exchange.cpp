// The window's exchange with the desktop: files dropped on the grid are
// added through the add dialog, members dragged out of the grid arrive as
// real files, the recent-files entries of the "&File" menu, and the
// quick-launch buttons that open a member in a viewer program.
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "add_dlg.h"
#include "main_sc.h"

namespace kelp {

void Main_sc::BuildExchange() {
    // The grid takes drops of files; the view's own drag-selecting gives way
    // to dragging members out (see ExchangeEvent).
    memberGrid->viewport()->setAcceptDrops(true);
    RunDrag = [](QDrag& drag) {
        return drag.exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    };
    for (int n = 0; n < 4; ++n)
        connect(quickLaunchButtons[n], &QToolButton::clicked, this,
                [this, n] { QuickLaunchClick(n + 1); });
    recentFiles.Load(Store);
    RebuildRecentMenu();
}

// --- Recent files -------------------------------------------------------------

void Main_sc::RememberCurrentArchive() {
    if (Zipfiles.isEmpty() || Zipfiles.first().isEmpty()) return;
    recentFiles.Add(Zipfiles.first());
    RebuildRecentMenu();
}

void Main_sc::RebuildRecentMenu() {
    // Later, not now: the click on an entry may be what rebuilds the menu.
    for (QAction* a : recentItems_) {
        FileMenu->removeAction(a);
        a->deleteLater();
    }
    recentItems_.clear();
    const QStringList& paths = recentFiles.Paths();
    if (paths.isEmpty()) return;
    const QFontMetrics metrics(FileMenu->font());
    for (int i = 0; i < paths.size(); ++i) {
        auto* a = new QAction(RecentFiles::Caption(i, paths[i], metrics), FileMenu);
        const QString path = paths[i];
        a->setData(path);
        connect(a, &QAction::triggered, this, [this, path] { RecentFileClick(path); });
        recentItems_.append(a);
    }
    auto* separator = new QAction(FileMenu);
    separator->setSeparator(true);
    recentItems_.append(separator);
    FileMenu->insertActions(exitItem_, recentItems_);
}

void Main_sc::RecentFileClick(const QString& path) {
    // Switching archives under a running operation would pull the archive
    // from under the engine.
    if (State.Busy) return;
    RememberCurrentArchive();
    OpenDialogFiles.clear();
    Settings.AddSubDirs = true;
    if (!QFileInfo(path).isFile()) {
        ShowMessage("File not exists");
        return;
    }
    OpenDialogFiles = {path};
    Zipfiles = OpenDialogFiles;
    OpenDialogFileName = path;
    engine.setZipFileName(path.toStdString());
    ListArchive();
    State.CurrentAction = actNone;
}

// --- Dropping files on the grid ------------------------------------------------

bool Main_sc::AcceptsDrop(const QDropEvent* e) const {
    // Drags from this program carry members, not files to add; and nothing
    // is taken while an operation has the engine. Only the offered formats
    // are looked at here: the paths are read on the drop, since reading them
    // may make the source produce its files.
    if (State.Busy || e->source() || !(e->possibleActions() & Qt::CopyAction)) return false;
    return e->mimeData() && e->mimeData()->hasUrls();
}

void Main_sc::FilesDropped(const QStringList& paths) {
    if (State.Busy) return;
    State.CurrentAction = actAddDropped;
    // Dropped files and folders are paths, never add lines.
    AddDlg& addDialog = AddDialog();
    addDialog.Choices.options = engine::AddOpts{engine::AddDirNames};
    addDialog.setAddedPaths(paths);
    addDialog.exec();
    State.CurrentAction = actNone;
    if (addDialog.Accepted) session_.AddDropped(addDialog.Choices);
    RelistArchives();
}

// --- Dragging members out of the grid ---------------------------------------------

void Main_sc::StartMemberDrag() {
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty() || State.Busy || !HaveTempPath()) return;
    // Each drag gets a folder of its own, so a target receives exactly the
    // members selected now, never files left by an earlier drag or a view.
    const QString folder = TempPath + QString("drag%1/").arg(++dragCount_);
    QStringList offered;
    for (int r : rows) {
        if (!RowRecord(r)) continue;  // the blank row of an empty grid
        // A member is offered as the first component of the path its
        // extraction makes: its top folder, or the file itself. "." and ".."
        // never name one, so nothing outside the drag's folder is offered.
        QString top;
        for (const QString& part :
             MemberPath(r).split(QRegularExpression("[/\\\\]"), Qt::SkipEmptyParts))
            if (part != "." && part != "..") {
                top = part;
                break;
            }
        if (top.isEmpty()) continue;
        const QString path = folder + top;
        if (!offered.contains(path)) offered.append(path);
    }
    if (offered.isEmpty()) return;
    QList<QUrl> urls;
    for (const QString& path : offered) urls.append(QUrl::fromLocalFile(path));

    // The rows of every opened archive, taken now: the selection may change
    // before the target asks for the files.
    std::vector<std::pair<QString, std::vector<MemberRef>>> members;
    QStringList archives = Zipfiles;
    archives.removeDuplicates();
    for (const QString& z : archives)
        if (auto chosen = SelectedMembers(z); !chosen.empty())
            members.emplace_back(z, std::move(chosen));

    // Qt deletes the drag when it is over; a target may still read its data
    // after the drag loop has returned.
    auto* drag = new QDrag(memberGrid);
    drag->setMimeData(new MemberMimeData(
        urls, [this, folder, members] { ExtractDraggedMembers(folder, members); }));
    dragGesture.dragging = true;
    RunDrag(*drag);
    dragGesture.dragging = false;
    dragGesture.Release();
}

bool Main_sc::ExchangeEvent(QObject* o, QEvent* e) {
    if (o != memberGrid->viewport()) return false;
    switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* d = static_cast<QDragMoveEvent*>(e);
            if (AcceptsDrop(d)) {
                d->setDropAction(Qt::CopyAction);
                d->accept();
            } else {
                d->ignore();
            }
            return true;
        }
        case QEvent::DragLeave:
            return true;
        case QEvent::Drop: {
            auto* d = static_cast<QDropEvent*>(e);
            if (!AcceptsDrop(d)) {
                d->ignore();
                return true;
            }
            QStringList paths;
            for (const QUrl& url : d->mimeData()->urls())
                if (url.isLocalFile()) paths.append(url.toLocalFile());
            if (paths.isEmpty()) {
                d->ignore();
                return true;
            }
            d->setDropAction(Qt::CopyAction);
            d->accept();
            // The add dialog runs once the drop has completed, so the source
            // is not kept waiting on a modal dialog.
            QTimer::singleShot(0, this, [this, paths] { FilesDropped(paths); });
            return true;
        }
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(e);
            dragGesture.Press(m->button(), m->position().toPoint());
            return false;
        }
        case QEvent::MouseButtonRelease:
            dragGesture.Release();
            return false;
        case QEvent::MouseMove: {
            // While the left button is down, moving never drag-selects rows:
            // it is the start of a drag of the selected members.
            auto* m = static_cast<QMouseEvent*>(e);
            if (!dragGesture.LeftPressed() || !(m->buttons() & (Qt::LeftButton | Qt::RightButton)))
                return false;
            if (dragGesture.ShouldStart(m->position().toPoint(), m->buttons())) StartMemberDrag();
            return true;
        }
        default:
            return false;
    }
}

// --- Quick launch --------------------------------------------------------------

void Main_sc::QuickLaunchClick(int n) {
    if (State.Busy) return;
    const QString viewers[4] = {Settings.Viewer1, Settings.Viewer2, Settings.Viewer3,
                                Settings.Viewer4};
    const QString program = viewers[n - 1];
    const QList<int> rows = SelectedRows();
    if (Zipfiles.isEmpty() || rows.isEmpty() || !RowRecord(rows.first()) ||
        memberRows_->IsFolder(*RowRecord(rows.first())) || !HaveTempPath())
        return;
    // The member goes without its folder names into a folder of its own in
    // the temporary folder, watched for edits until Kelp exits.
    State.Busy = true;
    const QString file = OpenForEditing(*RowRecord(rows.first()));
    engine.setZipFileName(Zipfiles.first().toStdString());
    State.Busy = false;

    // The engine has already said why a member did not arrive.
    if (file.isEmpty()) return;
    // No shell: the file is one argument whatever characters its name holds.
    if (!QProcess::startDetached(program, {file}, QFileInfo(file).path()))
        ShowMessage("Cannot start " + program);
}

}  // namespace kelp
