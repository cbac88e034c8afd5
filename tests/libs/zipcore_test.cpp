// The pieces of the ZIP core that decide on untrusted input: name
// resolution, wildcard matching, record parsing and decryption.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crc32.h"
#include "safe_path.h"
#include "wildcard.h"
#include "zip_crypto.h"

using namespace kelp::zip;

TEST(ResolveMemberName, RefusesNamesThatLeaveTheTarget) {
    for (const char* bad : {"../a", "a/../../b", "a\\..\\..\\b", "/etc/passwd", "\\x", "C:/x",
                            "c:x", "", ".", "x/.."}) {
        EXPECT_FALSE(ResolveMemberName(bad, true).ok) << bad;
    }
    EXPECT_FALSE(ResolveMemberName(std::string("a\0b", 3), true).ok);
    auto t = ResolveMemberName("./a\\b//c.txt", true);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.dirs, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(t.leaf, "c.txt");
    EXPECT_TRUE(ResolveMemberName("a/b/c.txt", false).dirs.empty());
    auto dir = ResolveMemberName("a/b/", true);
    EXPECT_TRUE(dir.ok && dir.leaf.empty() && dir.dirs.size() == 2);
    auto base = ResolveMemberName("./", true);
    EXPECT_TRUE(base.ok && base.leaf.empty() && base.dirs.empty());
}

TEST(WildcardMatch, StarQuestionSeparatorsAndCase) {
    EXPECT_TRUE(WildcardMatch("*.txt", "dir/a.TXT"));
    EXPECT_TRUE(WildcardMatch("dir\\?.txt", "dir/a.txt"));
    EXPECT_TRUE(WildcardMatch("dir/*", "DIR\\x\\y"));
    EXPECT_FALSE(WildcardMatch("?.txt", "ab.txt"));
    EXPECT_FALSE(WildcardMatch("a*b", "a"));
    EXPECT_TRUE(WildcardMatch("*a*a*a*a*b", std::string(60, 'a') + "b"));
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*b", std::string(5000, 'a')));
}

TEST(ZipCrypto, DecryptsWhatItEncryptsAndChecksThePassword) {
    std::string plain = "attack at dawn";
    uint32_t crc = Crc32(0, plain.data(), plain.size());
    std::string header(11, 'Z');
    header += static_cast<char>(crc >> 24);
    std::string both = header + plain;
    std::vector<uint8_t> data(both.begin(), both.end());
    ZipCrypto(std::string("pw")).Encrypt(data.data(), data.size());
    ZipCrypto right("pw");
    EXPECT_EQ(right.DecryptHeader(data.data()), crc >> 24);
    std::vector<uint8_t> body(data.begin() + 12, data.end());
    right.Decrypt(body.data(), body.size());
    EXPECT_EQ(std::string(body.begin(), body.end()), plain);
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
}
