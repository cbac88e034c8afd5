// kelpzip check on constructions the foreign-archive table does not hold:
// each gets the finding that names it, in plain text and as JSON; an
// archive Kelp wrote gets none.
#include <gtest/gtest.h>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using fixtures::Quote;
using fixtures::RunShell;

struct Construction {
    const char* name;
    const char* python;   // writes sys.argv[1]; `z` is a zipfile.ZipFile open for writing
    const char* finding;  // what check must say
};

const Construction kConstructions[] = {
    {"duplicate_name", "z.writestr('a.txt', 'one'); z.writestr('a.txt', 'two')",
     "a.txt is stored more than once"},
    {"case_twins", "z.writestr('Read.me', 'one'); z.writestr('read.ME', 'two')",
     "read.ME and Read.me differ only in case"},
    {"data_behind_the_end",
     "z.writestr('a.txt', 'one'); z.close(); open(sys.argv[1], 'ab').write(b'x' * 100)",
     "100 bytes follow the end of the archive"},
    {"local_name_differs",
     "z.writestr('good.txt', 'one'); z.close(); d = open(sys.argv[1], 'rb').read();"
     " open(sys.argv[1], 'wb').write(d.replace(b'good.txt', b'evil.txt', 1))",
     "the local header of good.txt names it evil.txt"},
    {"local_crc_differs",
     "z.writestr('a.txt', 'one'); z.close(); d = bytearray(open(sys.argv[1], 'rb').read());"
     " d[14:18] = bytes([1, 2, 3, 4]); open(sys.argv[1], 'wb').write(d)",
     "the local header of a.txt gives CRC 04030201, the directory 7a6c86f1"},
};

class Check : public ::testing::TestWithParam<Construction> {};

TEST_P(Check, NamesTheConstruction) {
    fixtures::TempDir dir;
    const std::string archive = dir / "a.zip";
    const std::string script =
        std::string(
            "import sys, zipfile, warnings\nwarnings.simplefilter('ignore')\n"
            "z = zipfile.ZipFile(sys.argv[1], 'w')\n") +
        GetParam().python + "\nz.close()\n";
    ASSERT_TRUE(fixtures::Succeeds("python3 -c " + Quote(script) + " " + Quote(archive)));
    const std::string kelpzip = Quote(fixtures::KelpProgram("kelpzip"));
    const auto check = RunShell(kelpzip + " check " + Quote(archive));
    EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
    EXPECT_NE(check.out.find(std::string(GetParam().finding) + "\n"), std::string::npos)
        << check.out;
    const auto json = RunShell(kelpzip + " check --json " + Quote(archive));
    EXPECT_NE(json.out.find(std::string("{\"finding\": \"") + GetParam().finding),
              std::string::npos)
        << json.out;
}

std::string Name(const ::testing::TestParamInfo<Construction>& info) {
    return info.param.name;
}
INSTANTIATE_TEST_SUITE_P(Constructions, Check, ::testing::ValuesIn(kConstructions), Name);

TEST(CheckSound, AnArchiveKelpWroteHasNoFinding) {
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "src/a.txt", "alpha");
    fixtures::WriteFile(dir / "src/sub/b.txt", "beta");
    const std::string kelpzip = Quote(fixtures::KelpProgram("kelpzip"));
    ASSERT_TRUE(fixtures::Succeeds("cd " + Quote(dir.path()) + " && " + kelpzip +
                                   " add -r a.zip src -p pw"));
    const auto check = RunShell(kelpzip + " check " + Quote(dir / "a.zip") + " -p pw");
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_EQ(check.out, "No finding: " + (dir / "a.zip") + " is sound\n");
    EXPECT_EQ(RunShell(kelpzip + " check --json " + Quote(dir / "a.zip") + " -p pw").out, "[]\n");
    // Without the password the members cannot be tested: that is a finding.
    EXPECT_EQ(RunShell(kelpzip + " check " + Quote(dir / "a.zip") + " < /dev/null").exitCode, 1);
}

}  // namespace
