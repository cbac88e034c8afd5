// Deleting members, and what libkzip.so does when things go wrong: the
// archive is either replaced whole or left byte for byte as it was, and the
// count holds only what really happened.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "library_calls.h"
#include "tests/fixtures/zip_members.h"

namespace fs = std::filesystem;
using fixtures::Delete;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::RunShell;
using libtest::AddRequest;

namespace {

// An archive written by zip with folders, text and a comment.
std::string MakeZip(const fixtures::TempDir& tmp) {
    for (const char* name : {"a.txt", "b.txt", "dir/c.txt", "dir/d.log", "dir/sub/e.txt"})
        fixtures::WriteFile(tmp / (std::string("z/") + name), std::string(3000, name[0]) + name);
    EXPECT_TRUE(fixtures::Succeeds("cd " + Quote(tmp / "z") +
                                   " && zip -qr ../orig.zip . && echo note | zip -qz ../orig.zip"));
    return tmp / "orig.zip";
}

TEST(Delete, RemovesExactlyTheMatchesAndKeepsTheRestByteForByte) {
    fixtures::TempDir tmp;
    const std::string archive = MakeZip(tmp);
    const auto before = fixtures::ZipMembers(archive);
    libtest::Engine zip;
    // A member name as the engine shows it and a pattern.
    EXPECT_EQ(zip.Call(Delete(archive, {"a.txt", "dir\\*.txt"})), 3) << zip.messages;
    const auto after = fixtures::ZipMembers(archive);
    std::vector<std::string> names;
    for (const auto& [name, member] : after) {
        names.push_back(name);
        EXPECT_EQ(member.raw, before.at(name).raw) << name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"b.txt", "dir/", "dir/d.log", "dir/sub/"}));
    EXPECT_NE(zip.messages.find("  deleting: dir/c.txt\n"), std::string::npos) << zip.messages;
    EXPECT_EQ(RunShell("unzip -tq " + Quote(archive)).exitCode, 0);
    EXPECT_NE(RunShell("unzip -z " + Quote(archive)).out.find("note"), std::string::npos);

    // Nothing matched: not rewritten, nothing counted.
    const std::string bytes = ReadFile(archive);
    EXPECT_EQ(zip.Call(Delete(archive, {"missing*"})), 0);
    EXPECT_EQ(ReadFile(archive), bytes);
}

// Every way a call can end early leaves the original bytes and no
// temporary file behind.
class Unchanged : public ::testing::Test {
  protected:
    void SetUp() override {
        archive = MakeZip(tmp);
        original = ReadFile(archive);
        for (int i = 0; i < 6; ++i)
            fixtures::WriteFile(tmp / ("add/f" + std::to_string(i) + ".txt"),
                                std::string(200000, static_cast<char>('a' + i)));
    }
    void ExpectUntouched() {
        EXPECT_TRUE(ReadFile(archive) == original) << "the archive changed";
        EXPECT_EQ(fixtures::FilesBelow(tmp.path()).size(), 12u);  // the sources, orig.zip
    }
    AddRequest Add(const std::string& to) { return fixtures::Add(to, {tmp / "add/*"}); }
    fixtures::TempDir tmp;
    std::string archive, original;
    libtest::Engine zip;
};

TEST_F(Unchanged, CancelAtAnyReport) {
    // Cancel at the first, a middle and the last report of a full run.
    size_t reports = 0, stopAt = 0;
    auto report = [&] {
        if (++reports == stopAt) zip.CancelRequested = true;
    };
    zip.OnProgress = [&](libtest::ProgressType, const std::string&, int64_t) { report(); };
    zip.OnMessage = [&](int, const std::string&) { report(); };
    ASSERT_EQ(zip.Call(Add(tmp / "probe.zip")), 6);
    fs::remove(tmp / "probe.zip");
    const size_t total = reports;
    for (size_t at : {size_t{1}, size_t{3}, total / 2, total - 2}) {
        for (bool deleting : {false, true}) {
            if (deleting && at > 3) continue;  // a delete makes few reports
            reports = 0;
            stopAt = at;
            const int count = deleting ? zip.Call(Delete(archive, {"*"})) : zip.Call(Add(archive));
            EXPECT_EQ(count, 0) << at;
            ExpectUntouched();
        }
    }
}

TEST_F(Unchanged, NoPassword) {
    // Encryption asked for, no password anywhere: the engine is asked once
    // and gives none.
    zip.Unattended = false;
    std::string given;
    int asked = 0;
    zip.OnPasswordError = [&](std::string& password, const std::string&, uint32_t&) {
        ++asked;
        password = given;
    };
    AddRequest encrypted = Add(archive);
    encrypted.options = {libtest::AddDirNames, libtest::AddEncrypt};
    EXPECT_EQ(zip.Call(encrypted), 0);
    EXPECT_EQ(asked, 1);
    ExpectUntouched();

    // The password the engine gives is used.
    given = "given";
    EXPECT_EQ(zip.Call(encrypted), 6);
    EXPECT_EQ(RunShell("unzip -tq -P given " + Quote(archive)).exitCode, 0);
}

TEST_F(Unchanged, FullDisk) {
    fixtures::TempDir small;
    if (mount("tmpfs", small.path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    const std::string target = small / "orig.zip";
    fs::copy_file(archive, target);
    fixtures::WriteFile(tmp / "add/noise.bin", fixtures::RandomBytes(3u << 20, 3));
    const int result = zip.Call(Add(target));
    const std::string bytes = ReadFile(target);
    const auto left = fixtures::FilesBelow(small.path());
    umount(small.path().c_str());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bytes, original);
    EXPECT_EQ(left, std::set<std::string>{"orig.zip"});
    EXPECT_NE(zip.messages.find("No space left on device"), std::string::npos) << zip.messages;
}

// Files that cannot be read are skipped with a message and not counted;
// the rest goes in.
TEST(BadSources, FifoDanglingLinkAndMissingNameAreSkipped) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "s/good.txt", "good\n");
    ASSERT_EQ(mkfifo((tmp / "s/pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("nowhere", (tmp / "s/dangling").c_str()), 0);
    libtest::Engine zip;
    EXPECT_EQ(zip.Call(fixtures::Add(tmp / "a.zip", {"*", "missing.txt"}), tmp / "s"), 1)
        << zip.messages;
    const std::string& m = zip.messages;
    EXPECT_NE(m.find("  skipping: pipe (not a regular file)"), std::string::npos) << m;
    EXPECT_NE(m.find("  skipping: dangling ("), std::string::npos) << m;
    EXPECT_NE(m.find("missing.txt"), std::string::npos) << m;
    EXPECT_NE(m.find("1 member(s) added, 3 warning(s)"), std::string::npos) << m;
    EXPECT_EQ(RunShell("unzip -Z1 " + Quote(tmp / "a.zip")).out, "good.txt\n");
}

}  // namespace
