// Archives written by libkzip.so, checked with the peer tools: they must
// test clean and extract to the tree they were made from.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "lib_harness.h"

namespace fs = std::filesystem;
using harness::Quote;
using harness::Shell;
using harness::TempFolder;
using harness::ZipCall;

namespace {

std::string Noise(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng());
    return out;
}

std::string Text(size_t size) {
    std::string out;
    for (int i = 0; out.size() < size; ++i) out += "line " + std::to_string(i % 977) + " of text\n";
    return out;
}

// Text, incompressible data, files past the in-memory limit (one of them
// incompressible), an empty file and folder, a UTF-8 name and a file with
// unusual permissions.
void MakeTree(const std::string& root) {
    harness::WriteFile(root + "/readme.txt", "hello, archive\n");
    harness::WriteFile(root + "/empty.dat", "");
    harness::WriteFile(root + "/sub/noise.bin", Noise(300000, 1));
    harness::WriteFile(root + "/sub/deeper/big.txt", Text(18u << 20));
    harness::WriteFile(root + "/sub/deeper/bignoise.bin", Noise(17u << 20, 2));
    harness::WriteFile(root + "/sub/Grüße.txt", "non-ASCII name\n");
    harness::WriteFile(root + "/sub/script.sh", "#!/bin/sh\n");
    chmod((root + "/sub/script.sh").c_str(), 0750);
    fs::create_directories(root + "/emptydir");
}

struct AddCase {
    const char* name;
    int level;
    const char* password;
    bool oldLayout;
};

void PrintTo(const AddCase& c, std::ostream* os) {
    *os << c.name;
}

class AddTree : public ::testing::TestWithParam<AddCase> {};

TEST_P(AddTree, PeerToolsTestAndExtractTheSameTree) {
    const AddCase& c = GetParam();
    TempFolder tmp;
    MakeTree(tmp / "src");
    ZipCall call;
    call.archive = tmp / "out.zip";
    call.specs = {"*"};
    call.recurse = true;
    call.separateDirs = true;
    call.level = c.level;
    call.password = c.password;
    call.encrypt = *c.password != 0;
    call.oldLayout = c.oldLayout;
    call.currentDir = tmp / "src";
    // 7 files and 3 folders.
    EXPECT_EQ(call.Run(), 10) << call.Messages();
    std::string pw = *c.password ? std::string(" -P ") + c.password : "";
    std::string out;
    EXPECT_EQ(Shell("unzip -tq" + pw + " " + Quote(call.archive), &out), 0) << out;
    // What 7z and Python make of the writer's archives is the kelpzip writer table's.
    ASSERT_EQ(
        Shell("cd " + Quote(tmp / "x") + " 2>/dev/null || mkdir " + Quote(tmp / "x") + " && cd " +
                  Quote(tmp / "x") + " && unzip -q" + pw + " " + Quote(call.archive),
              &out),
        0)
        << out;
    EXPECT_EQ(harness::CompareTrees(tmp / "src", tmp / "x"), "");
    struct stat st {};
    stat((tmp / "x/sub/script.sh").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0750u);

    std::string info = harness::ZipInfo(call.archive);
    // Unix host, UTF-8 flag only on the non-ASCII name, incompressible data stored.
    EXPECT_NE(info.find("sub/script.sh"), std::string::npos);
    EXPECT_NE(info.find(" 3 0o100750 "), std::string::npos) << info;
    EXPECT_NE(info.find("emptydir/ 0"), std::string::npos) << info;
    for (const std::string line :
         {"sub/Grüße.txt", "sub/deeper/big.txt", "sub/deeper/bignoise.bin"}) {
        size_t at = info.find(line + " ");
        ASSERT_NE(at, std::string::npos) << line << "\n" << info;
        int method = 0, flags = 0;
        std::sscanf(info.c_str() + at + line.size(), " %d %d", &method, &flags);
        EXPECT_EQ((flags & 0x800) != 0, line == "sub/Grüße.txt") << line;
        EXPECT_EQ((flags & 1) != 0, *c.password != 0) << line;
        if (line == "sub/deeper/bignoise.bin" || c.level == 0) {
            EXPECT_EQ(method, 0) << line;
        } else if (line == "sub/deeper/big.txt") {
            EXPECT_EQ(method, 8) << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, AddTree,
                         ::testing::Values(AddCase{"level9", 9, "", false},
                                           AddCase{"stored_old_layout", 0, "", true},
                                           AddCase{"encrypted", 3, "s3cret", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Which files a call picks and the names it stores them under.
TEST(AddSelection, SuffixesNamesHiddenFilesAndExclusions) {
    TempFolder tmp;
    harness::WriteFile(tmp / "d/pic.PNG", Text(5000));
    harness::WriteFile(tmp / "d/long name.text", Text(5000));
    harness::WriteFile(tmp / "d/.hidden", "x");
    harness::WriteFile(tmp / "d/skip.o", "x");
    harness::WriteFile(tmp / "d/sub/deep.c", "int x;\n");
    harness::WriteFile(tmp / "d/sub/deep.h", "int x;\n");

    ZipCall plain;
    plain.archive = tmp / "a.zip";
    plain.specs = {tmp / "d/*"};  // absolute: stored without the leading "/"
    plain.excludes = {"*.o"};
    plain.recurse = true;
    EXPECT_EQ(plain.Run(), 4) << plain.Messages();
    std::string prefix = (tmp / "d/").substr(1);
    std::string info = harness::ZipInfo(plain.archive);
    EXPECT_NE(info.find(prefix + "pic.PNG 0 "), std::string::npos) << info;  // store suffix
    EXPECT_NE(info.find(prefix + "long name.text 8 "), std::string::npos) << info;
    EXPECT_NE(info.find(prefix + "sub/deep.h"), std::string::npos) << info;
    EXPECT_EQ(info.find(".hidden"), std::string::npos) << info;
    EXPECT_EQ(info.find("skip.o"), std::string::npos) << info;

    // Without folder names, in 8.3 form, hidden files included, only "*.c"
    // below the folder, and one name changed by the engine.
    ZipCall dos;
    dos.archive = tmp / "b.zip";
    dos.specs = {"d/.*", ">d/*.c"};
    dos.dirNames = false;
    dos.forceDos = true;
    dos.hiddenFiles = true;
    dos.currentDir = tmp.path();
    dos.answer = [](KCallbackRecord& r) {
        if (r.Action == KCB_NEW_NAME && std::string(r.Text) == "DEEP.C") {
            std::strcpy(r.Text, "renamed/deep.c");
            r.Action = 8;
        }
        return 0;
    };
    EXPECT_EQ(dos.Run(), 2) << dos.Messages();
    std::string names;
    Shell("unzip -Z1 " + Quote(dos.archive), &names);
    EXPECT_EQ(names, "_.HID\nrenamed/deep.c\n");

    // ".." components are refused, not stored.
    ZipCall up;
    up.archive = tmp / "c.zip";
    up.specs = {"../d/pic.PNG"};
    up.currentDir = tmp / "d/sub";
    EXPECT_EQ(up.Run(), 0);
    EXPECT_FALSE(fs::exists(up.archive));
    EXPECT_NE(up.Messages().find("\"..\""), std::string::npos) << up.Messages();
}

// Adding to an archive another tool wrote: its members are copied as they
// were, same-named ones replaced, its comment kept.
TEST(AddToExisting, KeepsMembersCommentAndHonoursUpdateFreshenMove) {
    TempFolder tmp;
    harness::WriteFile(tmp / "s/keep.txt", Text(20000));
    harness::WriteFile(tmp / "s/change.txt", "old\n");
    std::string out;
    ASSERT_EQ(Shell("cd " + Quote(tmp / "s") +
                        " && zip -q ../a.zip keep.txt change.txt && echo "
                        "'the comment' | zip -qz ../a.zip",
                    &out),
              0)
        << out;
    std::string before = harness::RawMembers(tmp / "a.zip");

    // Freshen: nothing newer, nothing new taken: the archive is not touched.
    harness::WriteFile(tmp / "s/new.txt", "new\n");
    ZipCall fresh;
    fresh.archive = tmp / "a.zip";
    fresh.specs = {"*"};
    fresh.freshen = true;
    fresh.currentDir = tmp / "s";
    EXPECT_EQ(fresh.Run(), 0) << fresh.Messages();
    EXPECT_EQ(harness::RawMembers(tmp / "a.zip"), before);

    // Update with move: the newer file and the new one go in and are removed.
    harness::WriteFile(tmp / "s/change.txt", "new contents\n");
    struct timespec later[2] = {{time(nullptr) + 10, 0}, {time(nullptr) + 10, 0}};
    utimensat(AT_FDCWD, (tmp / "s/change.txt").c_str(), later, 0);
    ZipCall update = fresh;
    update.freshen = false;
    update.update = true;
    update.move = true;
    update.archiveTime = true;
    EXPECT_EQ(update.Run(), 2) << update.Messages();
    EXPECT_FALSE(fs::exists(tmp / "s/change.txt"));
    EXPECT_FALSE(fs::exists(tmp / "s/new.txt"));
    EXPECT_TRUE(fs::exists(tmp / "s/keep.txt"));
    std::string after = harness::RawMembers(tmp / "a.zip");
    std::string keepLine = before.substr(before.find("keep.txt"));
    keepLine = keepLine.substr(0, keepLine.find('\n'));
    EXPECT_NE(after.find(keepLine), std::string::npos) << after;
    ASSERT_EQ(Shell("unzip -p " + Quote(tmp / "a.zip") + " change.txt", &out), 0);
    EXPECT_EQ(out, "new contents\n");
    ASSERT_EQ(Shell("unzip -z " + Quote(tmp / "a.zip"), &out), 0);
    EXPECT_NE(out.find("the comment"), std::string::npos) << out;
    EXPECT_EQ(Shell("unzip -tq " + Quote(tmp / "a.zip"), &out), 0) << out;
    // The archive carries the time of its newest member.
    struct stat st {};
    stat((tmp / "a.zip").c_str(), &st);
    EXPECT_EQ(st.st_mtime, later[1].tv_sec);
}

// A new archive gets the mode the file-creation mask allows, a changed one
// keeps its own; no temporary file stays behind.
TEST(AddToExisting, NewArchiveFollowsTheMaskAndAChangedOneKeepsItsMode) {
    TempFolder tmp;
    harness::WriteFile(tmp / "s/a.txt", "a\n");
    ZipCall add;
    add.archive = tmp / "out/a.zip";
    add.specs = {"a.txt"};
    add.currentDir = tmp / "s";
    fs::create_directories(tmp / "out");
    const mode_t saved = umask(027);
    const int32_t added = add.Run();
    umask(saved);
    EXPECT_EQ(added, 1) << add.Messages();
    EXPECT_EQ(fs::status(tmp / "out/a.zip").permissions(), fs::perms(0640));

    chmod((tmp / "out/a.zip").c_str(), 0600);
    harness::WriteFile(tmp / "s/b.txt", "b\n");
    ZipCall more = add;
    more.specs = {"b.txt"};
    EXPECT_EQ(more.Run(), 1) << more.Messages();
    EXPECT_EQ(fs::status(tmp / "out/a.zip").permissions(), fs::perms(0600));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "out"), fs::directory_iterator()), 1);
}

// A program in front of the archive (a self-extractor) stays in front,
// with the offsets still right; a new comment and a temporary folder on
// the same file system are honoured.
TEST(AddToExisting, KeepsAProgramPrefixAndWritesTheGivenComment) {
    TempFolder tmp;
    harness::WriteFile(tmp / "a.txt", "first\n");
    harness::WriteFile(tmp / "b.txt", "second\n");
    std::string out;
    ASSERT_EQ(Shell("cd " + Quote(tmp.path()) +
                        " && zip -q t.zip a.txt && printf STUBSTUB > "
                        "x.exe && cat t.zip >> x.exe && zip -qA x.exe",
                    &out),
              0)
        << out;
    fs::create_directories(tmp / "work");
    ZipCall call;
    call.archive = tmp / "x.exe";
    call.specs = {"b.txt"};
    call.comment = "new comment";
    call.tempDir = tmp / "work";
    call.currentDir = tmp.path();
    EXPECT_EQ(call.Run(), 1) << call.Messages();
    EXPECT_EQ(harness::ReadFile(call.archive).substr(0, 8), "STUBSTUB");
    EXPECT_EQ(Shell("unzip -tq " + Quote(call.archive), &out), 0) << out;
    EXPECT_EQ(out.find("warning"), std::string::npos) << out;
    Shell("unzip -z " + Quote(call.archive), &out);
    EXPECT_NE(out.find("new comment"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(tmp / "work"));
}

}  // namespace
