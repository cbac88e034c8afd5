// libkunzip.so as the engine drives it: member selection, target folders,
// freshen and update, passwords and memory; and the blocks of callers built
// against the first layout. Peer tools' archives and archives behind a
// program are rows of the foreign-archive table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "library_calls.h"
#include "member_decoder.h"

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::RunShell;
using libtest::Engine;
using libtest::ExtractRequest;

namespace {

// A zip -r archive of a small tree, made once per test.
class SmallArchive : public ::testing::Test {
  protected:
    void SetUp() override {
        fixtures::WriteFile(tmp / "src/a.txt", "alpha\n");
        fixtures::WriteFile(tmp / "src/b.log", "bravo\n");
        fixtures::WriteFile(tmp / "src/sub/c.txt", "charlie\n");
        ASSERT_EQ(RunShell("cd " + Quote(tmp / "src") + " && zip -qr ../a.zip .").exitCode, 0);
    }
    ExtractRequest Extract(std::vector<std::string> members = {}) {
        return fixtures::Extract(archive, out, members);
    }
    fixtures::TempDir tmp;
    std::string archive = tmp / "a.zip", out = tmp / "out";
    Engine zip;
};

// How patterns match is the pattern match's own test; nothing matched is said.
TEST_F(SmallArchive, NoMemberMatchedIsSaid) {
    EXPECT_EQ(zip.Call(Extract({"nothing*", "B.LOG"})), 0);
    EXPECT_NE(zip.messages.find("Zero files"), std::string::npos) << zip.messages;
}

TEST_F(SmallArchive, FreshenAndUpdateGoByDate) {
    fixtures::WriteFile(out + "/a.txt", "old");
    fixtures::WriteFile(out + "/b.log", "new");
    for (const auto& [name, when] :
         {std::pair<const char*, time_t>{"/a.txt", 1000000000}, {"/b.log", 4000000000}}) {
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        utimensat(AT_FDCWD, (out + name).c_str(), times, 0);
    }
    bool asked = false;
    zip.OnExtractOverwrite = [&](const std::string&, bool, bool&) { asked = true; };

    ExtractRequest fresh = Extract();
    fresh.options = {libtest::ExtrDirNames, libtest::ExtrFreshen};
    EXPECT_EQ(zip.Call(fresh), 1);  // only the older existing file
    EXPECT_EQ(ReadFile(out + "/a.txt"), "alpha\n");
    EXPECT_EQ(ReadFile(out + "/b.log"), "new");
    EXPECT_FALSE(fs::exists(out + "/sub/c.txt"));
    EXPECT_FALSE(asked);

    fresh.options = {libtest::ExtrDirNames, libtest::ExtrFreshen, libtest::ExtrUpdate};
    EXPECT_EQ(zip.Call(fresh), 2);  // update wins: the new folder and c.txt
    EXPECT_EQ(ReadFile(out + "/sub/c.txt"), "charlie\n");
    EXPECT_EQ(ReadFile(out + "/b.log"), "new");
}

// Blocks the engine fills but does not hand over itself: the first layouts
// (a caller of 1.50), which know only the current folder, and memory that
// does not fit the member, which is refused rather than overrun.
TEST_F(SmallArchive, FirstLayoutsAndMemoryTooSmall) {
    auto memory = zip.FillUnzParams(Extract({"sub/c.txt"}), archive, KELP_V180);
    std::string small(4, 'x');
    memory->Current().ToMemory = KELP_TRUE;
    memory->Current().MemoryAddress = reinterpret_cast<uint8_t*>(small.data());
    memory->Current().MemorySize = 4;
    EXPECT_EQ(zip.Exec(*memory, KUNZIP_LIBRARY_FILE, KUNZIP_EXEC_NAME), 0);
    EXPECT_EQ(small, "xxxx");

    fs::create_directories(out);
    const fs::path cwd = fs::current_path();
    fs::current_path(out);
    auto unzip = zip.FillUnzParams(Extract({"*.txt"}), archive, 150);
    EXPECT_EQ(zip.Exec(*unzip, KUNZIP_LIBRARY_FILE, KUNZIP_EXEC_NAME), 2) << zip.messages;
    auto block = zip.FillZipParams(fixtures::Add(tmp / "old.zip", {"a.txt", "sub/c.txt"}),
                                   tmp / "old.zip", 150);
    EXPECT_EQ(zip.Exec(*block, KZIP_LIBRARY_FILE, KZIP_EXEC_NAME), 2) << zip.messages;
    fs::current_path(cwd);
    EXPECT_EQ(fixtures::FilesBelow(out), (std::set<std::string>{"a.txt", "sub/c.txt"}));
    EXPECT_EQ(RunShell("unzip -Z1 " + Quote(tmp / "old.zip")).out, "a.txt\nsub/c.txt\n");
}

// A wrong password that fails (or passes) the header check of every member.
std::string WrongPassword(const std::string& archive, bool passesTheCheck = false) {
    kelp::zip::ArchiveReader reader;
    std::string error;
    if (!reader.Open(archive, error)) return "nope";
    for (int n = 0;; ++n) {
        const std::string candidate = "nope" + std::to_string(n);
        bool all = true;
        for (const auto& entry : reader.entries()) {
            kelp::zip::MemberData data;
            all = all && reader.Locate(entry, data, error) &&
                  kelp::zip::TryPassword(reader, data, candidate).has_value() == passesTheCheck;
        }
        if (all) return candidate;
    }
}

// Traditional and AES encryption go through the same password flow.
class KUnzipPassword : public ::testing::TestWithParam<const char*> {};

TEST_P(KUnzipPassword, AsksAtMostPasswordTriesAndRemembersTheRightOne) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "src/one.txt", "first secret\n");
    fixtures::WriteFile(tmp / "src/two.txt", "second secret\n");
    ASSERT_TRUE(fixtures::Succeeds("cd " + Quote(tmp / "src") + " && " + GetParam() +
                                   " ../e.zip one.txt two.txt"));
    // A wrong password passes a member's check now and then (the encryption
    // header is random): take one that fails it for both.
    const std::string wrong = WrongPassword(tmp / "e.zip");
    const ExtractRequest extract = fixtures::Extract(tmp / "e.zip", tmp / "out");
    Engine zip;
    int asked = 0, rightAt = 0;
    zip.OnPasswordError = [&](std::string& password, const std::string&, uint32_t&) {
        password = ++asked == rightAt ? "s3cret" : wrong;
    };

    // Wrong answers: asked exactly the tries allowed per member; nothing written.
    zip.setPasswordReqCount(3);
    EXPECT_EQ(zip.Call(extract), 0);
    EXPECT_EQ(asked, 6);
    EXPECT_EQ(zip.skipped, (std::set<std::string>{"one.txt", "two.txt"}));
    EXPECT_TRUE(fs::is_empty(tmp / "out"));

    // Right on the second try: the password is kept for the next member.
    asked = 0;
    rightAt = 2;
    EXPECT_EQ(zip.Call(extract), 2) << zip.messages;
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ReadFile(tmp / "out/two.txt"), "second secret\n");

    // No tries allowed: never asked.
    asked = 0;
    zip.setPasswordReqCount(0);
    EXPECT_EQ(zip.Call(fixtures::Extract(tmp / "e.zip", "", {}, {libtest::ExtrTest})), 0);
    EXPECT_EQ(asked, 0);
}

INSTANTIATE_TEST_SUITE_P(Encryptions, KUnzipPassword,
                         ::testing::Values("zip -q -P s3cret",
                                           "7z a -tzip -mem=AES256 -ps3cret >/dev/null"));

// A wrong password that passes the check byte (one in 256) is found out on
// the data, stored or deflated: the user is asked again rather than told the
// member is damaged.
TEST(KUnzipPassword, AWrongPasswordPassingTheCheckIsAskedAgain) {
    for (const char* zip : {"zip -q -P s3cret", "zip -q -0 -P s3cret"}) {
        fixtures::TempDir tmp;
        fixtures::WriteFile(tmp / "src/one.txt", std::string(3000, 'x') + "secret\n");
        ASSERT_TRUE(
            fixtures::Succeeds("cd " + Quote(tmp / "src") + " && " + zip + " ../e.zip one.txt"));
        const std::string lucky = WrongPassword(tmp / "e.zip", true);
        Engine engine;
        engine.setPasswordReqCount(3);
        std::vector<std::string> answers = {lucky, "s3cret"};
        engine.OnPasswordError = [&](std::string& password, const std::string&, uint32_t&) {
            password = answers.empty() ? "" : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
        };
        EXPECT_EQ(engine.Call(fixtures::Extract(tmp / "e.zip", tmp / "out")), 1) << zip;
        EXPECT_TRUE(answers.empty()) << zip;
        EXPECT_EQ(ReadFile(tmp / "out/one.txt"), std::string(3000, 'x') + "secret\n");
    }
}

TEST(KUnzipMemory, LargeMemberStreamsWithBoundedMemory) {
    fixtures::TempDir tmp;
    ASSERT_TRUE(fixtures::Succeeds("head -c 300000000 /dev/zero > " + Quote(tmp / "zeros") +
                                   " && cd " + Quote(tmp.path()) +
                                   " && zip -q -1 z.zip zeros && rm zeros"));
    // A child process, so its peak memory is its own.
    pid_t pid = fork();
    if (pid == 0) {
        Engine zip;
        _exit(zip.Call(fixtures::Extract(tmp / "z.zip", tmp / "out")) == 1 ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs::file_size(tmp / "out/zeros"), 300000000u);
    EXPECT_LT(usage.ru_maxrss, 128 * 1024) << "peak KiB";
}

}  // namespace
