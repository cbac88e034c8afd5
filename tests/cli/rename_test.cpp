// kelpzip rename: names change in place, the data bytes never do, and every
// refused rename leaves the archive byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

// Python reading an archive: each member's name, flags and a hash of its
// stored (compressed, encrypted) bytes, one line each.
constexpr const char* kRawData = R"(import hashlib, struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
f = open(sys.argv[1], 'rb')
for i in z.infolist():
    f.seek(i.header_offset)
    n, e = struct.unpack('<HH', f.read(30)[26:30])
    f.seek(i.header_offset + 30 + n + e)
    print(i.filename, hashlib.sha1(f.read(i.compress_size)).hexdigest(), sep='\t')
)";

class Rename : public ::testing::Test {
  protected:
    Rename() {
        fs::create_directories(dir / "src");
        fixtures::WriteFile(dir / "src/zc.txt", "traditional");
        fixtures::WriteFile(dir / "src/aes.txt", "advanced");
        // Deflated, stored and LZMA members, a ZIP64 local field, a folder
        // entry, then members with traditional and AES encryption.
        Shell("python3 -c " +
              Quote("import zipfile,sys\n"
                    "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                    "z.writestr('docs/', b'')\n"
                    "z.writestr('docs/a.txt', b'alpha'*300)\n"
                    "z.writestr('docs/sub/b.txt', b'beta'*300, zipfile.ZIP_STORED)\n"
                    "z.writestr('c.txt', b'gamma'*300, zipfile.ZIP_LZMA)\n"
                    "with z.open('big.txt', 'w', force_zip64=True) as m: m.write(b'zip64'*300)\n"
                    "z.close()\n") +
              " " + Quote(Archive()));
        Shell("cd " + Quote(dir / "src") +
              " && zip -q -P secret ../a.zip zc.txt && 7z a -tzip -bd "
              "-mem=AES256 -psecret ../a.zip aes.txt > /dev/null");
    }
    fixtures::CommandResult Shell(const std::string& command) {
        auto r = RunShell(command);
        EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.out << r.err;
        return r;
    }
    fixtures::CommandResult Kelpzip(const std::string& args) {
        return RunShell(Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
    }
    std::string Archive() const { return dir / "a.zip"; }
    // Member name to the hash of its stored bytes.
    std::map<std::string, std::string> RawData() {
        std::map<std::string, std::string> data;
        std::istringstream lines(
            Shell("python3 -c " + Quote(kRawData) + " " + Quote(Archive())).out);
        for (std::string line; std::getline(lines, line);)
            data[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
        return data;
    }
    void ExpectPeersAccept() {
        // unzip passes over AES and LZMA members (status 81); 7z reads them all.
        const auto unzip = RunShell("unzip -tq -P secret " + Quote(Archive()));
        EXPECT_TRUE(unzip.exitCode == 0 || unzip.exitCode == 81) << unzip.out;
        EXPECT_NE(unzip.out.find("No errors detected"), std::string::npos) << unzip.out;
        Shell("7z t -psecret " + Quote(Archive()) + " > /dev/null");
    }

    fixtures::TempDir dir;
};

TEST_F(Rename, MembersAndFoldersGetNewNamesWithTheirDataBytesUnchanged) {
    auto before = RawData();
    ASSERT_EQ(before.size(), 7u);
    const std::pair<std::string, std::string> renames[] = {{"c.txt", "Grüße/c.txt"},
                                                           {"docs", "papers"},
                                                           {"zc.txt", "secret.txt"},
                                                           {"aes.txt", "sealed.txt"},
                                                           {"big.txt", "large.txt"}};
    for (const auto& [from, to] : renames) {
        const auto r = Kelpzip("rename " + Quote(Archive()) + " " + Quote(from) + " " + Quote(to));
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    std::map<std::string, std::string> expected;
    for (const auto& [oldName, hash] : before) {
        std::string name = oldName;
        for (const auto& [from, to] : renames)
            if (name == from) name = to;
        if (name.starts_with("docs/")) name = "papers/" + name.substr(5);
        expected[name] = hash;
    }
    EXPECT_EQ(RawData(), expected);
    ExpectPeersAccept();
    // The encrypted members still open with their password.
    EXPECT_EQ(
        Shell("7z x -so -psecret " + Quote(Archive()) + " sealed.txt secret.txt 2>/dev/null").out,
        "advancedtraditional");
    // A non-ASCII name is flagged UTF-8, so every reader sees the same name.
    EXPECT_EQ(Shell("unzip -Z1 " + Quote(Archive()) + " | grep c.txt").out, "Grüße/c.txt\n");
}

TEST_F(Rename, RefusedRenamesLeaveTheArchiveAsItWas) {
    const std::string original = fixtures::ReadFile(Archive());
    const std::pair<std::string, std::string> refused[] = {
        {"c.txt", "docs/a.txt"},  // taken by another member
        {"c.txt", "../c.txt"},    // leaves the target folder
        {"c.txt", "/etc/c.txt"},  // absolute
        {"c.txt", "/"},           // no name left
        {"c.*", "d.txt"},         // names are exact, never patterns
        {"C.TXT", "d.txt"},       // nor folded
    };
    for (const auto& [from, to] : refused) {
        const auto r = Kelpzip("rename " + Quote(Archive()) + " " + Quote(from) + " " + Quote(to));
        EXPECT_EQ(r.exitCode, 1) << from << " -> " << to << "\n" << r.out;
        EXPECT_TRUE(fixtures::ReadFile(Archive()) == original) << from << " -> " << to;
    }
    // A folder whose new place holds members already.
    Shell("cd " + Quote(dir / "src") +
          " && mkdir -p notes && echo n > notes/a.txt && zip -q ../a.zip notes/a.txt");
    const std::string withNotes = fixtures::ReadFile(Archive());
    EXPECT_EQ(Kelpzip("rename " + Quote(Archive()) + " docs notes").exitCode, 1);
    EXPECT_TRUE(fixtures::ReadFile(Archive()) == withNotes);
    EXPECT_EQ(Kelpzip("rename " + Quote(Archive()) + " c.txt ''").exitCode, 2);
}

}  // namespace
