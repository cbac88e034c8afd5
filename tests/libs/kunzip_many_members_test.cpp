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

#include "lib_harness.h"

namespace fs = std::filesystem;
using harness::Quote;
using harness::Shell;
using harness::TempFolder;
using harness::UnzipCall;

namespace {

// Enough members that the workers run well ahead of the calling thread.
void MakeManyFiles(const std::string& root) {
    for (int d = 0; d < 40; ++d) {
        const std::string folder =
            root + "/d" + std::to_string(d) + (d % 3 ? "/sub" + std::to_string(d % 4) : "");
        for (int f = 0; f < 15; ++f) {
            std::string text;
            for (int i = 0; i < (d * 15 + f) % 97 * 40; ++i) text += std::to_string(i * f) + " ";
            harness::WriteFile(folder + "/f" + std::to_string(f) + ".txt", text);
        }
    }
    chmod((root + "/d1/sub1/f3.txt").c_str(), 0750);
}

std::set<std::string> Unzipped(const UnzipCall& c) {
    std::set<std::string> names;
    std::istringstream lines(c.Messages());
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("Unzipped: ", 0) == 0 && line.back() != '/') names.insert(line.substr(10));
    return names;
}

TEST(ManyMembers, ExtractLikeUnzipWithTheirTimesAndModes) {
    TempFolder tmp;
    MakeManyFiles(tmp / "src");
    ASSERT_EQ(Shell("cd " + Quote(tmp / "src") + " && zip -qr ../a.zip ."), 0);
    ASSERT_EQ(Shell("unzip -q " + Quote(tmp / "a.zip") + " -d " + Quote(tmp / "ref")), 0);
    fs::create_directories(tmp / "out");
    UnzipCall c;
    c.archive = tmp / "a.zip";
    c.targetDir = tmp / "out";
    c.Run();
    EXPECT_NE(c.Messages().find("No Errors Found"), std::string::npos) << c.Messages();
    EXPECT_EQ(harness::CompareTrees(tmp / "ref", tmp / "out"), "");
    struct stat st {};
    ASSERT_EQ(stat((tmp / "out/d1/sub1/f3.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
}

TEST(ManyMembers, CancelLeavesOnlyTheMembersReportedBeforeIt) {
    TempFolder tmp;
    MakeManyFiles(tmp / "src");
    ASSERT_EQ(Shell("cd " + Quote(tmp / "src") + " && zip -qr ../a.zip ."), 0);
    fs::create_directories(tmp / "out");
    UnzipCall c;
    c.archive = tmp / "a.zip";
    c.targetDir = tmp / "out";
    int starts = 0;
    c.answer = [&](KCallbackRecord& r) {
        return r.Action == KCB_FILE_START && ++starts == 150 ? KELP_CALLBACK_CANCEL : 0;
    };
    c.Run();
    // It stops at the callback that cancelled and never ends as a clean run.
    EXPECT_EQ(c.Actions(KCB_FILE_START).size(), 150u);
    EXPECT_NE(c.Messages().find("cancelled"), std::string::npos);
    EXPECT_EQ(c.Messages().find("No Errors Found"), std::string::npos) << c.Messages();
    const std::set<std::string> reported = Unzipped(c);
    EXPECT_GT(reported.size(), 100u);
    EXPECT_LT(reported.size(), 150u);
    // Nothing written ahead of the cancelled member stays, no temporary file either.
    EXPECT_EQ(fixtures::FilesBelow(tmp / "out"), reported);
}

TEST(ManyMembers, RepeatedAndClashingNamesComeOutAsInArchiveOrder) {
    TempFolder tmp;
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
    ASSERT_EQ(Shell("python3 -c " + Quote(script) + " " + Quote(tmp / "a.zip")), 0);
    fs::create_directories(tmp / "out");
    UnzipCall c;
    c.archive = tmp / "a.zip";
    c.targetDir = tmp / "out";
    c.answer = [](KCallbackRecord& r) {
        if (r.Action == KCB_FILE_START && std::string(r.Text) == "first.txt")
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (r.Action == KCB_OVERWRITE) r.Number2 = 1;
        return 0;
    };
    EXPECT_EQ(c.Run(), 304) << c.Messages();
    ASSERT_EQ(c.Actions(KCB_OVERWRITE).size(), 1u);
    EXPECT_EQ(c.Actions(KCB_OVERWRITE)[0].text, "dup.txt");
    EXPECT_EQ(harness::ReadFile(tmp / "out/dup.txt").substr(0, 10), "second\n");
    ASSERT_TRUE(fs::is_regular_file(tmp / "out/clash"));
    EXPECT_EQ(fs::file_size(tmp / "out/clash"), 7000000u);
    ASSERT_EQ(c.Actions(KCB_SKIPPED).size(), 1u);
    EXPECT_EQ(c.Actions(KCB_SKIPPED)[0].text, "clash/inner.txt");
}

}  // namespace
