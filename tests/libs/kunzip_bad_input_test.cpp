// Hostile and damaged archives: nothing is written outside the target
// folder, a failing member leaves no output behind (nor replaces the file it
// was to replace) and the good member still comes out. What test and extract
// say of damaged archives is the foreign-archive table's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "lib_harness.h"

namespace fs = std::filesystem;
using harness::Quote;
using harness::Shell;
using harness::UnzipCall;

namespace {

class BadArchives : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new harness::TempFolder;
        std::string script = std::string(KELP_SOURCE_DIR) + "/tests/libs/make_bad_archives.py";
        ASSERT_EQ(Shell("python3 " + Quote(script) + " " + Quote(dir_->path())), 0);
    }
    static void TearDownTestSuite() { delete dir_; }

    void SetUp() override {
        root = tmp / "root";
        out = root + "/out";
        fs::create_directories(out);
    }
    UnzipCall Extract(const std::string& name) {
        UnzipCall c;
        c.archive = (*dir_) / name;
        c.targetDir = out;
        c.Run();
        return c;
    }
    // No file anywhere under root but the expected ones, and no leftovers.
    void ExpectOnlyGood(const std::set<std::string>& expected) {
        std::set<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(root))
            if (fs::is_symlink(e.symlink_status()) || !e.is_directory())
                found.insert(e.path().lexically_relative(out).string());
        EXPECT_EQ(found, expected);
        EXPECT_EQ(harness::ReadFile(out + "/good.txt"), "good member\n");
    }

    static harness::TempFolder* dir_;
    harness::TempFolder tmp;
    std::string root, out;
};

harness::TempFolder* BadArchives::dir_ = nullptr;

TEST_F(BadArchives, NamesLeavingTheTargetAreSkippedAsErrors) {
    // An existing link inside the target pointing outside it.
    fs::create_directories(tmp / "outside");
    fs::create_directory_symlink(tmp / "outside", out + "/pre");
    UnzipCall c = Extract("names.zip");
    // "link" is never made, so "link/through.txt" lands in a real folder.
    EXPECT_EQ(c.result, 2) << c.Messages();
    std::set<std::string> skipped;
    for (const auto& s : c.Actions(KCB_SKIPPED)) {
        skipped.insert(s.text);
        EXPECT_NE(s.number1, 0);
    }
    EXPECT_EQ(skipped, (std::set<std::string>{"../escape.txt", "/abs.txt", "C:/drive.txt",
                                              "sub/../../deep.txt", "link", "pre/escape.txt"}));
    EXPECT_TRUE(fs::is_empty(tmp / "outside"));
    ExpectOnlyGood({"good.txt", "pre", "link/through.txt"});
    EXPECT_FALSE(fs::is_symlink(out + "/link"));
    EXPECT_NE(c.Messages().find("Error found in 6 of 8"), std::string::npos) << c.Messages();
}

TEST_F(BadArchives, AFailedReplacementKeepsTheFileItWasToReplace) {
    const std::pair<const char*, const char*> cases[] = {
        {"damaged.zip", "noise.txt"},   {"crc.zip", "bad.txt"},
        {"truncated.zip", "cut.bin"},   {"long_small.zip", "long.txt"},
        {"long_large.zip", "long.bin"}, {"method.zip", "ppmd.txt"}};
    for (const auto& [archive, member] : cases) {
        fs::remove_all(out);
        fs::create_directories(out);
        harness::WriteFile(out + "/" + member, "mine\n");
        UnzipCall c;
        c.archive = (*dir_) / archive;
        c.targetDir = out;
        c.overwrite = true;
        EXPECT_EQ(c.Run(), 1) << archive << "\n" << c.Messages();
        EXPECT_FALSE(c.Actions(KCB_SKIPPED).empty() && c.Actions(KCB_CRC_ERROR).empty());
        EXPECT_EQ(harness::ReadFile(out + "/" + member), "mine\n") << archive;
        ExpectOnlyGood({"good.txt", member});
    }
}

TEST_F(BadArchives, CrcMismatchDataIsKeptOnlyWhenTheEngineSaysSo) {
    UnzipCall c;
    c.archive = (*dir_) / "crc.zip";
    c.targetDir = out;
    c.specs = {"bad.txt"};
    c.answer = [](KCallbackRecord& r) {
        if (r.Action == KCB_CRC_ERROR) r.Number1 = 1;
        return 0;
    };
    EXPECT_EQ(c.Run(), 0);  // kept, but still not a success
    ASSERT_EQ(c.Actions(KCB_CRC_ERROR).size(), 1u);
    EXPECT_EQ(static_cast<uint32_t>(c.Actions(KCB_CRC_ERROR)[0].number1) ^ 1,
              static_cast<uint32_t>(c.Actions(KCB_CRC_ERROR)[0].number2));
    EXPECT_TRUE(fs::exists(out + "/bad.txt"));
}

}  // namespace
