// The first minute with the keyboard: the grid has the keyboard when the
// window opens and after every action, with a current row; the keys move
// and select rows; Delete with nothing selected asks nothing; a settings
// file lacking values starts with the first-run defaults.
#include <QTest>

#include "add_dlg.h"
#include "app_fixture.h"
#include "extract_dlg.h"
#include "folder_list.h"
#include "reg_combo_box.h"

using namespace apptest;
using kelp::Main_sc;

namespace {

class FirstMinuteTest : public AppTest {
  protected:
    std::string FourMembers() {
        return MakeZip("four.zip",
                       "for n in ('one', 'two', 'three', 'four'): z.writestr(n + '.txt', n)");
    }
    // True when the top edge of grid row `row` (from 0) is drawn dark: the
    // dotted frame of the row the keyboard is on, on a white grid.
    static bool RowFramed(Main_sc& w, int row) {
        const QImage image = w.memberGrid->viewport()->grab().toImage();
        const int y = w.memberGrid->rowViewportPosition(row);
        for (int x = 20; x < 40; ++x)
            if (QColor(image.pixel(x, y)).lightness() < 128) return true;
        return false;
    }
};

}  // namespace

TEST_F(FirstMinuteTest, GridHasTheKeysFromTheStartAndTheyMoveAndSelectRows) {
    Main_sc& w = StartShown({Q(FourMembers())});
    EXPECT_EQ(QApplication::focusWidget(), w.memberGrid);
    EXPECT_TRUE(w.memberGrid->currentIndex().isValid());
    EXPECT_TRUE(w.SelectedRows().isEmpty());
    EXPECT_TRUE(RowFramed(w, 0));
    EXPECT_FALSE(RowFramed(w, 1));
    // Down right after the window opens selects the first row.
    Key(w, Qt::Key_Down);
    EXPECT_EQ(w.SelectedRows(), QList<int>{1});
    Key(w, Qt::Key_Down);
    EXPECT_EQ(w.SelectedRows(), QList<int>{2});
    Key(w, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w.SelectedRows(), (QList<int>{2, 3}));
    Key(w, Qt::Key_Home);
    EXPECT_EQ(w.SelectedRows(), QList<int>{1});
    // Ctrl moves the cursor alone; Ctrl+Space adds the row it is on (and
    // stays there: the blanks that cells begin with are no search).
    Key(w, Qt::Key_Down, Qt::ControlModifier);
    Key(w, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_TRUE(RowFramed(w, 2));
    EXPECT_FALSE(RowFramed(w, 1));
    Key(w, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(w.SelectedRows(), (QList<int>{1, 3}));
    Key(w, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(w.SelectedRows(), QList<int>{1});
}

TEST_F(FirstMinuteTest, DeleteAsksOnlyWithASelectionAndTheGridKeepsTheKeysAfterwards) {
    const std::string a = FourMembers();
    const std::string before = fixtures::ReadFile(a);
    Main_sc& w = StartShown({Q(a)});
    ModalAnswerer boxes;
    Key(w, Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(fixtures::ReadFile(a), before);
    EXPECT_FALSE(w.State.Busy);

    // Down, Delete, Yes: the first row goes; the grid has the keys again,
    // on a current row, with nothing selected.
    Key(w, Qt::Key_Down);
    boxes.buttons = {QMessageBox::Yes};
    Key(w, Qt::Key_Delete);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].startsWith("    Are you sure?"));
    EXPECT_EQ(w.focusWidget(), w.memberGrid);
    EXPECT_TRUE(w.memberGrid->currentIndex().isValid());
    Key(w, Qt::Key_Down);
    EXPECT_EQ(w.SelectedRows().size(), 1);
}

TEST_F(FirstMinuteTest, MissingSettingsTakeTheFirstRunDefaults) {
    // An installer's file: the folder and the version, one colour, a switch.
    fixtures::WriteFile(dir_ / "config/settings", "[Kelp]\nInstDir=s:" KELP_SOURCE_DIR
                                                  "/data/\nVer=s:0.1.0\nFileListColor=n:255\n"
                                                  "Extrover=s:0\nshow2=s:0\n");
    Main_sc& w = Start();
    EXPECT_EQ(w.Settings.FileBkColor, 0xFFFFFF);
    EXPECT_EQ(w.Settings.SFXCaption, kelp::Settings().SFXCaption);
    // What the file holds is read as before.
    EXPECT_EQ(w.Settings.FileListColor, 255);
    EXPECT_FALSE(w.Settings.Extrover);
    EXPECT_FALSE(w.ShowQuickLaunch->isChecked());
    EXPECT_EQ(w.memberGrid->palette().color(QPalette::Base), QColor(255, 255, 255));
}
