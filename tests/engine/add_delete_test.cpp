// The engine's calls through their properties: refused calls keep the
// lists; the delete block.
#include <gtest/gtest.h>

#include <filesystem>

#include "libs/include/kelp_lib_abi.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/env_override.h"

namespace {

namespace fs = std::filesystem;

class AddDelete : public fixtures::EngineTest {
  protected:
    AddDelete() {
        zip.HowToDelete = kelp::engine::htdFinal;
        zip.OnDirUpdate = [this] { ++dirUpdates; };
        // A library that notes each call it gets.
        zip.setDLLDirectory(std::string(KELP_LIB_DIR) + "/recording152");
    }
    ~AddDelete() override { zip.UnloadZipLib(); }

    int dirUpdates = 0;
    fixtures::EnvOverride record{"KELP_RECORD_FILE", dir / "record"};
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

}  // namespace
