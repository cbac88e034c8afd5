// libkunzip.so through its C interface: member selection, target folders,
// overwrite questions, passwords and memory. Peer tools' archives and
// archives behind a program are rows of the foreign-archive table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "lib_harness.h"
#include "member_decoder.h"

namespace fs = std::filesystem;
using harness::Quote;
using harness::Shell;
using harness::TempFolder;
using harness::UnzipCall;

namespace {

// A zip -r archive of a small tree, made once per test.
class SmallArchive : public ::testing::Test {
  protected:
    void SetUp() override {
        harness::WriteFile(tmp / "src/a.txt", "alpha\n");
        harness::WriteFile(tmp / "src/b.log", "bravo\n");
        harness::WriteFile(tmp / "src/sub/c.txt", "charlie\n");
        ASSERT_EQ(Shell("cd " + Quote(tmp / "src") + " && zip -qr ../a.zip ."), 0);
        archive = tmp / "a.zip";
        fs::create_directories(out);
    }
    UnzipCall Call() {
        UnzipCall c;
        c.archive = archive;
        c.targetDir = out;
        return c;
    }
    TempFolder tmp;
    std::string archive;
    std::string out = tmp / "out";
};

TEST_F(SmallArchive, SpecificationsSelectMembersInBothLayouts) {
    for (bool old : {false, true}) {
        fs::remove_all(out);
        fs::create_directories(out);
        UnzipCall c = Call();
        c.oldLayout = old;
        c.specs = {"*.txt", "sub\\?.txt", "B.LOG"};
        EXPECT_EQ(c.Run(), 2) << c.Messages();
        EXPECT_TRUE(fs::exists(out + "/a.txt"));
        EXPECT_TRUE(fs::exists(out + "/sub/c.txt"));
        EXPECT_FALSE(fs::exists(out + "/b.log"));
    }
    UnzipCall none = Call();
    none.specs = {"nothing*"};
    EXPECT_EQ(none.Run(), 0);
    EXPECT_NE(none.Messages().find("Zero files"), std::string::npos);
}

TEST_F(SmallArchive, TargetFolderIsOpenedWithoutChangingTheCurrentFolder) {
    const fs::path cwd = fs::current_path();
    UnzipCall c = Call();
    c.targetDir = "out";  // relative: from the current folder
    fs::current_path(tmp.path());
    EXPECT_EQ(c.Run(), 4) << c.Messages();  // three files and a folder
    EXPECT_EQ(harness::ReadFile(out + "/sub/c.txt"), "charlie\n");

    // A target that is no folder is an error, and nothing lands elsewhere.
    UnzipCall missing = Call();
    missing.targetDir = tmp / "missing";
    EXPECT_EQ(missing.Run(), 0);
    EXPECT_NE(missing.Messages().find("target folder " + tmp / "missing" + " cannot be opened"),
              std::string::npos)
        << missing.Messages();
    EXPECT_FALSE(fs::exists(tmp / "a.txt"));
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(tmp.path()));
    fs::current_path(cwd);
}

TEST_F(SmallArchive, FreshenAndUpdateGoByDate) {
    harness::WriteFile(out + "/a.txt", "old");
    harness::WriteFile(out + "/b.log", "new");
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, (out + "/a.txt").c_str(), old, 0);
    struct timespec future[2] = {{4000000000, 0}, {4000000000, 0}};
    utimensat(AT_FDCWD, (out + "/b.log").c_str(), future, 0);

    UnzipCall fresh = Call();
    fresh.freshen = true;
    EXPECT_EQ(fresh.Run(), 1);  // only the older existing file
    EXPECT_EQ(harness::ReadFile(out + "/a.txt"), "alpha\n");
    EXPECT_EQ(harness::ReadFile(out + "/b.log"), "new");
    EXPECT_FALSE(fs::exists(out + "/sub/c.txt"));
    EXPECT_TRUE(fresh.Actions(KCB_OVERWRITE).empty());

    UnzipCall update = Call();
    update.update = true;
    update.freshen = true;       // update wins
    EXPECT_EQ(update.Run(), 2);  // the new folder and c.txt; a.txt is now current
    EXPECT_EQ(harness::ReadFile(out + "/sub/c.txt"), "charlie\n");
    EXPECT_EQ(harness::ReadFile(out + "/b.log"), "new");
}

TEST_F(SmallArchive, ExtractsOneMemberIntoMemory) {
    std::string buf(8, 'x');
    UnzipCall c;
    c.archive = archive;
    c.specs = {"sub/c.txt"};
    c.memory = reinterpret_cast<uint8_t*>(buf.data());
    c.memorySize = 8;
    EXPECT_EQ(c.Run(), 1) << c.Messages();
    EXPECT_EQ(buf, "charlie\n");
    // Memory that does not fit the member is refused, not overrun.
    std::string small(4, 'x');
    c.memory = reinterpret_cast<uint8_t*>(small.data());
    c.memorySize = 4;
    EXPECT_EQ(c.Run(), 0);
    EXPECT_EQ(small, "xxxx");
}

// A password that fails the check byte of every member of the archive.
std::string PasswordFailingTheCheck(const std::string& archive) {
    kelp::zip::ArchiveReader reader;
    std::string error;
    if (!reader.Open(archive, error)) return "nope";
    for (int n = 0;; ++n) {
        const std::string candidate = "nope" + std::to_string(n);
        bool failsAll = true;
        for (const auto& entry : reader.entries()) {
            kelp::zip::MemberData data;
            if (reader.Locate(entry, data, error) &&
                kelp::zip::TryPassword(reader, data, candidate))
                failsAll = false;
        }
        if (failsAll) return candidate;
    }
}

// Traditional and AES encryption go through the same password flow.
class KUnzipPassword : public ::testing::TestWithParam<const char*> {};

TEST_P(KUnzipPassword, AsksAtMostPasswordTriesAndRemembersTheRightOne) {
    TempFolder tmp;
    harness::WriteFile(tmp / "src/one.txt", "first secret\n");
    harness::WriteFile(tmp / "src/two.txt", "second secret\n");
    ASSERT_EQ(Shell("cd " + Quote(tmp / "src") + " && " + GetParam() + " ../e.zip one.txt two.txt"),
              0);
    fs::create_directories(tmp / "out");
    // A wrong password passes a member's check now and then (the encryption
    // header is random): take one that fails it for both.
    const std::string wrongPassword = PasswordFailingTheCheck(tmp / "e.zip");

    // Wrong answers: asked exactly PasswordTries times per member; nothing written.
    UnzipCall wrong;
    wrong.archive = tmp / "e.zip";
    wrong.targetDir = tmp / "out";
    wrong.passwordTries = 3;
    wrong.answer = [wrongPassword](KCallbackRecord& r) {
        if (r.Action == KCB_PASSWORD) {
            std::strcpy(r.Text, wrongPassword.c_str());
            r.Number1 = 1;
        }
        return 0;
    };
    EXPECT_EQ(wrong.Run(), 0);
    EXPECT_EQ(wrong.Actions(KCB_PASSWORD).size(), 6u);
    EXPECT_EQ(wrong.Actions(KCB_SKIPPED).size(), 2u);
    EXPECT_TRUE(fs::is_empty(tmp / "out"));

    // Right on the second try: the password is kept for the next member.
    UnzipCall right = wrong;
    int asked = 0;
    right.answer = [&](KCallbackRecord& r) {
        if (r.Action == KCB_PASSWORD) {
            std::strcpy(r.Text, ++asked == 1 ? wrongPassword.c_str() : "s3cret");
            r.Number1 = 1;
        }
        return 0;
    };
    EXPECT_EQ(right.Run(), 2) << right.Messages();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(harness::ReadFile(tmp / "out/two.txt"), "second secret\n");

    // No tries allowed: never asked.
    UnzipCall none = wrong;
    none.passwordTries = 0;
    none.test = true;
    EXPECT_EQ(none.Run(), 0);
    EXPECT_TRUE(none.Actions(KCB_PASSWORD).empty());
}

INSTANTIATE_TEST_SUITE_P(Encryptions, KUnzipPassword,
                         ::testing::Values("zip -q -P s3cret",
                                           "7z a -tzip -mem=AES256 -ps3cret >/dev/null"));

TEST(KUnzipMemory, LargeMemberStreamsWithBoundedMemory) {
    TempFolder tmp;
    ASSERT_EQ(Shell("head -c 300000000 /dev/zero > " + Quote(tmp / "zeros") + " && cd " +
                    Quote(tmp.path()) + " && zip -q -1 z.zip zeros && rm zeros"),
              0);
    fs::create_directories(tmp / "out");
    // A child process, so its peak memory is its own.
    pid_t pid = fork();
    if (pid == 0) {
        UnzipCall c;
        c.archive = tmp / "z.zip";
        c.targetDir = tmp / "out";
        _exit(c.Run() == 1 ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs::file_size(tmp / "out/zeros"), 300000000u);
    EXPECT_LT(usage.ru_maxrss, 128 * 1024) << "peak KiB";
}

}  // namespace
