// Replacing a file through a temporary file: the target changes only on
// Commit, whole and with the mode asked for; anything else leaves it as it was
// and no temporary file behind.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/fixtures/file_size_limit.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(AtomicFile, CommitReplacesTheTargetWholeWithTheModeAsked) {
    fixtures::TempDir dir;
    const std::string target = dir / "a.zip";
    fixtures::WriteFile(target, "old contents");
    chmod(target.c_str(), 0644);

    kelp::platform::AtomicFile file;
    ASSERT_TRUE(file.Create(target));
    EXPECT_EQ(fs::path(file.TempPath()).parent_path(), fs::path(dir.path()));
    ASSERT_TRUE(file.Write("new", 3));
    // Until Commit the target is the old file.
    EXPECT_EQ(fixtures::ReadFile(target), "old contents");
    EXPECT_EQ(Names(dir.path()).size(), 2u);

    ASSERT_TRUE(file.Commit(0640, 1000000000));
    EXPECT_EQ(fixtures::ReadFile(target), "new");
    EXPECT_EQ(ModeOf(target), 0640u);
    struct stat st {};
    stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mtime, 1000000000);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"a.zip"});

    // The same for a file that did not exist, through the one-call form.
    ASSERT_TRUE(kelp::platform::WriteFileAtomically(dir / "new.txt", "text", 0600));
    EXPECT_EQ(fixtures::ReadFile(dir / "new.txt"), "text");
    EXPECT_EQ(ModeOf(dir / "new.txt"), 0600u);
}

TEST(AtomicFile, NoCommitLeavesNothingBehind) {
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "kept", "kept");
    {
        kelp::platform::AtomicFile file;
        ASSERT_TRUE(file.Create(dir / "kept"));
        ASSERT_TRUE(file.Write("lost", 4));
        kelp::platform::AtomicFile other;
        ASSERT_TRUE(other.Create(dir / "never"));
        other.Abort();
        EXPECT_FALSE(other.Commit(0644));  // nothing left to commit
    }
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"kept"});
    EXPECT_EQ(fixtures::ReadFile(dir / "kept"), "kept");
}

TEST(AtomicFile, FailedWriteOrRenameLeavesTheOldFile) {
    fixtures::TempDir dir;
    const std::string target = dir / "a.zip";
    fixtures::WriteFile(target, "old");

    const std::string big(10000, 'x');
    kelp::platform::AtomicFile file;
    bool created = false, written = false;
    {
        fixtures::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        created = file.Create(target);
        written = created && file.Write(big.data(), big.size());
    }
    ASSERT_TRUE(created);
    EXPECT_FALSE(written);
    EXPECT_EQ(file.Error(), EFBIG);
    file.Abort();
    EXPECT_EQ(fixtures::ReadFile(target), "old");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"a.zip"});

    // A rename that cannot happen (a folder holds the name) is reported and
    // its temporary file removed.
    fs::create_directory(dir / "folder");
    fixtures::WriteFile(dir / "folder/inside", "x");
    kelp::platform::AtomicFile blocked;
    ASSERT_TRUE(blocked.Create(dir / "folder"));
    ASSERT_TRUE(blocked.Write("y", 1));
    EXPECT_FALSE(blocked.Commit(0644));
    EXPECT_NE(blocked.Error(), 0);
    EXPECT_EQ(fixtures::ReadFile(dir / "folder/inside"), "x");
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"a.zip", "folder"}));

    // A folder that cannot be written to gives no file at all.
    EXPECT_FALSE(kelp::platform::WriteFileAtomically(dir / "missing/c", "c", 0644));
}

// Inside an open folder: a link that holds the final name is replaced, not
// followed, so nothing outside the folder is written.
TEST(AtomicFile, InAFolderALinkIsReplacedNotFollowed) {
    fixtures::TempDir dir;
    fs::create_directory(dir / "target");
    fixtures::WriteFile(dir / "outside", "outside");
    fs::create_symlink(dir / "outside", dir / "target/member");
    const int folder = open((dir / "target").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    kelp::platform::AtomicFile file;
    ASSERT_TRUE(file.CreateIn(folder, "member"));
    EXPECT_EQ(file.TempPath().find('/'), std::string::npos);
    ASSERT_TRUE(file.Write("inside", 6));
    EXPECT_TRUE(file.Commit(0600, std::nullopt, false));
    close(folder);
    EXPECT_FALSE(fs::is_symlink(dir / "target/member"));
    EXPECT_EQ(fixtures::ReadFile(dir / "target/member"), "inside");
    EXPECT_EQ(fixtures::ReadFile(dir / "outside"), "outside");
    EXPECT_EQ(Names(dir / "target"), std::set<std::string>{"member"});

    // A final name as long as a name may be still gets its temporary file.
    const std::string longest(255, 'n');
    ASSERT_TRUE(kelp::platform::WriteFileAtomically(dir / longest, "long", 0600));
    EXPECT_EQ(fixtures::ReadFile(dir / longest), "long");
}

TEST(AtomicFile, DefaultModeFollowsTheMaskWithoutChangingIt) {
    const mode_t saved = umask(027);
    EXPECT_EQ(kelp::platform::CurrentUmask(), 027u);
    EXPECT_EQ(kelp::platform::DefaultFileMode(), 0640u);
    EXPECT_EQ(umask(saved), 027u);  // reading left the mask as it was
}

}  // namespace
