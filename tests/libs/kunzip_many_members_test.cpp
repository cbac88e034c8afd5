// Archives of many small members in many folders, the case in which the
// library writes members on several threads ahead of their turn: the result
// must be the one of writing them one by one, in archive order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "library_calls.h"

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;
using libtest::ExtractRequest;

namespace {

// Enough members that the workers run well ahead of the calling thread.
void MakeManyFiles(const std::string& root) {
    for (int d = 0; d < 40; ++d) {
        const std::string folder =
            root + "/d" + std::to_string(d) + (d % 3 ? "/sub" + std::to_string(d % 4) : "");
        for (int f = 0; f < 15; ++f) {
            std::string text;
            for (int i = 0; i < (d * 15 + f) % 97 * 40; ++i) text += std::to_string(i * f) + " ";
            fixtures::WriteFile(folder + "/f" + std::to_string(f) + ".txt", text);
        }
    }
    chmod((root + "/d1/sub1/f3.txt").c_str(), 0750);
    ASSERT_EQ(RunShell("cd " + Quote(root) + " && zip -qr ../a.zip .").exitCode, 0);
}

// Every entry below a folder, files with their mode and time; then the
// differences of contents from `other`.
std::string Tree(const std::string& root, const std::string& other) {
    return RunShell(
               "cd " + Quote(root) +
               " && find . -type f -printf '%p %m %T@\\n' -o -printf '%p\\n' | sort && diff -r . " +
               Quote(other))
        .out;
}

ExtractRequest Extract(const fixtures::TempDir& tmp) {
    return fixtures::Extract(tmp / "a.zip", tmp / "out");
}

TEST(ManyMembers, ExtractLikeUnzipWithTheirTimesAndModes) {
    fixtures::TempDir tmp;
    MakeManyFiles(tmp / "src");
    ASSERT_TRUE(
        fixtures::Succeeds("unzip -q " + Quote(tmp / "a.zip") + " -d " + Quote(tmp / "ref")));
    libtest::Engine zip;
    zip.Call(Extract(tmp));
    EXPECT_NE(zip.messages.find("No Errors Found"), std::string::npos) << zip.messages;
    EXPECT_EQ(Tree(tmp / "out", tmp / "ref"), Tree(tmp / "ref", tmp / "out"));
    struct stat st {};
    ASSERT_EQ(stat((tmp / "out/d1/sub1/f3.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
}

TEST(ManyMembers, CancelLeavesOnlyTheMembersReportedBeforeIt) {
    fixtures::TempDir tmp;
    MakeManyFiles(tmp / "src");
    libtest::Engine zip;
    int starts = 0;
    zip.OnProgress = [&](libtest::ProgressType type, const std::string&, int64_t) {
        if (type == libtest::ptFileStart && ++starts == 150) zip.CancelRequested = true;
    };
    zip.Call(Extract(tmp));
    // It stops at the callback that cancelled and never ends as a clean run.
    EXPECT_EQ(starts, 150);
    EXPECT_NE(zip.messages.find("cancelled"), std::string::npos);
    EXPECT_EQ(zip.messages.find("No Errors Found"), std::string::npos) << zip.messages;
    std::set<std::string> reported;
    std::istringstream lines(zip.messages);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Unzipped: ", 0) == 0 && line.back() != '/')
            reported.insert(line.substr(10));
    EXPECT_GT(reported.size(), 100u);
    EXPECT_LT(reported.size(), 150u);
    // Nothing written ahead of the cancelled member stays, no temporary file either.
    EXPECT_EQ(fixtures::FilesBelow(tmp / "out"), reported);
}
TEST(ManyMembers, RepeatedAndClashingNamesComeOutAsInArchiveOrder) {
    fixtures::TempDir tmp;
    // "dup.txt" twice and a file "clash" that a later member needs as a
    // folder. The first ones are too large to be decoded ahead, and the
    // calling thread is held up in front of them, so the small later ones
    // are decoded (and could be written) long before them.
    const std::string script =
        "import sys, warnings, zipfile\n"
        "warnings.simplefilter('ignore')\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    z.writestr('first.txt', 'first member\\n')\n"
        "    z.writestr('dup.txt', 'first\\n' * 1000000)\n"
        "    z.writestr('clash', 'a file\\n' * 1000000)\n"
        "    for i in range(300):\n"
        "        z.writestr('fill/%d.txt' % i, 'filler %d\\n' % i * 50)\n"
        "    z.writestr('clash/inner.txt', 'inside\\n')\n"
        "    z.writestr('dup.txt', 'second\\n')\n";
    ASSERT_EQ(RunShell("python3 -c " + Quote(script) + " " + Quote(tmp / "a.zip")).exitCode, 0);
    libtest::Engine zip;
    zip.OnProgress = [](libtest::ProgressType type, const std::string& name, int64_t) {
        if (type == libtest::ptFileStart && name == "first.txt")
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    std::vector<std::string> overwritten;
    zip.OnExtractOverwrite = [&](const std::string& name, bool, bool& overwrite) {
        overwritten.push_back(name);
        overwrite = true;
    };
    EXPECT_EQ(zip.Call(Extract(tmp)), 304) << zip.messages;
    EXPECT_EQ(overwritten, std::vector<std::string>{"dup.txt"});
    EXPECT_EQ(fixtures::ReadFile(tmp / "out/dup.txt").substr(0, 10), "second\n");
    ASSERT_TRUE(fs::is_regular_file(tmp / "out/clash"));
    EXPECT_EQ(fs::file_size(tmp / "out/clash"), 7000000u);
    EXPECT_EQ(zip.skipped, std::set<std::string>{"clash/inner.txt"});
}

}  // namespace
