// Files and folders picked in the add dialog or dropped on the grid reach
// the engine as paths, never as add lines: a "<" in a folder's name is a
// character of the name (no password, no cut), "Move Files " removes only
// what was added, dot-files the user picked are added, and what an add
// passes over is named in the log. Checked on disk with unzip and Python;
// that typed lines stay add lines is the add dialog's test.
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <filesystem>

#include "add_dlg.h"
#include "app_fixture.h"
#include "file_list.h"
#include "folder_list.h"

using namespace apptest;
using kelp::Main_sc;
namespace fs = std::filesystem;

namespace {

// The member names of an archive, sorted, with the test folder's path (the
// stored folder names) cut off the front.
std::vector<std::string> Names(const std::string& archive, const std::string& base) {
    std::vector<std::string> names = MemberNames(archive);
    for (std::string& n : names)
        if (n.starts_with(base.substr(1) + "/"))
            n = n.substr(base.size());  // stored without the "/"
    std::sort(names.begin(), names.end());
    return names;
}

// True when no member of the archive is encrypted.
bool NothingEncrypted(const std::string& archive) {
    const auto r = fixtures::RunShell(
        "python3 -c 'import zipfile,sys; sys.exit(any(i.flag_bits & 1 for i in "
        "zipfile.ZipFile(sys.argv[1]).infolist()))' " +
        fixtures::Quote(archive));
    return r.exitCode == 0;
}

// Picks `entries` of `folder` in the add dialog's browser the way the user
// does (the "Add" button), sets the options and presses OK.
auto PickInDialog(const QString& folder, const QStringList& entries, bool subDirs,
                  const QString& action = "Add and Replace Files ") {
    return fixtures::On<kelp::AddDlg>([=](kelp::AddDlg* dialog) {
        dialog->setAddedFiles({});
        dialog->folderList()->setDirectory(folder);
        dialog->fileList()->clearSelection();
        const QStringList items = dialog->fileList()->Items();
        for (const QString& e : entries) {
            ASSERT_TRUE(items.contains(e)) << e.toStdString();
            dialog->fileList()->setRowSelected(int(items.indexOf(e)), true);
        }
        dialog->addButton()->click();
        dialog->addSubDirsBox()->setChecked(subDirs);
        dialog->encryptBox()->setChecked(false);
        dialog->actionCombo()->setCurrentIndex(dialog->actionCombo()->findText(action));
        dialog->okButton()->click();
    });
}

class AddPathsTest : public AppTest {
  protected:
    // "in<pw" holds two visible files, a hidden file and a hidden folder;
    // the file "in" beside it is what the add-line syntax would read the
    // folder's path as (encrypted with the password "pw/*.*").
    std::string Tree() {
        fixtures::WriteFile(dir_ / "in<pw/a.txt", "a");
        fixtures::WriteFile(dir_ / "in<pw/sub/b.txt", "b");
        fixtures::WriteFile(dir_ / "in<pw/.dot.txt", "hidden file");
        fixtures::WriteFile(dir_ / "in<pw/.hid/h.txt", "in a hidden folder");
        fixtures::WriteFile(dir_ / "in", "never to be added");
        return dir_ / "in<pw";
    }
    // Drops `paths` on the grid as a file manager does.
    void Drop(Main_sc& w, const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths) urls.append(QUrl::fromLocalFile(p));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(w.memberGrid->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(w.memberGrid->viewport(), &drop);
        ASSERT_TRUE(drop.isAccepted());
    }
};

}  // namespace

TEST_F(AddPathsTest, FolderWithALessThanPickedInTheDialogIsAddedAsItIs) {
    const std::string src = Tree();
    const std::string a = MakeZip("a.zip", "z.writestr('base.txt', b'base')");
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    boxes.dialogs = {PickInDialog(Q(dir_.path()), {"[in<pw]"}, true)};
    boxes.buttons = {QMessageBox::Yes};
    w.Dispatch(kelp::actAdd);
    EXPECT_EQ(boxes.texts.back(), "DONE: Number of files Added: 2");
    EXPECT_EQ(Names(a, dir_.path()),
              (std::vector<std::string>{"base.txt", "in<pw/a.txt", "in<pw/sub/b.txt"}));
    EXPECT_TRUE(NothingEncrypted(a));
    // What was passed over is named, with the reason.
    const QString log = w.LogLines().join('\n');
    EXPECT_TRUE(log.contains("Skipped " + Q(src) + "/.dot.txt: hidden file")) << log.toStdString();
    EXPECT_TRUE(log.contains("Skipped " + Q(src) + "/.hid: hidden folder")) << log.toStdString();
}

TEST_F(AddPathsTest, DotFilesPickedInTheDialogAreAdded) {
    fixtures::WriteFile(dir_ / "pick/.profile", "a dot-file the user picked");
    fixtures::WriteFile(dir_ / "pick/plain.txt", "plain");
    const std::string a = MakeZip("d.zip", "z.writestr('base.txt', b'base')");
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    boxes.dialogs = {PickInDialog(Q(dir_ / "pick"), {".profile", "plain.txt"}, false)};
    boxes.buttons = {QMessageBox::Yes};
    w.Dispatch(kelp::actAdd);
    EXPECT_EQ(boxes.texts.back(), "DONE: Number of files Added: 2");
    EXPECT_EQ(Names(a, dir_.path()),
              (std::vector<std::string>{"base.txt", "pick/.profile", "pick/plain.txt"}));
}

TEST_F(AddPathsTest, DroppedFolderWithALessThanIsMovedAndNothingElseIsTouched) {
    const std::string src = Tree();
    const std::string a = MakeZip("m.zip", "z.writestr('base.txt', b'base')");
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    bool listed = false;
    boxes.dialogs = {fixtures::On<kelp::AddDlg>([&](kelp::AddDlg* dialog) {
        // The drop filled the list with the folder as the path it is.
        listed = dialog->AddedFiles() == QStringList{Q(src) + "/*.*"};
        dialog->encryptBox()->setChecked(false);
        dialog->actionCombo()->setCurrentIndex(dialog->actionCombo()->findText("Move Files "));
        dialog->okButton()->click();
    })};
    Drop(w, {Q(src)});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !boxes.dialogsShown.empty() && !w.State.Busy; }, 10000));
    EXPECT_TRUE(listed);
    EXPECT_EQ(Names(a, dir_.path()),
              (std::vector<std::string>{"base.txt", "in<pw/a.txt", "in<pw/sub/b.txt"}));
    EXPECT_TRUE(NothingEncrypted(a));
    // Moved: the added files are gone from disk; what was not added stays.
    EXPECT_FALSE(fs::exists(dir_ / "in<pw/a.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "in<pw/sub/b.txt"));
    EXPECT_TRUE(fs::exists(dir_ / "in<pw/.dot.txt"));
    EXPECT_TRUE(fs::exists(dir_ / "in<pw/.hid/h.txt"));
    EXPECT_EQ(fixtures::ReadFile(dir_ / "in"), "never to be added");
}
