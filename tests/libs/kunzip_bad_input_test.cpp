// Damaged archives: a failing member leaves no output behind (nor replaces
// the file it was to replace) and the good member still comes out. What
// test and extract say of damaged and hostile archives is the
// foreign-archive table's; names that leave the target are also the name
// resolution's test, links the links test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "library_calls.h"

namespace fs = std::filesystem;
using fixtures::Quote;

namespace {

class BadArchives : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new fixtures::TempDir;
        std::string script = std::string(KELP_SOURCE_DIR) + "/tests/libs/make_bad_archives.py";
        ASSERT_TRUE(fixtures::Succeeds("python3 " + Quote(script) + " " + Quote(dir_->path())));
    }
    static void TearDownTestSuite() { delete dir_; }

    int Extract(const std::string& name, bool overwrite = false) {
        libtest::ExtrOpts options{libtest::ExtrDirNames};
        if (overwrite) options.Include(libtest::ExtrOverWrite);
        return zip.Call(fixtures::Extract((*dir_) / name, out, {}, options));
    }
    // No file anywhere under the root but the expected ones, and no leftovers.
    void ExpectOnlyGood(const std::set<std::string>& expected) {
        std::set<std::string> found;
        for (const std::string& f : fixtures::FilesBelow(tmp / "root"))
            found.insert(fs::path(f).lexically_relative("out").string());
        EXPECT_EQ(found, expected);
        EXPECT_EQ(fixtures::ReadFile(out + "/good.txt"), "good member\n");
    }

    static fixtures::TempDir* dir_;
    fixtures::TempDir tmp;
    std::string out = tmp / "root/out";
    libtest::Engine zip;
};

fixtures::TempDir* BadArchives::dir_ = nullptr;

TEST_F(BadArchives, AFailedReplacementKeepsTheFileItWasToReplace) {
    const std::pair<const char*, const char*> cases[] = {
        {"damaged.zip", "noise.txt"},   {"crc.zip", "bad.txt"},
        {"truncated.zip", "cut.bin"},   {"long_small.zip", "long.txt"},
        {"long_large.zip", "long.bin"}, {"method.zip", "ppmd.txt"}};
    for (const auto& [archive, member] : cases) {
        fs::remove_all(out);
        fixtures::WriteFile(out + "/" + member, "mine\n");
        zip.skipped.clear();
        zip.crcErrors.clear();
        EXPECT_EQ(Extract(archive, true), 1) << archive << "\n" << zip.messages;
        EXPECT_FALSE(zip.skipped.empty() && zip.crcErrors.empty()) << archive;
        EXPECT_EQ(fixtures::ReadFile(out + "/" + member), "mine\n") << archive;
        ExpectOnlyGood({"good.txt", member});
    }
}

TEST_F(BadArchives, CrcMismatchDataIsKeptOnlyWhenTheEngineSaysSo) {
    zip.keepBadData = true;
    EXPECT_EQ(zip.Call(fixtures::Extract((*dir_) / "crc.zip", out, {"bad.txt"})), 0);
    ASSERT_EQ(zip.crcErrors.size(), 1u);  // kept, but still not a success
    EXPECT_EQ(zip.crcErrors[0].first ^ 1, zip.crcErrors[0].second);
    EXPECT_TRUE(fs::exists(out + "/bad.txt"));
}

}  // namespace
