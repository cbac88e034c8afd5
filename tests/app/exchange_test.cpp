// The window's exchange with the desktop: drops on the grid, drags of members
// out of it, the recent-files entries and the quick-launch buttons.
#include <QDrag>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMimeData>
#include <QMouseEvent>
#include <QThread>
#include <QToolButton>
#include <QUrl>

#include <sys/stat.h>

#include "add_dlg.h"
#include "app_fixture.h"

using namespace apptest;
using kelp::Main_sc;

namespace {

QPoint CellCentre(const Main_sc& w, const QString& member) {
    return w.memberGrid->visualRect(w.memberGrid->gridModel()->index(RowOf(w, member) - 1, 0))
        .center();
}

void SendMouse(Main_sc& w, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QWidget* vp = w.memberGrid->viewport();
    QMouseEvent e(type, pos, vp->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(vp, &e);
}

}  // namespace

// Only local files are a drop, and not while an operation runs; what a drop
// of files fills the add dialog with is the add-paths test's.
TEST_F(AppTest, DropsOfAddressesOrWhileBusyAreRefused) {
    Main_sc& w = Start({Q(MakeZip("d.zip", "z.writestr('x.txt', b'x')"))});
    QWidget* vp = w.memberGrid->viewport();
    QMimeData web;
    web.setUrls({QUrl("https://example.org/a.zip")});
    QDropEvent webDrop(QPointF(5, 5), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &webDrop);
    EXPECT_FALSE(webDrop.isAccepted());

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(dir_.path()))});
    w.State.Busy = true;
    QDragEnterEvent busy(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &busy);
    EXPECT_FALSE(busy.isAccepted());
    w.State.Busy = false;
}

class DragTest : public AppTest {
  protected:
    Main_sc& StartWithMembers() {
        archive_ = MakeZip("drag.zip",
                           "z.writestr('docs/a.txt', b'alpha')\n"
                           "z.writestr('docs/sub/b.txt', b'beta')\n"
                           "z.writestr('c.txt', b'gamma')\n"
                           "z.writestr('d.txt', b'delta')\n"
                           "z.writestr('empty/', b'')");
        Main_sc& w = Start({Q(archive_)});
        w.resize(900, 500);
        w.show();
        SelectRows(w, {RowOf(w, "docs/a.txt"), RowOf(w, "docs/sub/b.txt"), RowOf(w, "c.txt")});
        // A folder entry's member path is the folder's stored name.
        EXPECT_NE(RowOf(w, "empty/"), 0);
        return w;
    }
    std::string archive_;
};

TEST_F(DragTest, SelectedMembersAreOfferedAsTopFoldersAndExtractedOnFirstRequest) {
    Main_sc& w = StartWithMembers();
    QList<QUrl> offered;
    std::map<std::string, std::string> beforeRequest, afterRequest, afterSecondRequest;
    int drags = 0;
    w.RunDrag = [&](QDrag& drag) {
        ++drags;
        QMimeData* data = drag.mimeData();
        EXPECT_EQ(data->formats(), QStringList{"text/uri-list"});
        // Asking what is offered, or for another kind of data, is no drop.
        EXPECT_TRUE(data->hasUrls());
        data->data("text/html");
        beforeRequest = FilesUnder(w.TempPath.toStdString());
        offered = data->urls();  // what a target reads on the drop
        afterRequest = FilesUnder(w.TempPath.toStdString());
        QFile::remove(offered[1].toLocalFile());
        data->data("text/uri-list");
        afterSecondRequest = FilesUnder(w.TempPath.toStdString());
        return Qt::CopyAction;
    };
    const QPoint p = CellCentre(w, "c.txt");
    SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    SendMouse(w, QEvent::MouseMove, p + QPoint(0, 12), Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(drags, 1);

    ASSERT_EQ(offered.size(), 2);
    const QString folder = QFileInfo(offered[0].toLocalFile()).path() + "/";
    EXPECT_TRUE(folder.startsWith(w.TempPath));
    EXPECT_EQ(offered[0].toLocalFile(), folder + "docs");
    EXPECT_EQ(offered[1].toLocalFile(), folder + "c.txt");
    EXPECT_TRUE(beforeRequest.empty());
    const std::string sub = folder.mid(w.TempPath.size()).toStdString();
    EXPECT_EQ(afterRequest, (std::map<std::string, std::string>{{sub + "c.txt", "gamma"},
                                                                {sub + "docs/a.txt", "alpha"},
                                                                {sub + "docs/sub/b.txt", "beta"}}));
    // Extracted once: the second request does not bring c.txt back.
    EXPECT_EQ(afterSecondRequest.size(), 2);
    EXPECT_FALSE(w.State.Busy);
}

TEST_F(AppTest, NothingIsDraggedFromTheBlankRowOfAnEmptyGrid) {
    Main_sc& w = Start();
    w.show();
    int drags = 0;
    w.RunDrag = [&](QDrag&) {
        ++drags;
        return Qt::IgnoreAction;
    };
    w.memberGrid->selectRow(0);
    ASSERT_EQ(w.SelectedRows(), QList<int>{1});
    const QPoint p = w.memberGrid->visualRect(w.memberGrid->gridModel()->index(0, 0)).center();
    SendMouse(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    SendMouse(w, QEvent::MouseMove, p + QPoint(20, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(drags, 0);
}

TEST_F(AppTest, RecentFilesKeepFiveMostRecentFirstAndSurviveTheWindow) {
    std::vector<QString> zips;
    for (int i = 1; i <= 7; ++i)
        zips.push_back(Q(MakeZip("a" + std::to_string(i) + ".zip", "z.writestr('m.txt', b'm')")));
    Main_sc& w = Start({zips[0]});
    QString next;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(next);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    answer.start(5);
    for (int i = 1; i < 7; ++i) {
        next = zips[i];
        w.Dispatch(kelp::actOpen);
        ASSERT_EQ(w.Zipfiles, QStringList{zips[i]});
    }
    answer.stop();
    // Seven opened: the first was pushed out.
    EXPECT_EQ(w.recentFiles.Paths(), (QStringList{zips[5], zips[4], zips[3], zips[2], zips[1]}));
    // Choosing an entry opens it; the one left goes to the top; at close the
    // archive open then is the most recent.
    w.RecentFileClick(zips[2]);
    EXPECT_EQ(w.Zipfiles, QStringList{zips[2]});
    EXPECT_EQ(w.memberGrid->Cells(7, 1), zips[2]);
    w.close();
    window_.reset();
    kelp::platform::SettingsStore store;
    auto value = [&](const char* name) { return Q(store.ReadString("Kelp/MRU Items", name)); };
    EXPECT_EQ(value("F0"), zips[2]);
    EXPECT_EQ(value("F4"), zips[3]);
    EXPECT_EQ(store.ValueNames("Kelp/MRU Items").size(), 5u);

    // The next window reads them back.
    Main_sc& again = Start();
    EXPECT_EQ(again.recentFiles.Paths().first(), zips[2]);
}

TEST_F(AppTest, VanishedRecentFileSaysSoAndKeepsTheOpenArchive) {
    const QString kept = Q(MakeZip("kept.zip", "z.writestr('k.txt', b'k')"));
    const QString gone = Q(MakeZip("gone.zip", "z.writestr('g.txt', b'g')"));
    Main_sc& w = Start({kept});
    w.recentFiles.Add(gone);
    std::filesystem::remove(gone.toStdString());
    ModalAnswerer boxes;
    w.RecentFileClick(gone);
    EXPECT_EQ(boxes.texts, std::vector<QString>{"File not exists"});
    EXPECT_EQ(w.Zipfiles, QStringList{kept});
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     k.txt");
    EXPECT_EQ(w.recentFiles.Paths(), (QStringList{kept, gone}));
}

TEST(RecentFilesCaption, LongPathsAreShortenedInTheMiddleAndAmpersandsShown) {
    const QFontMetrics metrics(QApplication::font());
    const QString longPath = "/home/someone/" + QString("folder/").repeated(40) + "R&D.zip";
    const QString caption = kelp::RecentFiles::Caption(2, longPath, metrics);
    EXPECT_TRUE(caption.startsWith("&3 /home/"));
    EXPECT_TRUE(caption.endsWith("R&&D.zip"));
    EXPECT_LE(metrics.horizontalAdvance(caption.mid(3)), 255 + metrics.horizontalAdvance('&'));
    EXPECT_EQ(kelp::RecentFiles::Caption(0, "/a.zip", metrics), "&1 /a.zip");
}

TEST_F(AppTest, QuickLaunchRunsItsViewerOnTheExtractedMember) {
    const std::string path = MakeZip("q.zip", "z.writestr('docs/my notes.txt', b'seen')");
    const std::string record = dir_ / "record.txt";
    const std::string viewer = dir_ / "viewer.sh";
    fixtures::WriteFile(viewer, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" \"$(cat \"$1\")\" > " +
                                    fixtures::Quote(record + ".part") + "\nmv " +
                                    fixtures::Quote(record + ".part") + " " +
                                    fixtures::Quote(record) + "\n");
    chmod(viewer.c_str(), 0755);
    const std::string plain = dir_ / "plain.sh";
    fixtures::WriteFile(plain, "#!/bin/sh\n");

    Main_sc& w = Start({Q(path)});
    w.Settings.Viewer1 = Q(dir_ / "missing-viewer");
    w.Settings.Viewer2 = Q(viewer);
    w.Settings.Viewer3 = Q(plain);  // not executable
    w.ApplyInterface();
    EXPECT_FALSE(w.quickLaunchButtons[0]->isEnabled());
    EXPECT_FALSE(w.quickLaunchButtons[2]->isEnabled());

    w.memberGrid->selectRow(0);
    w.quickLaunchButtons[1]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(Q(record)); }));
    EXPECT_EQ(fixtures::ReadFile(record),
              "1\n" + w.TempPath.toStdString() + "open-1/my notes.txt\nseen\n");
    EXPECT_EQ(w.Delfiles, QStringList{"docs/my notes.txt"});
    EXPECT_FALSE(w.State.Busy);
    EXPECT_EQ(w.State.CurrentAction, kelp::actNone);

    // Nothing happens while an operation runs.
    std::filesystem::remove(record);
    w.State.Busy = true;
    w.QuickLaunchClick(2);
    w.State.Busy = false;
    QThread::msleep(200);
    EXPECT_FALSE(std::filesystem::exists(record));
}
