// The file selection controls: what the file list reads and shows, where
// opening an entry leads, and the drive combo's entries.
#include <QDir>

#include <gtest/gtest.h>

#include "drive_combo.h"
#include "file_entries.h"
#include "file_list.h"
#include "folder_list.h"
#include "platform/settings_store.h"
#include "reg_combo_box.h"
#include "tests/fixtures/recording_shell.h"
#include "tests/fixtures/temp_dir.h"

using namespace kelp;

namespace {

QStringList Texts(const std::vector<FileEntry>& entries) {
    QStringList texts;
    for (const FileEntry& e : entries) texts.append(e.Text());
    return texts;
}

class FileSelection : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* sub : {"beta", "Alpha", ".hidden", "gamma/inner"})
            QDir().mkpath(Path(sub));
        for (const char* file : {"b.txt", "A.txt", "a.TXT", "c.log", "d.md", ".dot.txt"})
            fixtures::WriteFile(dir_ / file, "x");
    }
    QString Path(const char* name = "") const {
        return QString::fromStdString(dir_.path()) + (*name ? "/" : "") + name;
    }
    fixtures::TempDir dir_;
};

}  // namespace

TEST_F(FileSelection, FoldersFirstThenFilesInNameOrderCaseBreakingTies) {
    const ListingOptions everything{"*.*", QDir::Files | QDir::Dirs | QDir::Hidden, true};
    EXPECT_EQ(Texts(ReadEntries(Path(), everything)),
              (QStringList{"[..]", "[.hidden]", "[Alpha]", "[beta]", "[gamma]", ".dot.txt", "A.txt",
                           "a.TXT", "b.txt", "c.log", "d.md"}));
    // Without the hidden entries, without folders and with two masks, which
    // match names in any case.
    const ListingOptions masked{"*.txt; *.md", QDir::Files, true};
    EXPECT_EQ(Texts(ReadEntries(Path(), masked)), (QStringList{"A.txt", "a.TXT", "b.txt", "d.md"}));
}

TEST_F(FileSelection, OpeningEntries) {
    fixtures::RecordingShell shell;
    FileListBox list(&shell);
    list.setOptions({"*.*", QDir::Files | QDir::Dirs, true});
    list.setDirectory(Path());
    int changes = 0;
    QObject::connect(&list, &FileListBox::OnChange, [&changes] { ++changes; });

    list.OpenEntry(int(list.Items().indexOf("[gamma]")));
    EXPECT_EQ(list.Directory(), Path("gamma"));
    EXPECT_EQ(list.Items(), (QStringList{"[..]", "[inner]"}));
    // Back through [..]: the folder just left is the current entry.
    list.OpenEntry(0);
    EXPECT_EQ(list.Directory(), Path());
    EXPECT_EQ(list.currentIndex().data().toString(), "[gamma]");
    EXPECT_EQ(changes, 2);
    // A file goes to the desktop's program, from its folder.
    list.OpenEntry(int(list.Items().indexOf("c.log")));
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0].first, Path("c.log"));
    EXPECT_EQ(shell.opened[0].second, Path());
    EXPECT_EQ(list.Directory(), Path());
}

TEST(DriveCombo, RootHomeThenRemovableAndNetworkMountsByMountPoint) {
    const MountInfo root{"/", "ext4", "", "/dev/sda1"};
    const std::vector<MountInfo> mounts = {
        root,
        {"/run/media/ann/USB STICK", "vfat", "USB STICK", "/dev/sdb1"},
        {"/proc", "proc", "", "proc"},
        {"/mnt/share", "cifs", "", "//server/share"},
        {"/media/cdrom", "iso9660", "", "/dev/sr0"},
        {"/home/ann", "ext4", "", "/dev/sda2"},
    };
    QStringList texts;
    for (const DriveItem& d : ListDrives(mounts, root, "/home/ann")) texts.append(d.Text());
    EXPECT_EQ(texts,
              (QStringList{"/: /dev/sda1", "/home/ann: ann", "/media/cdrom: cdrom",
                           "/mnt/share: //server/share", "/run/media/ann/USB STICK: USB STICK"}));
}
