// kelpzip add --method: every method round trips through kelpzip extract,
// carries the method number, flags and version its readers look for, and
// passes the peers that read it (Python's zipfile, unzip, 7z).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;

struct MethodCase {
    const char* name;  // as --method takes it
    int number;        // the ZIP method of compressible members
    int version;       // version needed to extract them
    bool python;       // Python's zipfile decodes it
    bool unzip;        // unzip decodes it
};

void PrintTo(const MethodCase& c, std::ostream* os) {
    *os << c.name;
}

// Prints "name method version flags" for each member, then the name of the
// first bad member (or None) when Python can decode them all.
const char* const kPythonInfo =
    "import sys, zipfile\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "for i in z.infolist(): print(i.filename, i.compress_type, i.extract_version, i.flag_bits)\n"
    "if sys.argv[2] == '1': print(z.testzip())\n";

class MethodSources : public ::testing::Test {
  protected:
    MethodSources() {
        // Text, random bytes (which no method shrinks), a long run, an empty
        // file, and one past the size compressed whole in memory, so that
        // the streamed path runs too.
        std::string text;
        for (int i = 0; text.size() < 200000; ++i)
            text += "line " + std::to_string(i * 7919 % 100003) + " of the text\n";
        fixtures::WriteFile(dir / "src/text.txt", text);
        Shell("head -c 100000 /dev/urandom > src/random.bin");
        fixtures::WriteFile(dir / "src/run.bin", std::string(300000, '\0'));
        fixtures::WriteFile(dir / "src/empty.txt", "");
        // Mostly a run, which every method gets through quickly.
        fixtures::WriteFile(dir / "src/big/streamed.txt",
                            text + std::string(17u << 20, ' ') + text);
    }
    fixtures::CommandResult Shell(const std::string& command) {
        return fixtures::RunShell("cd " + Quote(dir.path()) + " && " + command);
    }
    fixtures::CommandResult Kelp(const std::string& args) {
        return Shell(Quote(fixtures::KelpProgram("kelpzip")) + " " + args);
    }
    // "method version flags" of each member, by name.
    std::string Info(const std::string& archive, bool test) {
        fixtures::WriteFile(dir / "info.py", kPythonInfo);
        auto r = Shell("python3 info.py " + archive + (test ? " 1" : " 0"));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    fixtures::TempDir dir;
};

class AddMethod : public MethodSources, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(AddMethod, RoundTripsAndThePeersReadIt) {
    const MethodCase& c = GetParam();
    auto add = Kelp(std::string("add m.zip --method ") + c.name + " -r src");
    ASSERT_EQ(add.exitCode, 0) << add.out << add.err;

    // LZMA's end marker; deflate at the default level 9 says "maximum".
    const int methodFlag = c.number == 14 || c.number == 8 ? 2 : 0;
    const std::string info = Info("m.zip", c.python);
    for (const char* member : {"src/text.txt", "src/run.bin", "src/big/streamed.txt"}) {
        std::ostringstream line;
        line << member << " " << c.number << " " << c.version << " " << methodFlag << "\n";
        EXPECT_NE(info.find(line.str()), std::string::npos) << line.str() << " in\n" << info;
    }
    // Data that does not shrink is stored, as is an empty file.
    EXPECT_NE(info.find("src/random.bin 0 10 0\n"), std::string::npos) << info;
    EXPECT_NE(info.find("src/empty.txt 0 10 0\n"), std::string::npos) << info;
    if (c.python) {
        EXPECT_NE(info.find("\nNone\n"), std::string::npos) << info;
    }
    if (c.unzip) {
        EXPECT_EQ(Shell("unzip -tq m.zip").exitCode, 0);
    }
    auto peer = Shell("7z t m.zip");
    EXPECT_EQ(peer.exitCode, 0) << peer.out;

    auto extract = Kelp("extract m.zip -d out");
    ASSERT_EQ(extract.exitCode, 0) << extract.out << extract.err;
    EXPECT_EQ(Shell("diff -r src out/src").exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(Methods, AddMethod,
                         ::testing::Values(MethodCase{"deflate", 8, 20, true, true},
                                           MethodCase{"bzip2", 12, 46, true, true},
                                           MethodCase{"lzma", 14, 63, true, false},
                                           MethodCase{"xz", 95, 63, false, false},
                                           MethodCase{"zstd", 93, 63, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

using AddMethodOptions = MethodSources;

TEST_F(AddMethodOptions, StoreAndLevelZeroStoreEverything) {
    ASSERT_EQ(Kelp("add s.zip --method store -r src").exitCode, 0);
    ASSERT_EQ(Kelp("add l.zip --method bzip2 -l 0 -r src").exitCode, 0);
    for (const char* archive : {"s.zip", "l.zip"}) {
        const std::string info = Info(archive, true);
        EXPECT_NE(info.find("src/text.txt 0 10 0\n"), std::string::npos) << info;
        EXPECT_NE(info.find("src/big/streamed.txt 0 10 0\n"), std::string::npos) << info;
        EXPECT_NE(info.find("\nNone\n"), std::string::npos) << info;
    }
}

TEST_F(AddMethodOptions, UnknownMethodIsAUsageError) {
    for (const char* args : {"--method ppmd src", "--method DEFLATE src", "src --method"}) {
        auto r = Kelp(std::string("add u.zip ") + args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("--method needs one of deflate, store, bzip2, lzma, xz, zstd"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("usage: kelpzip"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "u.zip"));
}

}  // namespace
