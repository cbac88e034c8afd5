// Start-up, the listing with its status bar and selection summary, and the
// settings record in the store.
#include <QTest>

#include <cmath>

#include "app_fixture.h"
#include "platform/settings_store.h"
#include "platform/zip_association.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/env_override.h"

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

TEST_F(AppTest, StartWithSomethingElseSaysItIsNoZipfile) {
    const std::string junk = dir_ / "notes.txt";
    fixtures::WriteFile(junk, "just some text, no archive here");
    ModalAnswerer boxes;
    Main_sc& w = Start({Q(junk)});
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_EQ(boxes.texts.back(), Q(junk) + " is not a zipfile");
    EXPECT_EQ(w.windowTitle(), "KELP  0.1.0 - <none>");
}

TEST_F(AppTest, InitInLowerCaseRunsFirstRunSetup) {
    fixtures::EnvOverride data("XDG_DATA_HOME", dir_ / "share");
    fixtures::EnvOverride config("XDG_CONFIG_HOME", dir_ / "xdg");
    ModalAnswerer boxes;
    boxes.buttons = {QMessageBox::Yes};
    Main_sc& w = Start({"/init"});
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].startsWith("Want to set this as default Unzip program?"));
    EXPECT_TRUE(kelp::platform::IsZipAssociated());
    kelp::platform::UnregisterZipAssociation();

    EXPECT_EQ(w.Zipfiles, QStringList{kSample});
    EXPECT_GT(w.memberGrid->RowCount(), 2);
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

// Rows split names at the last "/" or ":" on the UTF-8 bytes; rows of one
// folder share its text.
TEST(MemberRows, NamesSplitAtTheLastSlashOrColon) {
    const auto dir = fixtures::DirectoryOf(fixtures::ArchiveBuilder()
                                               .Add("mappe/gr\u00fc\u00dfe.TXT", "a")
                                               .Add("mappe/b.txt", "bb")
                                               .Add("x:y.bin", "ccc")
                                               .Build());
    kelp::MemberRows rows([](const QString&) { return QString("type"); });
    rows.Append(kelp::engine::DirEntryList(dir), "a.zip");
    EXPECT_EQ(rows.Cell(0, 0), QString::fromUtf8("     gr\u00fc\u00dfe.TXT"));
    EXPECT_EQ(rows.Cell(6, 0), "mappe/");
    EXPECT_EQ(rows.Cell(6, 1), "mappe/");
    EXPECT_EQ(rows.Cell(0, 2), "     y.bin");
    EXPECT_EQ(rows.Cell(6, 2), "x:");
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

    Main_sc& w = Start({Q(first)});
    auto* grid = w.memberGrid;
    ASSERT_EQ(grid->RowCount(), 4);
    EXPECT_EQ(grid->Cells(4, 2), "1024");
    const int packed = grid->Cells(3, 2).toInt();
    EXPECT_EQ(grid->Cells(5, 2),
              QString("%1%").arg(int(std::trunc((1.0 - packed / 1024.0) * 100))));
    EXPECT_EQ(grid->Cells(2, 3), "2001/03/04 12:05:08");
    EXPECT_EQ(grid->Cells(5, 3), "0%");

    // A second archive: its rows follow; the total counts every row but its
    // kilobytes are the second archive's only.
    const QString second = Q(dir_ / "second.zip");
    w.Zipfiles.append(second);
    w.engine.setZipFileName(second.toStdString());
    w.ListArchive();
    ASSERT_EQ(grid->RowCount(), 6);
    EXPECT_EQ(grid->Cells(0, 4), "     a.exe +");
    EXPECT_EQ(w.MemberFileName(4), "a.exe");
    EXPECT_EQ(grid->Cells(7, 4), second);
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

TEST_F(AppTest, ScatteredSelectionCountsOnlyItsRowsThroughSorts) {
    // Stored members of 1000..5000 bytes: packed sizes are exact.
    const std::string path =
        MakeZip("scatter.zip",
                "for i,n in enumerate('abcde'):\n"
                "    z.writestr(zipfile.ZipInfo(n+'.txt'), b'q'*(1000*(i+1)))");
    Main_sc& w = Start({Q(path)});
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

    // A descending sort by size moves a.txt and c.txt to rows 5 and 3; the
    // summary and the members handed on stay those two.
    click(1, Qt::NoModifier);
    click(3, Qt::ControlModifier);
    grid->headerClicked(4, Qt::LeftButton);
    grid->headerClicked(4, Qt::LeftButton);
    EXPECT_EQ(w.SelectedRows(), (QList<int>{3, 5}));
    EXPECT_EQ(w.StatusText(0), "Selected 2 Files (4k )");
    EXPECT_EQ(Names(w.SelectedMembers(Q(path))), (std::vector<std::string>{"c.txt", "a.txt"}));
    // Ctrl+click on both leaves nothing selected, and the summary says so.
    click(3, Qt::ControlModifier);
    click(5, Qt::ControlModifier);
    EXPECT_TRUE(w.SelectedRows().isEmpty());
    EXPECT_EQ(w.StatusText(0), "Selected 0 Files(0k )");
    click(1, Qt::NoModifier);  // leaves no modifier held for the tests that follow
}

TEST_F(AppTest, RelativeArchiveArgumentOpens) {
    const std::string path = MakeZip("rel.zip", "z.writestr('inside.txt', b'x')");
    std::filesystem::create_directories(dir_ / "work");
    QDir::setCurrent(Q(dir_ / "work"));
    ModalAnswerer boxes;
    Main_sc& w = Start({"../rel.zip"});
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(w.Zipfiles, QStringList{Q(path)});
    EXPECT_EQ(w.memberGrid->Cells(0, 1), "     inside.txt");
    EXPECT_EQ(w.StatusText(2), "(1)  rel.zip");
}

TEST_F(AppTest, SettingsRoundTripThroughTheStore) {
    {
        Main_sc& w = Start();
        w.Settings.Viewer2 = "/usr/bin/true";
        w.Settings.P1 = "first secret";
        w.Settings.Extrover = false;
        w.ShowProgress->setChecked(false);
        w.close();  // the close handler saves whatever the check mark says
        window_.reset();
    }
    kelp::platform::SettingsStore store;
    // FileBkColor was given as a number and stays one.
    EXPECT_EQ(store.Read("Kelp", "FileBkColor")->kind, kelp::platform::StoredValue::Number);

    // A hand-edited "InitDir" does not change what the next start reads.
    store.WriteString("Kelp", "InitDir", "/elsewhere/");
    Main_sc& again = Start();
    EXPECT_EQ(again.Settings.InstDir, KELP_SOURCE_DIR "/data/");
    EXPECT_EQ(again.Settings.Viewer2, "/usr/bin/true");
    EXPECT_EQ(again.Settings.P1, "first secret");
    EXPECT_FALSE(again.Settings.Extrover);
    EXPECT_FALSE(again.ShowProgress->isChecked());
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
