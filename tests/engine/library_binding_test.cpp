// The engine's side of the library interface: which library is loaded, what
// older libraries (the recording stand-ins) are not asked to do, how add
// lines become the block's table, and how callbacks become events and
// answers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <span>

#include "engine/param_blocks.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/env_override.h"

namespace {

using kelp::engine::ZipEngine;

class LibraryBinding : public fixtures::EngineTest {
  protected:
    LibraryBinding() {
        fixtures::WriteFile(dir / "a.zip",
                            fixtures::ArchiveBuilder().Add("Docs/One.txt", "1").Build());
    }
    ~LibraryBinding() override {
        zip.UnloadUnzipLib();
        zip.UnloadZipLib();
    }
    void UseRecording(int version) {
        zip.setDLLDirectory(std::string(KELP_LIB_DIR) + "/recording" + std::to_string(version));
    }
    // The calls the recording library got, one line each: "ENTRY TARGET".
    std::string Recorded() {
        return std::filesystem::exists(dir / "record") ? fixtures::ReadFile(dir / "record") : "";
    }
    // Hands the engine one callback as a library does; the record as answered.
    KCallbackRecord Send(int32_t action, int32_t number1, int32_t number2,
                         const std::string& text = "") {
        KCallbackRecord r{};
        r.Action = action, r.Number1 = number1, r.Number2 = number2;
        std::strncpy(r.Text, text.c_str(), sizeof r.Text - 1);
        answers.push_back(zip.HandleCallback(r));
        return r;
    }

    std::vector<int32_t> answers;
    fixtures::EnvOverride record{"KELP_RECORD_FILE", dir / "record"};
};

TEST_F(LibraryBinding, LibraryComesFromItsFolderOrTheRunPath) {
    UseRecording(150);
    EXPECT_EQ(zip.UnzipLibVersion(), 150);
    EXPECT_EQ(zip.ZipLibVersion(), 150);
    EXPECT_FALSE(ZipEngine::UnzipLibLoaded());  // loaded for the question only

    // A folder without the library: the one beside the program is used.
    zip.setDLLDirectory(dir.path());
    EXPECT_EQ(zip.UnzipLibVersion(), 190);
    EXPECT_TRUE(logged.empty());

    // A file that is no library is reported.
    fixtures::WriteFile(dir / "libkunzip.so", "not a shared object");
    zip.LoadUnzipLib();
    EXPECT_FALSE(ZipEngine::UnzipLibLoaded());
    EXPECT_EQ(logged, std::vector<std::string>{"KUNZIP.DLL not found!"});

    zip.Trace = true;
    UseRecording(152);
    zip.LoadUnzipLib();
    EXPECT_TRUE(ZipEngine::UnzipLibLoaded());
    EXPECT_EQ(logged.back(), "KUNZIP Loaded!");
}

TEST_F(LibraryBinding, LibrariesBefore160AreNotGivenAnotherTargetFolder) {
    // Such a library extracts into the current folder only: extracting
    // elsewhere is refused rather than done in the wrong place.
    UseRecording(152);
    zip.setZipFileName(dir / "a.zip");
    zip.ExtrBaseDir = dir.path();
    zip.Extract();
    EXPECT_EQ(Recorded(), "");
    EXPECT_EQ(logged, std::vector<std::string>{"Error - your KUNZIP.DLL can only extract into the "
                                               "current folder, please update to version >= 1.60"});
    EXPECT_EQ(zip.SuccessCount(), 0);

    // The current folder itself, or none, is fine.
    logged.clear();
    zip.ExtrBaseDir = ".";
    zip.Extract();
    EXPECT_EQ(Recorded(), "KUnzipExec -\n");
    EXPECT_TRUE(logged.empty());
}

TEST_F(LibraryBinding, AesEncryptionNeedsALibraryOf170) {
    zip.AddEncryption = kelp::engine::aeAES256;
    const kelp::engine::AddRequest aes = zip.AddRequestNow();
    EXPECT_EQ(zip.FillZipParams(aes, "/x/a.zip", 170)->Current().Encryption, KZIP_ENCRYPT_AES256);
    EXPECT_EQ(zip.FillZipParams(aes, "/x/a.zip", 160)->Current().Encryption,
              KZIP_ENCRYPT_ZIPCRYPTO);
    // An older library would encrypt the traditional way: the add is refused.
    fixtures::WriteFile(dir / "x.txt", "x");
    UseRecording(152);
    zip.setZipFileName(dir / "a.zip");
    zip.Password = "pw";
    zip.AddOptions = {kelp::engine::AddEncrypt};
    zip.FSpecArgs = {dir / "x.txt"};
    zip.Add();
    EXPECT_EQ(Recorded(), "");
    EXPECT_EQ(logged,
              std::vector<std::string>{"Error - your KZIP.DLL can not encrypt with AES-256, "
                                       "please update to version >= 1.70"});
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_FALSE(zip.ZipLibBusy());
}

TEST_F(LibraryBinding, CallbacksBecomeEventsAndAnswers) {
    std::vector<std::pair<kelp::engine::ProgressType, int64_t>> progress;
    zip.OnProgress = [&](kelp::engine::ProgressType type, const std::string&, int64_t size) {
        progress.emplace_back(type, size);
        if (size == 77) zip.CancelRequested = true;
    };
    zip.OnPasswordError = [](std::string& password, const std::string& file, uint32_t& repeat) {
        password = std::string(100, file.empty() ? '?' : 'p');
        repeat = 99;
    };
    zip.OnExtractOverwrite = [](const std::string&, bool isOlder, bool& doOverwrite) {
        doOverwrite = isOlder;
    };
    Send(KCB_FILE_COUNT, 0, 3);
    EXPECT_EQ(progress.front(), std::make_pair(kelp::engine::ptFileCount, int64_t{3}));
    Send(KCB_MESSAGE, 0x1234, 0, "Unzipped: a.txt  ");
    EXPECT_EQ(codes.back(), 0x1234);
    EXPECT_EQ(logged.back(), "Unzipped: a.txt");  // trailing blanks trimmed
    const KCallbackRecord password = Send(KCB_PASSWORD, 0, 2, "secret.txt");
    EXPECT_EQ(std::string(password.Text), std::string(80, 'p'));
    EXPECT_EQ(password.Number1, 1);
    EXPECT_EQ(password.Number2, 15);
    EXPECT_EQ(Send(KCB_CRC_ERROR, 17, 18, "bad.txt").Number1, 2);  // no CRC handler
    EXPECT_EQ(Send(KCB_OVERWRITE, 1, 0, "old.txt").Number2, 1);    // older: overwrite
    Send(KCB_BYTES_DONE, 0, 77);
    // Cancel set in this very callback is the answer.
    EXPECT_EQ(answers, (std::vector<int32_t>{0, 0, 0, 0, 0, KELP_CALLBACK_CANCEL}));
}

TEST_F(LibraryBinding, PasswordWithoutHandlerUsesThePrompts) {
    host.passwordAnswers = {std::string("one"), std::string("two"), std::string("two"),
                            std::nullopt};
    const KCallbackRecord extract = Send(KCB_PASSWORD, 0, 3, "file.txt");  // one prompt
    EXPECT_EQ(std::string(extract.Text), "one");
    EXPECT_EQ(extract.Number2, 3);
    // Adding: a prompt and its confirmation.
    EXPECT_EQ(std::string(Send(KCB_PASSWORD, 1, 3, "new.txt").Text), "two");
    const KCallbackRecord cancelled = Send(KCB_PASSWORD, 0, 3, "again.txt");
    EXPECT_EQ(cancelled.Number1, 0);
    EXPECT_EQ(cancelled.Number2, 0);
}

TEST_F(LibraryBinding, RenameAnswerReplacesTheText) {
    zip.OnSetNewName = [](std::string& name, bool& changed) {
        if (name == "keep.txt") return;
        name = "renamed/" + name;
        changed = true;
    };
    EXPECT_EQ(Send(KCB_NEW_NAME, 0, 0, "keep.txt").Action, KCB_NEW_NAME);
    const KCallbackRecord moved = Send(KCB_NEW_NAME, 0, 0, "move.txt");
    EXPECT_EQ(moved.Action, KCB_PASSWORD);
    EXPECT_EQ(std::string(moved.Text), "renamed/move.txt");
}

// The block's spec table, a row each: "TEXT|PASSWORD|RECURSE|ENCRYPT", "-"
// for no password; ENCRYPT 65535 is the row's own password, -1 the default.
std::vector<std::string> Specs(const KZipParams& b) {
    std::vector<std::string> rows;
    for (const KZipSpec& s : std::span(b.SpecTable, b.SpecCount))
        rows.push_back(std::string(s.SpecText) + "|" + (s.SpecPassword ? s.SpecPassword : "-") +
                       "|" + std::to_string(s.SpecRecurse) + "|" + std::to_string(s.SpecEncrypt));
    return rows;
}

TEST(ZipBlock, SpecificationPrefixesAndPasswords) {
    ZipEngine zip;
    kelp::engine::AddRequest request;
    request.password = "default";
    request.options = {kelp::engine::AddEncrypt, kelp::engine::AddFreshen, kelp::engine::AddUpdate,
                       kelp::engine::AddDirNames};
    request.lines = {"*.txt<own", "plain<", ">sub", "|top", ">|odd"};
    auto block = zip.FillZipParams(request, "/x/a.zip", 160);
    const KZipParams& b = block->Current();
    EXPECT_EQ(b.UpdateOn, KELP_TRUE);
    EXPECT_EQ(b.FreshenOn, KELP_FALSE);
    EXPECT_EQ(Specs(b),
              (std::vector<std::string>{"*.txt|own|0|65535", "plain|-|0|0", "sub|default|-1|-1",
                                        "top|default|0|-1", "|odd|default|-1|-1"}));

    // Below version 151 the lines go unchanged into the old table.
    request.lines = {">a<pw"};
    auto old = zip.FillZipParams(request, "/x/a.zip", 150);
    ASSERT_FALSE(old->CurrentLayout());
    EXPECT_STREQ(old->Old().SpecTexts[0], ">a<pw");
    old->SetEndMarker();
    EXPECT_EQ(old->Old().EndMarker, 7);
}

TEST(ZipBlock, SourcesAreTakenAsTheyStandAfterTheLines) {
    ZipEngine zip;
    kelp::engine::AddRequest request;
    request.password = "default";
    request.options = {kelp::engine::AddEncrypt, kelp::engine::AddStoreLinks};
    request.lines = {"|top"};
    request.sources = {{">a<b|c.txt", true, std::nullopt}, {"|x<", false, ""}, {"y", false, "pw"}};
    auto block = zip.FillZipParams(request, "/x/a.zip", 160);
    EXPECT_EQ(block->Current().StoreLinks, KELP_TRUE);
    EXPECT_EQ(Specs(block->Current()),
              (std::vector<std::string>{"top|default|0|-1", ">a<b|c.txt|default|-1|-1", "|x<|-|0|0",
                                        "y|pw|0|65535"}));

    // Links are stored as links only by libraries that know the field.
    EXPECT_EQ(zip.FillZipParams(request, "/x/a.zip", 159)->Current().StoreLinks, 0);
    // The old layout holds lines only: the sources follow as lines.
    auto old = zip.FillZipParams(request, "/x/a.zip", 150);
    EXPECT_EQ(old->Old().SpecCount, 4);
    EXPECT_STREQ(old->Old().SpecTexts[1], ">>a<b|c.txt");
    EXPECT_STREQ(old->Old().SpecTexts[2], "||x<<");
    EXPECT_STREQ(old->Old().SpecTexts[3], "|y<pw");
}

}  // namespace
