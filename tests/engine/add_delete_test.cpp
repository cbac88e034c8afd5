// The engine's add and delete: the checks before the library is called, the
// delete block, the automatic self-extractor and multi-part sets built by an add.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/zip_engine.h"
#include "libs/include/kelp_lib_abi.h"
#include "recording_reader.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class AddDelete : public ::testing::Test {
  protected:
    AddDelete() {
        zip.SetHostUi(&host);
        zip.HowToDelete = engine::htdFinal;
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
    engine::ZipEngine zip;
    std::vector<std::string> logged;
    int dirUpdates = 0;
};

TEST_F(AddDelete, AddChecksComeBeforeTheLibraryAndKeepTheLists) {
    zip.Add();
    EXPECT_EQ(logged.back(), "Error - no files to zip!");
    zip.FSpecArgs = {"a.txt"};
    zip.Add();
    EXPECT_EQ(logged.back(), "Error - no zip file specified!");
    zip.setZipFileName(dir / "new.zip");
    zip.Unattended = true;
    zip.AddOptions = {engine::AddEncrypt};
    zip.Add();
    EXPECT_EQ(logged.back(), "Unattended action not possible without a password");
    zip.AddOptions = {engine::AddDiskSpan, engine::AddFreshen};
    zip.Add();
    EXPECT_EQ(logged.back(), "AddFreshen or AddUpdate not possible on a spanned archive");
    zip.setZipFileName(dir / "new.exe");
    zip.AddOptions = {engine::AddDiskSpan};
    zip.Add();
    EXPECT_EQ(logged.back(), "Error - Self extracting archives(.exe) can not be spanned");
    EXPECT_EQ(zip.FSpecArgs, std::vector<std::string>{"a.txt"});
    EXPECT_FALSE(fs::exists(dir / "record"));
}

TEST_F(AddDelete, DeleteBlockSwitchesOffAddingAndPassesLinesUnchanged) {
    UseRecordingLibrary();
    fixtures::WriteFile(dir / "a.zip", fixtures::ArchiveBuilder().Add("a", "1").Build());
    zip.setZipFileName(dir / "a.zip");
    dirUpdates = 0;
    zip.AddOptions = {engine::AddMove, engine::AddFreshen, engine::AddUpdate, engine::AddEncrypt,
                      engine::AddRecurseDirs};
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

    zip.Delete();
    EXPECT_EQ(logged.back(), "Error - no files selected for deletion");
}

TEST_F(AddDelete, AddingToANewProgramWritesTheSelfExtractorFirst) {
    UseRecordingLibrary();
    zip.setZipFileName(dir / "new.exe");
    zip.FSpecArgs = {"x"};
    zip.Add();
    const auto calls = recording::ReadRecording(dir / "record");
    ASSERT_EQ(calls.size(), 1u) << (logged.empty() ? "" : logged.back());
    EXPECT_EQ(calls[0].texts.at("ArchiveNameText"), fs::absolute(dir / "new.exe").string());
    EXPECT_GT(fs::file_size(dir / "new.exe"), 1000u);
}

TEST_F(AddDelete, SpannedAddWritesPartsAndRemovesTheTemporaryArchive) {
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "tmp");
    fixtures::RunShell("head -c 150000 /dev/urandom > " + fixtures::Quote(dir / "src/r.bin"));
    fixtures::WriteFile(dir / "src/t.txt", "text");
    const auto saved = fs::current_path();
    fs::current_path(dir.path());
    zip.setZipFileName(dir / "set.zip");
    zip.TempDir = dir / "tmp";
    zip.MaxVolumeSize = 100000;
    zip.MinFreeVolumeSize = 1000;
    zip.AddOptions = {engine::AddDiskSpan, engine::AddDirNames, engine::AddRecurseDirs};
    zip.FSpecArgs = {"src"};
    zip.Add();
    fs::current_path(saved);
    EXPECT_EQ(zip.TempDir, dir / "tmp/");
    EXPECT_GT(zip.SuccessCount(), 0) << (logged.empty() ? "" : logged.back());
    EXPECT_TRUE(fs::exists(dir / "set001.zip"));
    EXPECT_TRUE(fs::exists(dir / "set002.zip"));
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));

    engine::ZipEngine reader;
    reader.setZipFileName(dir / "set002.zip");
    EXPECT_EQ(reader.EntryCount(), 2u);  // no separate folder entries
}

}  // namespace
