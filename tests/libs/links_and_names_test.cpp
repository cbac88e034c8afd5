// Symbolic links through both libraries (stored as links, made again only
// where they stay inside the target folder), and freshening a member whose
// name differs only in letter case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "library_calls.h"

namespace fs = std::filesystem;
using fixtures::Extract;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::RunShell;

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
    ASSERT_EQ(RunShell(command).exitCode, 0) << command;
}

std::string LinkAt(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path)) ? fs::read_symlink(path, ec).string() : "";
}

TEST(Links, StoredAsLinksAndMadeAgainInsideTheTarget) {
    fixtures::TempDir tmp;
    fixtures::WriteFile(tmp / "src/data.txt", "data\n");
    fs::create_directories(tmp / "src/sub");
    ASSERT_EQ(symlink("data.txt", (tmp / "src/link").c_str()), 0);
    ASSERT_EQ(symlink("../data.txt", (tmp / "src/sub/up").c_str()), 0);

    for (bool store : {true, false}) {
        const std::string archive = tmp / (store ? "links.zip" : "followed.zip");
        auto add = fixtures::Add(
            archive, {"src"},
            {libtest::AddDirNames, libtest::AddRecurseDirs, libtest::AddSeparateDirs});
        if (store) add.options.Include(libtest::AddStoreLinks);
        libtest::Engine zip;
        ASSERT_EQ(zip.Call(add, tmp.path()), 5) << zip.messages;
        const std::string info = RunShell("unzip -Z " + Quote(archive)).out;
        EXPECT_EQ(info.find("lrwxrwxrwx  3.0 unx        8 bx stor") != std::string::npos, store)
            << info;
        EXPECT_EQ(RunShell("unzip -tq " + Quote(archive)).exitCode, 0);

        const std::string out = tmp / (store ? "out_links" : "out_followed");
        EXPECT_EQ(zip.Call(Extract(archive, out)), 5) << zip.messages;
        EXPECT_EQ(LinkAt(out + "/src/link"), store ? "data.txt" : "");
        EXPECT_EQ(LinkAt(out + "/src/sub/up"), store ? "../data.txt" : "");
        EXPECT_EQ(ReadFile(out + "/src/sub/up"), "data\n");
    }
}

TEST(Links, ThoseLeadingOutOfTheTargetAreRefusedAndNothingIsWrittenThroughOne) {
    fixtures::TempDir tmp;
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
    const std::string out = tmp / "out";
    fs::create_directories(tmp / "outside");
    libtest::Engine zip;
    EXPECT_EQ(zip.Call(Extract(archive, out)), 6) << zip.messages;
    EXPECT_EQ(zip.skipped, (std::set<std::string>{"abs", "up", "dir/deep", "s/x", "t/y", "loop",
                                                  "ok2/through.txt"}))
        << zip.messages;
    EXPECT_NE(zip.messages.find("Error found in abs: the link points to an absolute path"),
              std::string::npos)
        << zip.messages;
    EXPECT_NE(zip.messages.find("Error found in up: the link leads out of the target folder"),
              std::string::npos);
    EXPECT_EQ(LinkAt(out + "/ok"), "dir/file.txt");
    EXPECT_EQ(ReadFile(out + "/dir/ok"), "inside\n");
    EXPECT_EQ(LinkAt(out + "/s/d"), "..");
    for (const char* never : {"abs", "up", "dir/deep", "s/x", "t/y", "loop", "dir/through.txt"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(out + "/" + never))) << never;
    EXPECT_TRUE(fs::is_empty(tmp / "outside"));

    // A link left in the target folder from before is not followed either.
    fs::remove_all(out);
    fs::create_directories(out);
    ASSERT_EQ(symlink((tmp / "outside").c_str(), (out + "/pre").c_str()), 0);
    PythonArchive(archive,
                  {{"via", "pre/x", 'l'}, {"pre/escape.txt", "x", 'f'}, {"pre", "dir", 'l'}});
    zip.skipped.clear();
    EXPECT_EQ(zip.Call(Extract(archive, out, {}, {libtest::ExtrDirNames, libtest::ExtrOverWrite})),
              1)
        << zip.messages;
    EXPECT_EQ(zip.skipped, (std::set<std::string>{"via", "pre/escape.txt"}));
    EXPECT_EQ(LinkAt(out + "/pre"), "dir");  // replaced as a link, not followed
    EXPECT_TRUE(fs::is_empty(tmp / "outside"));
}

// Extract and delete take exact case through the pattern match (its own
// test, and the engine's exact names); freshen finds the file's member by
// its exact name too.
TEST(CaseTwins, FreshenTakesOnlyTheExactName) {
    fixtures::TempDir tmp;
    const std::string archive = tmp / "twins.zip";
    PythonArchive(archive, {{"Readme.txt", "old\n", 'f'}});
    fixtures::WriteFile(tmp / "readme.txt", "new\n");
    libtest::Engine zip;
    const auto fresh = fixtures::Add(archive, {"readme.txt"}, {libtest::AddFreshen});
    EXPECT_EQ(zip.Call(fresh, tmp.path()), 0) << zip.messages;
    EXPECT_EQ(RunShell("unzip -p " + Quote(archive) + " Readme.txt").out, "old\n");
}

}  // namespace
