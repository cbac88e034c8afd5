// A real member of 5 GiB through kelpzip add, unzip -t, 7z t and kelpzip
// extract, with the normal limits. It takes minutes and about 11 GiB of
// disk: it runs only when KELP_SLOW_TESTS=1 (ctest -L slow).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/cli/zip64_census.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;

TEST(Zip64Slow, FiveGiBMemberRoundTrips) {
    const char* wanted = std::getenv("KELP_SLOW_TESTS");
    if (!wanted || std::string(wanted) != "1") GTEST_SKIP() << "set KELP_SLOW_TESTS=1 to run";
    fixtures::TempDir dir;
    constexpr uint64_t kNeeded = 11ull << 30;
    if (fs::space(dir.path()).available < kNeeded)
        GTEST_SKIP() << "needs 11 GiB of free disk in " << dir.path();
    const auto started = std::chrono::steady_clock::now();
    auto shell = [&](const std::string& command) {
        return fixtures::RunShell("cd " + Quote(dir.path()) + " && " + command);
    };
    auto kelp = [&](const std::string& args) {
        return shell(Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
    };

    // A sparse file of 5 GiB with random bytes at its start, across the
    // 4 GiB mark and at its end, so that every part of the CRC counts.
    ASSERT_EQ(shell("truncate -s 5G big.bin && "
                    "for at in 0 4095 5119; do head -c 1048576 /dev/urandom | "
                    "dd of=big.bin bs=1M seek=$at conv=notrunc status=none; done && "
                    "ln big.bin stored.bin && echo small > small.txt")
                  .exitCode,
              0);
    const std::string sum = shell("sha256sum < big.bin").out;

    // Deflated: the size passes 4 GiB, the packed data does not.
    auto add = kelp("add k.zip big.bin");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    // Added to that archive, stored: both sizes, the next offset and the
    // directory's offset pass 4 GiB.
    add = kelp("add k.zip -l 0 stored.bin small.txt");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    const auto census = fixtures::CheckZip64Records(dir / "k.zip");
    EXPECT_TRUE(census.endRecord);
    EXPECT_EQ(census.members, 3u);
    EXPECT_EQ(census.centralFields, 3u);
    EXPECT_EQ(census.localFields, 2u);

    auto unzip = shell("unzip -tq k.zip");
    EXPECT_EQ(unzip.exitCode, 0) << unzip.out << unzip.err;
    auto sevenZip = shell("7z t k.zip");
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out;
    const std::string listing = kelp("list k.zip").out;
    EXPECT_NE(listing.find("5368709120"), std::string::npos) << listing;
    for (const std::string member : {"big.bin", "stored.bin"}) {
        auto extract = kelp("extract k.zip -d out " + member);
        ASSERT_EQ(extract.exitCode, 0) << extract.out << extract.err;
        EXPECT_EQ(shell("sha256sum < out/" + member).out, sum) << member;
        fs::remove_all(dir / "out");
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    std::printf("5 GiB round trip: %lld s\n", static_cast<long long>(seconds.count()));
}

}  // namespace
