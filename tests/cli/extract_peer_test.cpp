// kelpzip extract against unzip: files in the way and split sets (the
// archives other tools write, ZIP64 ones too, are the foreign-archive table;
// passwords the AES suite's).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/folder_test.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

using fixtures::ReadTree;

class ExtractPeer : public fixtures::FolderTest {
  protected:
    ExtractPeer() {
        fixtures::WriteFile(dir / "src/readme.txt", "read me\n");
        fixtures::WriteFile(dir / "src/deep/er/numbers.txt", std::string(100000, '7'));
        fs::create_directories(dir / "src/empty");
        // Incompressible, so that damage at a fixed offset lands in its data.
        RunShell("head -c 70000 /dev/urandom > " + Quote(dir / "src/deep/blob.bin"));
        RunShell("touch -d '2019-03-04 05:06:08' " + Quote(dir / "src/readme.txt"));
    }

    // Extracts with both tools and compares names, contents and times; kelpzip
    // reads `kelpArchive` when given (the same archive in another form).
    void ExpectSameTreeAsUnzip(const std::string& archive, const std::string& password = "",
                               const std::string& kelpArchive = "") {
        const std::string kelpSource = kelpArchive.empty() ? archive : kelpArchive;
        const std::string kelpDir = "k_" + kelpSource, peerDir = "u_" + archive;
        const std::string pw = password.empty() ? "" : " -P " + Quote(password);
        if (!fs::exists(dir / peerDir)) Must("unzip -q" + pw + " " + archive + " -d " + peerDir);
        auto kelp = Kelp("extract " + kelpSource + " -d " + kelpDir +
                         (password.empty() ? "" : " -p " + Quote(password)));
        ASSERT_EQ(kelp.exitCode, 0) << kelp.out << kelp.err;
        const auto expected = ReadTree(dir / peerDir);
        const auto actual = ReadTree(dir / kelpDir);
        ASSERT_EQ(expected.size(), actual.size()) << archive;
        for (const auto& [name, entry] : expected) {
            auto it = actual.find(name);
            ASSERT_NE(it, actual.end()) << name << " missing from " << archive;
            EXPECT_EQ(it->second.type, entry.type) << name;
            EXPECT_EQ(it->second.contents, entry.contents) << name;
            if (entry.type == 'f') {
                EXPECT_LE(std::abs(it->second.mtime - entry.mtime), 2) << name;
            }
        }
    }
};

TEST_F(ExtractPeer, ExistingFilesAreKeptUnlessOverwriteIsAsked) {
    Must("zip -qr z.zip src");
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

// -n keeps every file that exists, its bytes and its time, also among many
// small members, which the workers write ahead of their turn.
TEST_F(ExtractPeer, NeverOverwriteKeepsEveryExistingFileAsItWas) {
    for (int i = 0; i < 60; ++i)
        fixtures::WriteFile(dir / ("many/f" + std::to_string(i)), "new " + std::to_string(i));
    Must("zip -qr m.zip many src");
    for (int i = 0; i < 60; i += 3) {
        const std::string name = "many/f" + std::to_string(i);
        fixtures::WriteFile(dir / ("out/" + name), "mine " + std::to_string(i));
        Must("touch -d '2001-02-03 04:05:06' out/" + name);
    }
    fixtures::WriteFile(dir / "out/src/readme.txt", "mine");
    const auto before = ReadTree(dir / "out");
    auto r = Kelp("extract m.zip -d out -n");
    EXPECT_NE(r.out.find("Kept existing file: many/f57"), std::string::npos) << r.out << r.err;
    const auto after = ReadTree(dir / "out");
    for (const auto& [name, entry] : before) {
        if (entry.type == 'f') {
            EXPECT_EQ(after.at(name), entry) << name;
        }
    }
    // The members with no file in the way come out.
    EXPECT_EQ(fixtures::ReadFile(dir / "out/many/f1"), "new 1");
    EXPECT_EQ(fixtures::ReadFile(dir / "out/many/f59"), "new 59");
    EXPECT_EQ(fixtures::ReadFile(dir / "out/src/deep/er/numbers.txt"), std::string(100000, '7'));
}

// Kelp's own sets, the command-line zip tool's split archives (.z01, ...,
// .zip) and raw volumes (.001, .002, ...) read as the unsplit archive.
TEST_F(ExtractPeer, SplitArchivesReadAsTheUnsplitArchive) {
    // Names that differ only in case; text that compresses about 4:3.
    Must("head -c 90000 /dev/urandom | base64 > src/xt_TCPMSS.h");
    Must("head -c 90000 /dev/urandom | base64 > src/xt_tcpmss.h");
    Must("zip -qr plain.zip src");
    const std::string python =
        "python3 " + Quote(std::string(KELP_SOURCE_DIR) + "/tests/cli/zipinfo_tsv.py");
    const std::string listing = RunShell(python + " " + Quote(dir / "plain.zip")).out;
    ASSERT_FALSE(listing.empty());

    auto span = Kelp("span plain.zip set.zip --volume-size 65536");
    ASSERT_EQ(span.exitCode, 0) << span.err;
    // kelpzip prints the parts' paths, the last one last.
    const std::string parts = span.out.substr(0, span.out.find_last_not_of('\n') + 1);
    const std::string kelpLast = fs::path(parts.substr(parts.rfind('\n') + 1)).filename().string();
    ASSERT_EQ(kelpLast, "set004.zip");
    Must("zip -qr -s 64k zs.zip src");
    ASSERT_TRUE(fs::exists(dir / "zs.z02"));
    Must("split -b 50000 -d -a 3 --numeric-suffixes=1 plain.zip rv.zip.");
    ASSERT_TRUE(fs::exists(dir / "rv.zip.003"));

    for (const std::string& set : {kelpLast, std::string("zs.zip"), std::string("rv.zip.001")}) {
        const auto test = Kelp("test " + set);
        EXPECT_EQ(test.exitCode, 0) << set << test.out << test.err;
        const auto list = Kelp("list --tsv " + set);
        EXPECT_EQ(list.out, listing) << set << list.err;
        ExpectSameTreeAsUnzip("plain.zip", "", set);
    }

    // A missing part is named and nothing is extracted. (A set's directory
    // lies on its last parts: listing it needs no other part.)
    fs::rename(dir / "zs.z02", dir / "gone1");
    fs::rename(dir / "rv.zip.002", dir / "gone2");
    for (const auto& [set, missing] :
         {std::pair("zs.zip", "zs.z02"), std::pair("rv.zip.001", "rv.zip.002")}) {
        for (const char* command : {"list ", "test ", "extract -d none "}) {
            if (std::string(command) == "list " && std::string(set) == "zs.zip") continue;
            const auto result = Kelp(command + std::string(set));
            EXPECT_NE(result.exitCode, 0) << command << set;
            EXPECT_NE(result.err.find("A part of this set is missing: "), std::string::npos)
                << result.err;
            EXPECT_NE(result.err.find(missing), std::string::npos) << command << set << result.err;
        }
    }
    EXPECT_TRUE(!fs::exists(dir / "none") || fs::is_empty(dir / "none"));
}

}  // namespace
