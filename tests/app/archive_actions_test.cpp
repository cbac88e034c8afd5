// The window's archive-changing and dialog-driven actions, run from their
// menus, function panel, pop-up and keys with scripted dialogs, and checked
// on disk with unzip afterwards.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
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
    return [=](QDialog* d) {
        auto* dialog = qobject_cast<kelp::ExtractDlg*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->extractFolderEdit()->setEditText(Q(folder));
        dialog->selectedOnlyBox()->setChecked(selectedOnly);
        dialog->okButton()->click();
    };
}

// Files and folders of the file system, as the dialog's browser adds them.
auto AddFiles(const QStringList& paths, bool subDirs, bool encrypt = false) {
    return [=](QDialog* d) {
        auto* dialog = qobject_cast<kelp::AddDlg*>(d);
        ASSERT_NE(dialog, nullptr);
        dialog->setAddedPaths(paths);
        dialog->addSubDirsBox()->setChecked(subDirs);
        dialog->encryptBox()->setChecked(encrypt);
        dialog->okButton()->click();
    };
}

auto PickArchive(int index) {
    return [=](QDialog* d) {
        auto* picker = qobject_cast<kelp::ArchivePicker*>(d);
        ASSERT_NE(picker, nullptr);
        picker->archiveCombo()->setCurrentIndex(index);
        picker->okButton()->click();
    };
}

auto SfxAnswer(bool ok) {
    return [=](QDialog* d) {
        auto* dialog = qobject_cast<kelp::SfxDlg*>(d);
        ASSERT_NE(dialog, nullptr);
        (ok ? dialog->okButton() : dialog->cancelButton())->click();
    };
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

    // The first archive emptied: the other's rows follow the header directly.
    SelectRows(w, {1, 2});
    boxes.buttons = {QMessageBox::Yes};
    ClickPanel(w, 2, 1);  // "Add/Delete"/"Delete"
    // An archive without members stays (unzip calls it an empty zipfile).
    EXPECT_EQ(MemberNames(a), std::vector<std::string>{});
    EXPECT_EQ(w.memberGrid->RowCount(), 2);
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     same.txt");
    EXPECT_EQ(w.StatusText(1).left(13), "Total 1 Files");
}

TEST_F(ArchiveActionsTest, DeleteOfAFolderRowRemovesTheFolderEntry) {
    const std::string a =
        MakeZip("f.zip", "z.writestr('docs/', b'')\nz.writestr('keep.txt', b'k')");
    Main_sc& w = Start({Q(a)});
    const int folderRow = RowOf(w, "docs/", Q(a));
    ASSERT_NE(folderRow, 0);
    SelectRows(w, {folderRow});
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};
    MenuItem(MainMenu(w, "&Action"), "&Delete")->trigger();
    EXPECT_EQ(MemberNames(a), std::vector<std::string>{"keep.txt"});
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
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(b));
    EXPECT_EQ(MemberNames(Trash() + "a.zip"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(MemberNames(Trash() + "b.zip"), std::vector<std::string>{"b.txt"});
    EXPECT_TRUE(fs::exists(dir_ / "data/Trash/info/a.zip.trashinfo"));
    EXPECT_TRUE(w.Zipfiles.isEmpty());
    EXPECT_EQ(w.memberGrid->RowCount(), 2);
    EXPECT_EQ(w.memberGrid->Cells(7, 1), "");
    EXPECT_EQ(w.StatusText(1), "Total 0 Files ( 0k )");
    EXPECT_FALSE(w.State.Busy);

    // The window goes on: another archive opens and lists.
    const std::string c = MakeZip("c.zip", "z.writestr('c.txt', b'c')");
    w.engine.setZipFileName(c);
    OpenAll(w, {Q(c)});
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     c.txt");

    // Answered No, it removes nothing.
    boxes.buttons = {QMessageBox::No};
    ClickPanel(w, 2, 2);
    EXPECT_TRUE(fs::exists(c));
    EXPECT_EQ(w.Zipfiles, QStringList{Q(c)});
}

TEST_F(ArchiveActionsTest, MakeExeCancelledChangesNothing) {
    const std::string a = MakeZip("s.zip", "z.writestr('s.txt', b'sfx me')");
    const std::string before = fixtures::ReadFile(a);
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    boxes.dialogs = {SfxAnswer(false)};
    ClickPanel(w, 1, 3);  // "Extract"/"Create SFX"
    EXPECT_EQ(boxes.dialogsShown, std::vector<QString>{"kelp::SfxDlg"});
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(fixtures::ReadFile(a), before);
    EXPECT_FALSE(fs::exists(dir_ / "s.exe"));
    EXPECT_FALSE(w.State.Busy);
    w.Dispatch(kelp::actRefresh);
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     s.txt");
}

TEST_F(ArchiveActionsTest, MakeExeThenMakeZipRoundTripLeavesNoCopyBehind) {
    const std::string zip = MakeZip("r.zip", "z.writestr('docs/r.txt', b'round trip '*50)");
    const std::string exe = dir_ / "r.exe";
    Main_sc& w = Start({Q(zip)});
    w.engine.SFXPath = KELP_LIB_DIR "/KelpSFX.bin";
    ModalAnswerer boxes;
    boxes.dialogs = {SfxAnswer(true)};
    MenuItem(MainMenu(w, "&Action"), "MakeExe")->trigger();
    ASSERT_EQ(boxes.texts, std::vector<QString>{"Filename is now: " + Q(exe)});
    EXPECT_TRUE(fs::exists(exe));
    EXPECT_EQ(w.engine.ZipFileName(), zip);

    fs::remove(zip);
    boxes.texts.clear();
    OpenAll(w, {Q(exe)});
    MenuItem(w.popupMenu, "MakeZip")->trigger();
    ASSERT_EQ(boxes.texts, std::vector<QString>{"Filename is now: " + Q(zip)});
    EXPECT_EQ(MemberNames(zip), std::vector<std::string>{"docs/r.txt"});
    EXPECT_TRUE(fs::exists(exe));
    // No "_" copy anywhere: not in the run's folder, the current folder or beside.
    for (const std::string& folder :
         {w.TempPath.toStdString(), dir_.path(), fs::current_path().string()})
        for (const auto& e : fs::directory_iterator(folder))
            EXPECT_NE(e.path().filename().string().front(), '_') << e.path();
    EXPECT_FALSE(w.State.Busy);
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

    // Not selected only: everything, from either entry point.
    const std::string all = dir_ / "all";
    boxes.dialogs = {ExtractInto(all, false)};
    MenuItem(w.popupMenu, "&Extract")->trigger();
    EXPECT_EQ(FilesUnder(all),
              (std::map<std::string, std::string>{
                  {"docs/one.txt", "1"}, {"four.txt", "4"}, {"three.txt", "3"}, {"two.txt", "2"}}));
    const std::string panelAll = dir_ / "panel-all";
    boxes.dialogs = {ExtractInto(panelAll, false)};
    ClickPanel(w, 1, 1);  // "Extract"/"Extr. All"
    EXPECT_EQ(FilesUnder(panelAll), FilesUnder(all));
    EXPECT_EQ(w.LogLines().last(), "No Errors found");

    // "Extr. All" cancelled extracts nothing.
    const size_t shown = boxes.dialogsShown.size();
    ClickPanel(w, 1, 1);
    EXPECT_EQ(boxes.dialogsShown.size(), shown + 1);
    EXPECT_FALSE(w.State.Busy);
}

TEST_F(ArchiveActionsTest, AddThroughTheDialogWithAndWithoutSubFolders) {
    const std::string src = SourceTree();
    const std::string a = MakeZip("a.zip", "z.writestr('base.txt', b'base')");
    const std::string b = MakeZip("b.zip", "z.writestr('base.txt', b'base')");
    Main_sc& w = Start({Q(a)});
    ModalAnswerer boxes;
    boxes.dialogs = {AddFiles({Q(src)}, true)};
    boxes.buttons = {QMessageBox::Yes};
    QAction* add = MenuItem(MainMenu(w, "&Action"), "&Add");
    EXPECT_EQ(add->shortcut(), QKeySequence("Ctrl+A"));
    add->trigger();
    EXPECT_EQ(boxes.texts, (std::vector<QString>{"File will be added if you press yes now.",
                                                 "DONE: Number of files Added: 3"}));
    EXPECT_EQ(AddedNames(a), (std::vector<std::string>{"deep.txt", "deepest.txt", "top.txt"}));
    EXPECT_TRUE(ArchiveTestsClean(a));
    EXPECT_EQ(w.memberGrid->RowCount(), 5);  // listed again with the new members
    EXPECT_TRUE(w.menuBar()->isEnabled());

    // Without sub-folders only the folder's own files; answered No, nothing.
    OpenAll(w, {Q(b)});
    boxes.texts.clear();
    boxes.dialogs = {AddFiles({Q(src)}, false), AddFiles({Q(src)}, false)};
    boxes.buttons = {QMessageBox::No};
    MenuItem(w.popupMenu, "&Add")->trigger();
    EXPECT_EQ(MemberNames(b), std::vector<std::string>{"base.txt"});
    boxes.buttons = {QMessageBox::Yes};
    ClickPanel(w, 2, 0);  // "Add/Delete"/"Add"
    EXPECT_EQ(AddedNames(b), std::vector<std::string>{"top.txt"});
    EXPECT_EQ(boxes.texts.back(), "DONE: Number of files Added: 1");
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
    EXPECT_FALSE(ArchiveTestsClean(a, "wrong"));
    EXPECT_TRUE(w.memberGrid->Cells(0, RowOf(w, Q(MemberNames(a).back()), Q(a))).endsWith(" +"));
    // The password and the encryption do not carry over to the next add.
    EXPECT_TRUE(w.engine.Password.empty());

    // With AES-256 chosen on the options dialog the next member is AES
    // encrypted (method 99), and 7z opens it with the password.
    w.Settings.AesAdd = true;
    boxes.dialogs = {AddFiles({Q(src) + "/sub/deep.txt"}, false, true)};
    boxes.buttons = {QMessageBox::Yes};
    boxes.passwords = {"s3cret"};
    ClickPanel(w, 0, 3);
    const auto methods = fixtures::RunShell(
        "python3 -c 'import zipfile,sys; print(*[i.filename + \"=\" + str(i.compress_type) for i "
        "in "
        "zipfile.ZipFile(sys.argv[1]).infolist()])' " +
        fixtures::Quote(a));
    EXPECT_NE(methods.out.find("deep.txt=99"), std::string::npos) << methods.out;
    EXPECT_EQ(methods.out.find("top.txt=99"), std::string::npos) << methods.out;
    EXPECT_EQ(fixtures::RunShell("7z t -ps3cret " + fixtures::Quote(a)).exitCode, 0);
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

TEST_F(ArchiveActionsTest, AddWithNoOpenedArchiveGoesToTheNamedOne) {
    // New named a file that exists: the engine names it, nothing is opened.
    const std::string src = SourceTree();
    const std::string a = MakeZip("named.zip", "z.writestr('base.txt', b'base')");
    Main_sc& w = Start();
    w.engine.setZipFileName(a);
    ASSERT_TRUE(w.Zipfiles.isEmpty());
    ModalAnswerer boxes;
    boxes.dialogs = {AddFiles({Q(src) + "/top.txt"}, false)};
    boxes.buttons = {QMessageBox::Yes};
    w.Dispatch(kelp::actAdd);
    EXPECT_EQ(boxes.dialogsShown, std::vector<QString>{"kelp::AddDlg"});
    EXPECT_EQ(AddedNames(a), std::vector<std::string>{"top.txt"});
    EXPECT_EQ(w.Zipfiles, QStringList{Q(a)});
    EXPECT_EQ(w.memberGrid->RowCount(), 3);
}

TEST_F(ArchiveActionsTest, RemainingEntryPointsReachTheirActions) {
    const std::string a = MakeZip("e.zip", "z.writestr('e.txt', b'entry points')");
    const std::string before = fixtures::ReadFile(a);
    Main_sc& w = Start({Q(a)});
    w.engine.SFXPath = KELP_LIB_DIR "/KelpSFX.bin";
    SelectRows(w, {1});
    ModalAnswerer boxes;
    ClickPanel(w, 0, 2);  // "Archive"/"Extract": the extract dialog, cancelled
    MenuItem(w.popupMenu, "MakeExe")->trigger();  // the SFX dialog, cancelled
    EXPECT_EQ(boxes.dialogsShown, (std::vector<QString>{"kelp::ExtractDlg", "kelp::SfxDlg"}));
    // Back to an archive from a plain archive fails and keeps it, from either entry.
    MenuItem(MainMenu(w, "&Action"), "MakeZip")->trigger();
    ClickPanel(w, 1, 4);  // "Extract"/"SFX => EXE"
    ASSERT_GE(boxes.texts.size(), 2u);
    for (const QString& text : boxes.texts)
        if (text.startsWith("Error ")) {
            EXPECT_TRUE(text.endsWith(" occured in making .ZIP file"));
        }
    EXPECT_EQ(std::count_if(boxes.texts.begin(), boxes.texts.end(),
                            [](const QString& t) { return t.endsWith("making .ZIP file"); }),
              2);
    EXPECT_EQ(fixtures::ReadFile(a), before);
    EXPECT_TRUE(fs::is_empty(w.TempPath.toStdString()));
    EXPECT_FALSE(w.State.Busy);
}

// An archive whose end is cut off cannot be opened: the box saying so offers
// "Repair…", and the Action menu keeps "Re&pair…" (the only item enabled);
// either asks where to write (NAME-repaired.zip beside it), writes the lines
// to the log and opens the repaired copy. The damaged file stays as it was.
TEST_F(ArchiveActionsTest, AnArchiveThatCannotBeOpenedIsRepairedIntoACopyThatOpens) {
    const std::string broken =
        MakeZip("cut.zip", "z.writestr('a.txt', b'alpha' * 99)\nz.writestr('b.txt', b'beta')");
    fixtures::RunShell("truncate -s -22 " + fixtures::Quote(broken));
    const std::string before = fixtures::ReadFile(broken);
    const std::string fixed = dir_ / "cut-repaired.zip";
    auto saveAsOffered = [&](QDialog* d) {
        auto* dialog = qobject_cast<QFileDialog*>(d);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->selectedFiles(), QStringList{Q(fixed)});
        d->accept();
    };
    for (const bool fromBox : {true, false}) {
        fs::remove(fixed);
        ModalAnswerer boxes;
        if (fromBox) boxes.buttons = {QMessageBox::Yes};  // the box's "Repair…"
        boxes.dialogs = {saveAsOffered};
        Main_sc& w = Start({Q(broken)});
        if (!fromBox) {
            QMenu* action = MainMenu(w, "&Action");
            EXPECT_TRUE(action->isEnabled());
            EXPECT_FALSE(MenuItem(action, "&Add")->isEnabled());
            ASSERT_TRUE(MenuItem(action, "Re&pair…")->isEnabled());
            MenuItem(action, "Re&pair…")->trigger();
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.Zipfiles == QStringList{Q(fixed)}; }, 10000));
        EXPECT_TRUE(w.LogLines().contains("Recovered 2 of 2 members into " + Q(fixed)))
            << w.LogLines().join('\n').toStdString();
        EXPECT_EQ(w.engine.EntryCount(), 2u);
        EXPECT_TRUE(MenuItem(MainMenu(w, "&Action"), "&Add")->isEnabled());
        EXPECT_EQ(MemberNames(fixed), (std::vector<std::string>{"a.txt", "b.txt"}));
        EXPECT_EQ(fixtures::ReadFile(broken), before);
    }
}
