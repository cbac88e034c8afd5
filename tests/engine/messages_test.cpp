#include <gtest/gtest.h>

#include "engine/zip_messages.h"
#include "tests/fixtures/engine_test.h"

namespace {

using kelp::engine::EZipEngine;
using kelp::engine::LookupMessage;

TEST(Messages, FormattingNeverReadsPastItsArguments) {
    using kelp::engine::FormatMessageText;
    EXPECT_EQ(FormatMessageText("Please insert disk volume %.1d of %.1d", {2LL, 5LL}),
              "Please insert disk volume 2 of 5");
    EXPECT_EQ(FormatMessageText("disk %.1d of %.1d", {2LL}), "disk 2 of %.1d");
    EXPECT_EQ(FormatMessageText("100%% %x %s", {std::string("ok")}), "100% %x ok");
}

using EngineMessages = fixtures::EngineTest;

TEST_F(EngineMessages, ShownMessageAppendsItsExtraAndReachesTheLog) {
    zip.ShowEngineMessage(10202, "disk on fire");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Unknown error in List() function\ndisk on fire");
    EXPECT_EQ(logged, std::vector<std::string>{host.messages[0]});
    EXPECT_EQ(codes, std::vector<int>{0});

    zip.ShowEngineMessage(4242);
    EXPECT_EQ(host.messages.back(), kelp::engine::MissingMessageText(4242));
}

TEST_F(EngineMessages, UnattendedShowsNoBoxButStillLogs) {
    zip.Unattended = true;
    zip.ShowEngineMessage(10102);
    zip.ReportEngineError(EZipEngine(11001, true));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(logged, (std::vector<std::string>{"Error - no zip file specified!",
                                                "Input file does not exist"}));
}

TEST_F(EngineMessages, ErrorRaisedWithoutDisplayOnlyLogs) {
    zip.ReportEngineError(EZipEngine(11007, false));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(logged, std::vector<std::string>{"User canceled operation"});
    EXPECT_EQ(zip.ErrorsReported(), 1);
    zip.ShowEngineMessage(10203);  // a warning is not counted as an error
    EXPECT_EQ(zip.ErrorsReported(), 1);
}

TEST_F(EngineMessages, AddPasswordNeedsTwoEqualEntries) {
    host.passwordAnswers = {std::string("secret"), std::string("secret")};
    EXPECT_EQ(zip.AddPasswordPrompt(), "secret");
    ASSERT_EQ(host.prompts.size(), 2u);
    EXPECT_EQ(host.prompts[0].title, "Password");
    EXPECT_EQ(host.prompts[0].prompt, "Enter Password ");
    EXPECT_EQ(host.prompts[1].prompt, "Confirm Password ");

    host.prompts.clear();
    host.passwordAnswers = {std::string("secret"), std::string("Secret")};
    EXPECT_EQ(zip.AddPasswordPrompt(), "");
    EXPECT_EQ(host.messages.back(), "Error - passwords do NOT match\nPassword ignored");

    // Cancelling (or leaving empty) the first entry asks no second time.
    for (const std::optional<std::string>& first :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        host.prompts.clear();
        host.passwordAnswers = {first, std::string("x")};
        EXPECT_EQ(zip.AddPasswordPrompt(), "");
        EXPECT_EQ(host.prompts.size(), 1u);
    }
}

TEST_F(EngineMessages, PasswordPromptsWhenUnattendedOnlyReport) {
    zip.Unattended = true;
    host.passwordAnswers = {std::string("never asked")};
    EXPECT_EQ(zip.AddPasswordPrompt(), "");
    EXPECT_EQ(zip.ExtractPasswordPrompt(), "");
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(logged, (std::vector<std::string>{"Error - no add password given",
                                                "Error - no extract password given"}));
}

TEST_F(EngineMessages, AskPasswordReturnsOneOnlyForOkAndKeepsEightyCharacters) {
    std::string password = "old";
    host.passwordAnswers = {std::nullopt};
    EXPECT_EQ(zip.AskPassword("T", "P", password), 0);
    EXPECT_EQ(password, "");

    host.passwordAnswers = {std::string(100, 'k')};
    EXPECT_EQ(zip.AskPassword("T", "P", password), 1);
    EXPECT_EQ(password, std::string(80, 'k'));

    host.passwordAnswers = {std::string("pw")};
    EXPECT_EQ(zip.ExtractPasswordPrompt(), "pw");
    EXPECT_EQ(host.prompts.back().prompt, "Enter Password ");
}

}  // namespace
