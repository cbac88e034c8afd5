// Members named exactly (ExactNames, Rename): to memory, libraries too old
// to be told so are not called, and names in a code page.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/env_override.h"

namespace {

namespace fs = std::filesystem;

// Names a pattern or a folded comparison would confuse; each member holds
// its own name.
const std::vector<std::string> kNames = {
    "abc.txt",  "a*.txt", "a.txt",    "[ab].txt",       "d\\e.txt", "d/e.txt", "Case.txt",
    "case.txt", "f/",     "f/in.txt", "f/sub/deep.txt", "f2/x.txt", "f.txt"};

class ExactNames : public fixtures::EngineTest {
  protected:
    ExactNames() {
        fixtures::ArchiveBuilder builder;
        for (const std::string& n : kNames) builder.Add(n, n.back() == '/' ? "" : n);
        fixtures::WriteFile(dir / "a.zip", builder.Build());
        zip.setZipFileName(dir / "a.zip");
    }
    std::set<std::string> Listed() {
        zip.List();
        std::set<std::string> names;
        for (const auto& e : zip.DirEntries()) names.emplace(e.MemberName());
        return names;
    }
};

TEST_F(ExactNames, ToMemoryTakesTheNamedMemberEvenWhenAPatternWouldMatchAnEarlierOne) {
    // "abc.txt" comes first and matches "a*.txt" as a pattern; names that
    // differ only in case are different members.
    for (const char* name : {"a*.txt", "case.txt", "Case.txt"}) {
        zip.FSpecArgs = {name};
        zip.ExtractToMemory();
        EXPECT_EQ(zip.SuccessCount(), 1) << name;
        EXPECT_EQ(std::string(zip.ExtractStream().begin(), zip.ExtractStream().end()), name);
    }
    zip.FSpecArgs = {"CASE.TXT"};
    zip.ExtractToMemory();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_TRUE(zip.ExtractStream().empty());
}

TEST_F(ExactNames, OlderLibrariesAreNotCalledWithExactNames) {
    // They would read the names as patterns and take "abc.txt" for "a*.txt".
    fixtures::EnvOverride record("KELP_RECORD_FILE", dir / "record");
    zip.setDLLDirectory(std::string(KELP_LIB_DIR) + "/recording152");
    zip.ExtrOptions = {kelp::engine::ExtrTest};
    zip.FSpecArgs = {"a*.txt"};
    zip.ExactNames = true;
    zip.Extract();
    zip.FSpecArgs = {"a*.txt"};
    zip.ExactNames = true;
    zip.Delete();
    // Nor are they asked to rename: they would add or delete instead.
    zip.Rename({{"a.txt", "b.txt"}});
    EXPECT_FALSE(fs::exists(dir / "record"));
    EXPECT_EQ(
        logged,
        (std::vector<std::string>{
            "Error - your KUNZIP.DLL can not take members by their exact names, "
            "please update to version >= 1.80",
            "Error - your KZIP.DLL can not take members by their exact names, "
            "please update to version >= 1.80",
            "Error - your KZIP.DLL can not rename members, please update to version >= 1.80"}));
    EXPECT_FALSE(zip.ExactNames);
    EXPECT_EQ(Listed().size(), kNames.size());
}

// Names in a code page (CP866, as a Russian Windows writes them): the engine
// and the libraries decide the same names, so the window's exact names find
// their members, with the detected page and with a chosen one.
TEST(ExactCodePageNames, ExtractAndDeleteFindTheMembersTheListingNames) {
    fixtures::TempDir dir;
    fixtures::RecordingHostUi host;
    kelp::engine::ZipEngine zip;
    zip.SetHostUi(&host);
    fixtures::ArchiveBuilder builder;
    for (const std::string& name : {std::string("\x8E\xE2\xE7\xF1\xE2.txt"),  // Отчёт.txt
                                    std::string("\x8F\xA8\xE1\xEC\xAC\xAE.txt")}) {  // Письмо.txt
        fixtures::BuilderMember m;
        m.name = name;
        m.data = name;
        m.host = 0;
        builder.Add(m);
    }
    fixtures::WriteFile(dir / "ru.zip", builder.Build());

    for (const std::string charset : {"", "CP1251"}) {
        SCOPED_TRACE(charset);
        zip.NameCharset = charset;
        zip.setZipFileName(dir / "ru.zip");
        ASSERT_EQ(zip.EntryCount(), 2u);
        const std::string first(zip.DirEntries()[0].MemberName());
        if (charset.empty()) {
            EXPECT_EQ(first, "Отчёт.txt");
        }
        const std::string out = dir / ("out" + charset);
        fs::create_directories(out);
        zip.ExtrBaseDir = out;
        zip.ExtrOptions = {kelp::engine::ExtrDirNames};
        zip.FSpecArgs = {first};
        zip.ExactNames = true;
        zip.Extract();
        EXPECT_EQ(zip.SuccessCount(), 1);
        EXPECT_EQ(fixtures::ReadFile(out + "/" + first), "\x8E\xE2\xE7\xF1\xE2.txt");
    }
    zip.NameCharset.clear();
    zip.List();
    zip.FSpecArgs = {std::string(zip.DirEntries()[1].MemberName())};
    zip.ExactNames = true;
    zip.Delete();
    EXPECT_EQ(zip.SuccessCount(), 1);
    zip.List();
    ASSERT_EQ(zip.EntryCount(), 1u);
    EXPECT_EQ(zip.DirEntries()[0].MemberName(), "Отчёт.txt");
}

}  // namespace
