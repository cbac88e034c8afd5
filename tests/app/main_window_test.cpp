// Start-up, the listing with its status bar and selection summary, sorting,
// and the settings record in the store.
#include <QAction>
#include <QFileDialog>
#include <QImage>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

#include <cmath>

#include <QFontInfo>
#include <QScreen>

#include "about_box.h"
#include "app_fixture.h"
#include "color_memo.h"
#include "platform/settings_store.h"
#include "platform/zip_association.h"
#include "tests/fixtures/archive_builder.h"

using namespace apptest;
using kelp::Main_sc;
using kelp::SortGrid;

namespace {

const QString kSample = KELP_SOURCE_DIR "/data/openme.zip";

// Columns are sized from cell lengths the rows give without making texts;
// each must be its text's length.
void ExpectLengthsOfTheTexts(const SortGrid* grid) {
    for (int r = 1; r < grid->RowCount(); ++r)
        for (int c = 0; c < grid->ColCount(); ++c)
            EXPECT_EQ(grid->gridModel()->CellLength(c, r), grid->Cells(c, r).size())
                << "row " << r << " column " << c << ": " << grid->Cells(c, r).toStdString();
}

}  // namespace

TEST_F(AppTest, StartWithoutArgumentShowsEmptyGrid) {
    Main_sc& w = Start();
    EXPECT_EQ(w.windowTitle(), "KELP  0.1.0 - <none>");
    EXPECT_EQ(w.memberGrid->RowCount(), 2);
    EXPECT_EQ(w.memberGrid->Cells(0, 0), "Filename");
    EXPECT_EQ(w.memberGrid->Cells(7, 0), "Archive");
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "");
    EXPECT_FALSE(w.ActionMenu->isEnabled());
    EXPECT_EQ(w.functionPanel->groupCount(), 3);
    EXPECT_EQ(w.functionPanel->group(1).item(4).Caption(), "SFX => EXE");
    // The gate refuses everything but New and Open without an archive.
    w.Dispatch(kelp::actTest);
    EXPECT_TRUE(w.LogLines().isEmpty());
    EXPECT_FALSE(w.State.Busy);
}

TEST_F(AppTest, StartWithArchiveListsItAndFillsStatusBar) {
    Main_sc& w = Start({kSample});
    EXPECT_EQ(w.windowTitle(), "KELP  0.1.0 -" + kSample);
    EXPECT_TRUE(w.ActionMenu->isEnabled());
    EXPECT_EQ(w.Zipfiles, QStringList{kSample});
    const int rows = w.memberGrid->RowCount() - 1;
    EXPECT_EQ(size_t(rows), w.engine.EntryCount());
    EXPECT_EQ(w.StatusText(0), "Selected 0 Files(0k )");
    EXPECT_TRUE(w.StatusText(1).startsWith(QString("Total %1 Files ( ").arg(rows)));
    EXPECT_EQ(w.StatusText(2), "(1)  openme.zip");
}

TEST_F(AppTest, StartWithSomethingElseSaysItIsNoZipfile) {
    const std::string junk = dir_ / "notes.txt";
    fixtures::WriteFile(junk, "just some text, no archive here");
    ModalAnswerer boxes;
    Main_sc& w = Start({QString::fromStdString(junk)});
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_EQ(boxes.texts.back(), QString::fromStdString(junk) + " is not a zipfile");
    EXPECT_EQ(w.windowTitle(), "KELP  0.1.0 - <none>");
}

TEST_F(AppTest, InitInLowerCaseRunsFirstRunSetup) {
    setenv("XDG_DATA_HOME", (dir_ / "share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ / "xdg").c_str(), 1);
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};
    Main_sc& w = Start({"/init"});
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].startsWith("Want to set this as default Unzip program?"));
    EXPECT_TRUE(kelp::platform::IsZipAssociated());
    kelp::platform::UnregisterZipAssociation();
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");

    EXPECT_EQ(w.windowTitle(), "Kelp - Setup");
    EXPECT_EQ(w.Settings.FileBkColor, 0xFFFFFF);
    EXPECT_EQ(w.Settings.FileListColor, 0);
    EXPECT_EQ(w.Settings.ToolBkColor, 0xC0C0C0);
    EXPECT_FALSE(w.Settings.aot);
    EXPECT_EQ(w.memberGrid->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_EQ(w.Zipfiles, QStringList{kSample});
    EXPECT_GT(w.memberGrid->RowCount(), 2);
    EXPECT_EQ(w.Settings.SFXMessage, "This is Kelp Self Extracting Archive");
}

TEST_F(AppTest, VeryFirstStartOpensTheNamedArchiveOnceTheQuestionIsAnswered) {
    const std::string zip =
        MakeZip("mine.zip", "z.writestr('a.txt', b'a')\nz.writestr('b.txt', b'b')");
    const QString archive = QString::fromStdString(zip);
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::No};
    Main_sc& w = Start({"/INIT", archive});
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].startsWith("Want to set this as default Unzip program?"));
    EXPECT_EQ(w.Zipfiles, QStringList{archive});
    EXPECT_EQ(w.windowTitle(), "KELP  0.1.0 -" + archive);
    ASSERT_EQ(w.memberGrid->RowCount(), 3);
    EXPECT_EQ(w.memberGrid->Cells(7, 1), archive);
    EXPECT_EQ(w.Settings.FileBkColor, 0xFFFFFF);  // the set-up's defaults still apply
}

TEST_F(AppTest, FirstWindowTakesTwoThirdsOfTheScreenThenWhereTheUserLeftIt) {
    // Two thirds of a large screen; a small one (this 800 x 600 one) gives
    // the room that shows the columns, within the screen.
    const QRect area = QApplication::primaryScreen()->availableGeometry();
    const QSize first =
        area.width() >= 1350 ? area.size() * 2 / 3 : area.size().boundedTo({900, 600});
    const QRect left(area.left() + 30, area.top() + 40, 500, 400);
    {
        Main_sc& w = Start();
        EXPECT_EQ(w.size(), first);
        EXPECT_TRUE(area.contains(w.geometry()));
        EXPECT_EQ(w.geometry().center(), area.center());
        w.setGeometry(left);
        w.close();
        window_.reset();
    }
    kelp::platform::SettingsStore store;
    EXPECT_EQ(store.ReadInt("Kelp", "WindowWidth"), 500);
    EXPECT_EQ(store.ReadInt("Kelp", "WindowMaximized"), 0);
    EXPECT_EQ(Start().geometry(), left);

    // A place on no screen any more (a monitor unplugged) is not restored.
    window_.reset();
    store.WriteInt("Kelp", "WindowLeft", area.right() + 5000);
    EXPECT_EQ(Start().size(), first);
}

TEST_F(AppTest, WindowShowsItsTextsWhole) {
    const std::string zip = MakeZip(
        "wide.zip",
        "z.writestr('a-long-folder-name/a-member-name-far-wider-than-the-standard-column.txt', "
        "b'x'*50000)\nz.writestr('b.txt', b'123')");
    Main_sc& w = Start({QString::fromStdString(zip)});
    w.resize(1600, 900);
    w.show();
    QApplication::processEvents();
    SortGrid* grid = w.memberGrid;

    // Columns: the standard widths at least, every text whole, numbers on
    // the right, and "Archive" reaching the grid's right edge.
    const int standard[8] = {120, 80, 120, 50, 50, 30, 100, 330};
    const QFontMetrics gm(grid->font());
    int total = 0;
    for (int c = 0; c < 8; ++c) {
        EXPECT_GE(grid->columnWidth(c), standard[c]) << c;
        for (int r = 0; r < grid->RowCount(); ++r)
            EXPECT_GT(grid->columnWidth(c), gm.horizontalAdvance(grid->Cells(c, r)))
                << c << "," << r;
        total += grid->columnWidth(c);
    }
    EXPECT_EQ(total, grid->viewport()->width());
    for (int c : {0, 3, 4, 5}) {
        kelp::FormatOptions cell;
        emit grid->OnGetCellFormat(c, 1, QStyle::State_None, cell);
        EXPECT_EQ(cell.AlignmentHorz, c == 0 ? Qt::AlignLeft : Qt::AlignRight) << c;
    }

    // Status panels, panel captions (bold when selected) and the halt button.
    for (QLabel* panel : w.StatusPanels)
        EXPECT_GE(panel->width(), panel->fontMetrics().horizontalAdvance(panel->text()))
            << panel->text().toStdString();
    kelp::OutlookBar* bar = w.functionPanel;
    bar->setSmoothScrolling(false);
    QFont bold = bar->IconFont();
    bold.setBold(true);
    for (int g = 0; g < bar->groupCount(); ++g) {
        bar->setSelectedButton(g);
        const kelp::OutlookLayout layout = bar->currentLayout();
        for (int i = 0; i < bar->group(g).itemCount(); ++i)
            EXPECT_LE(QFontMetrics(bold).horizontalAdvance(bar->group(g).item(i).Caption()),
                      layout.captions[i].width())
                << bar->group(g).item(i).Caption().toStdString();
    }
    EXPECT_GE(w.haltButton->width(), w.haltButton->sizeHint().width());
    // Group captions in their own face where the desktop has it, else in
    // the desktop's own, never a substitute the font matcher picked.
    const QString face = QFontInfo(bar->ButtonFont()).family();
    EXPECT_TRUE(face == "Comic Sans MS" || face == QFontInfo(w.font()).family())
        << face.toStdString();
}

TEST_F(AppTest, RowsSplitUtf8NamesAtTheLastSlashOrColon) {
    // Rows of one folder and of one extension (in either case) share their
    // folder and type texts; names are split on the UTF-8 bytes.
    const std::string a = MakeZip("names.zip",
                                  "z.writestr('mappe/gr\\u00fc\\u00dfe.TXT', b'a')\n"
                                  "z.writestr('mappe/b.txt', b'bb')\n"
                                  "z.writestr('x:y.bin', b'ccc')\n");
    Main_sc& w = Start({QString::fromStdString(a)});
    auto* grid = w.memberGrid;
    ASSERT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->Cells(0, 1), QString::fromUtf8("     gr\u00fc\u00dfe.TXT"));
    EXPECT_EQ(grid->Cells(6, 1), "mappe/");
    EXPECT_EQ(grid->Cells(6, 2), "mappe/");
    EXPECT_EQ(grid->Cells(1, 1), grid->Cells(1, 2));
    EXPECT_EQ(grid->Cells(0, 3), "     y.bin");
    EXPECT_EQ(grid->Cells(6, 3), "x:");
    EXPECT_EQ(w.MemberPath(1), QString::fromUtf8("mappe/gr\u00fc\u00dfe.TXT"));
    ExpectLengthsOfTheTexts(grid);
}

TEST(MemberRows, LengthsAndTextsAtTheEdgesOfNamesAndSizes) {
    // A name outside the basic plane, bytes that are no UTF-8, sizes past
    // 63 bits and a member larger packed than unpacked.
    fixtures::BuilderMember big{.name = "bad\xFF\xC3name"};
    big.claimedSize = big.claimedPacked = UINT64_MAX;
    fixtures::BuilderMember name{.name = "f/\xF0\x9F\x93\x81.txt"};
    name.claimedSize = 3;
    name.claimedPacked = 10;
    const auto dir = fixtures::DirectoryOf(
        fixtures::ArchiveBuilder().Add(name).Add(big).Add({.name = "f/"}).Build());
    kelp::MemberRows rows([](const QString&) { return QString("type"); });
    EXPECT_EQ(rows.Append(kelp::engine::DirEntryList(dir), "a.zip"), 3 - 1);
    EXPECT_EQ(rows.Cell(0, 0), QString::fromUtf8("     \xF0\x9F\x93\x81.txt"));
    EXPECT_EQ(rows.Cell(5, 0), "-233%");
    EXPECT_EQ(rows.Cell(3, 1), "-1");
    EXPECT_EQ(rows.Cell(0, 2), kelp::DirectoryMarker);
    EXPECT_EQ(rows.Cell(3, 2), "");
    EXPECT_EQ(rows.Cell(6, 2), rows.Cell(6, 0));
    for (uint32_t r = 0; r < rows.Count(); ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(rows.CellLength(c, r), rows.Cell(c, r).size()) << r << c;
}

TEST_F(AppTest, RowsShowRatioEncryptionFoldersAndFurtherArchives) {
    EXPECT_EQ(kelp::CompressionRatio(256, 1024), 75);
    EXPECT_EQ(kelp::CompressionRatio(0, 0), 0);
    EXPECT_EQ(kelp::CompressionRatio(500, 400), -25);
    EXPECT_EQ(kelp::CompressionRatio(7, 3), -133);  // truncated toward zero

    const std::string first =
        MakeZip("first.zip",
                "z.writestr('docs/', b'')\nz.writestr('docs/readme.txt', b'abcd'*256)\n"
                "z.writestr(zipfile.ZipInfo('empty.txt', (2001,3,4,12,5,8)), b'')\n");
    fixtures::BuilderMember secret;
    secret.name = "a.exe";
    secret.data = "MZ payload";
    secret.flags = 1;  // encrypted
    fixtures::WriteFile(
        dir_ / "second.zip",
        fixtures::ArchiveBuilder().Add(secret).Add("b.txt", std::string(3000, 'x')).Build());

    Main_sc& w = Start({QString::fromStdString(first)});
    auto* grid = w.memberGrid;
    ASSERT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->Cells(0, 1), kelp::DirectoryMarker);
    EXPECT_EQ(grid->Cells(1, 1), "");
    EXPECT_EQ(grid->Cells(6, 1), "docs/");
    EXPECT_EQ(grid->Cells(0, 2), "     readme.txt");
    EXPECT_EQ(grid->Cells(4, 2), "1024");
    const int packed = grid->Cells(3, 2).toInt();
    EXPECT_EQ(grid->Cells(5, 2),
              QString("%1%").arg(int(std::trunc((1.0 - packed / 1024.0) * 100))));
    EXPECT_FALSE(grid->Cells(1, 2).isEmpty());  // a type name from the MIME database
    EXPECT_EQ(grid->Cells(2, 3), "2001/03/04 12:05:08");
    EXPECT_EQ(grid->Cells(5, 3), "0%");
    EXPECT_EQ(grid->Cells(6, 3), "");
    EXPECT_EQ(w.MemberFileName(2), "readme.txt");
    EXPECT_EQ(w.MemberPath(2), "docs/readme.txt");

    // A second archive: its rows follow; the total counts every row but its
    // kilobytes are the second archive's only.
    const QString second = QString::fromStdString(dir_ / "second.zip");
    w.Zipfiles.append(second);
    w.engine.setZipFileName(second.toStdString());
    w.ListArchive();
    ASSERT_EQ(grid->RowCount(), 6);
    EXPECT_EQ(grid->Cells(0, 4), "     a.exe +");
    EXPECT_EQ(w.MemberFileName(4), "a.exe");
    EXPECT_EQ(grid->Cells(7, 4), second);
    EXPECT_EQ(grid->Cells(7, 1), QString::fromStdString(first));
    EXPECT_EQ(w.StatusText(1), "Total 5 Files ( 3k )");
    EXPECT_EQ(w.StatusText(2), "(2)  first.zip  second.zip");
    ExpectLengthsOfTheTexts(grid);

    // Refresh lists both again from the top.
    w.Dispatch(kelp::actRefresh);
    EXPECT_EQ(grid->RowCount(), 6);
    EXPECT_EQ(w.engine.ZipFileName(), first);
    // A view switch applies the interface again without dropping the second
    // archive's rows.
    w.ShowFunctionPanel->trigger();
    EXPECT_TRUE(w.leftPanel->isHidden());
    EXPECT_EQ(grid->RowCount(), 6);
    EXPECT_EQ(grid->Cells(7, 5), second);
}

TEST_F(AppTest, SelectionSummaryCountsFoldersButNotTheirBytes) {
    const std::string path = MakeZip("sel.zip",
                                     "z.writestr('a/', b'')\n"
                                     "z.writestr(zipfile.ZipInfo('a/x.bin'), os.urandom(1500))\n"
                                     "z.writestr(zipfile.ZipInfo('y.bin'), os.urandom(700))\n");
    Main_sc& w = Start({QString::fromStdString(path)});
    w.memberGrid->selectAll();
    w.MemberGridClick();
    const int64_t bytes =
        w.memberGrid->Cells(3, 2).toLongLong() + w.memberGrid->Cells(3, 3).toLongLong();
    EXPECT_EQ(w.State.SelectedBytes, bytes);
    EXPECT_EQ(w.StatusText(0), QString("Selected 3 Files (%1k )").arg(bytes / 1000));
}

TEST_F(AppTest, ScatteredSelectionCountsOnlyItsRowsThroughKeysAndSorts) {
    // Stored members of 1000..5000 bytes: packed sizes are exact.
    const std::string path =
        MakeZip("scatter.zip",
                "for i,n in enumerate('abcde'):\n"
                "    z.writestr(zipfile.ZipInfo(n+'.txt'), b'q'*(1000*(i+1)))");
    Main_sc& w = Start({QString::fromStdString(path)});
    kelp::SortGrid* grid = w.memberGrid;
    w.show();
    auto click = [&](int row, Qt::KeyboardModifiers mods) {
        const QRect cell = grid->visualRect(grid->gridModel()->index(row - 1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, mods, cell.center());
    };
    click(1, Qt::NoModifier);
    click(3, Qt::ControlModifier);
    EXPECT_EQ(w.SelectedRows(), (QList<int>{1, 3}));
    EXPECT_EQ(w.StatusText(0), "Selected 2 Files (4k )");  // not rows 1..3 (6k)

    // Shift+Down from the current row extends the selection by keyboard.
    click(1, Qt::NoModifier);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w.StatusText(0), "Selected 2 Files (3k )");
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w.StatusText(0), "Selected 3 Files (6k )");

    // A descending sort by size moves a.txt and c.txt to rows 5 and 3; the
    // summary and the members handed on stay those two.
    click(1, Qt::NoModifier);
    click(3, Qt::ControlModifier);
    grid->headerClicked(4, Qt::LeftButton);
    grid->headerClicked(4, Qt::LeftButton);
    EXPECT_EQ(w.SelectedRows(), (QList<int>{3, 5}));
    EXPECT_EQ(w.StatusText(0), "Selected 2 Files (4k )");
    EXPECT_EQ(Names(w.SelectedMembers(QString::fromStdString(path))),
              (std::vector<std::string>{"c.txt", "a.txt"}));
    // Ctrl+click on both leaves nothing selected, and the summary says so.
    click(3, Qt::ControlModifier);
    click(5, Qt::ControlModifier);
    EXPECT_TRUE(w.SelectedRows().isEmpty());
    EXPECT_EQ(w.StatusText(0), "Selected 0 Files(0k )");
    click(1, Qt::NoModifier);  // leaves no modifier held for the tests that follow
}

TEST_F(AppTest, SelectedMembersOfEachArchiveAreExactlyItsSelectedRows) {
    const std::string a = MakeZip("a.zip", "for n in 'pqr': z.writestr('d/'+n, n*10)");
    const std::string b = MakeZip("b.zip", "for n in 'xyz': z.writestr(n, n*10)");
    Main_sc& w = Start({QString::fromStdString(a)});
    w.Zipfiles = {QString::fromStdString(a), QString::fromStdString(b)};
    w.Dispatch(kelp::actRefresh);
    ASSERT_EQ(w.memberGrid->RowCount(), 7);
    auto* sel = w.memberGrid->selectionModel();
    for (int row : {1, 3, 5})
        sel->select(w.memberGrid->gridModel()->index(row - 1, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(Names(w.SelectedMembers(QString::fromStdString(a))),
              (std::vector<std::string>{"d/p", "d/r"}));
    EXPECT_EQ(Names(w.SelectedMembers(QString::fromStdString(b))), std::vector<std::string>{"y"});
}

TEST_F(AppTest, RelativeArchiveArgumentOpens) {
    const std::string path = MakeZip("rel.zip", "z.writestr('inside.txt', b'x')");
    std::filesystem::create_directories(dir_ / "work");
    QDir::setCurrent(QString::fromStdString(dir_ / "work"));
    ModalAnswerer boxes;
    Main_sc& w = Start({"../rel.zip"});
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(w.Zipfiles, QStringList{QString::fromStdString(path)});
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     inside.txt");
    EXPECT_EQ(w.StatusText(2), "(1)  rel.zip");
}

TEST_F(AppTest, NewClearsThePreviousArchivesTotals) {
    Main_sc& w = Start({kSample});
    ASSERT_NE(w.StatusText(1), "Total 0 Files ( 0k )");
    w.memberGrid->selectAll();
    const QString fresh = QString::fromStdString(dir_ / "fresh.zip");
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(fresh);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    answer.start(5);
    w.Dispatch(kelp::actNew);
    answer.stop();
    EXPECT_EQ(w.Zipfiles, QStringList{fresh});
    EXPECT_EQ(w.StatusText(0), "Selected 0 Files(0k )");
    EXPECT_EQ(w.StatusText(1), "Total 0 Files ( 0k )");
    EXPECT_EQ(w.StatusText(2), "(1)  fresh.zip");
    EXPECT_EQ(w.State.SelectedBytes, 0);
}

TEST_F(AppTest, HeaderClicksFlipDirectionOnlyOnTheSameColumn) {
    const std::string path =
        MakeZip("sort.zip",
                "for n,s,t in [('m.txt',30,(2003,1,1,0,0,0)),('k.txt',200,(2001,1,1,0,0,0)),"
                "('z.txt',9,(2002,1,1,0,0,0))]:\n"
                "    z.writestr(zipfile.ZipInfo(n,t), b'q'*s)\n");
    Main_sc& w = Start({QString::fromStdString(path)});
    auto column = [&](int col) {
        QStringList c;
        for (int r = 1; r < w.memberGrid->RowCount(); ++r) c << w.memberGrid->Cells(col, r);
        return c;
    };
    w.memberGrid->headerClicked(4, Qt::LeftButton);
    EXPECT_EQ(column(4), (QStringList{"9", "30", "200"}));
    w.memberGrid->headerClicked(4, Qt::LeftButton);
    EXPECT_EQ(column(4), (QStringList{"200", "30", "9"}));
    // Another column keeps the direction: FileTime sorts descending.
    w.memberGrid->headerClicked(2, Qt::LeftButton);
    EXPECT_EQ(column(0), (QStringList{"     m.txt", "     z.txt", "     k.txt"}));
    EXPECT_EQ(w.SortSettings.SortStyle, kelp::ssDateTime);
}

TEST_F(AppTest, SettingsRoundTripThroughTheStore) {
    {
        Main_sc& w = Start();
        w.Settings.Viewer2 = "/usr/bin/true";
        w.Settings.P1 = "first secret";
        w.Settings.Progcolor = 0x0000FF;
        w.Settings.Extrover = false;
        w.ShowProgress->setChecked(false);
        w.close();  // the close handler saves whatever the check mark says
        window_.reset();
    }
    kelp::platform::SettingsStore store;
    EXPECT_EQ(store.ReadString("Kelp", "InitDir"), KELP_SOURCE_DIR "/data/");
    EXPECT_EQ(store.Read("Kelp", "Extrover")->text, "0");
    EXPECT_EQ(store.Read("Kelp", "Firsttime")->text, "0");
    // FileBkColor was given as a number and stays one.
    EXPECT_EQ(store.Read("Kelp", "FileBkColor")->kind, kelp::platform::StoredValue::Number);

    // A hand-edited "InitDir" does not change what the next start reads.
    store.WriteString("Kelp", "InitDir", "/elsewhere/");
    Main_sc& again = Start();
    EXPECT_EQ(again.Settings.InstDir, KELP_SOURCE_DIR "/data/");
    EXPECT_EQ(again.Settings.Viewer2, "/usr/bin/true");
    EXPECT_EQ(again.Settings.P1, "first secret");
    EXPECT_EQ(again.Settings.Progcolor, 0x0000FF);
    EXPECT_FALSE(again.Settings.Extrover);
    EXPECT_TRUE(again.Settings.Addpass);
    EXPECT_FALSE(again.ShowProgress->isChecked());
    EXPECT_TRUE(again.ShowStatusBar->isChecked());
    EXPECT_TRUE(again.quickLaunchButtons[1]->isEnabled());  // its program exists
    EXPECT_FALSE(again.quickLaunchButtons[0]->isEnabled());
}

TEST_F(AppTest, ExitWithoutSaveConfigurationSavesNothing) {
    Main_sc& w = Start();
    w.Settings.P3 = "not kept";
    w.SaveConfiguration->setChecked(false);
    int terminated = 0;
    w.Terminate = [&] { ++terminated; };
    w.Exit();
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(kelp::platform::SettingsStore().ReadString("Kelp", "P3"), "");
}

TEST_F(AppTest, HelpAboutAndF1ShowTheAboutBox) {
    Main_sc& w = Start();
    QAction* about = nullptr;
    for (QAction* menu : w.menuBar()->actions())
        if (menu->text() == "&Help")
            for (QAction* a : menu->menu()->actions())
                if (a->text() == "&About") about = a;
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->shortcut(), QKeySequence(Qt::Key_F1));
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        QWidget* modal = QApplication::activeModalWidget();
        shown = qobject_cast<kelp::AboutBox*>(modal) != nullptr;
        if (modal) modal->close();
    });
    about->trigger();
    EXPECT_TRUE(shown);
    // The box shows the libraries the window loaded and the install folder's readme.
    EXPECT_EQ(w.aboutBox->zipVersion()->text(),
              kelp::AboutBox::LibVersionText(w.engine.ZipLibVersion()));
    EXPECT_NE(w.aboutBox->zipVersion()->text(), "00");
    EXPECT_TRUE(w.aboutBox->notesMemo()->toPlainText().startsWith("Kelp - "));
}

TEST(Gallery, RendersEveryWindowToAPicture) {
    fixtures::TempDir dir;
    const auto r = fixtures::RunShell(std::string(KELP_BIN_DIR) + "/kelp-gallery --png " +
                                      fixtures::Quote(dir / "png"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* name :
         {"main-window", "main-window-busy", "process-viewer", "extract-dialog", "add-dialog",
          "sfx-dialog", "archive-picker", "about-box", "password-dialog", "controls"}) {
        const QImage picture(QString::fromStdString(dir / "png/") + name + ".png");
        EXPECT_GT(picture.width(), 200) << name;
        EXPECT_GT(picture.height(), 30) << name;
    }
}
