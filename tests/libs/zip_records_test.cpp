// The record codec: every record written by record_writer reads back the
// same through zip_records, ZIP64 values move in and out of the extra field,
// and damaged bytes are refused rather than read past.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "crc32.h"
#include "record_writer.h"
#include "zip_records.h"

namespace kelp::zip {
namespace {

std::vector<uint8_t> CentralBytes(CentralHeader h, std::string_view name,
                                  std::span<const uint8_t> extra, std::string_view comment) {
    std::vector<uint8_t> out;
    h.nameLength = static_cast<uint16_t>(name.size());
    h.extraLength = static_cast<uint16_t>(extra.size());
    h.commentLength = static_cast<uint16_t>(comment.size());
    AppendCentralHeader(out, h);
    AppendBytes(out, name);
    AppendBytes(out, extra);
    AppendBytes(out, comment);
    return out;
}

TEST(ZipRecords, CentralValuesBeyond32BitsGoThroughTheZip64Field) {
    const std::vector<uint8_t> other = {0x55, 0x54, 5,    0,   1,
                                        0x10, 0x20, 0x30, 0x40};  // a timestamp
    struct Case {
        uint64_t size, packed, offset;
        uint32_t disk;
    } cases[] = {{10, 5, 100, 0},
                 {0xFFFFFFFEull, 5, 100, 0},  // the last value that fits
                 {0xFFFFFFFFull, 5, 100, 0},  // the first that does not
                 {5ull << 30, 5, 100, 0},
                 {5ull << 30, 6ull << 30, 7ull << 30, 3},
                 {1, 2, 0xFFFFFFFFull, 70000}};
    for (const Case& c : cases) {
        CentralHeader h;
        h.versionNeeded = 20;
        const auto extra = PutCentralValues(h, other, c.size, c.packed, c.offset, c.disk);
        const auto bytes = CentralBytes(h, "a/b.txt", extra, "note");
        CentralRecord r;
        ASSERT_TRUE(ParseCentralRecord(bytes, r));
        EXPECT_EQ(r.unpackedSize, c.size);
        EXPECT_EQ(r.packedSize, c.packed);
        EXPECT_EQ(r.localOffset, c.offset);
        EXPECT_EQ(r.diskStart, c.disk);
        EXPECT_EQ(r.name, "a/b.txt");
        EXPECT_EQ(r.comment, "note");
        EXPECT_EQ(r.recordSize, bytes.size());
        const bool zip64 = c.size >= kFull32 || c.offset >= kFull32 || c.disk >= kFull16;
        EXPECT_EQ(FindExtraField(r.extra, kExtraZip64).has_value(), zip64);
        EXPECT_EQ(r.header.versionNeeded, zip64 ? 45 : 20);
        // The other field survives the rewrite.
        EXPECT_EQ(FindUnixModTime(r.extra), 0x40302010);
        // Rewriting with small values drops the ZIP64 field again.
        const auto small = PutCentralValues(h, r.extra, 1, 1, 1, 0);
        EXPECT_FALSE(FindExtraField(small, kExtraZip64));
        EXPECT_EQ(small.size(), other.size());
    }
}

TEST(ZipRecords, TruncatedOrForeignBytesAreRefused) {
    CentralHeader h;
    const auto bytes = CentralBytes(h, "name", {}, "comment");
    CentralRecord r;
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(ParseCentralRecord(std::span(bytes).first(cut), r)) << cut;
    auto wrong = bytes;
    wrong[2] = 3;
    EXPECT_FALSE(ParseCentralRecord(wrong, r));

    LocalHeader lh;
    lh.nameLength = 3;
    std::vector<uint8_t> local;
    AppendLocalHeader(local, lh);
    AppendBytes(local, std::string_view("abc"));
    LocalRecord lr;
    EXPECT_TRUE(ParseLocalRecord(local, lr));
    EXPECT_EQ(lr.name, "abc");
    EXPECT_FALSE(ParseLocalRecord(std::span(local).first(32), lr));

    // An extra field whose length runs past the list ends the search.
    const std::vector<uint8_t> broken = {0x01, 0x00, 0x20, 0x00, 1, 2, 3};
    EXPECT_FALSE(FindExtraField(broken, kExtraZip64));
    Zip64Values v{7, 8, 9, 0};
    ApplyZip64Extra(broken, true, true, true, false, v);
    EXPECT_EQ(v.unpackedSize, 7u);
}

TEST(ZipRecords, EndRecordsAndDescriptorsReadBack) {
    std::vector<uint8_t> out;
    Zip64Eocd e;
    e.thisDisk = 2;
    e.centralDisk = 1;
    e.entriesOnDisk = 70000;
    e.totalEntries = 70001;
    e.centralSize = 5ull << 30;
    e.centralOffset = 6ull << 30;
    AppendZip64Eocd(out, e);
    AppendZip64Locator(out, {2, 123456789012ull, 3});
    ASSERT_EQ(out.size(), kZip64EocdSize + kZip64LocatorSize);
    Zip64Eocd back;
    ASSERT_TRUE(ParseZip64Eocd(out, back));
    EXPECT_EQ(back.totalEntries, 70001u);
    EXPECT_EQ(back.centralOffset, 6ull << 30);
    EXPECT_EQ(back.thisDisk, 2u);
    Zip64Locator loc;
    ASSERT_TRUE(ParseZip64Locator(std::span(out).subspan(kZip64EocdSize), loc));
    EXPECT_EQ(loc.eocdOffset, 123456789012ull);
    EXPECT_EQ(loc.totalDisks, 3u);

    std::vector<uint8_t> d;
    AppendDataDescriptor64(d, 0xCAFEBABE, 5ull << 30, 6ull << 30);
    DataDescriptor dd;
    ASSERT_TRUE(ParseDataDescriptor(d, dd, true));
    EXPECT_EQ(dd.recordSize, 24u);
    EXPECT_EQ(dd.packedSize, 5ull << 30);
    EXPECT_EQ(dd.unpackedSize, 6ull << 30);
    // Without its signature the 32-bit form is 12 bytes.
    std::vector<uint8_t> plain;
    AppendDataDescriptor(plain, 1, 2, 3);
    ASSERT_TRUE(ParseDataDescriptor(std::span(plain).subspan(4), dd));
    EXPECT_EQ(dd.recordSize, 12u);
    EXPECT_EQ(dd.unpackedSize, 3u);
}

TEST(ZipRecords, UnicodePathNeedsTheCrcOfTheHeaderName) {
    const std::string header = "caf_.txt", utf8 = "caf\xC3\xA9.txt";
    auto field = [&](uint32_t crc) {
        std::vector<uint8_t> x;
        AppendLe16(x, kExtraUnicodePath);
        AppendLe16(x, static_cast<uint16_t>(5 + utf8.size()));
        x.push_back(1);
        AppendLe32(x, crc);
        AppendBytes(x, utf8);
        return x;
    };
    EXPECT_EQ(FindUnicodePath(field(Crc32(0, header.data(), header.size())), header), utf8);
    // A field left from before a rename no longer matches the header name.
    EXPECT_FALSE(FindUnicodePath(field(Crc32(0, "old", 3)), header));

    std::vector<uint8_t> owner = {0x75, 0x78, 11, 0, 1, 4, 0xE8, 0x03, 0, 0, 4, 0xE9, 0x03, 0, 0};
    const auto o = FindUnixOwner(owner);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->uid, 1000u);
    EXPECT_EQ(o->gid, 1001u);
    owner[10] = 9;  // a gid size past the field
    EXPECT_FALSE(FindUnixOwner(owner));
}

// Every field Kelp reads, in a block where a field in front leaves fewer
// bytes than the field declares (though the whole block holds more): the
// rest of its bytes follow outside the block, where a reader that checks
// against the whole block rather than the bytes left would find them.
TEST(ZipRecords, FieldsRunningPastTheBytesLeftInTheBlockAreRefused) {
    const std::string header = "name.txt";
    auto bytes = [](std::initializer_list<uint32_t> values, int width) {
        std::vector<uint8_t> v;
        for (uint32_t x : values)
            (width == 4 ? AppendLe32(v, x) : v.push_back(static_cast<uint8_t>(x)));
        return v;
    };
    std::vector<uint8_t> unicode = {1};
    AppendLe32(unicode, Crc32(0, header.data(), header.size()));
    AppendBytes(unicode, std::string_view("n\xC3\xA4me.txt"));
    struct Field {
        const char* name;
        uint16_t id;
        std::vector<uint8_t> body;
        std::function<bool(std::span<const uint8_t>)> read;
    };
    const Field fields[] = {
        {"ZIP64", kExtraZip64, bytes({7, 0, 8, 0, 9, 0}, 4),
         [](auto extra) {
             Zip64Values v{1, 2, 3, 4};
             ApplyZip64Extra(extra, true, true, true, false, v);
             return v.unpackedSize != 1 || v.packedSize != 2 || v.localOffset != 3;
         }},
        {"Unicode path", kExtraUnicodePath, unicode,
         [&](auto extra) { return FindUnicodePath(extra, header).has_value(); }},
        {"time", kExtraUnixTime, bytes({1, 0x00, 0x5E, 0x60, 0x5C}, 1),
         [](auto extra) { return FindUnixModTime(extra).has_value(); }},
        {"Unix owner", kExtraUnixOwner, bytes({1, 4, 0xE8, 3, 0, 0, 4, 0xE9, 3, 0, 0}, 1),
         [](auto extra) { return FindUnixOwner(extra).has_value(); }},
        {"AES", kExtraAes, bytes({2, 0, 'A', 'E', 3, 8, 0}, 1),
         [](auto extra) { return FindAesExtra(extra).has_value(); }},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.name);
        std::vector<uint8_t> block;
        AppendLe16(block, 0xCAFE);  // a field Kelp does not read, in front
        AppendLe16(block, 16);
        block.resize(block.size() + 16, 0);
        AppendLe16(block, f.id);
        AppendLe16(block, static_cast<uint16_t>(f.body.size()));
        AppendBytes(block, std::span<const uint8_t>(f.body));
        EXPECT_TRUE(f.read(block));  // whole, it is read
        for (size_t cut : {size_t{1}, f.body.size() - 1, f.body.size()}) {
            const std::span<const uint8_t> shorter(block.data(), block.size() - cut);
            ASSERT_LE(f.body.size(), shorter.size());
            EXPECT_FALSE(f.read(shorter)) << cut << " bytes short";
        }
        // The same block cut short in a central header (the comment holds
        // the rest) and in a local header (the data does).
        const std::span<const uint8_t> shortBlock(block.data(), block.size() - 1);
        CentralHeader ch;
        ch.unpackedSize = ch.packedSize = ch.localHeaderOffset = kFull32;
        const std::string rest(1, static_cast<char>(block.back()));
        const auto central = CentralBytes(ch, header, shortBlock, rest);
        CentralRecord cr;
        ASSERT_TRUE(ParseCentralRecord(central, cr));
        EXPECT_FALSE(f.read(cr.extra));
        EXPECT_EQ(cr.packedSize, kFull32);
        LocalHeader lh;
        lh.nameLength = static_cast<uint16_t>(header.size());
        lh.extraLength = static_cast<uint16_t>(shortBlock.size());
        std::vector<uint8_t> local;
        AppendLocalHeader(local, lh);
        AppendBytes(local, header);
        AppendBytes(local, shortBlock);
        AppendBytes(local, rest);
        LocalRecord lr;
        ASSERT_TRUE(ParseLocalRecord(local, lr));
        EXPECT_FALSE(f.read(lr.extra));
    }
}

}  // namespace
}  // namespace kelp::zip
