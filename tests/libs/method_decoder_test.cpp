// bzip2, LZMA, xz and Zstandard members (written by make_method_archives.py
// with Python, 7z and the zstd program) through DecodeMember: sound data
// comes out byte for byte; damaged, cut or oversized data fails with its
// reason and never yields more than the stated size.
#include <gtest/gtest.h>

#include <string>

#include "archive_reader.h"
#include "member_decoder.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

using namespace kelp::zip;

namespace {

struct Decoded {
    DecodeResult result;
    std::string bytes;
    uint64_t stated = 0;
};

class MethodArchives : public ::testing::TestWithParam<const char*> {
  protected:
    static void SetUpTestSuite() {
        folder_ = new fixtures::TempDir;
        auto made = fixtures::RunShell(
            "python3 " +
            fixtures::Quote(std::string(KELP_SOURCE_DIR) + "/tests/libs/make_method_archives.py") +
            " " + fixtures::Quote(folder_->path()));
        ASSERT_EQ(made.exitCode, 0) << made.err;
        plain_ = fixtures::ReadFile(*folder_ / "plain.bin");
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    void SetUp() override {
        if (std::string(GetParam()) == "zstd" &&
            fixtures::RunShell("command -v zstd").exitCode != 0)
            GTEST_SKIP() << "no Zstandard encoder (the zstd program) to make the archives with";
    }

    static Decoded Decode(const std::string& variant) {
        Decoded d;
        ArchiveReader reader;
        std::string error;
        const std::string path = *folder_ / (std::string(GetParam()) + variant + ".zip");
        if (!reader.Open(path, error) || reader.entries().size() != 1) {
            ADD_FAILURE() << path << ": " << error;
            return d;
        }
        MemberData data;
        if (!reader.Locate(reader.entries()[0], data, error)) {
            ADD_FAILURE() << path << ": " << error;
            return d;
        }
        d.stated = data.unpackedSize;
        d.result = DecodeMember(reader, data, nullptr, [&](const uint8_t* p, size_t n) {
            d.bytes.append(reinterpret_cast<const char*>(p), n);
            return true;
        });
        return d;
    }

    static fixtures::TempDir* folder_;
    static std::string plain_;
};

fixtures::TempDir* MethodArchives::folder_ = nullptr;
std::string MethodArchives::plain_;

TEST_P(MethodArchives, SoundDataComesOutExactly) {
    Decoded d = Decode("");
    EXPECT_EQ(d.result.status, DecodeStatus::Ok) << d.result.detail;
    EXPECT_EQ(d.bytes.size(), plain_.size());
    EXPECT_TRUE(d.bytes == plain_);
}

TEST_P(MethodArchives, DamagedOrCutDataFailsWithItsReason) {
    Decoded damaged = Decode("_damaged");
    EXPECT_NE(damaged.result.status, DecodeStatus::Ok);
    EXPECT_LE(damaged.bytes.size(), damaged.stated);

    Decoded cut = Decode("_truncated");
    EXPECT_EQ(cut.result.status, DecodeStatus::BadData);
    EXPECT_EQ(cut.result.detail, "compressed data is truncated");
    EXPECT_LT(cut.bytes.size(), cut.stated);
}

TEST_P(MethodArchives, DataBeyondTheStatedSizeIsStoppedThere) {
    Decoded d = Decode("_size_lie");
    EXPECT_EQ(d.result.status, DecodeStatus::BadData);
    EXPECT_LE(d.bytes.size(), d.stated);
    EXPECT_EQ(d.stated, plain_.size() / 2);
    // Without an end marker flag the stated size ends the LZMA data, and
    // what follows is neither the marker nor the end.
    const bool sizeEndsIt = std::string(GetParam()) == "lzma_sized";
    EXPECT_EQ(d.result.detail, sizeEndsIt ? "invalid compressed data"
                                          : "data inflates past its stored size");
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodArchives,
                         ::testing::Values("bzip2", "lzma_python", "lzma_7z", "lzma_sized", "xz",
                                           "zstd"));

}  // namespace
