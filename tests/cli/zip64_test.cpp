// ZIP64 on every writing path: add, update, delete, span and the
// self-extractor conversions, with the size and count limits lowered through
// the test hook so small archives reach them, checked with the record codec
// and with unzip, 7z and Python's zipfile; and a real archive of more than
// 65 535 members.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/zip64_census.h"
#include "tests/fixtures/folder_test.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::CheckZip64Records;
using fixtures::Quote;
using fixtures::RunShell;

// Sizes and offsets from 100 000 bytes on need ZIP64 records in these tests.
constexpr uint64_t kSizeLimit = 100000;

class Zip64 : public fixtures::FolderTest {
  protected:
    Zip64() {
        fixtures::WriteFile(dir / "src/small.txt", "small\n");
        fixtures::WriteFile(dir / "src/text.txt", std::string(300000, 't'));  // packs small
        // Random bytes are stored: both sizes pass the limit.
        Shell("head -c 150000 /dev/urandom > src/random.bin");
        // Beyond the whole-file budget: streamed, with the ZIP64 field reserved.
        Shell("seq 1 2500000 > src/streamed.txt");
        fixtures::WriteFile(dir / "src/tail.txt", "last\n");
        Shell("touch -d '2020-01-01 12:00' src/*");
    }
    // kelpzip with the limits lowered (0: the normal limit); the trash is
    // kept inside the test's folder.
    fixtures::CommandResult Kelp(const std::string& args, uint64_t sizeLimit = kSizeLimit,
                                 uint64_t countLimit = 0) {
        std::string env = "XDG_DATA_HOME=" + Quote(dir / "data") + " ";
        if (sizeLimit) env += "KELP_TEST_ZIP64_SIZE_LIMIT=" + std::to_string(sizeLimit) + " ";
        if (countLimit) env += "KELP_TEST_ZIP64_COUNT_LIMIT=" + std::to_string(countLimit) + " ";
        return Shell(env + Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
    }
    // unzip, 7z and Python test the archive; Kelp extracts it and the tree
    // matches `expected` byte for byte.
    void ExpectPeersAcceptAndKelpExtracts(const std::string& archive, const std::string& expected,
                                          const std::string& password = "") {
        SCOPED_TRACE(archive);
        const std::string p = password.empty() ? "" : " -P " + password;
        Must("unzip -tq" + p + " " + archive);
        auto sevenZip = Shell("7z t -p" + Quote(password) + " " + archive);
        EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out << sevenZip.err;
        auto python =
            Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile('" + archive +
                  "'); z.setpassword(b'" + password + "'); sys.exit(z.testzip() is not None)\"");
        EXPECT_EQ(python.exitCode, 0) << python.err;
        fs::remove_all(dir / "out");
        auto extract =
            Kelp("extract " + archive + " -d out" + (password.empty() ? "" : " -p " + password));
        ASSERT_EQ(extract.exitCode, 0) << extract.out << extract.err;
        Must("diff -r " + expected + " out/src");
    }
};

TEST_F(Zip64, AddWritesZip64RecordsExactlyWhereValuesPassTheLimit) {
    auto add = Kelp("add k.zip -r src");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    const auto census = CheckZip64Records(dir / "k.zip", kSizeLimit);
    EXPECT_TRUE(census.endRecord);
    EXPECT_GE(census.centralFields, 4u);  // every member but the first small one or two
    EXPECT_LT(census.centralFields, census.members);
    EXPECT_GE(census.localFields, 2u);  // random.bin and streamed.txt
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");

    // With the normal limits the same archive has no ZIP64 record at all.
    ASSERT_EQ(Kelp("add plain.zip -r src", 0).exitCode, 0);
    const auto plain = CheckZip64Records(dir / "plain.zip");
    EXPECT_FALSE(plain.endRecord);
    EXPECT_EQ(plain.centralFields + plain.localFields, 0u);

    // Encrypted streamed data is followed by a descriptor with 8-byte sizes.
    ASSERT_EQ(Kelp("add locked.zip -r -p s3cret src").exitCode, 0);
    CheckZip64Records(dir / "locked.zip", kSizeLimit);
    ExpectPeersAcceptAndKelpExtracts("locked.zip", "src", "s3cret");
}

TEST_F(Zip64, Zip64ArchivesCanBeUpdatedAndDeletedFrom) {
    ASSERT_EQ(Kelp("add k.zip -r src").exitCode, 0);
    // Update and freshen replace members of a ZIP64 archive in place.
    Shell("head -c 120000 /dev/urandom > src/text.txt && echo changed > src/small.txt");
    auto update = Kelp("add k.zip -u -r src");
    ASSERT_EQ(update.exitCode, 0) << update.out << update.err;
    EXPECT_NE(update.out.find("2 member(s) added"), std::string::npos) << update.out;
    CheckZip64Records(dir / "k.zip", kSizeLimit);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");
    fixtures::WriteFile(dir / "src/tail.txt", "fresher\n");
    ASSERT_EQ(Kelp("add k.zip -f -r src").exitCode, 0);
    CheckZip64Records(dir / "k.zip", kSizeLimit);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");

    // Deleting one member keeps what still needs ZIP64 ...
    auto del = Kelp("delete k.zip src/small.txt");
    ASSERT_EQ(del.exitCode, 0) << del.out << del.err;
    fs::remove(dir / "src/small.txt");
    EXPECT_TRUE(CheckZip64Records(dir / "k.zip", kSizeLimit).endRecord);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");
    // ... and deleting the large ones leaves a plain archive.
    ASSERT_EQ(Kelp("delete k.zip src/text.txt src/random.bin src/streamed.txt").exitCode, 0);
    for (const char* gone : {"text.txt", "random.bin", "streamed.txt"})
        fs::remove(dir / ("src/" + std::string(gone)));
    const auto census = CheckZip64Records(dir / "k.zip", kSizeLimit);
    EXPECT_FALSE(census.endRecord);
    EXPECT_EQ(census.members, 2u);  // src/ and tail.txt
    EXPECT_EQ(census.centralFields + census.localFields, 0u);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");
}

TEST_F(Zip64, MemberCountsFromTheLimitOnGetAZip64EndRecord) {
    fs::remove_all(dir / "src");
    for (int i = 0; i < 6; ++i)
        fixtures::WriteFile(dir / ("src/f" + std::to_string(i)), std::to_string(i));
    // Seven members with src/.
    ASSERT_EQ(Kelp("add k.zip -r src", 0, 7).exitCode, 0);
    EXPECT_TRUE(CheckZip64Records(dir / "k.zip", 0xFFFFFFFFu, 7).endRecord);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");
    ASSERT_EQ(Kelp("delete k.zip src/f5", 0, 7).exitCode, 0);
    fs::remove(dir / "src/f5");
    EXPECT_FALSE(CheckZip64Records(dir / "k.zip", 0xFFFFFFFFu, 7).endRecord);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");
}

TEST_F(Zip64, SelfExtractorConversionMovesZip64OffsetsBothWays) {
    const std::string stub = Quote(std::string(KELP_LIB_DIR) + "/KelpSFX.bin");
    // A ZIP64 archive stays valid through both conversions.
    ASSERT_EQ(Kelp("add k.zip -r src").exitCode, 0);
    auto exe = Kelp("makeexe k.zip --stub " + stub);
    ASSERT_EQ(exe.exitCode, 0) << exe.out << exe.err;
    EXPECT_TRUE(CheckZip64Records(dir / "k.exe", kSizeLimit).endRecord);
    ExpectPeersAcceptAndKelpExtracts("k.exe", "src");
    auto back = Kelp("makezip k.exe");
    ASSERT_EQ(back.exitCode, 0) << back.out << back.err;
    EXPECT_TRUE(CheckZip64Records(dir / "k.zip", kSizeLimit).endRecord);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");

    // A small archive whose offsets pass the limit only behind the stub gets
    // ZIP64 records in the program and loses them again on the way back.
    const uint64_t limit = fs::file_size(KELP_LIB_DIR "/KelpSFX.bin") / 2;
    for (const char* big : {"text.txt", "random.bin", "streamed.txt"})
        fs::remove(dir / ("src/" + std::string(big)));
    fs::remove(dir / "k.zip");
    ASSERT_EQ(Kelp("add k.zip -r src", limit).exitCode, 0);
    EXPECT_FALSE(CheckZip64Records(dir / "k.zip", limit).endRecord);
    ASSERT_EQ(Kelp("makeexe k.zip --stub " + stub, limit).exitCode, 0);
    const auto inExe = CheckZip64Records(dir / "k.exe", limit);
    EXPECT_TRUE(inExe.endRecord);
    EXPECT_EQ(inExe.centralFields, inExe.members);
    ExpectPeersAcceptAndKelpExtracts("k.exe", "src");
    ASSERT_EQ(Kelp("makezip k.exe", limit).exitCode, 0);
    const auto inZip = CheckZip64Records(dir / "k.zip", limit);
    EXPECT_FALSE(inZip.endRecord);
    EXPECT_EQ(inZip.centralFields, 0u);
    ExpectPeersAcceptAndKelpExtracts("k.zip", "src");
}

TEST_F(Zip64, SpannedSetKeepsZip64FieldsWhereValuesPassTheLimit) {
    ASSERT_EQ(Kelp("add k.zip -r src").exitCode, 0);
    fs::create_directories(dir / "parts");
    auto span = Kelp("span k.zip parts/set.zip --volume-size 1500000");
    ASSERT_EQ(span.exitCode, 0) << span.out << span.err;
    const std::string parts = span.out.substr(0, span.out.find_last_not_of('\n') + 1);
    const std::string last = dir / parts.substr(parts.rfind('\n') + 1);
    ASSERT_NE(last, dir / "parts/set001.zip");
    // Offsets within a part stay below 1 500 000; sizes and offsets from the
    // limit on are in ZIP64 fields.
    const auto census = CheckZip64Records(last, kSizeLimit, 0xFFFF, false);
    EXPECT_GT(census.centralFields, 0u);
    auto test = Kelp("test " + Quote(last));
    EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
    ASSERT_EQ(Kelp("extract " + Quote(last) + " -d out").exitCode, 0);
    EXPECT_EQ(Shell("diff -r src out/src").exitCode, 0);
    // Under the names a split archive has, the peers read the set too.
    const std::string lastName = fs::path(last).filename().string();
    for (int i = 1; fs::exists(dir / ("parts/set00" + std::to_string(i) + ".zip")); ++i) {
        const std::string part = "set00" + std::to_string(i) + ".zip";
        fs::rename(dir / ("parts/" + part),
                   dir / (part == lastName ? "split.zip" : "split.z0" + std::to_string(i)));
    }
    ASSERT_EQ(Shell("zip -q -s 0 split.zip --out joined.zip").exitCode, 0);
    ExpectPeersAcceptAndKelpExtracts("joined.zip", "src");
    Must("7z t split.zip");
}

// More than 65 535 members for real, with the normal limits. The files are
// empty: freeing the blocks of 140 000 small files can take minutes.
TEST_F(Zip64, MoreThan65535MembersForReal) {
    fs::remove_all(dir / "src");
    Must(
        "python3 -c \"import os\nfor i in range(70000):\n"
        "    d = 'src/d%02d' % (i // 1000)\n    os.makedirs(d, exist_ok=True)\n"
        "    open('%s/f%05d' % (d, i), 'w').close()\"");
    auto add = Kelp("add many.zip -r src", 0);
    ASSERT_EQ(add.exitCode, 0) << add.err;
    const auto census = CheckZip64Records(dir / "many.zip");
    EXPECT_TRUE(census.endRecord);
    EXPECT_EQ(census.members, 70071u);  // 70 000 files in 70 folders in src/
    EXPECT_EQ(census.centralFields, 0u);
    ExpectPeersAcceptAndKelpExtracts("many.zip", "src");
    // Below 65 535 members the plain end record holds the count again.
    ASSERT_EQ(
        Kelp("delete many.zip 'src/d00*' 'src/d01*' 'src/d02*' 'src/d03*' 'src/d04*'", 0).exitCode,
        0);
    const auto fewer = CheckZip64Records(dir / "many.zip");
    EXPECT_EQ(fewer.members, 65066u);
    EXPECT_FALSE(fewer.endRecord);
    EXPECT_EQ(Shell("unzip -tq many.zip").exitCode, 0);
}

}  // namespace
