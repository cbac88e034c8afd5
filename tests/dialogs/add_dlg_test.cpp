// The add dialog: what "Add" puts in the list, and what OK writes into the
// add's choices and the settings.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <optional>

#include <gtest/gtest.h>

#include "add_dlg.h"
#include "file_list.h"
#include "folder_list.h"
#include "slide_bar.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/temp_dir.h"

using kelp::AddDlg;

namespace {

class AddDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir().mkpath(Path("sub"));
        fixtures::WriteFile(dir_ / "a.txt", "a");
        fixtures::WriteFile(dir_ / "b.txt", "b");
        dlg_ = std::make_unique<AddDlg>(settings_, host_, nullptr);
        dlg_->folderList()->setDirectory(Path(""));
    }
    void TearDown() override {
        dlg_.reset();
        QDir::setCurrent("/");
    }
    QString Path(const std::string& name) const {
        return QDir::cleanPath(QString::fromStdString(dir_ / name));
    }
    void Select(const QStringList& texts) {
        dlg_->fileList()->clearSelection();
        for (const QString& t : texts)
            dlg_->fileList()->setRowSelected(int(dlg_->fileList()->Items().indexOf(t)), true);
    }

    fixtures::TempDir dir_;
    kelp::Settings settings_;
    fixtures::RecordingHostUi host_;
    std::unique_ptr<AddDlg> dlg_;
};

}  // namespace

TEST_F(AddDialog, ParentEntryIsSkippedFoldersGetAllTheirFiles) {
    ASSERT_EQ(dlg_->fileList()->Items(), (QStringList{"[..]", "[sub]", "a.txt", "b.txt"}));
    Select({"[..]", "a.txt", "b.txt"});
    EXPECT_EQ(dlg_->selectionEcho()->text(), "\"[..]\" \"a.txt\" \"b.txt\" ");
    dlg_->addButton()->click();
    EXPECT_EQ(dlg_->AddedFiles(), (QStringList{Path("a.txt"), Path("b.txt")}));
    Select({"[sub]"});
    dlg_->addButton()->click();
    EXPECT_EQ(dlg_->AddedFiles().last(), Path("sub") + "/*.*");

    dlg_->selectAllButton()->click();
    EXPECT_EQ(dlg_->selectionEcho()->text(), "*.*");
    EXPECT_EQ(dlg_->fileList()->SelectedRows().size(), 4u);
}

TEST_F(AddDialog, AtTheRootNamesHaveASingleSeparator) {
    dlg_->folderList()->setDirectory("/");
    EXPECT_EQ(dlg_->fileList()->Directory(), "/");
    const QStringList items = dlg_->fileList()->Items();
    ASSERT_FALSE(items.isEmpty());
    ASSERT_NE(items.first(), "[..]");
    Select({items.first()});
    dlg_->addButton()->click();
    QString name = items.first();
    if (name.startsWith('[')) name = name.mid(1, name.size() - 2) + "/*.*";
    EXPECT_EQ(dlg_->AddedFiles(), QStringList{"/" + name});
}

TEST_F(AddDialog, EachActionCaptionGivesTheOptionOfItsMeaning) {
    dlg_->Choices.options = {kelp::engine::AddEncrypt, kelp::engine::AddMove,
                             kelp::engine::AddForceDOS};
    dlg_->setAddedFiles({Path("a.txt")});
    const struct {
        QString caption;
        std::optional<kelp::engine::AddOptsEnum> option;
    } cases[] = {{"Add and Replace Files ", std::nullopt},
                 {"Refresh Files", kelp::engine::AddFreshen},
                 {"Update Files ", kelp::engine::AddUpdate},
                 {"Move Files ", kelp::engine::AddMove},
                 {"typed text", std::nullopt}};
    for (const auto& c : cases) {
        dlg_->show();
        dlg_->actionCombo()->setEditText(c.caption);
        dlg_->okButton()->click();
        ASSERT_TRUE(dlg_->Accepted);
        for (auto o : {kelp::engine::AddFreshen, kelp::engine::AddUpdate, kelp::engine::AddMove})
            EXPECT_EQ(dlg_->Choices.options.Has(o), c.option == o) << c.caption.toStdString() << o;
        EXPECT_TRUE(dlg_->Choices.options.Has(kelp::engine::AddEncrypt));  // left as it was
    }
    // The 8.3 box showed the option it held and OK kept it; folder names on.
    EXPECT_TRUE(dlg_->Choices.options.Has(kelp::engine::AddForceDOS));
    EXPECT_TRUE(dlg_->Choices.options.Has(kelp::engine::AddDirNames));
    EXPECT_EQ(dlg_->Choices.lines, std::vector<std::string>{Path("a.txt").toStdString()});
}

TEST_F(AddDialog, EmptyListIsRefusedAndNothingWritten) {
    dlg_->Choices.level = 5;
    settings_.Addpass = false;
    dlg_->show();
    dlg_->encryptBox()->click();
    dlg_->okButton()->click();
    EXPECT_EQ(host_.messages, std::vector<std::string>{"no files added"});
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_FALSE(dlg_->Accepted);
    EXPECT_FALSE(settings_.Addpass);
    EXPECT_TRUE(dlg_->Choices.lines.empty());
    dlg_->setAddedFiles({"y"});
    dlg_->okButton()->click();
    EXPECT_TRUE(dlg_->Accepted);
    EXPECT_TRUE(settings_.Addpass);
    EXPECT_TRUE(settings_.AddSubDirs);
}

TEST_F(AddDialog, PickedEntriesArePathsAndTypedLinesStayAddLines) {
    // A folder whose name holds the add-line password mark, and a dot-file.
    QDir().mkpath(Path("in<pw"));
    fixtures::WriteFile(dir_ / ".dot", "d");
    dlg_->fileList()->Reread();
    Select({"[in<pw]", ".dot", "a.txt"});
    dlg_->addButton()->click();
    EXPECT_EQ(dlg_->AddedFiles(),
              (QStringList{Path("in<pw") + "/*.*", Path(".dot"), Path("a.txt")}));
    // A line typed over is the user's own add line, wildcards and all.
    QListWidgetItem* typed = dlg_->addedList()->item(2);
    EXPECT_TRUE(typed->flags() & Qt::ItemIsEditable);
    typed->setText(Path("*.txt"));
    dlg_->okButton()->click();
    ASSERT_TRUE(dlg_->Accepted);
    ASSERT_EQ(dlg_->Choices.sources.size(), 2u);
    EXPECT_EQ(dlg_->Choices.sources[0].path, Path("in<pw").toStdString());
    EXPECT_EQ(dlg_->Choices.sources[1].path, Path(".dot").toStdString());
    for (const auto& s : dlg_->Choices.sources) {
        EXPECT_FALSE(s.recurse);
        EXPECT_FALSE(s.password.has_value());  // the add's own password, if any
    }
    EXPECT_EQ(dlg_->Choices.lines, std::vector<std::string>{Path("*.txt").toStdString()});
}

TEST_F(AddDialog, BrowserOpensAtTheDefaultAddFolderUntilTheUserMovesOn) {
    settings_.DefAdd = Path("sub");
    dlg_->show();
    EXPECT_EQ(dlg_->folderList()->Directory(), Path("sub"));
    EXPECT_EQ(dlg_->fileList()->Directory(), Path("sub"));
    dlg_->close();
    // Where the user left it, the next time; a new default is gone to.
    dlg_->folderList()->setDirectory(Path(""));
    dlg_->show();
    EXPECT_EQ(dlg_->folderList()->Directory(), Path(""));
    dlg_->close();
    QDir().mkpath(Path("other"));
    settings_.DefAdd = Path("other");
    dlg_->show();
    EXPECT_EQ(dlg_->folderList()->Directory(), Path("other"));
}
