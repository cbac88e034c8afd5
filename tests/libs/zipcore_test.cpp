// The pieces of the ZIP core that decide on names: resolution below the
// target folder, wildcard matching and the add-line syntax.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "add_spec_line.h"
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

TEST(WildcardMatch, StarQuestionSeparatorsAndExactCase) {
    EXPECT_TRUE(WildcardMatch("*.txt", "dir/a.txt"));
    EXPECT_FALSE(WildcardMatch("*.txt", "dir/a.TXT"));
    EXPECT_FALSE(WildcardMatch("xt_TCPMSS.h", "xt_tcpmss.h"));
    EXPECT_TRUE(WildcardMatch("dir\\?.txt", "dir/a.txt"));
    EXPECT_TRUE(WildcardMatch("dir/*", "dir\\x\\y"));
    EXPECT_FALSE(WildcardMatch("dir/*", "DIR/x"));
    EXPECT_FALSE(WildcardMatch("?.txt", "ab.txt"));
    EXPECT_FALSE(WildcardMatch("a*b", "a"));
    EXPECT_TRUE(WildcardMatch("*a*a*a*a*b", std::string(60, 'a') + "b"));
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*b", std::string(5000, 'a')));
}

TEST(AddSpecLine, ExistingFilesAreTakenAsTheyStandOtherLinesAreParsed) {
    char folder[] = "/tmp/kelp_specXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = folder;
    for (const char* name : {"a<b.txt", "|pipe.txt", ">gt.txt", "plain"})
        close(open((dir + "/" + name).c_str(), O_CREAT | O_WRONLY, 0644));
    using Password = AddSpecLine::Password;

    for (const char* name : {"a<b.txt", "|pipe.txt", ">gt.txt"}) {
        AddSpecLine literal = ParseAddSpecLine(dir + "/" + name);
        EXPECT_EQ(literal.path, dir + "/" + name);
        EXPECT_EQ(literal.recurse, -1);
        EXPECT_EQ(literal.passwordKind, Password::Inherit);
    }
    AddSpecLine syntax = ParseAddSpecLine(">" + dir + "/*.c<pw<x");
    EXPECT_EQ(syntax.path, dir + "/*.c");
    EXPECT_EQ(syntax.recurse, 1);
    EXPECT_EQ(syntax.passwordKind, Password::Own);
    EXPECT_EQ(syntax.password, "pw<x");
    AddSpecLine none = ParseAddSpecLine("|missing<");
    EXPECT_EQ(none.path, "missing");
    EXPECT_EQ(none.recurse, 0);
    EXPECT_EQ(none.passwordKind, Password::None);

    // Written as lines, existing paths read back as they were.
    for (const char* name : {"a<b.txt", "|pipe.txt", ">gt.txt", "plain"}) {
        for (Password kind : {Password::Inherit, Password::Own, Password::None}) {
            AddSpecLine spec{dir + "/" + name, 1, kind, kind == Password::Own ? "p<w" : ""};
            AddSpecLine back = ParseAddSpecLine(FormatAddSpecLine(spec));
            EXPECT_EQ(back.path, spec.path);
            EXPECT_EQ(back.recurse, 1);
            EXPECT_EQ(back.passwordKind, kind);
            EXPECT_EQ(back.password, spec.password);
        }
    }
    std::filesystem::remove_all(dir);
}
