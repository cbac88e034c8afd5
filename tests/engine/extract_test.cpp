// Extracting to memory through the real decompression library.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/zip_engine.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class Extract : public ::testing::Test {
  protected:
    Extract() {
        zip.SetHostUi(&host);
        zip.TempDir = dir / "tmp";
        fs::create_directories(dir / "tmp");
    }

    static std::string Archive() {
        return fixtures::ArchiveBuilder()
            .Add("Docs/Read Me.txt", "hello")
            .Add("b.bin", "xyz")
            .Build();
    }

    fixtures::TempDir dir;
    fixtures::RecordingHostUi host;
    kelp::engine::ZipEngine zip;
};

TEST_F(Extract, ToMemoryFindsTheMemberByItsExactName) {
    // Names differing only in case are different members.
    fixtures::WriteFile(dir / "a.zip", fixtures::ArchiveBuilder()
                                           .Add("Docs/Read Me.txt", "hello")
                                           .Add("docs/read me.txt", "other!")
                                           .Build());
    zip.setZipFileName(dir / "a.zip");
    for (const auto& [name, text] :
         {std::pair{"docs/read me.txt", "other!"}, std::pair{"Docs/Read Me.txt", "hello"}}) {
        zip.FSpecArgs = {name};
        zip.ExtractToMemory();
        EXPECT_EQ(zip.SuccessCount(), 1) << name;
        EXPECT_EQ(std::string(zip.ExtractStream().begin(), zip.ExtractStream().end()), text);
        EXPECT_TRUE(zip.FSpecArgs.empty());
    }
    zip.FSpecArgs = {"DOCS/READ ME.TXT"};
    zip.ExtractToMemory();
    EXPECT_EQ(zip.SuccessCount(), 0);

    zip.FSpecArgs = {"missing.txt"};
    zip.ExtractToMemory();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_TRUE(zip.ExtractStream().empty());
}

}  // namespace
