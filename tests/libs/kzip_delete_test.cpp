// Deleting members, and what libkzip.so does when things go wrong: the
// archive is either replaced whole or left byte for byte as it was, and the
// count holds only what really happened.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

#include "lib_harness.h"

namespace fs = std::filesystem;
using harness::Quote;
using harness::ReadFile;
using harness::Shell;
using harness::TempFolder;
using harness::ZipCall;

namespace {

// An archive written by zip with folders, text and a comment.
std::string MakeZip(const TempFolder& tmp) {
    for (const char* name : {"a.txt", "b.txt", "dir/c.txt", "dir/d.log", "dir/sub/e.txt"})
        harness::WriteFile(tmp / (std::string("z/") + name), std::string(3000, name[0]) + name);
    std::string out;
    EXPECT_EQ(Shell("cd " + Quote(tmp / "z") +
                        " && zip -qr ../orig.zip . && echo note | zip -qz "
                        "../orig.zip",
                    &out),
              0)
        << out;
    return tmp / "orig.zip";
}

std::string Names(const std::string& archive) {
    std::string out;
    Shell(
        "python3 -c \"import zipfile,sys\n"
        "print(' '.join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))\" " +
            Quote(archive),
        &out);
    return out;
}

TEST(Delete, RemovesExactlyTheMatchesAndKeepsTheRestByteForByte) {
    TempFolder tmp;
    std::string archive = MakeZip(tmp);
    std::string before = harness::RawMembers(archive);
    ZipCall del;
    del.archive = archive;
    del.deleteMode = true;
    // A member name as the engine shows it, a pattern, an exclusion.
    del.specs = {"a.txt", "dir\\*.txt"};
    del.excludes = {"*/sub/*"};
    EXPECT_EQ(del.Run(), 2) << del.Messages();
    EXPECT_EQ(Names(archive), "b.txt dir/ dir/d.log dir/sub/ dir/sub/e.txt\n");
    std::string after = harness::RawMembers(archive);
    std::istringstream lines(after);
    for (std::string line; std::getline(lines, line);)
        EXPECT_NE(before.find(line), std::string::npos) << line;
    EXPECT_NE(del.Messages().find("  deleting: dir/c.txt\n"), std::string::npos) << del.Messages();
    std::string out;
    EXPECT_EQ(Shell("unzip -tq " + Quote(archive), &out), 0) << out;
    Shell("unzip -z " + Quote(archive), &out);
    EXPECT_NE(out.find("note"), std::string::npos);

    // Nothing matched: not rewritten, nothing counted.
    std::string bytes = ReadFile(archive);
    del.specs = {"missing*"};
    del.excludes.clear();
    EXPECT_EQ(del.Run(), 0);
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
            harness::WriteFile(tmp / ("add/f" + std::to_string(i) + ".txt"),
                               std::string(200000, static_cast<char>('a' + i)));
    }
    void ExpectUntouched() {
        EXPECT_TRUE(ReadFile(archive) == original) << "the archive changed";
        EXPECT_EQ(harness::FolderNames(tmp.path()),
                  (std::vector<std::string>{"add", "orig.zip", "z"}));
    }
    TempFolder tmp;
    std::string archive, original;
};

TEST_F(Unchanged, CancelAtAnyCallback) {
    // Cancel at the first, a middle and the last callback of a full run.
    ZipCall probe;
    probe.archive = tmp / "probe.zip";
    probe.specs = {tmp / "add/*"};
    ASSERT_EQ(probe.Run(), 6);
    fs::remove(probe.archive);
    const size_t total = probe.seen.size();
    for (size_t stopAt : {size_t{1}, size_t{3}, total / 2, total - 2}) {
        for (bool deleting : {false, true}) {
            if (deleting && stopAt > 3) continue;  // a delete makes few callbacks
            size_t calls = 0;
            ZipCall call;
            call.archive = archive;
            call.deleteMode = deleting;
            call.specs = {deleting ? "*" : tmp / "add/*"};
            call.answer = [&](KCallbackRecord&) {
                return ++calls >= stopAt ? KELP_CALLBACK_CANCEL : 0;
            };
            EXPECT_EQ(call.Run(), 0) << stopAt << " " << deleting;
            ExpectUntouched();
        }
    }
}

TEST_F(Unchanged, NotAZipFileAndNoPassword) {
    std::string fake = tmp / "add/fake.zip";
    harness::WriteFile(fake, "this is plain text, not an archive\n");
    ZipCall call;
    call.archive = fake;
    call.specs = {tmp / "add/f0.txt"};
    EXPECT_EQ(call.Run(), 0);
    EXPECT_EQ(ReadFile(fake), "this is plain text, not an archive\n");
    EXPECT_NE(call.Messages().find("not a valid ZIP archive"), std::string::npos);
    fs::remove(fake);

    // Encryption asked for, no password anywhere: the engine is asked once
    // (bit 0 set: for adding) and gives none.
    ZipCall enc;
    enc.archive = archive;
    enc.specs = {tmp / "add/*"};
    enc.encrypt = true;
    EXPECT_EQ(enc.Run(), 0);
    auto asks = enc.Actions(KCB_PASSWORD);
    ASSERT_EQ(asks.size(), 1u);
    EXPECT_EQ(asks[0].number1 & 1, 1);
    ExpectUntouched();

    // The password the engine gives is used.
    enc.answer = [](KCallbackRecord& r) {
        if (r.Action == KCB_PASSWORD) {
            std::strcpy(r.Text, "given");
            r.Number1 = 1;
        }
        return 0;
    };
    EXPECT_EQ(enc.Run(), 6);
    std::string out;
    EXPECT_EQ(Shell("unzip -tq -P given " + Quote(archive), &out), 0) << out;
}

TEST_F(Unchanged, FullDisk) {
    TempFolder small;
    if (mount("tmpfs", small.path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    std::string target = small / "orig.zip";
    fs::copy_file(archive, target);
    harness::WriteFile(tmp / "add/noise.bin", [] {
        std::mt19937 rng(3);
        std::string s(3u << 20, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        return s;
    }());
    ZipCall call;
    call.archive = target;
    call.specs = {tmp / "add/*"};
    int32_t result = call.Run();
    std::string bytes = ReadFile(target);
    std::vector<std::string> left = harness::FolderNames(small.path());
    umount(small.path().c_str());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bytes, original);
    EXPECT_EQ(left, std::vector<std::string>{"orig.zip"});
    EXPECT_NE(call.Messages().find("No space left on device"), std::string::npos)
        << call.Messages();
}

// Files that cannot be read are skipped with a message and not counted;
// the rest goes in.
TEST(BadSources, FifoDanglingLinkAndMissingNameAreSkipped) {
    TempFolder tmp;
    harness::WriteFile(tmp / "s/good.txt", "good\n");
    ASSERT_EQ(mkfifo((tmp / "s/pipe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("nowhere", (tmp / "s/dangling").c_str()), 0);
    ZipCall call;
    call.archive = tmp / "a.zip";
    call.specs = {"*", "missing.txt"};
    call.currentDir = tmp / "s";
    EXPECT_EQ(call.Run(), 1) << call.Messages();
    std::string m = call.Messages();
    EXPECT_NE(m.find("  skipping: pipe (not a regular file)"), std::string::npos) << m;
    EXPECT_NE(m.find("  skipping: dangling ("), std::string::npos) << m;
    EXPECT_NE(m.find("missing.txt"), std::string::npos) << m;
    EXPECT_NE(m.find("1 member(s) added, 3 warning(s)"), std::string::npos) << m;
    std::string names;
    Shell("unzip -Z1 " + Quote(call.archive), &names);
    EXPECT_EQ(names, "good.txt\n");
}

}  // namespace
