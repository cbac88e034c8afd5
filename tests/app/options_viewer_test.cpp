// The options dialog and the content viewer reached from the window: the
// "&Option" items open their pages and apply what was chosen, the function
// panel takes its caption colour, F9 shows the content viewer, and a click on
// a member while it shows previews the member from the temporary folder.
#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>

#include "app_fixture.h"
#include "mm_viewer.h"
#include "options_dlg.h"
#include "platform/settings_store.h"

using namespace apptest;
using kelp::Main_sc;
using kelp::OptionsDlg;

namespace {

TEST_F(AppTest, OptionItemsOpenTheirPagesAndApplyTheChoice) {
    Main_sc& w = Start();
    // Kelp's additions are off until chosen.
    EXPECT_FALSE(w.Settings.MoreTypes);
    EXPECT_FALSE(w.Settings.AesAdd);
    QMenu* options = MainMenu(w, "&Option");
    ModalAnswerer answers;
    int shownPage = -1;
    // "&Interface": the list colour and the panel's caption colour change.
    answers.dialogs.push_back([&](QDialog* d) {
        auto* dlg = qobject_cast<OptionsDlg*>(d);
        ASSERT_NE(dlg, nullptr);
        shownPage = dlg->pages()->currentIndex();
        dlg->okButton()->click();
    });
    w.Settings.Toolfont = 0x0000FF;
    w.Settings.FileBkColor = 0x00FFFF;
    MenuItem(options, "&Interface")->trigger();
    EXPECT_EQ(shownPage, OptionsDlg::InterfacePage);
    EXPECT_EQ(w.functionPanel->IconFontColor(), QColor(255, 0, 0));
    EXPECT_EQ(w.memberGrid->palette().color(QPalette::Base), QColor(255, 255, 0));

    // Ctrl+G opens "General"; the pop-up's "Option" opens where it was left.
    answers.dialogs.push_back([&](QDialog* d) {
        shownPage = qobject_cast<OptionsDlg*>(d)->pages()->currentIndex();
        d->reject();
    });
    MenuItem(options, "&General")->trigger();
    EXPECT_EQ(shownPage, OptionsDlg::GeneralPage);
    EXPECT_EQ(MenuItem(options, "&General")->shortcut(), QKeySequence("Ctrl+G"));
    answers.dialogs.push_back([&](QDialog* d) {
        auto* dlg = qobject_cast<OptionsDlg*>(d);
        shownPage = dlg->pages()->currentIndex();
        dlg->moreTypesBox()->setChecked(true);
        dlg->okButton()->click();
    });
    MenuItem(w.popupMenu, "Option")->trigger();
    EXPECT_EQ(shownPage, OptionsDlg::GeneralPage);
    EXPECT_TRUE(w.contentViewer->viewer()->MoreTypes);

    // The additions are stored with the other settings.
    w.SaveSettings();
    kelp::platform::SettingsStore store;
    EXPECT_TRUE(store.ReadBool("Kelp", "MoreTypes"));
    EXPECT_FALSE(store.ReadBool("Kelp", "AddAES"));
}

TEST_F(AppTest, ClickingAMemberPreviewsItWhileTheContentViewerShows) {
    const std::string zip = MakeZip("docs.zip",
                                    "z.writestr('notes/read me.txt','preview me')\n"
                                    "z.writestr('tool.bin','x')\n");
    Main_sc& w = Start({QString::fromStdString(zip)});
    ASSERT_EQ(w.memberGrid->RowCount(), 3);
    const int textRow = w.MemberPath(1) == "notes/read me.txt" ? 1 : 2;
    // Not shown: a click previews nothing.
    SelectRows(w, {textRow});
    w.MemberGridClick();
    EXPECT_FALSE(QFileInfo::exists(w.TempPath + "read me.txt"));

    MenuItem(MainMenu(w, "&View"), "&Content Viewer")->trigger();
    ASSERT_TRUE(w.contentViewer->isVisible());
    w.MemberGridClick();
    const QString file = w.TempPath + "read me.txt";
    EXPECT_EQ(w.contentViewer->viewer()->FileName(), file);
    EXPECT_EQ(w.contentViewer->viewer()->text()->toPlainText(), "preview me");
    EXPECT_EQ(w.contentViewer->windowTitle(), "read me.txt");
    EXPECT_TRUE(w.Delfiles.contains("notes/read me.txt"));
    // A type the viewer does not take is not extracted.
    SelectRows(w, {3 - textRow});
    w.MemberGridClick();
    EXPECT_FALSE(QFileInfo::exists(w.TempPath + "tool.bin"));
}

}  // namespace
