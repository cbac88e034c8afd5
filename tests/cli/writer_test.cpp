// kelpzip add, one row a method, level or encryption: each member carries the
// method number, version, flags and AES field its readers look for; the peers
// that decode the method test the archive clean; and unzip, 7z and kelpzip
// extract each give back the tree: empty folders, permission bits, times to
// the odd second, links (-y) and names with shell and line-syntax characters.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/fixtures/folder_test.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;

const char* const kOddNames[] = {"a<b.txt",        "|pipe.txt",   ">gt.txt",
                                 "blank name.txt", "ünïcode.txt", "-dash.txt"};

struct WriterCase {
    const char* name;
    const char* args;      // after "add w.zip -r -y"
    const char* password;  // for the peers and kelpzip extract
    // "method version flags" of compressible members, then of members stored
    // (data that does not shrink, empty files); an AES member adds
    // " aes VERSION STRENGTH METHOD crc CRC" (AE-2 stores no CRC).
    const char* packed;
    const char* stored;
    bool python;  // Python's zipfile decodes it
    bool unzip;   // unzip decodes it (7z decodes every row)
};

void PrintTo(const WriterCase& c, std::ostream* os) {
    *os << c.name;
}

const WriterCase kWriters[] = {
    // Deflate at the default level 9 says "maximum"; LZMA sets its end marker.
    {"deflate", "--method deflate", "", "8 20 2", "0 10 0", true, true},
    {"bzip2", "--method bzip2", "", "12 46 0", "0 10 0", true, true},
    {"lzma", "--method lzma", "", "14 63 2", "0 10 0", true, false},
    {"xz", "--method xz", "", "95 63 0", "0 10 0", false, false},
    {"zstd", "--method zstd", "", "93 63 0", "0 10 0", false, false},
    {"store", "--method store", "", "0 10 0", "0 10 0", true, true},
    {"level0", "--method bzip2 -l 0", "", "0 10 0", "0 10 0", true, true},
    {"zipcrypto", "-p s3cret", "s3cret", "8 20 3", "0 20 1", true, true},
    // AE-2 with 256-bit keys; random data is first deflated, then stored
    // again with fresh keys.
    {"aes256", "-e aes256 -p s3cret", "s3cret", "99 51 3 aes 2 3 8 crc 0",
     "99 51 1 aes 2 3 0 crc 0", false, false},
};

// Prints "name method version flags [aes v s m]" for each member, then the
// first bad member (or None) when asked to test. Bit 3 (sizes in a data
// descriptor, as streamed encrypted members have them) is left out.
const char* const kPythonInfo = R"(import struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    aes, x = "", i.extra
    while len(x) >= 4:
        tag, size = struct.unpack("<HH", x[:4])
        if tag == 0x9901:
            v, _, s, m = struct.unpack("<H2sBH", x[4:11])
            aes = " aes %d %d %d crc %x" % (v, s, m, i.CRC)
        x = x[4 + size:]
    print(i.filename, i.compress_type, i.extract_version, i.flag_bits & ~8, end=aes + "\n")
if sys.argv[2] != "-":
    z.setpassword(sys.argv[2].encode())
    print(z.testzip())
)";

class Writer : public fixtures::FolderTest {
  protected:
    Writer() {
        // Text, random bytes (which no method shrinks), a long run, an empty
        // file, and files past the size compressed whole in memory, so that
        // the streamed path runs too (mostly a run, which every method gets
        // through quickly; and random data).
        std::string text;
        for (int i = 0; text.size() < 200000; ++i)
            text += "line " + std::to_string(i * 7919 % 100003) + " of the text\n";
        const std::string src = dir / "src";
        fixtures::WriteFile(src + "/text.txt", text);
        Shell("head -c 100000 /dev/urandom > src/random.bin");
        fixtures::WriteFile(src + "/run.bin", std::string(300000, '\0'));
        fixtures::WriteFile(src + "/empty.txt", "");
        fixtures::WriteFile(src + "/big/streamed.txt", text + std::string(17u << 20, ' ') + text);
        Shell("head -c 17000000 /dev/urandom > src/big/random.bin");
        // Folders, modes, links and names for the round trip.
        fs::create_directories(src + "/empty");
        fs::create_directories(src + "/sub/empty too");
        fixtures::WriteFile(src + "/bin/run.sh", "#!/bin/sh\necho run\n");
        fixtures::WriteFile(src + "/sub/data.txt", std::string(5000, 'd'));
        for (const char* name : kOddNames) fixtures::WriteFile(src + "/" + name, name);
        fs::create_symlink("sub/data.txt", src + "/link");
        fs::create_symlink("bin", src + "/bin link");  // 7z refuses targets with ".."
        chmod((src + "/bin/run.sh").c_str(), 0755);
        chmod((src + "/sub/data.txt").c_str(), 0640);
        chmod((src + "/sub").c_str(), 0750);
        // An odd second: two-second DOS times would lose it.
        Shell("find src -exec touch -h -d '2021-03-04 05:06:07' {} +");
    }
    std::string Names(const std::string& archive) { return Shell("unzip -Z1 " + archive).out; }
};

class Writers : public Writer, public ::testing::WithParamInterface<WriterCase> {};

TEST_P(Writers, MembersCarryTheirMethodAndEveryExtractorGivesBackTheTree) {
    const WriterCase& c = GetParam();
    const std::string pw = c.password;
    auto add = Kelp(std::string("add w.zip -r -y ") + c.args + " src");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    EXPECT_NE(add.out.find("  adding: src/text.txt"), std::string::npos) << add.out;

    const auto info =
        Shell("python3 -c " + Quote(kPythonInfo) + " w.zip " + Quote(c.python ? pw : "-"));
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* member : {"src/text.txt", "src/run.bin", "src/big/streamed.txt"}) {
        const std::string line = std::string(member) + " " + c.packed + "\n";
        EXPECT_NE(info.out.find(line), std::string::npos) << line << " in\n" << info.out;
    }
    for (const char* member : {"src/random.bin", "src/empty.txt", "src/big/random.bin"}) {
        const std::string line = std::string(member) + " " + c.stored + "\n";
        EXPECT_NE(info.out.find(line), std::string::npos) << line << " in\n" << info.out;
    }
    // Python reads the non-ASCII name right only when it is flagged UTF-8.
    EXPECT_NE(info.out.find("src/ünïcode.txt "), std::string::npos) << info.out;
    if (c.python) {
        EXPECT_NE(info.out.find("\nNone\n"), std::string::npos) << info.out;
    }
    const std::string unzipPw = pw.empty() ? "" : " -P " + pw, sevenPw = " -p" + pw;
    if (c.unzip) {
        EXPECT_EQ(Shell("unzip -tq" + unzipPw + " w.zip").exitCode, 0);
    }
    Must("7z t" + sevenPw + " w.zip");
    if (!pw.empty()) {
        EXPECT_NE(Shell("7z t -pwrong w.zip").exitCode, 0);
        EXPECT_NE(Kelp("test w.zip -p wrong").exitCode, 0);
    }

    const auto expected = fixtures::ReadTree(dir / "src");
    ASSERT_EQ(expected.size(), 21u);
    for (const std::string extract : {"unzip", "7z", "kelp"}) {
        if (extract == "unzip" && !c.unzip) continue;
        SCOPED_TRACE(extract);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        auto run =
            extract == "kelp"    ? Kelp("extract w.zip -d out" + (pw.empty() ? "" : " -p " + pw))
            : extract == "unzip" ? Shell("cd out && unzip -q" + unzipPw + " ../w.zip")
                                 : Shell("cd out && 7z x -bd" + sevenPw + " ../w.zip > /dev/null");
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(fixtures::ReadTree(dir / "out/src"), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Writers, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Writer, LinksAreFollowedWithoutYAndFolderEntriesLeftOutWithD) {
    ASSERT_EQ(Kelp("add followed.zip -r src").exitCode, 0);
    ASSERT_EQ(Kelp("extract followed.zip -d out").exitCode, 0);
    EXPECT_FALSE(fs::is_symlink(dir / "out/src/link"));
    EXPECT_EQ(fixtures::ReadFile(dir / "out/src/link"), std::string(5000, 'd'));
    EXPECT_TRUE(fs::is_regular_file(dir / "out/src/bin link/run.sh"));
    EXPECT_TRUE(fs::is_directory(dir / "out/src/sub/empty too"));

    ASSERT_EQ(Kelp("add plain.zip -r -D src").exitCode, 0);
    const std::string names = Names("plain.zip");
    EXPECT_EQ(names.find("/\n"), std::string::npos) << names;
    EXPECT_NE(names.find("src/bin/run.sh\n"), std::string::npos) << names;
}

TEST_F(Writer, FileNamesOnTheCommandLineAreTakenAsTheyAre) {
    std::string args;
    for (const char* name : kOddNames) args += " " + Quote(name);
    auto add = fixtures::RunKelpzip(dir / "src", "add ../n.zip --" + args);
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;
    std::string expected;
    for (const char* name : kOddNames) expected += std::string(name) + "\n";
    EXPECT_EQ(Names("n.zip"), expected);
    ASSERT_EQ(Kelp("extract n.zip -d out").exitCode, 0);
    for (const char* name : kOddNames)
        EXPECT_EQ(fixtures::ReadFile(dir / ("out/" + std::string(name))), name) << name;
}

TEST_F(Writer, UnknownMethodOrEncryptionIsAUsageError) {
    const std::pair<const char*, const char*> cases[] = {
        {"--method ppmd src", "--method needs one of deflate, store, bzip2, lzma, xz, zstd"},
        {"--method DEFLATE src", "--method needs one of deflate, store, bzip2, lzma, xz, zstd"},
        {"src --method", "--method needs one of deflate, store, bzip2, lzma, xz, zstd"},
        {"-e aes512 -p pw src", "-e needs zipcrypto or aes256"},
        {"-e aes256 src", "-e needs a password"},
    };
    for (const auto& [args, message] : cases) {
        auto r = Kelp(std::string("add u.zip ") + args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
        EXPECT_NE(r.err.find("usage: kelpzip"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "u.zip"));
}

}  // namespace
