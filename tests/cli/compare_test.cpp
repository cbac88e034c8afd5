// kelpzip compare against zipcmp: the same verdict on a generated set of
// pairs (archives, and archives against folders), and the differences named.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

// Python that writes archive sys.argv[1] from a base set of members, changed
// by the line given.
constexpr const char* kMaker = R"(import sys, zipfile
m = {'docs/': b'', 'docs/a.txt': b'alpha' * 50, 'b.bin': bytes(range(256)), 'c.txt': b'gamma'}
t = {n: (2020, 5, 6, 7, 8, 10) for n in m}
order = list(m)
exec(sys.argv[2])
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for n in order:
        if n in m: z.writestr(zipfile.ZipInfo(n, t[n]), m[n])
)";

struct Pair {
    const char* name;
    const char* change;    // Python run on the base set for B
    const char* expected;  // kelpzip's lines of differences
};

const Pair kPairs[] = {
    {"same", "", ""},
    {"same_members_in_another_order", "order.reverse()", ""},
    {"one_byte_changed", "m['b.bin'] = bytes(range(255)) + b'x'",
     "changed: b.bin (CRC 29058c73 -> 5ad99af0)\n"},
    {"size_changed", "m['c.txt'] = b'gamma!'",
     "changed: c.txt (size 5 -> 6, CRC c443d071 -> b9adfda9)\n"},
    {"renamed", "m['d.txt'] = m.pop('c.txt'); t['d.txt'] = t['c.txt']; order.append('d.txt')",
     "removed: c.txt\nadded: d.txt\n"},
    {"added", "m['e.txt'] = b'e'; t['e.txt'] = t['c.txt']; order.append('e.txt')",
     "added: e.txt\n"},
    {"removed", "del m['docs/a.txt']", "removed: docs/a.txt\n"},
    {"case_differs", "m['C.txt'] = m.pop('c.txt'); t['C.txt'] = t['c.txt']; order.append('C.txt')",
     "added: C.txt\nremoved: c.txt\n"},
    {"time_changed", "t['c.txt'] = (2021, 1, 1, 0, 0, 0)", ""},
};

void PrintTo(const Pair& p, std::ostream* os) {
    *os << p.name;
}

class Compare : public ::testing::TestWithParam<Pair> {
  protected:
    std::string Make(const std::string& name, const std::string& change) {
        EXPECT_TRUE(fixtures::Succeeds("python3 -c " + Quote(kMaker) + " " + Quote(dir / name) +
                                       " " + Quote(change)));
        return dir / name;
    }
    fixtures::CommandResult Kelpzip(const std::string& args) {
        return RunShell(Quote(fixtures::KelpProgram("kelpzip")) + " compare " + args);
    }
    // kelpzip's lines without its summary.
    static std::string Differences(const std::string& out) {
        const size_t summary = out.rfind('\n', out.size() - 2);
        return summary == std::string::npos ? "" : out.substr(0, summary + 1);
    }
    fixtures::TempDir dir;
};

TEST_P(Compare, AgreesWithZipcmpAndNamesTheDifferences) {
    const std::string a = Make("a.zip", ""), b = Make("b.zip", GetParam().change);
    const auto kelp = Kelpzip(Quote(a) + " " + Quote(b));
    const int zipcmp = RunShell("zipcmp -q " + Quote(a) + " " + Quote(b)).exitCode;
    EXPECT_EQ(kelp.exitCode, zipcmp) << kelp.out << kelp.err;
    EXPECT_EQ(Differences(kelp.out), GetParam().expected);
    // With times (which zipcmp never compares) only the time pair differs further.
    const auto withTimes = Kelpzip("-T " + Quote(a) + " " + Quote(b));
    EXPECT_EQ(withTimes.exitCode, std::string(GetParam().name) == "time_changed" ? 1 : zipcmp)
        << withTimes.out;

    // Against the folder B extracts to: a folder has files only, so the
    // folder entry "docs/" is the one difference zipcmp sees too.
    fs::create_directories(dir / "folder");
    RunShell("cd " + Quote(dir / "folder") + " && unzip -q " + Quote(b));
    const auto folder = Kelpzip(Quote(b) + " " + Quote(dir / "folder"));
    EXPECT_EQ(folder.exitCode,
              RunShell("zipcmp -q " + Quote(b) + " " + Quote(dir / "folder")).exitCode);
    EXPECT_EQ(Differences(folder.out), "removed: docs/\n") << folder.out;
}

std::string PairName(const ::testing::TestParamInfo<Pair>& info) {
    return info.param.name;
}
INSTANTIATE_TEST_SUITE_P(Pairs, Compare, ::testing::ValuesIn(kPairs), PairName);

TEST(CompareOutput, JsonListsTheSameDifferencesAndErrorsGiveTwo) {
    fixtures::TempDir dir;
    const std::string maker = "python3 -c " + Quote(kMaker) + " ";
    RunShell(maker + Quote(dir / "a.zip") + " ''");
    RunShell(
        maker + Quote(dir / "b.zip") + " " +
        Quote("m['tab\\there'] = b'x'; t['tab\\there'] = t['c.txt']; order.append('tab\\there')"));
    const std::string kelpzip = Quote(fixtures::KelpProgram("kelpzip")) + " compare ";
    const auto json =
        RunShell(kelpzip + "--json " + Quote(dir / "a.zip") + " " + Quote(dir / "b.zip"));
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.out,
              "[\n {\"change\": \"added\", \"name\": \"tab\\u0009here\", \"fields\": []}\n]\n");
    // The plain form keeps the name on one line.
    const auto plain = RunShell(kelpzip + Quote(dir / "a.zip") + " " + Quote(dir / "b.zip"));
    EXPECT_EQ(plain.out, "added: tab\\there\n1 added, 0 removed, 0 changed, 4 the same\n");
    EXPECT_EQ(RunShell(kelpzip + Quote(dir / "a.zip") + " " + Quote(dir / "missing.zip")).exitCode,
              2);
    EXPECT_EQ(RunShell(kelpzip + Quote(dir / "a.zip")).exitCode, 2);
}

}  // namespace
