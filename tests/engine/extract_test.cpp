// Extracting through the real decompression library from a set of part
// files joined first; to memory is the exact-names test's.
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

// Cuts an archive into part files the way a set on a fixed drive is stored:
// the marker and the local entries in the first part, the central directory
// and end record in the second.
void WriteTwoPartSet(const fixtures::TempDir& dir, const std::string& single) {
    const size_t central = single.find("PK\1\2");
    const size_t end = single.find("PK\5\6");
    std::string part2 = single.substr(central, end - central) + single.substr(end);
    // Central headers keep their offsets (+4 for the marker, on part 0);
    // the end record names part 1 as last and as the directory's start.
    const size_t eocd = part2.find("PK\5\6");
    part2[eocd + 4] = 1;
    part2[eocd + 6] = 1;
    for (int i = 0; i < 4; ++i) part2[eocd + 16 + i] = 0;
    for (size_t at = part2.find("PK\1\2"); at < eocd; at = part2.find("PK\1\2", at + 1)) {
        uint32_t offset = static_cast<unsigned char>(part2[at + 42]) + 4;
        for (int i = 0; i < 4; ++i) part2[at + 42 + i] = static_cast<char>(offset >> (8 * i));
    }
    fixtures::WriteFile(dir / "set001.zip", "PK\7\x08" + single.substr(0, central));
    fixtures::WriteFile(dir / "set002.zip", part2);
}

TEST_F(Extract, SetOfPartFilesIsJoinedAndTheJoinedCopyRemoved) {
    WriteTwoPartSet(dir, Archive());
    zip.setZipFileName(dir / "set002.zip");
    ASSERT_EQ(zip.EntryCount(), 2u);
    zip.ExtrBaseDir = dir / "out";
    fs::create_directories(dir / "out");
    zip.ExtrOptions = {kelp::engine::ExtrDirNames};
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 2);
    EXPECT_EQ(fixtures::ReadFile(dir / "out/Docs/Read Me.txt"), "hello");
    EXPECT_EQ(fixtures::ReadFile(dir / "out/b.bin"), "xyz");
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

}  // namespace
