// The extract dialog: its target folder and the history it records on every
// way out.
#include <QDir>
#include <QPushButton>

#include <gtest/gtest.h>

#include "extract_dlg.h"
#include "folder_list.h"
#include "platform/settings_store.h"
#include "reg_combo_box.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/temp_dir.h"

using kelp::ExtractDlg;

namespace {

class ExtractDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir::setCurrent(QString::fromStdString(dir_.path()));
        dlg_ = std::make_unique<ExtractDlg>(settings_, store_, host_);
    }
    void TearDown() override {
        dlg_.reset();
        QDir::setCurrent("/");
    }
    QString Path(const std::string& name) const { return QString::fromStdString(dir_ / name); }
    // Shows the dialog, types `target` and presses OK.
    void ExtractTo(const QString& target) {
        dlg_->show();
        dlg_->extractFolderEdit()->setEditText(target);
        dlg_->okButton()->click();
    }
    QString History(int i) const {
        return QString::fromStdString(
            store_.ReadString("Kelp", "extractdefault" + std::to_string(i)));
    }

    fixtures::TempDir dir_;
    kelp::platform::SettingsStore store_{dir_ / "config"};
    fixtures::RecordingHostUi host_;
    kelp::Settings settings_;
    std::unique_ptr<ExtractDlg> dlg_;
};

}  // namespace

TEST_F(ExtractDialog, NestedMissingTargetIsCreated) {
    ExtractTo(Path("out/a/b"));
    EXPECT_TRUE(dlg_->Accepted);
    EXPECT_TRUE(QFileInfo(Path("out/a/b")).isDir());
    EXPECT_EQ(dlg_->ExtractDir, Path("out/a/b"));
    EXPECT_TRUE(host_.messages.empty());
}

TEST_F(ExtractDialog, TargetThatCannotBeMadeIsReportedAndNotAccepted) {
    fixtures::WriteFile(dir_ / "file", "x");
    settings_.Extrfold = settings_.Extrover = false;
    ExtractTo(Path("file/sub"));
    EXPECT_FALSE(dlg_->Accepted);
    EXPECT_FALSE(dlg_->isVisible());
    EXPECT_EQ(host_.messages, std::vector<std::string>{"Cant Create Directory"});
    // The rest of OK still happens: the options are stored.
    EXPECT_TRUE(settings_.Extrfold);
    EXPECT_TRUE(settings_.Extrover);
}

TEST_F(ExtractDialog, SameFolderTwiceIsKeptOnceAtTheTop) {
    QDir().mkpath(Path("one"));
    QDir().mkpath(Path("two"));
    ExtractTo(Path("one"));
    ExtractTo(Path("two"));
    ExtractTo(Path("one"));
    EXPECT_EQ(dlg_->extractFolderEdit()->Items(), (QStringList{Path("one"), Path("two")}));
    EXPECT_EQ(History(0), Path("one"));
    EXPECT_EQ(History(1), Path("two"));
    EXPECT_FALSE(store_.Read("Kelp", "extractdefault2"));
    // A new dialog reads the history back.
    ExtractDlg again(settings_, store_, host_);
    EXPECT_EQ(again.extractFolderEdit()->Items(), (QStringList{Path("one"), Path("two")}));
}

TEST_F(ExtractDialog, CancelRecordsTheCurrentFolderTheCloseBoxTheTypedOne) {
    dlg_->show();
    dlg_->extractFolderEdit()->setEditText(Path("typed"));
    dlg_->cancelButton()->click();
    EXPECT_FALSE(dlg_->Accepted);
    EXPECT_EQ(History(0), QDir::currentPath());

    dlg_->show();
    dlg_->extractFolderEdit()->setEditText(Path("typed"));
    dlg_->close();
    EXPECT_FALSE(dlg_->Accepted);
    EXPECT_EQ(History(0), Path("typed"));
    EXPECT_FALSE(QFileInfo(Path("typed")).exists());

    // An emptied box leaves the history as it was.
    dlg_->show();
    dlg_->extractFolderEdit()->setEditText("");
    dlg_->close();
    EXPECT_EQ(History(0), Path("typed"));
    EXPECT_EQ(History(1), QDir::currentPath());
}

TEST_F(ExtractDialog, OffersTheDefaultExtractFolderElseTheCurrentOne) {
    QDir().mkpath(Path("default"));
    settings_.DefExtr = Path("default");
    dlg_->show();
    EXPECT_EQ(dlg_->extractFolderEdit()->currentText(), Path("default"));
    EXPECT_EQ(dlg_->folderList()->Directory(), Path("default"));
    dlg_->okButton()->click();
    EXPECT_EQ(dlg_->ExtractDir, Path("default"));
    // A default that is no folder (any more) is passed over.
    settings_.DefExtr = Path("gone");
    dlg_->show();
    EXPECT_EQ(dlg_->extractFolderEdit()->currentText(), QDir::currentPath());
    dlg_->cancelButton()->click();
}
