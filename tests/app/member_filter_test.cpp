// The filter field above the member grid: which names it keeps, its keys,
// several archives at once, the count in the status bar, and that actions
// and sorts reach the shown rows only while hidden rows keep their place.
#include <QLineEdit>
#include <QTest>

#include "app_fixture.h"
#include "member_filter.h"
#include "member_rows.h"
#include "tests/fixtures/archive_builder.h"

using namespace apptest;
using kelp::Main_sc;

namespace {

TEST(MemberFilter, KeepsNamesHoldingTheTextOrMatchingThePattern) {
    struct Case {
        const char* text;
        const char* name;
        bool kept;
    };
    const Case cases[] = {
        {"", "anything", true},
        {"READ", "docs/ReadMe.txt", true},    // any case, in the name
        {"docs/r", "docs/readme.txt", true},  // across the folder's end
        {"OCS", "docs/", true},               // a folder entry
        {"txt", "docs/readme.md", false},
        {"été", "photos/ÉTÉ.jpg", true},     // beyond ASCII
        {"*.TXT", "docs/readme.txt", true},  // the whole name
        {"*.txt", "docs/readme.txt.bak", false},
        {"read*", "docs/readme.txt", true},  // the last part alone
        {"doc?", "docs/", true},             // a folder entry's own name
        {"docs/*", "docs/sub/a.txt", true},
        {"r?adme.txt", "docs/readme.txt", true},
        {"?eadme", "docs/readme.txt", false},  // a pattern is not a part of the name
    };
    // Names go through the grid's records, which fold names beyond ASCII.
    fixtures::ArchiveBuilder archive;
    for (const Case& c : cases) archive.Add({.name = c.name, .flags = kelp::zip::kFlagUtf8});
    const auto dir = fixtures::DirectoryOf(archive.Build());
    kelp::MemberRows rows([](const QString&) { return QString(); });
    rows.Append(kelp::engine::DirEntryList(dir), "a.zip");
    for (uint32_t i = 0; i < rows.Count(); ++i) {
        SCOPED_TRACE(std::string(cases[i].text) + " / " + cases[i].name);
        EXPECT_EQ(kelp::MemberFilter(QString::fromUtf8(cases[i].text)).Matches(rows.MatchName(i)),
                  cases[i].kept);
    }
}

class MemberFilterWindowTest : public AppTest {
  protected:
    // Two archives open in a shown, active window.
    Main_sc& ShowTwo() {
        a_ = MakeZip("a.zip",
                     "for n in ['docs/','docs/Read.txt','docs/b.md','x.TXT']: z.writestr(n, n)");
        b_ = MakeZip("b.zip", "for n in ['readme.txt','src/main.cpp']: z.writestr(n, n)");
        Main_sc& w = StartShown({Q(a_)});
        OpenAll(w, {Q(a_), Q(b_)});
        return w;
    }
    // "archive:member" of every shown row, top to bottom.
    static std::vector<std::string> Shown(const Main_sc& w) {
        std::vector<std::string> rows;
        for (int r = 1; r < w.memberGrid->RowCount(); ++r)
            rows.push_back(
                std::filesystem::path(w.memberGrid->Cells(7, r).toStdString()).stem().string() +
                ":" + w.MemberPath(r).toStdString());
        return rows;
    }
    std::string a_, b_;
};

}  // namespace

TEST_F(MemberFilterWindowTest, DeleteReachesOnlyShownSelectedRowsAndTheFilterOutlivesTheRelist) {
    Main_sc& w = ShowTwo();
    w.memberGrid->selectAll();
    w.memberFilterEdit->setText("read");
    // Rows the filter hid left the selection; the shown ones stayed in it.
    EXPECT_EQ(w.SelectedRows(), (QList<int>{1, 2}));
    EXPECT_EQ(w.StatusText(0), "Selected 2 Files (0k )");
    SelectRows(w, {1});
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};
    w.memberGrid->setFocus();
    QTest::keyClick(w.memberGrid, Qt::Key_Delete);
    ASSERT_EQ(boxes.texts.size(), 1u);
    const auto r = fixtures::RunShell("unzip -Z1 " + fixtures::Quote(a_));
    EXPECT_EQ(r.out, "docs/\ndocs/b.md\nx.TXT\n");
    // Listed again, still filtered.
    EXPECT_EQ(w.memberFilterEdit->text(), "read");
    EXPECT_EQ(Shown(w), (std::vector<std::string>{"b:readme.txt"}));
    EXPECT_EQ(w.StatusText(1), "Shown 1 of 5 Files");
}

TEST_F(MemberFilterWindowTest, SortingWhileFilteredOrdersTheHiddenRowsToo) {
    Main_sc& w = ShowTwo();
    w.memberFilterEdit->setText(".");  // every file, no folder
    w.memberGrid->headerClicked(0, Qt::LeftButton);
    const std::vector<std::string> filtered = Shown(w);
    ASSERT_EQ(filtered.size(), 5u);
    w.memberFilterEdit->clear();
    const std::vector<std::string> full = Shown(w);
    ASSERT_EQ(full.size(), 6u);
    // The folder row comes back among sorted rows: sorting again moves nothing.
    w.memberGrid->SortOnColumn(0, w.SortSettings);
    EXPECT_EQ(Shown(w), full);
    std::vector<std::string> files = full;
    std::erase(files, "a:docs/");
    EXPECT_EQ(files, filtered);
}
