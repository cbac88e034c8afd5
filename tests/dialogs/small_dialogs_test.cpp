// The self-extractor settings dialog, the archive picker and the about box.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "about_box.h"
#include "archive_picker.h"
#include "color_memo.h"
#include "engine/zip_engine.h"
#include "sfx_dlg.h"
#include "tests/fixtures/recording_shell.h"
#include "tests/fixtures/temp_dir.h"

using namespace kelp;

TEST(SfxDialog, EmptiedTextsAreStoredEmptyCancelStoresNothing) {
    Settings settings;
    settings.SFXDefaultDir = "><";
    settings.SFXMessage = "Hello";
    settings.SFXCaption = "Title";
    SfxDlg dlg(settings);
    dlg.show();
    EXPECT_EQ(dlg.defaultDirEdit()->text(), "><");
    dlg.messageEdit()->setText("changed");
    dlg.cancelButton()->click();
    EXPECT_FALSE(dlg.Accepted);
    EXPECT_EQ(settings.SFXMessage, "Hello");

    dlg.show();
    EXPECT_EQ(dlg.messageEdit()->text(), "Hello");
    dlg.defaultDirEdit()->clear();
    dlg.messageEdit()->clear();
    dlg.captionEdit()->clear();
    dlg.okButton()->click();
    EXPECT_TRUE(dlg.Accepted);
    EXPECT_EQ(settings.SFXDefaultDir + settings.SFXMessage + settings.SFXCaption, "");
    EXPECT_EQ(dlg.Choices.defaultDir + dlg.Choices.message + dlg.Choices.caption, "");
}

TEST(ArchivePicker, ListsTheArchivesAndHandsBackTheOneChosen) {
    ArchivePicker picker;
    picker.Zipfiles = {"/a/one.zip", "/b/two.zip", "/c/three.zip"};
    picker.show();
    QComboBox* combo = picker.archiveCombo();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(2), "/c/three.zip");
    EXPECT_EQ(combo->currentText(), "Pick a zip file");
    // The first use takes what was chosen.
    combo->setCurrentIndex(2);
    picker.okButton()->click();
    EXPECT_TRUE(picker.Accepted);
    EXPECT_EQ(picker.ChosenArchive, "/c/three.zip");
    // Untouched, the first; typed text is never taken.
    picker.show();
    EXPECT_FALSE(picker.Accepted);
    combo->setEditText("/elsewhere.zip");
    picker.okButton()->click();
    EXPECT_EQ(picker.ChosenArchive, "/a/one.zip");
    // The close box leaves without an answer.
    picker.show();
    picker.close();
    EXPECT_FALSE(picker.Accepted);
}

TEST(AboutBox, ReadmeAndLicenceFromTheInstallFolderLinksThroughTheShell) {
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "readme.txt", "the readme");
    AboutInfo info;
    info.instDir = QString::fromStdString(dir.path()) + "/";
    info.ver = "2.5";
    info.homePage = "/doc/README.md";
    info.messageBoard = "https://kelp.example.org/board";
    fixtures::RecordingShell shell;
    AboutBox box(info, &shell);
    EXPECT_EQ(box.versionLabel()->text(), "2.5");
    EXPECT_EQ(box.notesMemo()->toPlainText(), "the readme");
    // No licence yet: nothing changes.
    box.LicenseClick();
    EXPECT_EQ(box.notesMemo()->toPlainText(), "the readme");
    fixtures::WriteFile(dir / "license.txt", "the licence");
    box.LicenseClick();
    EXPECT_EQ(box.notesMemo()->toPlainText(), "the licence");
    EXPECT_TRUE(box.licenseLink()->text().contains("#ff0000"));
    EXPECT_FALSE(box.readmeLink()->text().contains("#ff0000"));
    box.ReadmeClick();
    EXPECT_EQ(box.notesMemo()->toPlainText(), "the readme");

    emit box.homePageLink()->linkActivated("#");
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0].first, "/doc/README.md");
}
