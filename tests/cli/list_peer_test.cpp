// kelpzip list and comment beside Python's zipfile: control characters in
// names, comments (the archives other tools write, and those behind a
// program, are the foreign-archive table).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fixtures/folder_test.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using fixtures::Quote;
using fixtures::RunShell;

class PeerListing : public fixtures::FolderTest {
  protected:
    PeerListing() {
        // A small tree of text files, with a sub-folder and an empty folder.
        fixtures::WriteFile(dir / "src/readme.txt", "read me\n");
        fixtures::WriteFile(dir / "src/sub/numbers.txt", std::string(4000, '7'));
        fixtures::WriteFile(dir / "src/sub/tiny", "x");
        RunShell("mkdir -p " + Quote(dir / "src/empty"));
    }

    void ExpectListedLikePython(const std::string& archive) {
        const std::string path = dir / archive;
        auto kelp =
            RunShell(Quote(fixtures::KelpProgram("kelpzip")) + " list --tsv " + Quote(path));
        auto python = RunShell("python3 " +
                               Quote(std::string(KELP_SOURCE_DIR) + "/tests/cli/zipinfo_tsv.py") +
                               " " + Quote(path));
        ASSERT_EQ(python.exitCode, 0) << python.err;
        EXPECT_EQ(kelp.exitCode, 0) << kelp.err;
        EXPECT_FALSE(python.out.empty());
        EXPECT_EQ(kelp.out, python.out) << archive;
    }
};

TEST_F(PeerListing, ControlCharactersInNamesKeepOneLinePerMember) {
    Must(
        "python3 -c \"import zipfile; z = zipfile.ZipFile('ctl.zip', 'w'); "
        "[z.writestr(n, 'x') for n in ['line\\nbreak.txt', 'tab\\there', 'back\\\\slash', "
        "'bell\\x07']]; "
        "z.close()\"");
    ExpectListedLikePython("ctl.zip");
    auto kelp =
        RunShell(Quote(fixtures::KelpProgram("kelpzip")) + " list --tsv " + Quote(dir / "ctl.zip"));
    EXPECT_EQ(std::count(kelp.out.begin(), kelp.out.end(), '\n'), 4) << kelp.out;
    EXPECT_NE(kelp.out.find("line\\nbreak.txt\t"), std::string::npos) << kelp.out;
}

TEST_F(PeerListing, CommentsRoundTripThroughPeers) {
    Must("zip -qr c.zip src && echo 'a comment' | zip -qz c.zip");
    const std::string kelpzip = Quote(fixtures::KelpProgram("kelpzip"));
    EXPECT_EQ(RunShell(kelpzip + " comment " + Quote(dir / "c.zip")).out, "a comment\n");
    const std::string text = "Line one\nLine two with ümlauts";
    auto set = RunShell(kelpzip + " comment " + Quote(dir / "c.zip") + " --set " + Quote(text));
    ASSERT_EQ(set.exitCode, 0) << set.err;
    auto python =
        RunShell("python3 -c \"import zipfile,sys; sys.stdout.buffer.write(zipfile.ZipFile('" +
                 dir / "c.zip" + "').comment)\"");
    EXPECT_EQ(python.out, text);
    EXPECT_EQ(RunShell("unzip -tq " + Quote(dir / "c.zip")).exitCode, 0);
    EXPECT_EQ(RunShell(kelpzip + " comment " + Quote(dir / "c.zip")).out, text + "\n");

    ASSERT_EQ(RunShell(kelpzip + " comment " + Quote(dir / "c.zip") + " --set ''").exitCode, 0);
    EXPECT_EQ(RunShell(kelpzip + " comment " + Quote(dir / "c.zip")).out, "");
    EXPECT_EQ(RunShell("unzip -tq " + Quote(dir / "c.zip")).exitCode, 0);
    ExpectListedLikePython("c.zip");
}

}  // namespace
