// The options dialog: what OK and Cancel write into the settings record,
// Reset, and the association buttons against a private XDG home.
#include <QColorDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "color_swatch.h"
#include "options_dlg.h"
#include "platform/zip_association.h"
#include "tests/fixtures/env_override.h"
#include "tests/fixtures/modal_answerer.h"
#include "tests/fixtures/temp_dir.h"

using namespace kelp;

namespace {

using fixtures::ModalAnswerer;

// Answers a colour dialog with `c`, or cancels it when `c` is invalid.
std::function<void(QDialog*)> ChooseColor(const QColor& c) {
    return fixtures::On<QColorDialog>([c](QColorDialog* dialog) {
        if (!c.isValid()) return dialog->reject();
        dialog->setCurrentColor(c);
        dialog->accept();
    });
}

void DoubleClick(QWidget* w) {
    QTest::mouseDClick(w, Qt::LeftButton);
}

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program = std::filesystem::path(dir / "bin") / "kelp";
        std::filesystem::create_directories(program.parent_path());
        std::ofstream(program) << "#!/bin/sh\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        settings.Viewer1 = "/usr/bin/v1";
        settings.Viewer4 = "/usr/bin/v4";
        settings.P2 = "secret";
        settings.Toolback = "/pics/back.bmp";
        settings.aot = true;
        settings.Toolfont = 0x0000FF;       // red
        settings.ToolBkColor = 0xC0C0C0;    // silver
        settings.Progcolor = 0x00FF00;      // green
        settings.FileBkColor = 0xFFFFFF;    // white
        settings.FileListColor = 0xFF0000;  // blue
        dlg = std::make_unique<OptionsDlg>(settings);
        dlg->ProgramPath = QString::fromStdString(program.string());
        dlg->ApplyInterface = [this] { ++applied; };
        dlg->FirstRunSetup = [this] { ++setups; };
        settings.DefOpen = OptionsDlg::DesktopFolder();
        settings.DefExtr = dlg->ProgramFolder();
        settings.DefAdd = "/srv/Adds/";
    }

    fixtures::TempDir dir;
    std::filesystem::path program;
    Settings settings;
    std::unique_ptr<OptionsDlg> dlg;
    int applied = 0;
    int setups = 0;
};

// What OK writes: the fields changed, the others as they were, the folder
// choices told apart exactly (desktop, program folder, another path) and
// colours as 0x00BBGGRR. Cancel, or a cancelled colour dialog, writes nothing.
TEST_F(OptionsTest, OkWritesTheChangesAndCancelNothing) {
    ModalAnswerer answers;
    dlg->show();
    EXPECT_EQ(dlg->passwordEdit(1)->echoMode(), QLineEdit::Password);
    const auto& open = dlg->folderChoice(OptionsDlg::OpenFolder);
    const auto& extract = dlg->folderChoice(OptionsDlg::ExtractFolder);
    const auto& add = dlg->folderChoice(OptionsDlg::AddFolder);
    EXPECT_TRUE(open.desktopButton->isChecked());
    EXPECT_TRUE(extract.programButton->isChecked());
    EXPECT_EQ(add.otherEdit->text(), "/srv/Adds/");

    const Settings before = settings;
    dlg->viewerEdit(0)->setText("changed");
    answers.dialogs = {ChooseColor(QColor(1, 2, 3))};
    DoubleClick(dlg->gaugeSwatch());
    dlg->cancelButton()->click();
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(settings.Viewer1, before.Viewer1);
    EXPECT_EQ(settings.Progcolor, before.Progcolor);

    dlg->show();
    EXPECT_EQ(dlg->viewerEdit(0)->text(), "/usr/bin/v1");
    dlg->viewerEdit(1)->setText("/opt/v2");
    dlg->aesButton()->click();
    open.otherButton->click();
    open.otherEdit->setText("/data/Case/");
    extract.desktopButton->click();
    add.programButton->click();
    answers.dialogs = {ChooseColor(QColor()), ChooseColor(QColor(0x12, 0x34, 0x56))};
    DoubleClick(dlg->gaugeSwatch());  // cancelled: stays
    DoubleClick(dlg->listBackSwatch());
    dlg->okButton()->click();
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(settings.Viewer2, "/opt/v2");
    EXPECT_EQ(settings.Viewer1, "/usr/bin/v1");
    EXPECT_EQ(settings.P2, "secret");
    EXPECT_TRUE(settings.AesAdd);
    EXPECT_EQ(settings.DefOpen, "/data/Case/");
    EXPECT_EQ(settings.DefExtr, OptionsDlg::DesktopFolder());
    EXPECT_EQ(settings.DefAdd, dlg->ProgramFolder());
    EXPECT_EQ(settings.FileBkColor, 0x563412);
    EXPECT_EQ(settings.Progcolor, 0x00FF00);
}

TEST_F(OptionsTest, ResetAsksFirstThenRunsTheFirstRunSetup) {
    ModalAnswerer answers;
    dlg->show();
    answers.buttons = {QMessageBox::No};
    dlg->resetButton()->click();
    EXPECT_EQ(setups, 0);
    EXPECT_TRUE(dlg->isVisible());
    answers.buttons = {QMessageBox::Yes};
    dlg->resetButton()->click();
    EXPECT_EQ(answers.texts, (std::vector<QString>{"Are you sure?", "Are you sure?"}));
    EXPECT_EQ(setups, 1);
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(OptionsTest, AssociationButtonsAskAndHandOnTheProgram) {
    const std::filesystem::path data = dir / "data";
    const std::filesystem::path config = dir / "config";
    fixtures::EnvOverride dataHome("XDG_DATA_HOME", data);
    fixtures::EnvOverride configHome("XDG_CONFIG_HOME", config);
    const auto entry = data / "applications" / kelp::platform::kZipDesktopId;
    ModalAnswerer answers;
    dlg->show();
    dlg->pages()->setCurrentIndex(OptionsDlg::GeneralPage);
    // Answered No, register writes nothing.
    answers.buttons = {QMessageBox::No};
    dlg->registerButton()->click();
    EXPECT_FALSE(std::filesystem::exists(entry));

    // What the files hold is the platform's part; here the program handed on.
    answers.buttons = {QMessageBox::Yes};
    dlg->registerButton()->click();
    EXPECT_NE(fixtures::ReadFile(entry).find(program.string()), std::string::npos);
    EXPECT_TRUE(kelp::platform::IsZipAssociated());
    answers.buttons = {QMessageBox::Yes};
    dlg->unregisterButton()->click();
    EXPECT_FALSE(std::filesystem::exists(entry));

    // A missing program is named and nothing is written.
    dlg->ProgramPath = QString::fromStdString(dir / "gone");
    answers.buttons = {QMessageBox::Yes};
    dlg->registerButton()->click();
    EXPECT_EQ(answers.texts.back(), "Error: Program not found: " + dlg->ProgramPath);
    EXPECT_FALSE(std::filesystem::exists(entry));
}

TEST(DesktopEntry, ProgramIsTheFirstWordOfExecFoundThroughPath) {
    fixtures::TempDir dir;
    const std::string entry = dir / "player.desktop";
    std::ofstream(entry) << "[Other]\nExec=wrong\n[Desktop Entry]\nName=P\n"
                            "Exec=\"/bin/s h\" --play %f\n";
    // A quoted path is taken whole; it does not exist, so nothing is found.
    EXPECT_EQ(kelp::platform::DesktopEntryProgram(entry), "");
    std::ofstream(entry) << "[Desktop Entry]\nExec=sh -c true %U\n";
    const std::string found = kelp::platform::DesktopEntryProgram(entry);
    EXPECT_TRUE(found.ends_with("/sh")) << found;
}

}  // namespace
