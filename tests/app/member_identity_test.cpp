// The window's own ways to a member (view, preview, drag, rename in place)
// reach exactly the member whose row the user selected, whatever characters
// its name holds: names that read as patterns, that end in "+" like the
// encryption mark, that start or end with blanks, that differ only in case or
// in "\" against "/", and a folder row. Delete and extract of the selected
// records are the session's table; exact names the engine's.
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>

#include <filesystem>
#include <set>

#include "app_fixture.h"
#include "mm_viewer.h"
#include "reg_combo_box.h"
#include "tests/fixtures/archive_builder.h"

using namespace apptest;
using kelp::Main_sc;
namespace fs = std::filesystem;

namespace {

// Each member holds its own name, so that a file shows which member it came from.
const std::vector<std::string> kNames = {
    "a*.txt",   "abc.txt", "axe.txt",   "[ab].txt",       "a.txt",      "c++",     "c",
    "x+",       "?",       " lead.txt", "trail ",         "d\\e.txt",   "d/e.txt", "Case.txt",
    "case.txt", "f/",      "f/in.txt",  "f/sub/deep.txt", "f2/out.txt", "f.txt"};

class MemberIdentityTest : public AppTest {
  protected:
    // A fresh copy of the archive of kNames.
    std::string OddArchive(const std::string& name = "odd.zip") {
        fixtures::ArchiveBuilder builder;
        for (const std::string& n : kNames) builder.Add(n, n.back() == '/' ? "" : n);
        fixtures::WriteFile(dir_ / name, builder.Build());
        return dir_ / name;
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

}  // namespace
