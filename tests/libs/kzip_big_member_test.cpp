// Files past the in-memory budget are deflated in blocks on all threads and
// joined into one stream: the peer tools must read it back exactly, and it
// must compress about as well as one pass over the file.
#include <gtest/gtest.h>

#include <filesystem>

#include "library_calls.h"

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

namespace {

// Copies of one 30 KiB run of noise with a numbered line between them. Each
// copy only compresses by reference to the one before, up to 32 KiB back,
// so every block must start with the end of the block before it in view.
std::string Repeats(size_t size) {
    const std::string noise = fixtures::RandomBytes(30u << 10, 5);
    std::string out;
    for (int i = 0; out.size() < size; ++i) out += "copy " + std::to_string(i) + "\n" + noise;
    out.resize(size);
    return out;
}

// Python's zipfile reads the member back; prints whether the bytes match,
// the method, the packed size and the size of one zlib pass over the file
// at the level.
constexpr const char* kReadBack =
    "import sys, zipfile, zlib\n"
    "archive, source, level = sys.argv[1:]\n"
    "z = zipfile.ZipFile(archive); info = z.getinfo('big.dat'); plain = open(source, 'rb').read()\n"
    "c = zlib.compressobj(int(level), zlib.DEFLATED, -15, 9)\n"
    "print(int(z.read('big.dat') == plain), info.compress_type, info.compress_size,\n"
    "      len(c.compress(plain) + c.flush()))\n";

// Whole blocks at one level, a last block cut short at another. Encrypted
// members past the budget are rows of the kelpzip writer table.
TEST(BigMember, ReadsBackExactlyAndCompressesLikeOnePass) {
    for (const auto& [level, size] : {std::pair{6, 20u << 20}, std::pair{9, (20u << 20) + 12345}}) {
        SCOPED_TRACE(level);
        fixtures::TempDir tmp;
        const std::string source = tmp / "src/big.dat", archive = tmp / "out.zip";
        fixtures::WriteFile(source, Repeats(size));
        auto add = fixtures::Add(archive, {"big.dat"});
        add.level = level;
        libtest::Engine zip;
        ASSERT_EQ(zip.Call(add, tmp / "src"), 1) << zip.messages;
        EXPECT_EQ(RunShell("unzip -tq " + Quote(archive)).exitCode, 0);
        const auto out = RunShell("python3 -c " + Quote(kReadBack) + " " + Quote(archive) + " " +
                                  Quote(source) + " " + std::to_string(level));
        int same = 0, method = 0;
        unsigned long long packed = 0, onePass = 0;
        ASSERT_EQ(
            std::sscanf(out.out.c_str(), "%d %d %llu %llu", &same, &method, &packed, &onePass), 4)
            << out.out << out.err;
        EXPECT_EQ(same, 1);
        EXPECT_EQ(method, 8);
        // The joints cost a few bytes each, not the lost context.
        EXPECT_LE(packed, onePass + onePass / 100 + 1024) << "one pass: " << onePass;
    }
}

}  // namespace
