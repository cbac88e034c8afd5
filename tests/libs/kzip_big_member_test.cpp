// Files past the in-memory budget are deflated in blocks on all threads and
// joined into one stream: the peer tools must read it back exactly, it must
// compress about as well as one pass over the file, and a cancel half-way
// must leave the archive as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "library_calls.h"

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

namespace {

// Copies of one 30 KiB run of noise with a numbered line between them. Each
// copy only compresses by reference to the one before, up to 32 KiB back,
// so every block must start with the end of the block before it in view.
std::string Repeats(size_t size) {
    std::mt19937 rng(5);
    std::string noise(30u << 10, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    std::string out;
    for (int i = 0; out.size() < size; ++i) out += "copy " + std::to_string(i) + "\n" + noise;
    out.resize(size);
    return out;
}

// Python's zipfile reads the member back (not AES, which it cannot);
// prints whether the bytes match, the method, the packed size and the size
// of one zlib pass over the file at the level.
constexpr const char* kReadBack =
    "import sys, zipfile, zlib\n"
    "archive, name, source, password, level = sys.argv[1:]\n"
    "info = zipfile.ZipFile(archive).getinfo(name)\n"
    "plain = open(source, 'rb').read()\n"
    "same = info.compress_type != 99 and \\\n"
    "    zipfile.ZipFile(archive).read(name, pwd=password.encode() or None) == plain\n"
    "z = zlib.compressobj(int(level), zlib.DEFLATED, -15, 9)\n"
    "print(int(same), info.compress_type, info.compress_size, len(z.compress(plain) + "
    "z.flush()))\n";

struct BigCase {
    const char* name;
    int level;
    size_t size;
    const char* password;
    bool aes;
};

class BigMember : public ::testing::TestWithParam<BigCase> {};

TEST_P(BigMember, ReadsBackExactlyAndCompressesLikeOnePass) {
    const BigCase& c = GetParam();
    fixtures::TempDir tmp;
    const std::string source = tmp / "src/big.dat", archive = tmp / "out.zip";
    fixtures::WriteFile(source, Repeats(c.size));
    auto add = libtest::Add(archive, {"big.dat"});
    add.level = c.level;
    add.password = c.password;
    if (*c.password) add.options.Include(libtest::AddEncrypt);
    add.encryption = c.aes ? libtest::aeAES256 : libtest::aeZipCrypto;
    libtest::Engine zip;
    ASSERT_EQ(zip.Call(add, tmp / "src"), 1) << zip.messages;

    // Of the peers only 7-Zip reads AES.
    const std::string pw = *c.password ? std::string(" -P ") + c.password : "";
    const auto peer = RunShell(c.aes ? "7z x -so -p" + std::string(c.password) + " " +
                                           Quote(archive) + " big.dat | cmp - " + Quote(source)
                                     : "unzip -tq" + pw + " " + Quote(archive));
    EXPECT_EQ(peer.exitCode, 0) << peer.out << peer.err;
    const std::string script = tmp / "read_back.py";
    fixtures::WriteFile(script, kReadBack);
    const std::string out =
        RunShell("python3 " + Quote(script) + " " + Quote(archive) + " big.dat " + Quote(source) +
                 " '" + (c.aes ? "" : c.password) + "' " + std::to_string(c.level))
            .out;
    int same = 0, method = 0;
    unsigned long long packed = 0, onePass = 0;
    ASSERT_EQ(std::sscanf(out.c_str(), "%d %d %llu %llu", &same, &method, &packed, &onePass), 4)
        << out;
    EXPECT_EQ(same, c.aes ? 0 : 1);
    EXPECT_EQ(method, c.aes ? 99 : 8);
    // The joints cost a few bytes each, not the lost context.
    EXPECT_LE(packed, onePass + onePass / 100 + 1024) << "one pass: " << onePass;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BigMember,
    ::testing::Values(BigCase{"level6_whole_blocks", 6, 20u << 20, "", false},
                      BigCase{"level9_traditional", 9, (20u << 20) + 12345, "s3cret", false},
                      BigCase{"level5_aes", 5, (17u << 20) + 1, "s3cret", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
