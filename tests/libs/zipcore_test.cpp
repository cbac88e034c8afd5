// The pieces of the ZIP core that decide on untrusted names: resolution
// below the target folder and wildcard matching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "safe_path.h"
#include "wildcard.h"

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
