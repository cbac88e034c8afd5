// Deflate64, bzip2, LZMA, xz and Zstandard members (written by
// make_method_archives.py with Python, 7z and the zstd program) through DecodeMember: sound data
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

// The archives, made once for the whole program.
const fixtures::TempDir& Folder() {
    static fixtures::TempDir* folder = [] {
        auto* f = new fixtures::TempDir;
        EXPECT_TRUE(fixtures::Succeeds(
            "python3 " +
            fixtures::Quote(std::string(KELP_SOURCE_DIR) + "/tests/libs/make_method_archives.py") +
            " " + fixtures::Quote(f->path())));
        return f;
    }();
    return *folder;
}

Decoded DecodeFile(const std::string& path) {
    Decoded d;
    ArchiveReader reader;
    std::string error;
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

class MethodArchives : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (std::string(GetParam()) == "zstd" &&
            fixtures::RunShell("command -v zstd").exitCode != 0)
            GTEST_SKIP() << "no Zstandard encoder (the zstd program) to make the archives with";
        plain_ = fixtures::ReadFile(Folder() / "plain.bin");
    }

    Decoded Decode(const std::string& variant) {
        return DecodeFile(Folder() / (std::string(GetParam()) + variant + ".zip"));
    }

    std::string plain_;
};

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
    EXPECT_EQ(d.result.detail,
              sizeEndsIt ? "invalid compressed data" : "data inflates past its stored size");
}

// The longest match Deflate64 has (65 538 bytes) and both far distance
// codes, in a stream that 7z accepts.
TEST(Deflate64, LongestMatchAndFarDistancesComeOutAsThePeerHasThem) {
    const std::string archive = Folder() / "deflate64_crafted.zip";
    EXPECT_TRUE(fixtures::Succeeds("7z t " + fixtures::Quote(archive)));
    Decoded d = DecodeFile(archive);
    EXPECT_EQ(d.result.status, DecodeStatus::Ok) << d.result.detail;
    EXPECT_TRUE(d.bytes == fixtures::ReadFile(Folder() / "deflate64_crafted.bin"));
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodArchives,
                         ::testing::Values("deflate64", "bzip2", "lzma_python", "lzma_7z",
                                           "lzma_sized", "xz", "zstd"));

}  // namespace
