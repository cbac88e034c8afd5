// The engine's calls through their properties: refused calls keep the
// lists; the delete block.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/zip_engine.h"
#include "libs/include/kelp_lib_abi.h"
#include "recording_reader.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class AddDelete : public ::testing::Test {
  protected:
    AddDelete() {
        zip.SetHostUi(&host);
        zip.HowToDelete = kelp::engine::htdFinal;
        zip.OnMessage = [this](int, const std::string& text) { logged.push_back(text); };
        zip.OnDirUpdate = [this] { ++dirUpdates; };
        setenv("KELP_RECORD_FILE", (dir / "record").c_str(), 1);
    }
    ~AddDelete() override {
        unsetenv("KELP_RECORD_FILE");
        unsetenv("KELP_RECORD_RESULT");
        zip.UnloadZipLib();
    }
    void UseRecordingLibrary() { zip.setDLLDirectory(std::string(KELP_LIB_DIR) + "/recording152"); }

    fixtures::TempDir dir;
    fixtures::RecordingHostUi host;
    kelp::engine::ZipEngine zip;
    std::vector<std::string> logged;
    int dirUpdates = 0;
};

TEST_F(AddDelete, RefusedCallsKeepTheLists) {
    zip.FSpecArgs = {"a.txt"};
    zip.Extract();
    zip.Add();
    EXPECT_EQ(logged, std::vector<std::string>(2, "Error - no zip file specified!"));
    zip.setZipFileName(dir / "new.zip");
    zip.Unattended = true;
    zip.AddOptions = {kelp::engine::AddEncrypt};
    zip.Add();
    EXPECT_EQ(logged.back(), "Unattended action not possible without a password");
    EXPECT_EQ(zip.FSpecArgs, std::vector<std::string>{"a.txt"});
    EXPECT_FALSE(fs::exists(dir / "record"));
}

TEST_F(AddDelete, DeleteBlockSwitchesOffAddingAndPassesLinesUnchanged) {
    UseRecordingLibrary();
    fixtures::WriteFile(dir / "a.zip", fixtures::ArchiveBuilder().Add("a", "1").Build());
    zip.setZipFileName(dir / "a.zip");
    dirUpdates = 0;
    zip.AddOptions = {kelp::engine::AddMove, kelp::engine::AddFreshen, kelp::engine::AddUpdate,
                      kelp::engine::AddEncrypt, kelp::engine::AddRecurseDirs};
    zip.Password = "pw";
    zip.FSpecArgs = {">a", "b<c"};
    setenv("KELP_RECORD_RESULT", "0", 1);
    zip.Delete();
    const auto calls = recording::ReadRecording(dir / "record");
    ASSERT_EQ(calls.size(), 1u);
    const auto b = calls[0].As<KZipParams>();
    EXPECT_EQ(b.DeleteMode, KELP_TRUE);
    EXPECT_EQ(b.MoveOn | b.FreshenOn | b.UpdateOn | b.EncryptOn | b.DropPaths | b.Reserved80, 0);
    EXPECT_EQ(b.RecurseOn, 0);
    EXPECT_EQ(calls[0].texts.at("SpecText[0]"), ">a");
    EXPECT_EQ(calls[0].texts.at("SpecText[1]"), "b<c");
    // A count of 0 reads nothing again.
    EXPECT_EQ(dirUpdates, 0);
    EXPECT_TRUE(zip.FSpecArgs.empty());
}

}  // namespace
