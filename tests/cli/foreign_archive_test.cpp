// kelpzip list, test and extract on archives that other tools wrote
// (make_foreign_archives.py) and on archives damaged on purpose. Sound
// archives must come out as the peer tools have them; damaged ones must fail
// with a message, in time, without writing outside the target folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <span>
#include <sstream>
#include <vector>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

enum class Kind {
    Sound,        // lists, tests and extracts exactly as the peers do
    Unsupported,  // a member in a method Kelp does not decode: named, the rest extracts
    Damaged,      // test and extract fail with the message, nothing leaves the target
    Hostile,      // sound data, names that must not be written where they point
};

// Where the expected tree comes from: a peer's extraction, or (for very
// many members) the names and sizes of Python's listing.
enum class Oracle { Unzip, Python, Listing };

struct ForeignCase {
    const char* name;
    Kind kind;
    // Text that test and extract print (damaged, unsupported and hostile
    // cases); for unsupported ones, the member that must not be written
    // follows after a '|'.
    std::string message = "";
    Oracle oracle = Oracle::Unzip;
    const char* password = "";
    // The archive inside the case's folder, for sets of several files;
    // oracleArchive is the joined archive the peers read.
    const char* archive = nullptr;
    const char* oracleArchive = nullptr;
    // Names in the listing as unzip shows them (it reads the Unicode path
    // field); otherwise as Python's zipfile does.
    bool namesFromUnzip = false;
    // Damaged cases: the extraction writes no file at all; or it writes
    // every member as the oracle does.
    bool writesNothing = false;
    bool extractsAll = false;
    // Members to extract, when not all (a few of very many).
    std::vector<std::string> extractOnly = {};
    // Sound archives: what check finds all the same (a self-extractor's program).
    const char* checkFinding = "";
};

void PrintTo(const ForeignCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kArchives = FOREIGN_ARCHIVES_DIR;

// ---- the cases ------------------------------------------------------------

const ForeignCase kWriters[] = {
    {"zip_level0", Kind::Sound},
    {"zip_level1", Kind::Sound},
    {"zip_level6", Kind::Sound},
    {"zip_level9", Kind::Sound},
    {.name = "zip_zipcrypto", .kind = Kind::Sound, .password = "pa ss"},
    {"zip_no_extra_attributes", Kind::Sound},
    {"zip_symlinks_kept", Kind::Sound},
    {"zip_stdin_stream", Kind::Sound},
    {"zip_piped_tree", Kind::Sound},
    // zip stores the UTF-8 bytes unflagged and marks the archive as made on
    // Unix: the names are this system's own (Python reads them as OEM).
    {.name = "zip_non_ascii_names", .kind = Kind::Sound, .namesFromUnzip = true},
    {.name = "zip_self_extractor_raw",
     .kind = Kind::Sound,
     .checkFinding = "the stored offsets do not count the 5000 bytes in front of the archive"},
    {.name = "zip_self_extractor_adjusted",
     .kind = Kind::Sound,
     .checkFinding = "5000 bytes stand in front of the first member"},
    {"comment_cut_short", Kind::Sound},
    {"sevenzip_deflate", Kind::Sound},
    {"sevenzip_deflate_max", Kind::Sound},
    {"sevenzip_copy", Kind::Sound},
    {"sevenzip_bzip2", Kind::Sound},
    {"sevenzip_deflate64", Kind::Sound},
    // unzip does not decode LZMA: Python's zipfile is the oracle.
    {.name = "sevenzip_lzma", .kind = Kind::Sound, .oracle = Oracle::Python},
    {.name = "sevenzip_zipcrypto", .kind = Kind::Sound, .password = "pa ss"},
    {"sevenzip_utf8_flag", Kind::Sound},
    {"bsdtar_default", Kind::Sound},
    {"bsdtar_stored", Kind::Sound},
    {"python_stored", Kind::Sound},
    {"python_deflated", Kind::Sound},
    {"python_bzip2", Kind::Sound},
    {.name = "python_lzma", .kind = Kind::Sound, .oracle = Oracle::Python},
    {"python_force_zip64", Kind::Sound},
    {"python_unseekable_stream", Kind::Sound},
    {"python_utf8_names", Kind::Sound},
    {"python_edge_dates", Kind::Sound},
    {.name = "python_unicode_path_field", .kind = Kind::Sound, .namesFromUnzip = true},
    // A line break is a legal character in a file name here: the member is
    // written under its exact name, as Python writes it (only the listing
    // escapes it).
    {.name = "name_control_character", .kind = Kind::Sound, .oracle = Oracle::Python},
    {"python_unicode_path_stale", Kind::Sound},
    {"directory_out_of_order", Kind::Sound},
    // Writing 65 536 files takes long on a busy disk: the first member and
    // the 65 535th and 65 536th stand for them.
    {.name = "python_many_members",
     .kind = Kind::Sound,
     .oracle = Oracle::Listing,
     .extractOnly = {"m00/00000", "m15/65535", "m15/65534"}},
    // The same past 65 535 without ZIP64 records: the count wrapped to 1.
    {.name = "python_wrapped_count",
     .kind = Kind::Sound,
     .oracle = Oracle::Listing,
     .extractOnly = {"w00/00000", "w16/65536"}},
};

// A set read from the part named, against the joined archive beside it.
ForeignCase Set(const char* name, const char* part, const char* joined) {
    return {.name = name, .kind = Kind::Sound, .archive = part, .oracleArchive = joined};
}
const ForeignCase kSets[] = {
    Set("zip_split_set", "zip_split_set/zip_split_set.zip", "zip_split_set/joined.zip"),
    Set("sevenzip_raw_volumes", "sevenzip_raw_volumes/sevenzip_raw_volumes.zip.001",
        "sevenzip_raw_volumes/joined.zip"),
};

// A member in a method Kelp does not decode: `what` is said of it.
ForeignCase Unsupported(const char* name, const std::string& what) {
    return {name, Kind::Unsupported, what + "|src/sub/numbers.txt"};
}
// A damaged archive from which no file at all is extracted.
ForeignCase WritesNothing(const char* name, const char* message) {
    return {.name = name, .kind = Kind::Damaged, .message = message, .writesNothing = true};
}

const ForeignCase kUnsupported[] = {
    Unsupported("sevenzip_ppmd", "PPMd (method 98)"),
    // The oldest tools' methods are screened out before any decoder sees them.
    Unsupported("method_1", "shrunk (method 1) is not supported, skipped"),
    Unsupported("method_2", "reduced (method 2) is not supported, skipped"),
    Unsupported("method_3", "reduced (method 3) is not supported, skipped"),
    Unsupported("method_4", "reduced (method 4) is not supported, skipped"),
    Unsupported("method_5", "reduced (method 5) is not supported, skipped"),
    Unsupported("method_6", "imploded (method 6) is not supported, skipped"),
    Unsupported("method_7", "tokenized (method 7) is not supported, skipped"),
};

const char kNotZip[] = "not a valid Zip archive";
const char kInvalid[] = "numbers.txt: invalid compressed data";
const char kInflatesPast[] = "numbers.txt: data inflates past its stored size";

const ForeignCase kDamaged[] = {
    // Cut short: the end record is gone with the tail.
    WritesNothing("cut_in_local_header", kNotZip),
    WritesNothing("cut_in_member_data", kNotZip),
    WritesNothing("cut_in_data_descriptor", kNotZip),
    WritesNothing("cut_in_central_directory", kNotZip),
    WritesNothing("cut_in_end_record", kNotZip),
    WritesNothing("cut_in_zip64_end_record", kNotZip),
    // Values in the records that the data contradicts.
    {"crc_lie", Kind::Damaged, "CRC error"},
    {"crc_zero", Kind::Damaged, "numbers.txt: CRC error (found 1cb55ee3, expected 00000000)"},
    {"size_lie_larger", Kind::Damaged, "numbers.txt: data ends before its stored size"},
    {"size_lie_smaller", Kind::Damaged, kInflatesPast},
    {"size_lie_huge", Kind::Damaged, "numbers.txt: data ends before its stored size"},
    {"packed_size_past_end", Kind::Damaged, "past the end"},
    {"stored_size_lie", Kind::Damaged, "stored size"},
    {"deflate_data_damaged", Kind::Damaged, kInvalid},
    {"local_header_overwritten", Kind::Damaged, "local header"},
    // The same faults in Deflate64 data and in data that libraries decode:
    // nothing is written.
    WritesNothing("deflate64_data_damaged", kInvalid),
    WritesNothing("deflate64_size_lie_smaller", kInflatesPast),
    WritesNothing("deflate64_packed_size_smaller", "numbers.txt: compressed data is truncated"),
    WritesNothing("bzip2_data_damaged", kInvalid),
    WritesNothing("bzip2_size_lie_smaller", kInflatesPast),
    WritesNothing("lzma_data_damaged", kInvalid),
    WritesNothing("lzma_size_lie_smaller", kInflatesPast),
    // Counts and offsets pointing outside the file or the directory.
    WritesNothing("central_offset_past_end", "central directory past where it lies"),
    WritesNothing("central_size_past_start", "Seek error"),
    {"local_offset_past_end", Kind::Damaged, "readme.txt: local header is missing"},
    {"entry_count_higher", Kind::Damaged, "central"},
    {.name = "entry_count_lower",
     .kind = Kind::Damaged,
     .message = "central directory",
     .oracle = Oracle::Python,
     .extractsAll = true},
    // Several entries over the same bytes (the zip bomb construction).
    WritesNothing("overlap_same_local_header", "overlap"),
    WritesNothing("overlap_nested_members", "overlap"),
};

const ForeignCase kHostile[] = {
    {"name_dot_dot", Kind::Hostile, "leaves the target folder"},
    {"name_absolute", Kind::Hostile, "absolute path"},
    {"name_backslashes", Kind::Hostile, "leaves the target folder"},
    {"link_pointing_out", Kind::Hostile, "link leads out of the target folder"},
};

// ---- running the tools ------------------------------------------------------

using Entry = fixtures::TreeEntry;
using fixtures::ReadTree;

uint64_t BytesIn(const std::map<std::string, Entry>& tree) {
    uint64_t total = 0;
    for (const auto& [name, e] : tree) total += e.contents.size();
    return total;
}

// ctest makes the archives once before these tests; a run of this program
// on its own makes them when they are missing.
void MakeArchivesIfMissing() {
    if (fs::exists(kArchives + "/done")) return;
    auto made = RunShell(
        "python3 " + Quote(std::string(KELP_SOURCE_DIR) + "/tests/cli/make_foreign_archives.py") +
        " " + Quote(kArchives));
    ASSERT_EQ(made.exitCode, 0) << made.err;
}

class ForeignArchive : public ::testing::TestWithParam<ForeignCase> {
  protected:
    static void SetUpTestSuite() { MakeArchivesIfMissing(); }

    std::string Archive() const {
        const ForeignCase& c = GetParam();
        return kArchives + "/" + (c.archive ? c.archive : std::string(c.name) + ".zip");
    }
    std::string OracleArchive() const {
        const ForeignCase& c = GetParam();
        return c.oracleArchive ? kArchives + "/" + c.oracleArchive : Archive();
    }

    // Runs kelpzip in the case's folder; a run that does not end within
    // the limit counts as hung.
    fixtures::CommandResult Kelp(const std::string& args) {
        auto r = RunShell("cd " + Quote(dir.path()) + " && timeout 60 " +
                          Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
        EXPECT_NE(r.exitCode, 124) << "kelpzip " << args << " did not finish in time";
        EXPECT_LT(r.exitCode, 3) << "kelpzip " << args << " crashed\n" << r.err;
        return r;
    }

    std::string PasswordArg() const {
        const char* pw = GetParam().password;
        return *pw ? " -p " + Quote(pw) : "";
    }

    void ExpectListedLikePeers() {
        auto kelp = Kelp("list --tsv " + Quote(Archive()));
        auto python = RunShell("python3 " +
                               Quote(std::string(KELP_SOURCE_DIR) + "/tests/cli/zipinfo_tsv.py") +
                               " " + Quote(OracleArchive()));
        ASSERT_EQ(python.exitCode, 0) << python.err;
        std::string expected = python.out;
        if (GetParam().namesFromUnzip) {
            // The name column from unzip, the rest from Python.
            auto names = RunShell("unzip -Z1 " + Quote(OracleArchive()));
            expected.clear();
            size_t p = 0, n = 0;
            while (p < python.out.size()) {
                size_t eol = python.out.find('\n', p), tab = python.out.find('\t', p);
                size_t nl = names.out.find('\n', n);
                expected += names.out.substr(n, nl - n) + python.out.substr(tab, eol + 1 - tab);
                p = eol + 1;
                n = nl + 1;
            }
        }
        EXPECT_EQ(kelp.exitCode, 0) << kelp.err;
        EXPECT_EQ(kelp.out, expected);
    }

    // The tree the peer tool extracts.
    std::map<std::string, Entry> OracleTree() {
        const std::string target = dir / "oracle";
        fs::create_directories(target);
        if (GetParam().oracle == Oracle::Listing) {
            // Files only: name and size, with the size standing in for the bytes.
            std::map<std::string, Entry> tree;
            auto python = RunShell(
                "python3 " + Quote(std::string(KELP_SOURCE_DIR) + "/tests/cli/zipinfo_tsv.py") +
                " " + Quote(OracleArchive()));
            std::istringstream lines(python.out);
            for (std::string line; std::getline(lines, line);) {
                std::istringstream fields(line);
                std::string name, packed, size;
                std::getline(fields, name, '\t');
                std::getline(fields, packed, '\t');
                std::getline(fields, size, '\t');
                const auto& only = GetParam().extractOnly;
                if (name.back() == '/' ||
                    (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()))
                    continue;
                tree[name] = {'f', std::string(std::stoul(size), '?')};
            }
            return tree;
        }
        if (GetParam().oracle == Oracle::Python) {
            RunShell(
                "python3 -c \"import sys, zipfile; "
                "zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2], "
                "pwd=sys.argv[3].encode() or None)\" " +
                Quote(OracleArchive()) + " " + Quote(target) + " " + Quote(GetParam().password));
        } else {
            RunShell("unzip -q -o -P " + Quote(GetParam().password) + " " + Quote(OracleArchive()) +
                     " -d " + Quote(target));
        }
        return ReadTree(target);
    }

    void ExpectSameTree(const std::map<std::string, Entry>& expected,
                        const std::map<std::string, Entry>& actual, bool compareTimes) {
        for (const auto& [name, e] : expected) {
            auto it = actual.find(name);
            if (it == actual.end()) {
                ADD_FAILURE() << name << " was not extracted";
                continue;
            }
            EXPECT_EQ(it->second.type, e.type) << name;
            if (GetParam().oracle == Oracle::Listing) {
                EXPECT_EQ(it->second.contents.size(), e.contents.size()) << name;
                continue;
            }
            EXPECT_TRUE(it->second.contents == e.contents) << name << " differs";
            if (compareTimes && e.type == 'f') {
                EXPECT_LE(std::abs(it->second.mtime - e.mtime), 2) << name;
            }
        }
        for (const auto& [name, e] : actual) {
            if (GetParam().oracle == Oracle::Listing && e.type == 'd') continue;
            EXPECT_TRUE(expected.count(name))
                << name << " was extracted but the peer has no such file";
        }
    }

    // Extracts into sandbox/out; checks that nothing else appeared in the
    // sandbox and returns the tree written.
    std::map<std::string, Entry> ExtractInSandbox(fixtures::CommandResult& result) {
        fs::create_directories(dir / "sandbox");
        std::string members;
        for (const std::string& m : GetParam().extractOnly) members += " " + Quote(m);
        result = Kelp("extract " + Quote(Archive()) + " -d " + Quote(dir / "sandbox/out") + " -o" +
                      PasswordArg() + members);
        for (const auto& e : fs::directory_iterator(dir / "sandbox"))
            EXPECT_EQ(e.path().filename(), "out") << "written outside the target folder";
        return ReadTree(dir / "sandbox/out");
    }

    fixtures::TempDir dir;
};

TEST_P(ForeignArchive, BehavesAsThePeersDo) {
    const ForeignCase& c = GetParam();
    ASSERT_TRUE(fs::exists(Archive())) << Archive() << " was not made";
    const std::string message = c.message.substr(0, c.message.find('|'));
    fixtures::CommandResult extract;

    switch (c.kind) {
        case Kind::Sound: {
            ExpectListedLikePeers();
            auto test = Kelp("test " + Quote(Archive()) + PasswordArg());
            EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
            EXPECT_EQ(test.out.find("Error found"), std::string::npos) << test.out;
            EXPECT_NE(test.out.find(" tested in "), std::string::npos) << test.out;
            auto tree = ExtractInSandbox(extract);
            EXPECT_EQ(extract.exitCode, 0) << extract.out << extract.err;
            ExpectSameTree(OracleTree(), tree, c.oracle == Oracle::Unzip);
            break;
        }
        case Kind::Unsupported: {
            ExpectListedLikePeers();
            const std::string member = c.message.substr(c.message.find('|') + 1);
            auto test = Kelp("test " + Quote(Archive()));
            EXPECT_EQ(test.exitCode, 1);
            EXPECT_NE((test.out + test.err).find(message), std::string::npos)
                << test.out << test.err;
            auto tree = ExtractInSandbox(extract);
            EXPECT_EQ(extract.exitCode, 1);
            EXPECT_NE((extract.out + extract.err).find(message), std::string::npos) << extract.out;
            EXPECT_FALSE(tree.count(member)) << member << " was written";
            // The peer makes the member's folders, Kelp needs not.
            auto expected = OracleTree();
            for (fs::path p = member; !p.empty(); p = p.parent_path()) {
                expected.erase(p.string());
                tree.erase(p.string());
            }
            ExpectSameTree(expected, tree, true);
            break;
        }
        case Kind::Damaged: {
            auto test = Kelp("test " + Quote(Archive()));
            EXPECT_EQ(test.exitCode, 1) << test.out << test.err;
            EXPECT_EQ(test.out.find("No Errors Found"), std::string::npos) << test.out;
            EXPECT_NE((test.out + test.err).find(message), std::string::npos)
                << test.out << test.err;
            auto tree = ExtractInSandbox(extract);
            EXPECT_EQ(extract.exitCode, 1) << extract.out << extract.err;
            EXPECT_NE((extract.out + extract.err).find(message), std::string::npos)
                << extract.out << extract.err;
            // Never more than the archive's members hold (the largest is
            // about 110 KB): a lie or an overlap inflates nothing extra.
            EXPECT_LT(BytesIn(tree), 1u << 20);
            size_t files = 0;
            for (const auto& [name, e] : tree) files += e.type == 'f';
            if (c.writesNothing) {
                EXPECT_EQ(files, 0u);
            }
            if (c.extractsAll) ExpectSameTree(OracleTree(), tree, false);
            break;
        }
        case Kind::Hostile: {
            std::error_code ec;
            fs::remove("/tmp/kelp-foreign-absolute.txt", ec);
            auto tree = ExtractInSandbox(extract);
            EXPECT_EQ(extract.exitCode, 1) << extract.out << extract.err;
            EXPECT_NE((extract.out + extract.err).find(message), std::string::npos)
                << extract.out << extract.err;
            EXPECT_FALSE(fs::exists("/tmp/kelp-foreign-absolute.txt"));
            ASSERT_TRUE(tree.count("safe.txt")) << "the sound member was not extracted";
            EXPECT_EQ(tree.at("safe.txt").contents, "safe");
            break;
        }
    }

    // check: no finding on a sound archive (but the program in front of a
    // self-extractor); on every other one a finding that names the problem.
    const auto check = Kelp("check " + Quote(Archive()) + PasswordArg());
    const std::string expected = c.kind == Kind::Sound ? c.checkFinding : message;
    if (expected.empty()) {
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_NE(check.out.find("No finding"), std::string::npos) << check.out;
    } else {
        EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
        EXPECT_NE(check.out.find(expected), std::string::npos) << check.out << check.err;
    }
}

std::string CaseName(const ::testing::TestParamInfo<ForeignCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Writers, ForeignArchive, ::testing::ValuesIn(kWriters), CaseName);
INSTANTIATE_TEST_SUITE_P(Sets, ForeignArchive, ::testing::ValuesIn(kSets), CaseName);
INSTANTIATE_TEST_SUITE_P(Unsupported, ForeignArchive, ::testing::ValuesIn(kUnsupported), CaseName);
INSTANTIATE_TEST_SUITE_P(Damaged, ForeignArchive, ::testing::ValuesIn(kDamaged), CaseName);
INSTANTIATE_TEST_SUITE_P(Hostile, ForeignArchive, ::testing::ValuesIn(kHostile), CaseName);

// Copies of an archive whose count wrapped keep every member: a
// self-extractor (whose member offsets all move) and a set of parts.
TEST(ForeignArchiveSuite, WrappedCountArchiveIsCopiedWhole) {
    MakeArchivesIfMissing();
    fixtures::TempDir dir;
    const std::string kelpzip = Quote(fixtures::KelpProgram("kelpzip"));
    fs::copy_file(kArchives + "/python_wrapped_count.zip", dir / "w.zip");
    ASSERT_EQ(RunShell(kelpzip + " makeexe " + Quote(dir / "w.zip")).exitCode, 0);
    EXPECT_TRUE(fixtures::Succeeds("unzip -tq " + Quote(dir / "w.exe")));

    fs::create_directories(dir / "parts");
    ASSERT_TRUE(fixtures::Succeeds(kelpzip + " span " +
                                   Quote(kArchives + "/python_wrapped_count.zip") + " " +
                                   Quote(dir / "parts/set.zip") + " --volume-size 2000000"));
    std::vector<std::string> parts;
    for (const auto& e : fs::directory_iterator(dir / "parts")) parts.push_back(e.path());
    std::sort(parts.begin(), parts.end());
    ASSERT_GE(parts.size(), 2u);
    const auto test = RunShell(kelpzip + " test " + Quote(parts.back()));
    EXPECT_EQ(test.exitCode, 0) << test.err;
    EXPECT_NE(test.out.find("No Errors Found: 65537 members tested"), std::string::npos)
        << test.out;
}

// Every archive the generator writes has a case here, and the reverse.
TEST(ForeignArchiveSuite, EveryGeneratedArchiveHasACase) {
    MakeArchivesIfMissing();
    std::vector<std::string> known;
    using Table = std::span<const ForeignCase>;
    for (Table table :
         {Table(kWriters), Table(kSets), Table(kUnsupported), Table(kDamaged), Table(kHostile)})
        for (const ForeignCase& c : table) known.push_back(c.name);
    std::string listed = fixtures::ReadFile(kArchives + "/cases.txt");
    size_t count = 0;
    for (size_t p = 0; p < listed.size(); ++count) {
        size_t eol = listed.find('\n', p);
        const std::string name = listed.substr(p, eol - p);
        EXPECT_NE(std::find(known.begin(), known.end(), name), known.end())
            << name << " has no case";
        p = eol + 1;
    }
    EXPECT_EQ(count, known.size());
}

}  // namespace
