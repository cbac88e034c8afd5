// kelpzip add and delete, checked with unzip, 7z and Python's zipfile.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

class AddDelete : public ::testing::Test {
protected:
    AddDelete() {
        fixtures::WriteFile(dir / "src/readme.txt", "read me\n");
        fixtures::WriteFile(dir / "src/deep/er/numbers.txt", std::string(100000, '7'));
        fixtures::WriteFile(dir / "src/ünïcode name.txt", "utf-8 names\n");
        fixtures::WriteFile(dir / "src/image.png", std::string(5000, 'p'));
        RunShell("head -c 70000 /dev/urandom > " + Quote(dir / "src/deep/blob.bin"));
    }
    fixtures::CommandResult Shell(const std::string& command) {
        return RunShell("cd " + Quote(dir.path()) + " && " + command);
    }
    fixtures::CommandResult Kelp(const std::string& args) {
        return Shell(Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
    }
    std::string PythonNames(const std::string& archive) {
        return Shell("python3 -c \"import zipfile; print('\\n'.join(sorted(zipfile.ZipFile('" + archive +
                     "').namelist())))\"")
            .out;
    }
    fixtures::TempDir dir;
};

TEST_F(AddDelete, ArchivesPassEveryPeerAndExtractToTheSource) {
    auto add = Kelp("add k.zip -r src");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    EXPECT_NE(add.out.find("  adding: src/readme.txt"), std::string::npos) << add.out;
    EXPECT_EQ(Shell("unzip -tq k.zip").exitCode, 0);
    EXPECT_EQ(Shell("7z t k.zip > /dev/null").exitCode, 0);
    EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; sys.exit(zipfile.ZipFile('k.zip').testzip() is not None)\"")
                  .exitCode,
              0);
    ASSERT_EQ(Shell("mkdir u && cd u && unzip -q ../k.zip").exitCode, 0);
    EXPECT_EQ(Shell("diff -r src u/src").exitCode, 0);
    // Already compressed kinds are stored.
    EXPECT_NE(Shell("unzip -v k.zip").out.find("Stored"), std::string::npos);

    ASSERT_EQ(Kelp("add locked.zip -r -p 's3cret' src").exitCode, 0);
    EXPECT_NE(Shell("unzip -tq -P wrong locked.zip").exitCode, 0);
    ASSERT_EQ(Shell("mkdir p && cd p && unzip -q -P s3cret ../locked.zip").exitCode, 0);
    EXPECT_EQ(Shell("diff -r src p/src").exitCode, 0);
}

TEST_F(AddDelete, DeleteRemovesExactlyTheMatchingMembers) {
    ASSERT_EQ(Kelp("add k.zip -r src").exitCode, 0);
    const std::string before = PythonNames("k.zip");
    auto del = Kelp("delete k.zip 'src/deep/*' src/readme.txt");
    ASSERT_EQ(del.exitCode, 0) << del.out << del.err;
    const std::string after = PythonNames("k.zip");
    EXPECT_EQ(after.find("src/deep/"), std::string::npos) << after;
    EXPECT_EQ(after.find("src/readme.txt"), std::string::npos);
    EXPECT_NE(after.find("src/image.png"), std::string::npos);
    EXPECT_EQ(Shell("unzip -tq k.zip").exitCode, 0);
    EXPECT_NE(before, after);

    // Nothing matching: an error, and the archive is left as it was.
    const std::string bytes = fixtures::ReadFile(dir / "k.zip");
    EXPECT_EQ(Kelp("delete k.zip nothing/here").exitCode, 1);
    EXPECT_EQ(fixtures::ReadFile(dir / "k.zip"), bytes);
}

TEST_F(AddDelete, BadInputLeavesTheArchiveAlone) {
    fixtures::WriteFile(dir / "not.zip", std::string(3000, 'n'));
    EXPECT_EQ(Kelp("add not.zip src/readme.txt").exitCode, 1);
    EXPECT_EQ(fixtures::ReadFile(dir / "not.zip"), std::string(3000, 'n'));

    ASSERT_EQ(Kelp("add k.zip src/readme.txt").exitCode, 0);
    const std::string bytes = fixtures::ReadFile(dir / "k.zip");
    auto missing = Kelp("add k.zip src/no-such-file");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(fixtures::ReadFile(dir / "k.zip"), bytes);
}

TEST_F(AddDelete, KilledAddLeavesTheOriginalByteIdentical) {
    ASSERT_EQ(Kelp("add k.zip src/readme.txt").exitCode, 0);
    const std::string original = fixtures::ReadFile(dir / "k.zip");
    // A big member keeps the add busy long enough to be killed in the middle.
    ASSERT_EQ(Shell("head -c 8000000 /dev/urandom > chunk && for i in 1 2 3 4 5 6 7 8 9 10; "
                    "do cat chunk; done > big.bin")
                  .exitCode,
              0);
    const pid_t pid = fork();
    if (pid == 0) {
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        execl(fixtures::KelpProgram("kelpzip").c_str(), "kelpzip", "add", "k.zip", "-l", "9", "big.bin",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the add finished before it could be killed";
    EXPECT_EQ(fixtures::ReadFile(dir / "k.zip"), original);
}

}  // namespace

namespace {

TEST_F(AddDelete, SpannedSetIsListedTestedAndExtractedFromItsLastPart) {
    ASSERT_EQ(Kelp("add k.zip -r src").exitCode, 0);
    auto span = Kelp("span k.zip parts/set.zip --volume-size 30000 --keep-free 10000");
    EXPECT_EQ(span.exitCode, 1);  // the target folder does not exist
    fs::create_directories(dir / "parts");
    span = Kelp("span k.zip parts/set.zip --volume-size 30000 --keep-free 10000");
    ASSERT_EQ(span.exitCode, 0) << span.out << span.err;
    EXPECT_LE(fs::file_size(dir / "parts/set001.zip"), 20000u);
    std::string last;
    for (int i = 1; fs::exists(dir / ("parts/set00" + std::to_string(i) + ".zip")); ++i)
        last = "parts/set00" + std::to_string(i) + ".zip";
    ASSERT_NE(last, "parts/set001.zip");

    EXPECT_EQ(Kelp("list --tsv " + last).out, Kelp("list --tsv k.zip").out);
    EXPECT_EQ(Kelp("test " + last).exitCode, 0);
    ASSERT_EQ(Kelp("extract " + last + " -d out").exitCode, 0);
    EXPECT_EQ(Shell("diff -r src out/src").exitCode, 0);
    EXPECT_EQ(Kelp("test parts/set001.zip").exitCode, 1);  // not the last part
}

}  // namespace

namespace {

TEST_F(AddDelete, OemNamesAreListedExtractedAndDeletedAsUtf8) {
    fixtures::BuilderMember dos;
    dos.name = "caf\x82/M\x81sli.txt";  // CP437 é and ü, written on a FAT host
    dos.host = 0;
    dos.data = "breakfast";
    fixtures::WriteFile(dir / "dos.zip", fixtures::ArchiveBuilder().Add(dos).Add("plain.txt", "p").Build());

    EXPECT_EQ(Kelp("list --tsv dos.zip").out.rfind("café/Müsli.txt\t", 0), 0u);
    ASSERT_EQ(Kelp("extract dos.zip -d out 'café/Müsli.txt'").exitCode, 0);
    EXPECT_EQ(fixtures::ReadFile(dir / "out/café/Müsli.txt"), "breakfast");

    ASSERT_EQ(Kelp("delete dos.zip 'café/Müsli.txt'").exitCode, 0);
    EXPECT_EQ(Kelp("list --tsv dos.zip").out.rfind("plain.txt\t", 0), 0u);
}

}  // namespace
