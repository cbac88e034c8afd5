// Archives made on Windows, names in the code page of the computer that made
// them and no UTF-8 flag (make_codepage_archives.py): kelpzip lists, tests
// and extracts them with the right names and no option, leaves UTF-8 and
// ASCII names as they are, and reads the page named by -O instead.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

struct NameCase {
    std::string archive;
    std::string kind;     // "page", "exact", "utf8", "ascii" or "chosen"
    std::string charset;  // the page written in, or the one -O names
    std::set<std::string> names;
};

std::vector<std::string> Split(const std::string& line, char sep) {
    std::vector<std::string> parts;
    std::stringstream in(line);
    for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
    return parts;
}

std::vector<NameCase> Cases() {
    std::ifstream in(std::string(CODEPAGE_ARCHIVES_DIR) + "/cases.tsv");
    std::vector<NameCase> cases;
    for (std::string line; std::getline(in, line);) {
        auto parts = Split(line, '\t');
        if (parts.size() < 4) continue;
        cases.push_back({parts[0], parts[1], parts[2], {parts.begin() + 3, parts.end()}});
    }
    return cases;
}

std::string Kelpzip(const std::string& verb, const NameCase& c, const std::string& more) {
    const std::string option = c.kind == "chosen" ? " -O " + c.charset : "";
    return Quote(fixtures::KelpProgram("kelpzip")) + " " + verb + option + " " +
           Quote(std::string(CODEPAGE_ARCHIVES_DIR) + "/" + c.archive) + more;
}

// What each verb makes of the names: the listing, the members test names
// (folders too), the tree extract writes (folders with a "/").
struct Seen {
    std::set<std::string> listed, tested, extracted;
    bool ok = true;
};

Seen RunVerbs(const NameCase& c) {
    Seen seen;
    const auto list = RunShell(Kelpzip("list --tsv", c, ""));
    for (const auto& line : Split(list.out, '\n')) seen.listed.insert(Split(line, '\t')[0]);
    const auto test = RunShell(Kelpzip("test", c, ""));
    for (const auto& line : Split(test.out, '\n'))
        if (line.starts_with("Tested: ") && line.ends_with(" OK"))
            seen.tested.insert(line.substr(8, line.size() - 11));
    fixtures::TempDir out;
    const auto extract = RunShell(Kelpzip("extract", c, " -d " + Quote(out.path())));
    for (const auto& e : fs::recursive_directory_iterator(out.path()))
        seen.extracted.insert(fs::relative(e.path(), out.path()).string() +
                              (e.is_directory() ? "/" : ""));
    seen.ok = list.exitCode == 0 && test.exitCode == 0 && extract.exitCode == 0;
    return seen;
}

// The names a listing must hold, and what extraction writes for them
// (folders that only lead to a member appear as folders too).
std::set<std::string> Tree(const std::set<std::string>& names) {
    std::set<std::string> tree;
    for (const auto& name : names)
        for (size_t at = name.find('/'); at != std::string::npos; at = name.find('/', at + 1))
            tree.insert(name.substr(0, at + 1));
    tree.insert(names.begin(), names.end());
    return tree;
}

bool Right(const NameCase& c, const Seen& seen) {
    return seen.ok && seen.listed == c.names && seen.tested == c.names &&
           seen.extracted == Tree(c.names);
}

TEST(CodePageNames, AtLeast95PercentOfWindowsArchivesComeOutRightWithNoOption) {
    size_t right = 0, total = 0;
    std::string wrong;
    for (const auto& c : Cases()) {
        if (c.kind != "page") continue;
        ++total;
        const Seen seen = RunVerbs(c);
        if (Right(c, seen))
            ++right;
        else
            wrong += "\n  " + c.archive + " (" + c.charset +
                     "): " + (seen.listed.empty() ? "" : *seen.listed.begin());
    }
    ASSERT_GE(total, 90u);
    std::printf("%zu of %zu archives right%s\n", right, total, wrong.c_str());
    EXPECT_GE(right * 100, total * 95) << wrong;
}

TEST(CodePageNames, Utf8AndAsciiNamesStayAsTheyAreAndMinusOReadsTheChosenPage) {
    size_t checked = 0;
    for (const auto& c : Cases()) {
        if (c.kind == "page") continue;
        SCOPED_TRACE(c.archive + " " + c.kind + " " + c.charset);
        EXPECT_TRUE(Right(c, RunVerbs(c)));
        ++checked;
    }
    EXPECT_GE(checked, 4u);
}

TEST(CodePageNames, TheUsersLocaleTellsPagesApartThatFitAShortNameAlike) {
    // "Zdjęcie" in CP1250 reads as "Zdjêcie" in CP1252: a Polish locale decides.
    const std::string list =
        " list --tsv " + Quote(std::string(CODEPAGE_ARCHIVES_DIR) + "/cp1250-pl-short0.zip");
    const auto polish =
        RunShell("LC_ALL=pl_PL.UTF-8 " + Quote(fixtures::KelpProgram("kelpzip")) + list);
    EXPECT_EQ(Split(polish.out, '\t')[0], "Zdjęcie.jpg");
}

TEST(CodePageNames, AnUnknownCharsetIsAUsageError) {
    const auto r = RunShell(Quote(fixtures::KelpProgram("kelpzip")) + " list -O NO-SUCH-PAGE " +
                            Quote(std::string(CODEPAGE_ARCHIVES_DIR) + "/ascii.zip"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown character set 'NO-SUCH-PAGE'"), std::string::npos) << r.err;
}

}  // namespace
