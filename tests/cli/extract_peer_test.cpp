// kelpzip extract and test against unzip on archives that other tools wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

struct TreeEntry {
    std::string contents;  // "<dir>" for folders
    int64_t mtime = 0;
};

std::map<std::string, TreeEntry> ReadTree(const std::string& root) {
    std::map<std::string, TreeEntry> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        TreeEntry entry;
        entry.contents = e.is_directory() ? "<dir>" : fixtures::ReadFile(e.path());
        entry.mtime = std::chrono::duration_cast<std::chrono::seconds>(
                          e.last_write_time().time_since_epoch())
                          .count();
        tree[fs::relative(e.path(), root).string()] = entry;
    }
    return tree;
}

class ExtractPeer : public ::testing::Test {
protected:
    ExtractPeer() {
        fixtures::WriteFile(dir / "src/readme.txt", "read me\n");
        fixtures::WriteFile(dir / "src/deep/er/numbers.txt", std::string(100000, '7'));
        fs::create_directories(dir / "src/empty");
        // Incompressible, so that damage at a fixed offset lands in its data.
        RunShell("head -c 70000 /dev/urandom > " + Quote(dir / "src/deep/blob.bin"));
        RunShell("touch -d '2019-03-04 05:06:08' " + Quote(dir / "src/readme.txt"));
    }

    void Shell(const std::string& command) {
        auto result = RunShell("cd " + Quote(dir.path()) + " && " + command);
        ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.err;
    }

    fixtures::CommandResult Kelp(const std::string& args) {
        return RunShell("cd " + Quote(dir.path()) + " && " + Quote(fixtures::KelpProgram("kelpzip")) +
                        " " + args);
    }

    // Extracts with both tools and compares names, contents and times.
    void ExpectSameTreeAsUnzip(const std::string& archive, const std::string& password = "") {
        const std::string kelpDir = "k_" + archive, peerDir = "u_" + archive;
        const std::string pw = password.empty() ? "" : " -P " + Quote(password);
        Shell("unzip -q" + pw + " " + archive + " -d " + peerDir);
        auto kelp = Kelp("extract " + archive + " -d " + kelpDir +
                         (password.empty() ? "" : " -p " + Quote(password)));
        ASSERT_EQ(kelp.exitCode, 0) << kelp.out << kelp.err;
        const auto expected = ReadTree(dir / peerDir);
        const auto actual = ReadTree(dir / kelpDir);
        ASSERT_EQ(expected.size(), actual.size()) << archive;
        for (const auto& [name, entry] : expected) {
            auto it = actual.find(name);
            ASSERT_NE(it, actual.end()) << name << " missing from " << archive;
            EXPECT_EQ(it->second.contents, entry.contents) << name;
            if (entry.contents != "<dir>") {
                EXPECT_LE(std::abs(it->second.mtime - entry.mtime), 2) << name;
            }
        }
    }

    fixtures::TempDir dir;
};

TEST_F(ExtractPeer, TreesMatchUnzipForEveryWriter) {
    Shell("zip -qr zip.zip src");
    ExpectSameTreeAsUnzip("zip.zip");
    Shell("zip -qr - src | cat > piped.zip");
    ExpectSameTreeAsUnzip("piped.zip");
    Shell("zip -qr -P 'pa ss' locked.zip src");
    ExpectSameTreeAsUnzip("locked.zip", "pa ss");
    Shell("7z a -tzip -bd seven.zip src > /dev/null");
    ExpectSameTreeAsUnzip("seven.zip");
    Shell("bsdtar -a -cf tar.zip src");
    ExpectSameTreeAsUnzip("tar.zip");
    Shell("python3 -c \"import shutil; shutil.make_archive('py', 'zip', '.', 'src')\"");
    ExpectSameTreeAsUnzip("py.zip");
}

TEST_F(ExtractPeer, TestAgreesWithUnzipOnGoodAndDamagedArchives) {
    Shell("zip -qr good.zip src");
    EXPECT_EQ(Kelp("test good.zip").exitCode, 0);
    EXPECT_EQ(RunShell("unzip -tq " + Quote(dir / "good.zip")).exitCode, 0);

    // One byte changed inside the compressed data of the big member.
    Shell("cp good.zip bad.zip && printf 'Z' | dd of=bad.zip bs=1 seek=30000 conv=notrunc 2>/dev/null");
    auto kelp = Kelp("test bad.zip");
    EXPECT_EQ(kelp.exitCode, 1);
    EXPECT_NE(RunShell("unzip -tq " + Quote(dir / "bad.zip")).exitCode, 0);
    EXPECT_NE(kelp.out.find("Error found"), std::string::npos) << kelp.out;

    // Cut short: the members whose data is gone fail, in both tools.
    Shell("head -c 60000 good.zip > cut.zip");
    EXPECT_EQ(Kelp("test cut.zip").exitCode, 1);
}

TEST_F(ExtractPeer, WrongPasswordAndHostileNamesLeaveNothingBehind) {
    Shell("zip -qr -P right locked.zip src");
    auto wrong = Kelp("extract locked.zip -d out -p wrong");
    EXPECT_EQ(wrong.exitCode, 1);
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
        if (e.is_regular_file()) ++files;
    EXPECT_EQ(files, 0u);

    Shell("python3 -c \"import zipfile; z = zipfile.ZipFile('evil.zip', 'w'); "
          "z.writestr('../escaped.txt', 'x'); z.writestr('/abs.txt', 'y'); z.writestr('ok.txt', 'z'); "
          "z.close()\"");
    fs::create_directories(dir / "target");
    auto evil = Kelp("extract evil.zip -d target");
    EXPECT_EQ(evil.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
    EXPECT_FALSE(fs::exists("/abs.txt"));
    EXPECT_TRUE(fs::exists(dir / "target/ok.txt"));
}

TEST_F(ExtractPeer, ExistingFilesAreKeptUnlessOverwriteIsAsked) {
    Shell("zip -qr z.zip src");
    ASSERT_EQ(Kelp("extract z.zip -d out").exitCode, 0);
    fixtures::WriteFile(dir / "out/src/readme.txt", "changed");
    EXPECT_EQ(Kelp("extract z.zip -d out").exitCode, 0);
    EXPECT_EQ(fixtures::ReadFile(dir / "out/src/readme.txt"), "changed");
    EXPECT_EQ(Kelp("extract z.zip -d out -o src/readme.txt").exitCode, 0);
    EXPECT_EQ(fixtures::ReadFile(dir / "out/src/readme.txt"), "read me\n");

    ASSERT_EQ(Kelp("extract z.zip -d flat -j").exitCode, 0);
    EXPECT_TRUE(fs::exists(dir / "flat/numbers.txt"));
    EXPECT_FALSE(fs::exists(dir / "flat/src"));
}

}  // namespace

namespace {

TEST_F(ExtractPeer, Zip64RecordsAndFieldsAreRead) {
    fixtures::BuilderMember wide;
    wide.name = "wide.txt";
    wide.data = "sizes and offset in the ZIP64 field";
    wide.zip64Fields = true;
    fixtures::ArchiveBuilder builder;
    builder.Add("plain.txt", "plain").Add(wide).Zip64End(true).Comment("64");
    fixtures::WriteFile(dir / "z64.zip", builder.Build());
    ASSERT_EQ(RunShell("unzip -tq " + Quote(dir / "z64.zip")).exitCode, 0);
    EXPECT_EQ(Kelp("test z64.zip").exitCode, 0);
    ASSERT_EQ(Kelp("extract z64.zip -d out").exitCode, 0);
    EXPECT_EQ(fixtures::ReadFile(dir / "out/wide.txt"), "sizes and offset in the ZIP64 field");
    EXPECT_EQ(fixtures::ReadFile(dir / "out/plain.txt"), "plain");
}

}  // namespace
