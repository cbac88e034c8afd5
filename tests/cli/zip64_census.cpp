#include "tests/cli/zip64_census.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <span>
#include <vector>

#include "libs/zipcore/zip_records.h"

namespace fixtures {

namespace {

// Bytes of the file from `offset` on (fewer where it ends): archives of
// several GiB are read piece by piece.
std::vector<uint8_t> ReadAt(std::ifstream& file, uint64_t offset, size_t size) {
    std::vector<uint8_t> bytes(size);
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

}  // namespace

Zip64Census CheckZip64Records(const std::string& path, uint64_t sizeLimit, uint64_t countLimit,
                              bool locals, uint64_t reserveFrom) {
    namespace zip = kelp::zip;
    Zip64Census census;
    std::ifstream file(path, std::ios::binary);
    file.seekg(0, std::ios::end);
    const uint64_t fileSize = static_cast<uint64_t>(file.tellg());
    // The end records and the directory: the last 64 KiB and its end records
    // are read first, the directory once its place is known.
    const uint64_t tailAt = fileSize - std::min<uint64_t>(fileSize, zip::kMaxEocdSearch + 76);
    const std::vector<uint8_t> tail = ReadAt(file, tailAt, fileSize - tailAt);
    const auto found = zip::FindEocd(tail);
    zip::Eocd eocd;
    if (!found || !zip::ParseEocd(std::span(tail).subspan(*found), eocd)) {
        ADD_FAILURE() << path << ": no end record";
        return census;
    }
    const std::span<const uint8_t> bytes(tail);
    const size_t eocdAt = *found;
    uint64_t entries = eocd.totalEntries, dirSize = eocd.centralSize,
             dirOffset = eocd.centralOffset;
    zip::Zip64Locator locator;
    zip::Zip64Eocd wide;
    census.endRecord =
        eocdAt >= zip::kZip64LocatorSize + zip::kZip64EocdSize &&
        zip::ParseZip64Locator(bytes.subspan(eocdAt - zip::kZip64LocatorSize), locator);
    uint64_t dirEnd = tailAt + eocdAt;
    if (census.endRecord) {
        const size_t wideAt = eocdAt - zip::kZip64LocatorSize - zip::kZip64EocdSize;
        dirEnd = tailAt + wideAt;
        EXPECT_TRUE(zip::ParseZip64Eocd(bytes.subspan(wideAt), wide)) << path;
        EXPECT_EQ(locator.eocdOffset, dirEnd) << path;
        if (eocd.totalEntries == zip::kFull16) entries = wide.totalEntries;
        if (eocd.centralSize == zip::kFull32) dirSize = wide.centralSize;
        if (eocd.centralOffset == zip::kFull32) dirOffset = wide.centralOffset;
        EXPECT_EQ(wide.totalEntries, entries) << path;
        EXPECT_EQ(wide.centralSize, dirSize) << path;
        EXPECT_EQ(wide.centralOffset, dirOffset) << path;
    }
    EXPECT_EQ(census.endRecord,
              entries >= countLimit || dirSize >= sizeLimit || dirOffset >= sizeLimit)
        << path << ": " << entries << " members, directory of " << dirSize << " bytes at "
        << dirOffset;
    // The directory lies right in front of the end records.
    if (dirSize > dirEnd) {
        ADD_FAILURE() << path << ": directory larger than the file";
        return census;
    }
    EXPECT_EQ(dirEnd - dirSize, dirOffset) << path << ": stored directory offset";
    const std::vector<uint8_t> directory = ReadAt(file, dirEnd - dirSize, dirSize);
    size_t at = 0;
    while (at < directory.size()) {
        zip::CentralRecord r;
        if (!zip::ParseCentralRecord(std::span(directory).subspan(at), r)) {
            ADD_FAILURE() << path << ": bad central record at " << at;
            return census;
        }
        ++census.members;
        const bool field = zip::FindExtraField(r.extra, zip::kExtraZip64).has_value();
        census.centralFields += field;
        EXPECT_EQ(field, r.unpackedSize >= sizeLimit || r.packedSize >= sizeLimit ||
                             r.localOffset >= sizeLimit)
            << path << ": " << r.name << " " << r.unpackedSize << "/" << r.packedSize << " at "
            << r.localOffset;
        zip::LocalRecord local;
        if (locals) {
            zip::LocalHeader fixed;
            std::vector<uint8_t> head = ReadAt(file, r.localOffset, zip::kLocalHeaderSize);
            if (zip::ParseLocalHeader(head, fixed))
                head = ReadAt(file, r.localOffset, zip::LocalRecordSize(fixed));
            if (!zip::ParseLocalRecord(head, local)) {
                ADD_FAILURE() << path << ": no local header for " << r.name;
            } else {
                EXPECT_EQ(local.name, r.name);
                const bool localField =
                    zip::FindExtraField(local.extra, zip::kExtraZip64).has_value();
                census.localFields += localField;
                const bool needed = r.unpackedSize >= sizeLimit || r.packedSize >= sizeLimit;
                // 12: the encryption header stored data may carry.
                const bool reserved =
                    r.unpackedSize + 12 >= sizeLimit && r.unpackedSize >= reserveFrom;
                EXPECT_TRUE(localField == needed || (localField && reserved))
                    << path << ": local " << r.name;
            }
        }
        at += r.recordSize;
    }
    EXPECT_EQ(census.members, entries) << path;
    return census;
}

}  // namespace fixtures
