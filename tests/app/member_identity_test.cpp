// Every window action that names members touches exactly the members whose
// rows the user selected, whatever characters their names hold: names that
// read as patterns, that end in "+" like the encryption mark, that start or
// end with blanks, that differ only in case or in "\" against "/", and a
// folder row. Archives are written and checked with Python's zipfile, which
// keeps names byte for byte.
#include <QCheckBox>
#include <QDrag>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "app_fixture.h"
#include "extract_dlg.h"
#include "mm_viewer.h"
#include "reg_combo_box.h"

using namespace apptest;
using kelp::Main_sc;
namespace fs = std::filesystem;

namespace {

// Each member holds its own name, so that a file shows which member it came from.
const std::vector<std::string> kNames = {
    "a*.txt",   "abc.txt", "axe.txt",   "[ab].txt",       "a.txt",      "c++",     "c",
    "x+",       "?",       " lead.txt", "trail ",         "d\\e.txt",   "d/e.txt", "Case.txt",
    "case.txt", "f/",      "f/in.txt",  "f/sub/deep.txt", "f2/out.txt", "f.txt"};

// The members a selection of `name` stands for: itself, and for a folder
// everything under it.
std::set<std::string> Covered(const std::string& name) {
    std::set<std::string> out;
    for (const std::string& n : kNames)
        if (n == name || (name.back() == '/' && n.starts_with(name))) out.insert(n);
    return out;
}

class MemberIdentityTest : public AppTest {
  protected:
    // A fresh copy of the archive of kNames.
    std::string OddArchive(const std::string& name = "odd.zip") {
        std::string body = "for n in " + PyList(kNames) +
                           ":\n    z.writestr(n, b'' if n.endswith('/') else n.encode())";
        return MakeZip(name, body);
    }
    static std::string PyList(const std::vector<std::string>& names) {
        std::string list = "[";
        for (const std::string& n : names) {
            list += "'";
            for (char c : n) list += c == '\\' ? std::string("\\\\") : std::string(1, c);
            list += "',";
        }
        return list + "]";
    }
    std::set<std::string> NamesIn(const std::string& archive) {
        const auto names = MemberNames(archive);
        return {names.begin(), names.end()};
    }
    static int RowOf(const Main_sc& w, const std::string& name) {
        const int row = apptest::RowOf(w, Q(name));
        EXPECT_NE(row, 0) << "no row for " << name;
        return row;
    }
};

TEST_F(MemberIdentityTest, DeleteKeyRemovesExactlyTheSelectedRowsMember) {
    const std::string original = OddArchive();
    for (const std::string& name : kNames) {
        SCOPED_TRACE(name);
        const std::string archive = dir_ / "work.zip";
        fs::copy_file(original, archive, fs::copy_options::overwrite_existing);
        Main_sc& w = Start({Q(archive)});
        SelectRows(w, {RowOf(w, name)});
        ModalAnswerer boxes;
        boxes.buttons = {QMessageBox::Yes};
        w.memberGrid->setFocus();
        QTest::keyClick(w.memberGrid, Qt::Key_Delete);
        std::set<std::string> expected(kNames.begin(), kNames.end());
        for (const std::string& gone : Covered(name)) expected.erase(gone);
        EXPECT_EQ(NamesIn(archive), expected);
        EXPECT_EQ(boxes.texts.size(), 1u);  // the question, and no error
    }
}

TEST_F(MemberIdentityTest, ExtractSelectedOnlyWritesExactlyTheSelectedMember) {
    const std::string archive = OddArchive();
    Main_sc& w = Start({Q(archive)});
    int round = 0;
    for (const std::string& name : kNames) {
        SCOPED_TRACE(name);
        const std::string target = dir_ / ("out" + std::to_string(++round));
        fs::create_directories(target);
        SelectRows(w, {RowOf(w, name)});
        ModalAnswerer boxes;
        boxes.dialogs.push_back([&](QDialog* d) {
            auto* dialog = qobject_cast<kelp::ExtractDlg*>(d);
            ASSERT_NE(dialog, nullptr);
            dialog->extractFolderEdit()->setEditText(Q(target));
            dialog->selectedOnlyBox()->setChecked(true);
            dialog->okButton()->click();
        });
        w.Dispatch(kelp::actExtract);
        // Folder names are kept ("\" separates as "/" does); the files are
        // exactly the covered members, each with its own content.
        std::map<std::string, std::string> expected;
        for (const std::string& n : Covered(name)) {
            if (n.back() == '/') continue;
            std::string path = n;
            std::replace(path.begin(), path.end(), '\\', '/');
            expected[path] = n;
        }
        EXPECT_EQ(FilesUnder(target), expected);
    }
    EXPECT_EQ(NamesIn(archive).size(), kNames.size());
}

TEST_F(MemberIdentityTest, ViewAndPreviewOpenTheSelectedMember) {
    const std::string archive = OddArchive();
    Main_sc& w = Start({Q(archive)});
    w.ShowContentViewer();
    for (const std::string& name : kNames) {
        if (name.back() == '/') continue;
        SCOPED_TRACE(name);
        SelectRows(w, {RowOf(w, name)});
        const size_t opened = shell_.opened.size();
        w.Dispatch(kelp::actView);
        ASSERT_EQ(shell_.opened.size(), opened + 1);
        const QString file = shell_.opened.back().second + shell_.opened.back().first;
        EXPECT_EQ(fixtures::ReadFile(file.toStdString()), name);
        // The content viewer shows the same member for the types it takes.
        if (name.ends_with(".txt")) {
            w.PreviewMember(RowOf(w, name));
            EXPECT_EQ(w.contentViewer->viewer()->text()->toPlainText().toStdString(), name);
        }
    }
}

TEST_F(MemberIdentityTest, DragOutExtractsExactlyTheSelectedMembers) {
    const std::string archive = OddArchive();
    Main_sc& w = Start({Q(archive)});
    SelectRows(w, {RowOf(w, "a*.txt"), RowOf(w, "c++"), RowOf(w, "f/")});
    QList<QUrl> offered;
    w.RunDrag = [&](QDrag& drag) {
        offered = drag.mimeData()->urls();  // extracts, as a drop target's read does
        return Qt::CopyAction;
    };
    const QPoint p =
        w.memberGrid->visualRect(w.memberGrid->gridModel()->index(RowOf(w, "c++") - 1, 0)).center();
    QWidget* vp = w.memberGrid->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, p, vp->mapToGlobal(p), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &press);
    const QPoint q = p + QPoint(0, 12);
    QMouseEvent move(QEvent::MouseMove, q, vp->mapToGlobal(q), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    ASSERT_EQ(offered.size(), 3);
    const std::string folder = QFileInfo(offered[0].toLocalFile()).path().toStdString();
    EXPECT_EQ(FilesUnder(folder),
              (std::map<std::string, std::string>{{"a*.txt", "a*.txt"},
                                                  {"c++", "c++"},
                                                  {"f/in.txt", "f/in.txt"},
                                                  {"f/sub/deep.txt", "f/sub/deep.txt"}}));
}

TEST_F(MemberIdentityTest, ArchiveChangedSinceListingIsNotTouched) {
    const std::string archive = OddArchive();
    Main_sc& w = Start({Q(archive)});
    SelectRows(w, {RowOf(w, "c++")});
    // Another program rewrites the archive: "c++" is now where "c" was listed.
    MakeZip("odd.zip", "for n in ['c', 'c++']: z.writestr(n, n)");
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes, QMessageBox::Ok};
    QTest::keyClick(w.memberGrid, Qt::Key_Delete);
    EXPECT_EQ(NamesIn(archive), (std::set<std::string>{"c", "c++"}));
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_TRUE(boxes.texts[1].contains("has changed since it was listed"))
        << boxes.texts[1].toStdString();
}

TEST_F(MemberIdentityTest, RenameInPlaceRenamesTheSelectedRowsMember) {
    const std::string archive = OddArchive();
    Main_sc& w = Start({Q(archive)});
    auto rename = [&](const std::string& from, const QString& to, Qt::Key key) {
        SelectRows(w, {RowOf(w, from)});
        // F2 in the grid, or the menu item.
        if (key == Qt::Key_Escape)
            MenuItem(MainMenu(w, "&Action"), "&Rename")->trigger();
        else
            QTest::keyClick(w.memberGrid, Qt::Key_F2);
        auto* edit = qobject_cast<QLineEdit*>(w.renameEdit_);
        if (!edit) return ADD_FAILURE() << "no edit for " << from;
        EXPECT_EQ(edit->text().toStdString(), from);
        edit->setText(to);
        QTest::keyClick(edit, key);
    };
    std::set<std::string> expected(kNames.begin(), kNames.end());
    rename("c++", "renamed++", Qt::Key_Escape);
    EXPECT_EQ(NamesIn(archive), expected);
    rename("c++", "renamed++", Qt::Key_Return);
    expected.erase("c++");
    expected.insert("renamed++");
    EXPECT_EQ(NamesIn(archive), expected);
    // A folder row takes what lies under it along.
    rename("f/", "g/", Qt::Key_Return);
    for (const char* n : {"f/", "f/in.txt", "f/sub/deep.txt"}) {
        expected.erase(n);
        expected.insert("g/" + std::string(n).substr(2));
    }
    EXPECT_EQ(NamesIn(archive), expected);
    // A name that is taken is refused and said so.
    ModalAnswerer boxes;
    rename("c", "a.txt", Qt::Key_Return);
    EXPECT_EQ(NamesIn(archive), expected);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].contains("exists already")) << boxes.texts[0].toStdString();
    EXPECT_EQ(fixtures::RunShell("unzip -p " + fixtures::Quote(archive) + " renamed++").out, "c++");
}

TEST_F(MemberIdentityTest, AllMemberActionsTakeNamesWithoutADot) {
    // "Extract all" and "Test" go over every member, "c++" and "?" too.
    const std::string archive = OddArchive();
    Main_sc& w = Start({Q(archive)});
    const std::string target = dir_ / "all";
    fs::create_directories(target);
    w.Session().ExtractAllFolder = Q(target);
    w.Settings.Extrfold = true;
    w.Dispatch(kelp::actExtractAll);
    const auto files = FilesUnder(target);
    EXPECT_EQ(files.count("c++"), 1u);
    EXPECT_EQ(files.count("?"), 1u);
    EXPECT_EQ(files.count("f/sub/deep.txt"), 1u);
    w.Dispatch(kelp::actTest);
    EXPECT_EQ(w.engine.SuccessCount(), int(kNames.size()));
}

}  // namespace
