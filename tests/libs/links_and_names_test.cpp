// Symbolic links through both libraries (stored as links, made again only
// where they stay inside the target folder) and member names that differ
// only in letter case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "lib_harness.h"

namespace fs = std::filesystem;
using harness::Quote;
using harness::Shell;
using harness::TempFolder;
using harness::UnzipCall;
using harness::ZipCall;

namespace {

// Writes an archive with Python's zipfile; each member is "name", data and
// its Unix mode ("l" makes a symbolic link, "d" a folder, else a file).
void PythonArchive(const std::string& archive,
                   const std::vector<std::tuple<std::string, std::string, char>>& members) {
    std::string script =
        "import zipfile,sys\n"
        "z=zipfile.ZipFile(sys.argv[1],'w')\n"
        "modes={'l':0o120777,'d':0o40755,'f':0o100644}\n"
        "for n,d,k in zip(sys.argv[2::3],sys.argv[3::3],sys.argv[4::3]):\n"
        " i=zipfile.ZipInfo(n,(2021,3,4,5,6,8)); i.create_system=3\n"
        " i.external_attr=modes[k]<<16|(0x10 if k=='d' else 0)\n"
        " z.writestr(i,d)\n";
    std::string command = "python3 -c " + Quote(script) + " " + Quote(archive);
    for (const auto& [name, data, kind] : members)
        command += " " + Quote(name) + " " + Quote(data) + " " + std::string(1, kind);
    ASSERT_EQ(Shell(command), 0) << command;
}

std::set<std::string> Skipped(const UnzipCall& call) {
    std::set<std::string> names;
    for (const auto& s : call.Actions(KCB_SKIPPED)) names.insert(s.text);
    return names;
}

std::string LinkAt(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path)) ? fs::read_symlink(path, ec).string() : "";
}

TEST(Links, StoredAsLinksAndMadeAgainInsideTheTarget) {
    TempFolder tmp;
    harness::WriteFile(tmp / "src/data.txt", "data\n");
    fs::create_directories(tmp / "src/sub");
    ASSERT_EQ(symlink("data.txt", (tmp / "src/link").c_str()), 0);
    ASSERT_EQ(symlink("../data.txt", (tmp / "src/sub/up").c_str()), 0);

    for (bool store : {true, false}) {
        std::string archive = tmp / (store ? "links.zip" : "followed.zip");
        ZipCall add;
        add.archive = archive;
        add.specs = {"src"};
        add.recurse = true;
        add.separateDirs = true;
        add.storeLinks = store;
        add.currentDir = tmp.path();
        ASSERT_EQ(add.Run(), 5) << add.Messages();
        const std::string info = harness::ZipInfo(archive);
        EXPECT_EQ(info.find("src/link 0 0 3 0o120777 8") != std::string::npos, store) << info;
        EXPECT_EQ(Shell("unzip -tq " + Quote(archive)), 0);

        std::string out = tmp / (store ? "out_links" : "out_followed");
        fs::create_directories(out);
        UnzipCall get;
        get.archive = archive;
        get.targetDir = out;
        EXPECT_EQ(get.Run(), 5) << get.Messages();
        EXPECT_EQ(LinkAt(out + "/src/link"), store ? "data.txt" : "");
        EXPECT_EQ(LinkAt(out + "/src/sub/up"), store ? "../data.txt" : "");
        EXPECT_EQ(harness::ReadFile(out + "/src/sub/up"), "data\n");
    }
}

TEST(Links, ThoseLeadingOutOfTheTargetAreRefusedAndNothingIsWrittenThroughOne) {
    TempFolder tmp;
    std::string archive = tmp / "bad.zip";
    PythonArchive(archive, {
                               {"dir/", "", 'd'},
                               {"dir/file.txt", "inside\n", 'f'},
                               {"ok", "dir/file.txt", 'l'},
                               {"dir/ok", "../dir/./file.txt", 'l'},
                               {"abs", "/etc/passwd", 'l'},
                               {"up", "../outside/x", 'l'},
                               {"dir/deep", "../../outside", 'l'},
                               // s/d leads to the target itself; through it, ".." leaves.
                               {"s/d", "..", 'l'},
                               {"s/x", "d/../outside", 'l'},
                               // "..": after a name that a later link could take over.
                               {"t/y", "later/../../outside", 'l'},
                               {"loop", "loop/../x", 'l'},
                               // A file member below a link that was made.
                               {"ok2", "dir", 'l'},
                               {"ok2/through.txt", "no\n", 'f'},
                           });
    std::string out = tmp / "out";
    fs::create_directories(out);
    fs::create_directories(tmp / "outside");
    UnzipCall call;
    call.archive = archive;
    call.targetDir = out;
    call.Run();
    EXPECT_EQ(call.result, 6) << call.Messages();
    EXPECT_EQ(Skipped(call), (std::set<std::string>{"abs", "up", "dir/deep", "s/x", "t/y", "loop",
                                                    "ok2/through.txt"}))
        << call.Messages();
    EXPECT_NE(call.Messages().find("Error found in abs: the link points to an absolute path"),
              std::string::npos)
        << call.Messages();
    EXPECT_NE(call.Messages().find("Error found in up: the link leads out of the target folder"),
              std::string::npos);
    EXPECT_EQ(LinkAt(out + "/ok"), "dir/file.txt");
    EXPECT_EQ(harness::ReadFile(out + "/dir/ok"), "inside\n");
    EXPECT_EQ(LinkAt(out + "/s/d"), "..");
    for (const char* never : {"abs", "up", "dir/deep", "s/x", "t/y", "loop", "dir/through.txt"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(out + "/" + never))) << never;
    EXPECT_TRUE(fs::is_empty(tmp / "outside"));

    // A link left in the target folder from before is not followed either.
    fs::remove_all(out);
    fs::create_directories(out);
    ASSERT_EQ(symlink((tmp / "outside").c_str(), (out + "/pre").c_str()), 0);
    PythonArchive(archive, {{"via", "pre/x", 'l'}, {"pre", "dir", 'l'}});
    UnzipCall again;
    again.archive = archive;
    again.targetDir = out;
    again.overwrite = true;
    EXPECT_EQ(again.Run(), 1) << again.Messages();
    EXPECT_EQ(Skipped(again), std::set<std::string>{"via"});
    EXPECT_EQ(LinkAt(out + "/pre"), "dir");  // replaced as a link, not followed
    EXPECT_TRUE(fs::is_empty(tmp / "outside"));
}

TEST(CaseTwins, DeleteExtractAndFreshenTakeOnlyTheExactName) {
    TempFolder tmp;
    std::string archive = tmp / "twins.zip";
    PythonArchive(archive, {{"xt_TCPMSS.h", "upper\n", 'f'},
                            {"xt_tcpmss.h", "lower\n", 'f'},
                            {"Readme.txt", "old\n", 'f'}});
    fs::create_directories(tmp / "out");
    UnzipCall get;
    get.archive = archive;
    get.targetDir = tmp / "out";
    get.specs = {"xt_tcpmss.h", "*.TXT"};
    EXPECT_EQ(get.Run(), 1) << get.Messages();
    EXPECT_EQ(harness::FolderNames(tmp / "out"), std::vector<std::string>{"xt_tcpmss.h"});
    EXPECT_EQ(harness::ReadFile(tmp / "out/xt_tcpmss.h"), "lower\n");

    ZipCall del;
    del.archive = archive;
    del.deleteMode = true;
    del.specs = {"xt_TCPMSS.h"};
    EXPECT_EQ(del.Run(), 1) << del.Messages();
    std::string names;
    Shell("unzip -Z1 " + Quote(archive), &names);
    EXPECT_EQ(names, "xt_tcpmss.h\nReadme.txt\n");

    // Freshening readme.txt finds no member of that exact name.
    harness::WriteFile(tmp / "readme.txt", "new\n");
    ZipCall fresh;
    fresh.archive = archive;
    fresh.specs = {"readme.txt"};
    fresh.freshen = true;
    fresh.currentDir = tmp.path();
    EXPECT_EQ(fresh.Run(), 0) << fresh.Messages();
    Shell("unzip -p " + Quote(archive) + " Readme.txt", &names);
    EXPECT_EQ(names, "old\n");
}

}  // namespace
