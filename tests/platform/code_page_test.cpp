#include "platform/code_page.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(CodePage, CharactersOutsideOemAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(kelp::platform::AnsiToOem("a€b"), "a?b");  // the euro sign is not in CP437
    EXPECT_EQ(kelp::platform::AnsiToOem("x\xFFy"), "x?y");
    EXPECT_EQ(kelp::platform::AnsiToOem("z\xC3"), "z?");  // cut-off sequence at the end
}

// Python's codec is the oracle: every OEM byte converts as it does there,
// and back to the same byte.
TEST(CodePage, EveryOemByteMatchesPythonAndRoundTrips) {
    FILE* pipe = popen(
        "python3 -c \"import sys; "
        "sys.stdout.buffer.write(bytes(range(1, 256)).decode('cp437').encode())\"",
        "r");
    ASSERT_NE(pipe, nullptr);
    std::string expected;
    char buffer[512];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) expected.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0);

    std::string oem;
    for (int b = 1; b < 256; ++b) oem += static_cast<char>(b);
    // CP437's control pictures are not used for bytes below 0x20 by either side.
    EXPECT_EQ(kelp::platform::OemToAnsi(oem), expected);
    EXPECT_EQ(kelp::platform::AnsiToOem(kelp::platform::OemToAnsi(oem)), oem);
}

}  // namespace
