// Operations run from request values against real archives and the real
// libraries: what each kind leaves on disk, and each refusal of Check with
// its message and nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <variant>

#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/request_values.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kelp::engine::MsgId::Id;
using namespace kelp::engine;  // the request types
using fixtures::Extract;
using Request =
    std::variant<ExtractRequest, AddRequest, DeleteRequest, SpanRequest, SfxRequest, RenameRequest,
                 RepairRequest, JoinRequest, SfxToZipRequest, CommentRequest>;

std::string Listing(const fs::path& archive) {
    return fixtures::RunShell("unzip -Z1 " + fixtures::Quote(archive)).out;
}

// Names a pattern or a folded comparison would confuse; each member holds
// its own name.
const std::vector<std::string> kNames = {"a*.txt",   "abc.txt", "[ab].txt", "Case.txt",
                                         "case.txt", "f/",      "f/in.txt", "f2/x.txt"};

// Paths are relative to the current folder, which holds a.zip (kNames), b.exe
// (a copy of it), src/ (r.bin of 150 000 random bytes, t.txt) and tmp/.
using Check = std::function<void(const fs::path& dir, const ZipEngine& zip)>;
struct Row {
    const char* name;
    Request request;
    std::optional<Id> refusal;
    Check check = {};                   // the result, for a request that is not refused
    std::optional<Request> first = {};  // run (and succeeding) before
};

// An add of `sources`: the fields named here set, the rest as the type has them.
AddRequest Adding(std::string archive, std::vector<AddSource> sources, AddOpts options = {},
                  VolumeSizes volumes = {}) {
    AddRequest r;
    r.archive = std::move(archive);
    r.sources = std::move(sources);
    r.options = options;
    r.volumes = volumes;
    return r;
}

AddRequest Spanned(const std::string& archive, VolumeSizes sizes, AddOpts options = {AddDiskSpan}) {
    return Adding(archive, {{"src", true, std::nullopt}}, options, sizes);
}

const std::vector<AddSource> kText = {{"src/t.txt", false, std::nullopt}};

const Row kRows[] = {
    {"extract all into a folder made for it", Extract("a.zip", "out/new"), std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         for (const std::string& name : kNames)
             EXPECT_TRUE(name.back() == '/' || fixtures::ReadFile(dir / "out/new" / name) == name)
                 << name;
     }},
    {"extract by exact names, a folder's with what lies under it",
     Extract("a.zip", "out", {"a*.txt", "[ab].txt", "case.txt", "f/"}, {ExtrDirNames}, true),
     std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_EQ(fixtures::FilesBelow(dir / "out"),
                   (std::set<std::string>{"[ab].txt", "a*.txt", "case.txt", "f/in.txt"}));
     }},
    {"extract from a set joins it and removes the joined copy", Extract("set002.zip", "out"),
     std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_EQ(fixtures::ReadFile(dir / "out/r.bin"), fixtures::ReadFile(dir / "src/r.bin"));
         EXPECT_TRUE(fs::is_empty(dir / "tmp"));
     },
     Spanned("set.zip", {100000, 0, 1000})},
    {"test by a pattern takes every member it matches and makes no folder",
     Extract("a.zip", "out", {"a*.txt"}, {ExtrTest}), std::nullopt,
     [](const fs::path& dir, const ZipEngine& zip) {
         EXPECT_EQ(zip.SuccessCount(), 2);  // a*.txt and abc.txt
         EXPECT_FALSE(fs::exists(dir / "out"));
     }},
    {"add makes the archive", Adding("new.zip", kText), std::nullopt,
     [](const fs::path& dir, const ZipEngine&) { EXPECT_EQ(Listing(dir / "new.zip"), "t.txt\n"); }},
    {"add to a new program writes the self-extractor with its settings first",
     [] {
         AddRequest r = Adding("new.exe", kText);
         r.sfx.caption = "Own caption";
         return r;
     }(),
     std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_EQ(Listing(dir / "new.exe"), "t.txt\n");
         EXPECT_NE(fixtures::ReadFile(dir / "new.exe").find("Own caption"), std::string::npos);
     }},
    {"spanned add writes parts and leaves no temporary archive",
     Spanned("set.zip", {100000, 0, 1000}), std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_TRUE(fs::exists(dir / "set002.zip"));
         EXPECT_TRUE(fs::is_empty(dir / "tmp"));
     }},
    {"delete by exact names, a folder's with what lies under it",
     DeleteRequest{"a.zip", {"a*.txt", "Case.txt", "f/"}, true}, std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_EQ(Listing(dir / "a.zip"), "abc.txt\n[ab].txt\ncase.txt\nf2/x.txt\n");
     }},
    {"span copies the archive into parts", SpanRequest{"a.zip", "copy.zip", {100000, 0, 1000}},
     std::nullopt,
     [](const fs::path& dir, const ZipEngine&) { EXPECT_TRUE(fs::exists(dir / "copy001.zip")); }},
    {"self-extractor takes the archive's place", SfxRequest{"a.zip", {}}, std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_FALSE(fs::exists(dir / "a.zip"));
         EXPECT_EQ(fixtures::RunShell("unzip -tq " + fixtures::Quote(dir / "a.exe")).exitCode, 0);
     }},
    {"self-extractor back to an archive", SfxToZipRequest{"a.exe"}, std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_FALSE(fs::exists(dir / "a.exe"));
         EXPECT_EQ(Listing(dir / "a.zip"), Listing(dir / "b.exe"));  // b.exe: a.zip as it was
     },
     SfxRequest{"a.zip", {}}},
    {"rename a member and a folder with what lies under it",
     RenameRequest{"a.zip", {{"Case.txt", "CASE.txt"}, {"f/", "g/"}}}, std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_EQ(Listing(dir / "a.zip"),
                   "a*.txt\nabc.txt\n[ab].txt\nCASE.txt\ncase.txt\ng/\ng/in.txt\nf2/x.txt\n");
     }},
    {"repair copies every sound member", RepairRequest{"a.zip", "fixed.zip", {}}, std::nullopt,
     [](const fs::path& dir, const ZipEngine& zip) {
         EXPECT_EQ(zip.SuccessCount(), 8);
         EXPECT_EQ(Listing(dir / "fixed.zip"), Listing(dir / "a.zip"));
     }},
    {"join the parts of a spanned add", JoinRequest{"set002.zip", "joined.zip"}, std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_TRUE(fixtures::Succeeds("unzip -tq " + fixtures::Quote(dir / "joined.zip")));
         EXPECT_EQ(Listing(dir / "joined.zip"), "r.bin\nt.txt\n");
     },
     Spanned("set.zip", {100000, 0, 1000})},
    {"comment written behind the end record", CommentRequest{"a.zip", "note"}, std::nullopt,
     [](const fs::path& dir, const ZipEngine&) {
         EXPECT_EQ(fixtures::RunShell("unzip -zq " + fixtures::Quote(dir / "a.zip")).out, "note\n");
     }},
    {"self-extractor of a program", SfxRequest{"b.exe", {}}, Id::InputNotZip},
    {"self-extractor back from an archive", SfxToZipRequest{"a.zip"}, Id::InputNotExe},
    {"self-extractor back from no program", SfxToZipRequest{"none.exe"}, Id::NoExeFile},
    {"rename nothing", RenameRequest{"a.zip", {}}, Id::NoFilesToRename},
    {"repair onto itself", RepairRequest{"a.zip", "./a.zip", {}}, Id::RepairOntoItself},
    {"join into no file",
     JoinRequest{"set002.zip", ""},
     Id::OutputCreateFailed,
     {},
     Spanned("set.zip", {100000, 0, 1000})},
    {"comment of no archive", CommentRequest{"none.zip", "note"}, Id::ZipOpenFailed},
    {"extract from no archive", Extract("none.zip", ""), Id::NoZipFile},
    {"extract below a file", Extract("a.zip", "src/t.txt/below"), Id::ExtractFolderCannotBeMade},
    {"add nothing", Adding("new.zip", {}), Id::NoFilesToAdd},
    {"add without an archive name", Adding("", kText), Id::NoZipFile},
    {"freshen a spanned set", Spanned("set.zip", {}, {AddDiskSpan, AddFreshen}),
     Id::SpannedFreshenUpdate},
    {"span a self-extractor", Spanned("set.exe", {}), Id::SfxCannotSpan},
    {"spanned add with parts too small", Spanned("set.zip", {70000, 10000, 65536}),
     Id::VolumeSizeTooSmall},
    {"delete nothing", DeleteRequest{"a.zip", {}, false}, Id::NoFilesToDelete},
    {"delete from no archive", DeleteRequest{"none.zip", {"b.bin"}, false}, Id::NoZipFile},
    {"span into parts too small", SpanRequest{"a.zip", "copy.zip", {1000, 0, 65536}},
     Id::VolumeSizeTooSmall},
};

TEST(Requests, EachKindRunsFromItsValueAndEachRefusalWritesNothing) {
    const fs::path saved = fs::current_path();
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        fixtures::TempDir dir;
        fixtures::ArchiveBuilder builder;
        for (const std::string& n : kNames) builder.Add(n, n.back() == '/' ? "" : n);
        fixtures::WriteFile(dir / "a.zip", builder.Build());
        fixtures::WriteFile(dir / "b.exe", builder.Build());
        for (const char* folder : {"src", "tmp"}) fs::create_directories(dir / folder);
        fixtures::RunShell("head -c 150000 /dev/urandom > " + fixtures::Quote(dir / "src/r.bin"));
        fixtures::WriteFile(dir / "src/t.txt", "text");
        fs::current_path(dir.path());
        fixtures::RecordingHostUi host;
        ZipEngine zip;
        zip.SetHostUi(&host);
        zip.TempDir = dir / "tmp";
        zip.HowToDelete = htdFinal;
        std::vector<std::string> logged;
        zip.OnMessage = [&](int, const std::string& text) { logged.push_back(text); };
        auto run = [&](const Request& request) {
            return std::visit(
                [&](const auto& r) {
                    if constexpr (std::is_same_v<decltype(zip.Run(r)), int>)
                        return zip.Run(r) == 0;
                    else
                        return zip.Run(r);
                },
                request);
        };
        EXPECT_TRUE(!row.first || run(*row.first));
        logged.clear();
        const auto before = fixtures::FilesBelow(dir.path());
        EXPECT_EQ(std::visit([](const auto& r) { return r.Check(); }, row.request), row.refusal);
        const bool ran = run(row.request);
        if (row.refusal) {
            EXPECT_FALSE(ran);
            ASSERT_FALSE(logged.empty());
            EXPECT_EQ(logged.front().rfind(LookupMessage(*row.refusal, "?"), 0), 0u)
                << logged.front();
            EXPECT_EQ(fixtures::FilesBelow(dir.path()), before);
        } else {
            EXPECT_TRUE(ran);
            EXPECT_EQ(zip.ErrorsReported(), 0) << (logged.empty() ? "" : logged.back());
            EXPECT_EQ(fs::current_path(), dir.path());
            row.check(dir.path(), zip);
        }
        fs::current_path(saved);
    }
}

}  // namespace
