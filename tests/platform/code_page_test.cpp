#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, OemBytesBecomeUtf8AndBack) {
    // CP437: 0x82 é, 0x84 ä, 0x9B ¢, 0xE1 ß, 0xC9 ╔
    const std::string oem = "caf\x82 \x84 \x9B \xE1 \xC9";
    const std::string ansi = platform::OemToAnsi(oem);
    EXPECT_EQ(ansi, "café ä ¢ ß ╔");
    EXPECT_EQ(platform::AnsiToOem(ansi), oem);
}

TEST(CodePage, AsciiIsLeftAlone) {
    const std::string text = "folder/file name.txt";
    EXPECT_EQ(platform::OemToAnsi(text), text);
    EXPECT_EQ(platform::AnsiToOem(text), text);
}

TEST(CodePage, CharactersOutsideOemAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(platform::AnsiToOem("a€b"), "a?b");  // the euro sign is not in CP437
    EXPECT_EQ(platform::AnsiToOem("x\xFFy"), "x?y");
    EXPECT_EQ(platform::AnsiToOem("z\xC3"), "z?");  // cut-off sequence at the end
}

}  // namespace
