// The window's archive-changing and dialog-driven actions, run from their
// menus, function panel, pop-up and keys with scripted dialogs, and checked
// on disk with unzip afterwards.
#include <QCheckBox>
#include <QFileDialog>
#include <QTest>

#include <algorithm>
#include <filesystem>

#include "add_dlg.h"
#include "app_fixture.h"
#include "archive_picker.h"
#include "extract_dlg.h"
#include "reg_combo_box.h"
#include "sfx_dlg.h"
#include "tests/fixtures/file_size_limit.h"

using namespace apptest;
using kelp::Main_sc;
namespace fs = std::filesystem;

namespace {

bool ArchiveTestsClean(const std::string& archive, const std::string& password = {}) {
    const std::string pw = password.empty() ? "" : "-P " + fixtures::Quote(password) + " ";
    return fixtures::RunShell("unzip -tq " + pw + fixtures::Quote(archive)).exitCode == 0;
}

void ClickPanel(Main_sc& w, int group, int icon) {
    w.functionPanel->setSelectedButton(group);
    w.functionPanel->setSelectedIcon(icon);
    w.FunctionPanelClick();
}

// Dialog handlers for ModalAnswerer.
auto ExtractInto(const std::string& folder, bool selectedOnly) {
    return fixtures::On<kelp::ExtractDlg>([=](kelp::ExtractDlg* dialog) {
        dialog->extractFolderEdit()->setEditText(Q(folder));
        dialog->selectedOnlyBox()->setChecked(selectedOnly);
        dialog->okButton()->click();
    });
}

// Files and folders of the file system, as the dialog's browser adds them.
auto AddFiles(const QStringList& paths, bool subDirs, bool encrypt = false) {
    return fixtures::On<kelp::AddDlg>([=](kelp::AddDlg* dialog) {
        dialog->setAddedPaths(paths);
        dialog->addSubDirsBox()->setChecked(subDirs);
        dialog->encryptBox()->setChecked(encrypt);
        dialog->okButton()->click();
    });
}

auto PickArchive(int index) {
    return fixtures::On<kelp::ArchivePicker>([=](kelp::ArchivePicker* picker) {
        picker->archiveCombo()->setCurrentIndex(index);
        picker->okButton()->click();
    });
}

auto SfxAnswer(bool ok) {
    return fixtures::On<kelp::SfxDlg>(
        [=](kelp::SfxDlg* dialog) { (ok ? dialog->okButton() : dialog->cancelButton())->click(); });
}

class ArchiveActionsTest : public AppTest {
  protected:
    // The trash of this test's own (the fixture's XDG_DATA_HOME).
    std::string Trash() const { return dir_ / "data/Trash/files/"; }
    // A folder of files to add: two visible levels and a hidden folder.
    std::string SourceTree() {
        fixtures::WriteFile(dir_ / "src/top.txt", "top level");
        fixtures::WriteFile(dir_ / "src/sub/deep.txt", "one level down");
        fixtures::WriteFile(dir_ / "src/sub/deeper/deepest.txt", "two levels down");
        fixtures::WriteFile(dir_ / "src/.hidden/secret.txt", "not for the archive");
        return dir_ / "src";
    }
    // Which of the source tree's files an archive holds, by file name.
    static std::vector<std::string> AddedNames(const std::string& archive) {
        std::vector<std::string> names;
        for (const std::string& m : MemberNames(archive))
            for (const char* n : {"top.txt", "deep.txt", "deepest.txt", "secret.txt"})
                if (fs::path(m).filename() == n) names.push_back(n);
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST_F(ArchiveActionsTest, DeleteRemovesExactlyEachArchivesOwnSelectedRows) {
    const std::string a =
        MakeZip("a.zip", "for n in ['same.txt','a1.txt','a2.txt']: z.writestr(n, n)");
    const std::string b = MakeZip("b.zip", "for n in ['same.txt','b1.txt']: z.writestr(n, n)");
    Main_sc& w = Start({Q(a)});
    OpenAll(w, {Q(a), Q(b)});
    ASSERT_EQ(w.memberGrid->RowCount(), 6);
    // Scattered: a's same.txt and b's b1.txt, not the rows between them.
    SelectRows(w, {RowOf(w, "same.txt", Q(a)), RowOf(w, "b1.txt", Q(b))});
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};
    w.memberGrid->setFocus();
    QTest::keyClick(w.memberGrid, Qt::Key_Delete);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "    Are you sure?\nYou may lost this file.");
    EXPECT_EQ(MemberNames(a), (std::vector<std::string>{"a1.txt", "a2.txt"}));
    EXPECT_EQ(MemberNames(b), std::vector<std::string>{"same.txt"});
    EXPECT_EQ(w.memberGrid->RowCount(), 4);  // listed again: three members left
    EXPECT_EQ(RowOf(w, "same.txt", Q(b)), 3);
    EXPECT_FALSE(w.State.Busy);

    // Answered No: nothing goes, and every archive is listed again.
    w.memberGrid->setCells(0, 1, "stale");
    SelectRows(w, {1});
    boxes.buttons = {QMessageBox::No};
    MenuItem(w.popupMenu, "&Delete")->trigger();
    EXPECT_EQ(MemberNames(a), (std::vector<std::string>{"a1.txt", "a2.txt"}));
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     a1.txt");
    EXPECT_EQ(w.engine.ZipFileName(), a);
}

TEST_F(ArchiveActionsTest, RemoveZipMovesTheArchivesToTheTrash) {
    const std::string a = MakeZip("a.zip", "z.writestr('a.txt', b'a')");
    const std::string b = MakeZip("b.zip", "z.writestr('b.txt', b'b')");
    const std::string gone = MakeZip("gone.zip", "z.writestr('g.txt', b'g')");
    Main_sc& w = Start({Q(a)});
    OpenAll(w, {Q(a), Q(b), Q(gone)});
    fs::remove(gone);  // vanished behind the window's back: not counted
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};
    MenuItem(MainMenu(w, "&File"), "&Remove Zip")->trigger();
    ASSERT_EQ(boxes.texts.size(), 3u);
    EXPECT_EQ(boxes.texts[0], "Are you sure to remove this zip?");
    EXPECT_EQ(boxes.texts[1], "Cannot move to the trash:\n" + Q(gone));
    EXPECT_EQ(boxes.texts[2], "2 files deleted");
    // How a file goes to the trash is the engine's DiscardFile test's.
    EXPECT_TRUE(fs::exists(Trash() + "a.zip") && fs::exists(Trash() + "b.zip"));
    EXPECT_FALSE(fs::exists(a) || fs::exists(b));
    EXPECT_TRUE(w.Zipfiles.isEmpty());
    EXPECT_EQ(w.memberGrid->RowCount(), 2);
    EXPECT_EQ(w.memberGrid->Cells(7, 1), "");
    EXPECT_EQ(w.StatusText(1), "Total 0 Files ( 0k )");
    EXPECT_FALSE(w.State.Busy);

    // Answered No, it removes nothing.
    const std::string c = MakeZip("c.zip", "z.writestr('c.txt', b'c')");
    OpenAll(w, {Q(c)});
    boxes.buttons = {QMessageBox::No};
    ClickPanel(w, 2, 2);
    EXPECT_TRUE(fs::exists(c));
}

TEST_F(ArchiveActionsTest, FailedConversionKeepsTheArchiveAndDropsItsCopy) {
    // The disk fills up while the program is written: the stub does not fit.
    const std::string a = MakeZip("big64.zip", "z.writestr('n.txt', b'n')");
    const std::string before = fixtures::ReadFile(a);
    Main_sc& w = Start({Q(a)});
    ASSERT_EQ(w.memberGrid->Cells(0, 1), "     n.txt");
    w.engine.SFXPath = KELP_LIB_DIR "/KelpSFX.bin";
    ModalAnswerer boxes;
    boxes.dialogs = {SfxAnswer(true)};
    {
        fixtures::FileSizeLimit full(200000);
        ASSERT_TRUE(full.active());
        w.Dispatch(kelp::actMakeExe);
    }
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_TRUE(boxes.texts.back().startsWith("Error -")) << boxes.texts.back().toStdString();
    EXPECT_TRUE(boxes.texts.back().endsWith(" occured in making .EXE file"));
    EXPECT_EQ(fixtures::ReadFile(a), before);
    EXPECT_FALSE(fs::exists(dir_ / "big64.exe"));
    EXPECT_FALSE(fs::exists(w.TempPath.toStdString() + "_big64.zip"));
    EXPECT_EQ(w.engine.ZipFileName(), a);

    // Not an archive at all: the engine says so and nothing is copied.
    fixtures::WriteFile(a, "no longer an archive");
    boxes.dialogs = {SfxAnswer(true)};
    boxes.texts.clear();
    w.Dispatch(kelp::actMakeExe);
    EXPECT_EQ(fixtures::ReadFile(a), "no longer an archive");
    EXPECT_TRUE(fs::is_empty(w.TempPath.toStdString()));
    EXPECT_FALSE(w.State.Busy);
}

TEST_F(ArchiveActionsTest, ExtractThroughTheDialog) {
    const std::string a =
        MakeZip("a.zip", "z.writestr('docs/one.txt', b'1')\nz.writestr('two.txt', b'2')");
    const std::string b =
        MakeZip("b.zip", "z.writestr('three.txt', b'3')\nz.writestr('four.txt', b'4')");
    Main_sc& w = Start({Q(a)});
    OpenAll(w, {Q(a), Q(b)});

    // No row selected: no dialog at all.
    w.memberGrid->clearSelection();
    ModalAnswerer boxes;
    MenuItem(w.popupMenu, "&Extract")->trigger();
    EXPECT_TRUE(boxes.dialogsShown.empty());
    EXPECT_FALSE(w.State.Busy);

    // Selected only: exactly the selected members of each archive.
    const std::string selected = dir_ / "selected";
    SelectRows(w, {RowOf(w, "docs/one.txt", Q(a)), RowOf(w, "four.txt", Q(b))});
    boxes.dialogs = {ExtractInto(selected, true)};
    ClickPanel(w, 1, 0);  // "Extract"/"Extr. Selected"
    EXPECT_EQ(boxes.dialogsShown, std::vector<QString>{"kelp::ExtractDlg"});
    EXPECT_EQ(FilesUnder(selected),
              (std::map<std::string, std::string>{{"docs/one.txt", "1"}, {"four.txt", "4"}}));
    EXPECT_TRUE(w.Viewer->isVisible());
}

TEST_F(ArchiveActionsTest, AddWithAPasswordEncryptsTheNewMembers) {
    const std::string src = SourceTree();
    const std::string a = MakeZip("p.zip", "z.writestr('base.txt', b'base')");
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    boxes.dialogs = {AddFiles({Q(src) + "/top.txt"}, false, true)};
    boxes.buttons = {QMessageBox::Yes};
    boxes.passwords = {"s3cret"};
    ClickPanel(w, 0, 3);  // "Archive"/"Add"
    ASSERT_GE(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[1], "Press cancel if you wont want password.  ");
    EXPECT_EQ(boxes.texts.back(), "DONE: Number of files Added: 1");
    EXPECT_TRUE(ArchiveTestsClean(a, "s3cret"));
    EXPECT_TRUE(w.memberGrid->Cells(0, RowOf(w, Q(MemberNames(a).back()), Q(a))).endsWith(" +"));
    // The password and the encryption do not carry over to the next add.
    EXPECT_TRUE(w.engine.Password.empty());
}

TEST_F(ArchiveActionsTest, AddDroppedFilesGoesToThePickedArchiveWithSubFolders) {
    const std::string src = SourceTree();
    const std::string a = MakeZip("a.zip", "z.writestr('a.txt', b'a')");
    const std::string b = MakeZip("b.zip", "z.writestr('b.txt', b'b')");
    Main_sc& w = Start({Q(a)});
    OpenAll(w, {Q(a), Q(b)});
    // What the add dialog leaves for a drop of the folder.
    w.Settings.AddSubDirs = false;
    kelp::engine::AddRequest drop;
    drop.options = {kelp::engine::AddDirNames};
    drop.sources = {{src, false, std::nullopt}};
    ModalAnswerer boxes;
    boxes.dialogs = {PickArchive(1)};
    w.Session().AddDropped(drop);
    EXPECT_EQ(boxes.dialogsShown, std::vector<QString>{"kelp::ArchivePicker"});
    EXPECT_EQ(MemberNames(a), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(AddedNames(b), (std::vector<std::string>{"deep.txt", "deepest.txt", "top.txt"}));
    // Each member once in the grid: one of a, four of b.
    EXPECT_EQ(w.memberGrid->RowCount(), 6);

    // The picker closed without a choice adds nothing anywhere.
    drop.sources = {{src + "/top.txt", false, std::nullopt}};
    boxes.dialogs.clear();
    w.Session().AddDropped(drop);
    EXPECT_EQ(MemberNames(a), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(MemberNames(b).size(), 4u);
}

// An archive whose end is cut off cannot be opened: the box saying so offers
// "Repair…", which asks where to write (NAME-repaired.zip beside it), writes
// the lines to the log and opens the repaired copy. The damaged file stays.
TEST_F(ArchiveActionsTest, AnArchiveThatCannotBeOpenedIsRepairedIntoACopyThatOpens) {
    const std::string broken =
        MakeZip("cut.zip", "z.writestr('a.txt', b'alpha' * 99)\nz.writestr('b.txt', b'beta')");
    fixtures::RunShell("truncate -s -22 " + fixtures::Quote(broken));
    const std::string before = fixtures::ReadFile(broken);
    const std::string fixed = dir_ / "cut-repaired.zip";
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};  // the box's "Repair…"
    boxes.dialogs = {fixtures::On<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->selectedFiles(), QStringList{Q(fixed)});
        static_cast<QDialog*>(dialog)->accept();  // as its button does
    })};
    Main_sc& w = Start({Q(broken)});
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Zipfiles == QStringList{Q(fixed)}; }, 10000));
    EXPECT_TRUE(w.LogLines().contains("Recovered 2 of 2 members into " + Q(fixed)))
        << w.LogLines().join('\n').toStdString();
    EXPECT_EQ(MemberNames(fixed), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(fixtures::ReadFile(broken), before);
}
