// kelpzip add and then unzip, 7z x or kelpzip extract: the same tree comes
// back, empty folders, permission bits, modification times, symbolic links
// and file names with shell and line-syntax characters included.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;

const char* const kOddNames[] = {"a<b.txt",        "|pipe.txt",   ">gt.txt",
                                 "blank name.txt", "ünïcode.txt", "-dash.txt"};

// Every entry below root: kind, permission bits, contents or link target,
// and the modification time to the second (links' own times are left out:
// unzip does not set them).
std::map<std::string, std::string> Listing(const std::string& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        struct stat st {};
        lstat(it->path().c_str(), &st);
        std::ostringstream line;
        line << std::oct << (st.st_mode & 07777) << std::dec << " ";
        if (S_ISLNK(st.st_mode)) {
            line << "link -> " << fs::read_symlink(it->path()).string();
        } else {
            line << (S_ISDIR(st.st_mode) ? "folder" : "file " + fixtures::ReadFile(it->path()))
                 << " @" << st.st_mtime;
        }
        out[it->path().lexically_relative(root).string()] = line.str();
    }
    return out;
}

class RoundTrip : public ::testing::Test {
  protected:
    RoundTrip() {
        const std::string src = dir / "src";
        fs::create_directories(src + "/empty");
        fs::create_directories(src + "/sub/empty too");
        fixtures::WriteFile(src + "/bin/run.sh", "#!/bin/sh\necho run\n");
        fixtures::WriteFile(src + "/sub/data.txt", std::string(5000, 'd'));
        for (const char* name : kOddNames) fixtures::WriteFile(src + "/" + name, name);
        fs::create_symlink("sub/data.txt", src + "/link");
        fs::create_symlink("bin", src + "/bin link");  // 7z refuses targets with ".."
        chmod((src + "/bin/run.sh").c_str(), 0755);
        chmod((src + "/sub/data.txt").c_str(), 0640);
        chmod((src + "/sub").c_str(), 0750);
        // An odd second: two-second DOS times would lose it.
        Shell("find src -exec touch -h -d '2021-03-04 05:06:07' {} +");
    }
    fixtures::CommandResult Shell(const std::string& command) {
        return fixtures::RunShell("cd " + Quote(dir.path()) + " && " + command);
    }
    fixtures::CommandResult Kelp(const std::string& args) {
        return Shell(Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
    }
    std::string Names(const std::string& archive) { return Shell("unzip -Z1 " + archive).out; }
    fixtures::TempDir dir;
};

TEST_F(RoundTrip, EveryExtractorGivesBackTheTree) {
    auto add = Kelp("add k.zip -r -y src");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    EXPECT_EQ(Shell("unzip -tq k.zip").exitCode, 0);
    EXPECT_EQ(Shell("7z t k.zip > /dev/null").exitCode, 0);
    const auto expected = Listing(dir / "src");
    ASSERT_EQ(expected.size(), 14u);
    for (const char* extract : {"unzip -q ../k.zip", "7z x -bd ../k.zip > /dev/null", "kelp"}) {
        SCOPED_TRACE(extract);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        auto run = std::string(extract) == "kelp" ? Kelp("extract k.zip -d out")
                                                  : Shell("cd out && " + std::string(extract));
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(Listing(dir / "out/src"), expected);
    }
}

TEST_F(RoundTrip, LinksAreFollowedWithoutYAndFolderEntriesLeftOutWithD) {
    ASSERT_EQ(Kelp("add followed.zip -r src").exitCode, 0);
    ASSERT_EQ(Kelp("extract followed.zip -d out").exitCode, 0);
    EXPECT_FALSE(fs::is_symlink(dir / "out/src/link"));
    EXPECT_EQ(fixtures::ReadFile(dir / "out/src/link"), std::string(5000, 'd'));
    EXPECT_TRUE(fs::is_regular_file(dir / "out/src/bin link/run.sh"));
    EXPECT_TRUE(fs::is_directory(dir / "out/src/sub/empty too"));

    ASSERT_EQ(Kelp("add plain.zip -r -D src").exitCode, 0);
    const std::string names = Names("plain.zip");
    EXPECT_EQ(names.find("/\n"), std::string::npos) << names;
    EXPECT_NE(names.find("src/bin/run.sh\n"), std::string::npos) << names;
}

TEST_F(RoundTrip, FileNamesOnTheCommandLineAreTakenAsTheyAre) {
    std::string args;
    for (const char* name : kOddNames) args += " " + Quote(name);
    auto add =
        fixtures::RunShell("cd " + Quote(dir / "src") + " && " +
                           Quote(fixtures::KelpProgram("kelpzip")) + " add ../n.zip --" + args);
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    std::string expected;
    for (const char* name : kOddNames) expected += std::string(name) + "\n";
    EXPECT_EQ(Names("n.zip"), expected);
    ASSERT_EQ(Kelp("extract n.zip -d out").exitCode, 0);
    for (const char* name : kOddNames)
        EXPECT_EQ(fixtures::ReadFile(dir / ("out/" + std::string(name))), name) << name;
}

}  // namespace
