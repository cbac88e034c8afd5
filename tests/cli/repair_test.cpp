// kelpzip repair over every damage kind on every base archive that
// make_damaged_archives.py writes: which members come back, each byte-exact,
// the lines and exit status, the damaged file unchanged, the new archive
// accepted by unzip -t, and never fewer exact members than zip -FF salvages.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

const std::string kArchives = DAMAGED_ARCHIVES_DIR;
const std::string kScripts = std::string(KELP_SOURCE_DIR) + "/tests/cli/";

constexpr const char* kAll = "alpha.txt beta.bin dir/ dir/delta.txt gamma.txt inner.zip";

struct Damage {
    const char* name;
    const char* recovered;  // the members that come back, in name order
    const char* lost;       // the "Lost: " line, if any
    const char* summary;
};

const Damage kDamages[] = {
    {"cut_data", "alpha.txt beta.bin", "Lost: gamma.txt: data cut short",
     "Recovered 2 of 3 members"},
    {"cut_central", kAll, "", "Recovered 6 of 6 members"},
    {"no_end", kAll, "", "Recovered 6 of 6 members"},
    {"central_zeroed", kAll, "", "Recovered 6 of 6 members"},
    {"flip_data", "alpha.txt beta.bin dir/ dir/delta.txt inner.zip",
     "Lost: gamma.txt: ", "Recovered 5 of 6 members"},
    {"local_sig", kAll, "", "Recovered 6 of 6 members"},
    {"garbage_between", kAll, "", "Recovered 6 of 6 members"},
    {"sfx_prefix", kAll, "", "Recovered 6 of 6 members"},
    {"sfx_and_local_sig", kAll, "", "Recovered 6 of 6 members"},
};
const char* const kBases[] = {"plain", "stream", "zip64", "crypt"};

std::string Lines(const std::string& words) {
    std::istringstream in(words);
    std::string out, word;
    while (in >> word) out += word + "\n";
    return out;
}

// The members of `archive` whose bytes equal the originals, one a line.
fixtures::CommandResult ExactMembers(const std::string& archive, bool lenient) {
    return RunShell("python3 " + Quote(kScripts + "exact_members.py") + " " + Quote(archive) + " " +
                    Quote(kArchives + "/content") + (lenient ? " --lenient" : ""));
}

using Case = std::tuple<const char*, Damage>;
void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

class Repair : public ::testing::TestWithParam<Case> {
  protected:
    static void SetUpTestSuite() {
        if (fs::exists(kArchives + "/done")) return;
        ASSERT_TRUE(fixtures::Succeeds("python3 " + Quote(kScripts + "make_damaged_archives.py") +
                                       " " + Quote(kArchives)));
    }
};

TEST_P(Repair, RecoversEveryMemberThatChecksOut) {
    const auto& [base, damage] = GetParam();
    fixtures::TempDir dir;
    const std::string broken = dir / "broken.zip", fixed = dir / "fixed.zip";
    fs::copy_file(kArchives + "/" + base + "-" + damage.name + ".zip", broken);
    const std::string before = fixtures::ReadFile(broken);

    const auto repair = RunShell(Quote(fixtures::KelpProgram("kelpzip")) + " repair " +
                                 Quote(broken) + " " + Quote(fixed));
    const bool lost = *damage.lost != 0;
    EXPECT_EQ(repair.exitCode, lost ? 1 : 0) << repair.out << repair.err;
    EXPECT_EQ(fixtures::ReadFile(broken), before);
    if (lost)
        EXPECT_NE(repair.out.find(damage.lost), std::string::npos) << repair.out;
    else
        EXPECT_EQ(repair.out.find("Lost: "), std::string::npos) << repair.out;
    EXPECT_NE(repair.out.find(std::string(damage.summary) + " into "), std::string::npos)
        << repair.out;

    const auto exact = ExactMembers(fixed, false);
    EXPECT_EQ(exact.exitCode, 0) << exact.err;
    EXPECT_EQ(exact.out, Lines(damage.recovered));
    EXPECT_TRUE(fixtures::Succeeds("unzip -tqq -P pw " + Quote(fixed)));

    // zip -FF asks questions on some damage; every answer is yes.
    RunShell("cd " + Quote(dir.path()) + " && yes | zip -FF broken.zip --out ff.zip");
    std::istringstream peer(ExactMembers(dir / "ff.zip", true).out);
    for (std::string name; std::getline(peer, name);)
        EXPECT_NE(exact.out.find(name + "\n"), std::string::npos) << "zip -FF salvaged " << name;
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const char* base : kBases)
        for (const Damage& damage : kDamages)
            // Encrypted data cannot be checked without the password: flipped
            // bytes in it go unnoticed (the member is kept unchecked).
            if (std::string(base) != "crypt" || std::string(damage.name) != "flip_data")
                cases.emplace_back(base, damage);
    return cases;
}

std::string Name(const ::testing::TestParamInfo<Case>& info) {
    return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}
INSTANTIATE_TEST_SUITE_P(Damages, Repair, ::testing::ValuesIn(Cases()), Name);

TEST(RepairRefuses, ItsInputAsOutputAndMissingFilesAndSpeaksJson) {
    fixtures::TempDir dir;
    const std::string broken = dir / "broken.zip";
    fs::copy_file(kArchives + "/plain-cut_data.zip", broken);
    const std::string kelpzip = Quote(fixtures::KelpProgram("kelpzip")) + " repair ";
    const std::string before = fixtures::ReadFile(broken);
    EXPECT_EQ(
        RunShell("cd " + Quote(dir.path()) + " && " + kelpzip + "broken.zip ./broken.zip").exitCode,
        2);
    EXPECT_EQ(fixtures::ReadFile(broken), before);
    EXPECT_EQ(RunShell(kelpzip + Quote(dir / "none.zip") + " " + Quote(dir / "out.zip")).exitCode,
              2);
    EXPECT_EQ(RunShell(kelpzip + Quote(broken) + " " + Quote(dir / "no/such/folder.zip")).exitCode,
              2);
    EXPECT_FALSE(fs::exists(dir / "out.zip"));
    const auto json = RunShell(kelpzip + "--json " + Quote(broken) + " " + Quote(dir / "out.zip"));
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_NE(json.out.find("\"lost\": [\"gamma.txt: data cut short\"]"), std::string::npos)
        << json.out;
}

}  // namespace
