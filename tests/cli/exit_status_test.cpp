// kelpzip's exit status and where its messages go.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"
#include "tests/fixtures/archive_builder.h"

namespace {

using fixtures::Quote;
using fixtures::RunShell;

const std::string& Kelpzip() {
    static const std::string path = Quote(fixtures::KelpProgram("kelpzip"));
    return path;
}

TEST(KelpzipExit, UsageErrorsGiveTwo) {
    EXPECT_EQ(RunShell(Kelpzip()).exitCode, 2);
    EXPECT_EQ(RunShell(Kelpzip() + " frobnicate x.zip").exitCode, 2);
    EXPECT_EQ(RunShell(Kelpzip() + " list").exitCode, 2);
    EXPECT_EQ(RunShell(Kelpzip() + " list --bogus a.zip").exitCode, 2);
    EXPECT_EQ(RunShell(Kelpzip() + " comment a.zip --set").exitCode, 2);
}

TEST(KelpzipExit, AnEmptyMemberArgumentIsRefusedAndTouchesNothing) {
    // It would otherwise select no member, or every one.
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "a.zip", fixtures::ArchiveBuilder().Add("a", "1").Add("b", "2").Build());
    const auto extract = RunShell("cd " + Quote(dir.path()) + " && " + Kelpzip() + " extract a.zip ''");
    EXPECT_EQ(extract.exitCode, 2);
    EXPECT_NE(extract.err.find("a member argument is empty"), std::string::npos) << extract.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    const auto del = RunShell(Kelpzip() + " delete " + Quote(dir / "a.zip") + " b ''");
    EXPECT_EQ(del.exitCode, 2);
    EXPECT_EQ(RunShell("unzip -Z1 " + Quote(dir / "a.zip")).out, "a\nb\n");
    // The help says that member arguments are patterns.
    EXPECT_NE(RunShell(Kelpzip() + " --help").out.find("MEMBER arguments are patterns"), std::string::npos);
}

TEST(KelpzipExit, EngineErrorsGiveOneAndGoToStandardError) {
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "junk.zip", std::string(100, 'j'));
    auto junk = RunShell(Kelpzip() + " list --tsv " + Quote(dir / "junk.zip"));
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_EQ(junk.out, "");
    EXPECT_EQ(junk.err, "This archive is not a valid Zip archive\n");

    auto missing = RunShell(Kelpzip() + " list " + Quote(dir / "missing.zip"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no such archive"), std::string::npos);

    // Garbage behind the archive is a warning only.
    fixtures::WriteFile(dir / "warn.zip", fixtures::ArchiveBuilder().Add("a", "b").Build() + "zz");
    auto warn = RunShell(Kelpzip() + " list --tsv " + Quote(dir / "warn.zip"));
    EXPECT_EQ(warn.exitCode, 0);
    EXPECT_EQ(warn.err, "Warning - Garbage at the end of the zipfile!\n");
    EXPECT_EQ(warn.out.substr(0, 2), "a\t");
}

TEST(KelpzipExit, ReadableTableNamesEveryMemberAndTheTotal) {
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "t.zip",
                        fixtures::ArchiveBuilder().Add("one.txt", "1111").Add("two/", "").Comment("hi").Build());
    auto table = RunShell(Kelpzip() + " list " + Quote(dir / "t.zip"));
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_NE(table.out.find("hi\n"), std::string::npos);
    EXPECT_NE(table.out.find("one.txt\n"), std::string::npos);
    EXPECT_NE(table.out.find("two/\n"), std::string::npos);
    EXPECT_NE(table.out.find("2 files"), std::string::npos);
}

}  // namespace
