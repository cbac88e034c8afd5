// Archives written by libkzip.so as the engine drives it: which files a call
// picks and the names they get, and archives that are changed. The trees
// written, checked with the peer tools, are the kelpzip writer table's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "library_calls.h"
#include "tests/fixtures/zip_members.h"

namespace fs = std::filesystem;
using fixtures::Add;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::RunShell;

namespace {

std::string Text(size_t size) {
    std::string out;
    for (int i = 0; out.size() < size; ++i) out += "line " + std::to_string(i % 977) + " of text\n";
    return out;
}

// Which files a call picks and the names it stores them under.
TEST(AddSelection, SuffixesNamesHiddenFilesAndExclusions) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "d/pic.PNG", Text(5000));
    fixtures::WriteFile(tmp / "d/long name.text", Text(5000));
    fixtures::WriteFile(tmp / "d/.hidden", "x");
    fixtures::WriteFile(tmp / "d/skip.o", "x");
    fixtures::WriteFile(tmp / "d/sub/deep.c", "int x;\n");
    fixtures::WriteFile(tmp / "d/sub/deep.h", "int x;\n");

    libtest::Engine zip;
    // Absolute: stored without the leading "/".
    auto plain = Add(tmp / "a.zip", {tmp / "d/*"}, {libtest::AddDirNames, libtest::AddRecurseDirs});
    plain.excludes = {"*.o"};
    EXPECT_EQ(zip.Call(plain), 4) << zip.messages;
    const std::string prefix = (tmp / "d/").substr(1);
    const auto members = fixtures::ZipMembers(plain.archive);
    EXPECT_EQ(members.size(), 4u);
    EXPECT_EQ(members.at(prefix + "pic.PNG").method, 0);  // a store suffix
    EXPECT_EQ(members.at(prefix + "long name.text").method, 8);
    EXPECT_TRUE(members.count(prefix + "sub/deep.h"));

    // Without folder names, in 8.3 form, hidden files included, only "*.c"
    // below the folder, and one name changed by the engine.
    const auto dos =
        Add(tmp / "b.zip", {"d/.*", ">d/*.c"}, {libtest::AddForceDOS, libtest::AddHiddenFiles});
    zip.OnSetNewName = [](std::string& name, bool& changed) {
        if (name == "DEEP.C") name = "renamed/deep.c", changed = true;
    };
    EXPECT_EQ(zip.Call(dos, tmp.path()), 2) << zip.messages;
    EXPECT_EQ(RunShell("unzip -Z1 " + Quote(dos.archive)).out, "_.HID\nrenamed/deep.c\n");

    // ".." components are refused, not stored.
    EXPECT_EQ(zip.Call(Add(tmp / "c.zip", {"../d/pic.PNG"}), tmp / "d/sub"), 0);
    EXPECT_FALSE(fs::exists(tmp / "c.zip"));
    EXPECT_NE(zip.messages.find("\"..\""), std::string::npos) << zip.messages;
}

// Adding to an archive another tool wrote: its members are copied as they
// were, same-named ones replaced, its comment kept.
TEST(AddToExisting, KeepsMembersCommentAndHonoursUpdateFreshenMove) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "s/keep.txt", Text(20000));
    fixtures::WriteFile(tmp / "s/change.txt", "old\n");
    const std::string archive = tmp / "a.zip";
    ASSERT_TRUE(fixtures::Succeeds("cd " + Quote(tmp / "s") +
                                   " && zip -q ../a.zip keep.txt change.txt && " +
                                   "echo 'the comment' | zip -qz ../a.zip"));
    const std::string before = ReadFile(archive);
    const std::string keep = fixtures::ZipMembers(archive).at("keep.txt").raw;

    // Freshen: nothing newer, nothing new taken: the archive is not touched.
    fixtures::WriteFile(tmp / "s/new.txt", "new\n");
    libtest::Engine zip;
    auto add = Add(archive, {"*"}, {libtest::AddDirNames, libtest::AddFreshen});
    EXPECT_EQ(zip.Call(add, tmp / "s"), 0) << zip.messages;
    EXPECT_EQ(ReadFile(archive), before);

    // Update with move: the newer file and the new one go in and are removed.
    fixtures::WriteFile(tmp / "s/change.txt", "new contents\n");
    struct timespec later[2] = {{time(nullptr) + 10, 0}, {time(nullptr) + 10, 0}};
    utimensat(AT_FDCWD, (tmp / "s/change.txt").c_str(), later, 0);
    add.options = {libtest::AddDirNames, libtest::AddUpdate, libtest::AddMove, libtest::AddZipTime};
    EXPECT_EQ(zip.Call(add, tmp / "s"), 2) << zip.messages;
    EXPECT_EQ(fixtures::FilesBelow(tmp / "s"), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(fixtures::ZipMembers(archive).at("keep.txt").raw, keep);
    EXPECT_EQ(RunShell("unzip -p " + Quote(archive) + " change.txt").out, "new contents\n");
    EXPECT_NE(RunShell("unzip -z " + Quote(archive)).out.find("the comment"), std::string::npos);
    EXPECT_EQ(RunShell("unzip -tq " + Quote(archive)).exitCode, 0);
    // The archive carries the time of its newest member.
    struct stat st {};
    stat(archive.c_str(), &st);
    EXPECT_EQ(st.st_mtime, later[1].tv_sec);
}

// A new archive gets the mode the file-creation mask allows, a changed one
// keeps its own; no temporary file stays behind.
TEST(AddToExisting, NewArchiveFollowsTheMaskAndAChangedOneKeepsItsMode) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "s/a.txt", "a\n");
    fixtures::WriteFile(tmp / "s/b.txt", "b\n");
    fs::create_directories(tmp / "out");
    libtest::Engine zip;
    const std::string archive = tmp / "out/a.zip";
    const mode_t saved = umask(027);
    const int added = zip.Call(Add(archive, {"a.txt"}), tmp / "s");
    umask(saved);
    EXPECT_EQ(added, 1) << zip.messages;
    EXPECT_EQ(fs::status(archive).permissions(), fs::perms(0640));

    chmod(archive.c_str(), 0600);
    EXPECT_EQ(zip.Call(Add(archive, {"b.txt"}), tmp / "s"), 1) << zip.messages;
    EXPECT_EQ(fs::status(archive).permissions(), fs::perms(0600));
    EXPECT_EQ(fixtures::FilesBelow(tmp / "out"), std::set<std::string>{"a.zip"});
}

// A program in front of the archive (a self-extractor) stays in front,
// with the offsets still right; a temporary folder on the same file system
// is honoured.
TEST(AddToExisting, KeepsAProgramPrefixAndUsesTheTemporaryFolder) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "a.txt", "first\n");
    fixtures::WriteFile(tmp / "b.txt", "second\n");
    ASSERT_TRUE(fixtures::Succeeds(
        "cd " + Quote(tmp.path()) +
        " && zip -q t.zip a.txt && printf STUBSTUB > x.zip && cat t.zip >> x.zip" +
        " && zip -qA x.zip"));
    fs::create_directories(tmp / "work");
    libtest::Engine zip;
    zip.TempDir = tmp / "work";
    EXPECT_EQ(zip.Call(Add(tmp / "x.zip", {"b.txt"}), tmp.path()), 1) << zip.messages;
    EXPECT_EQ(ReadFile(tmp / "x.zip").substr(0, 8), "STUBSTUB");
    const auto test = RunShell("unzip -tq " + Quote(tmp / "x.zip") + " 2>&1");
    EXPECT_EQ(test.exitCode, 0) << test.out;
    EXPECT_EQ(test.out.find("warning"), std::string::npos) << test.out;
    EXPECT_TRUE(fs::is_empty(tmp / "work"));
}

}  // namespace
