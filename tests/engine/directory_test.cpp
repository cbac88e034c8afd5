// The one directory reader, through both of its faces: the engine's listing
// (its messages) and the libraries' ArchiveReader (its verdict). Each row is
// an archive, or the parts of a set; both faces must agree on the members.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "libs/zipcore/archive_reader.h"
#include "libs/zipcore/crc32.h"
#include "libs/zipcore/record_writer.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"

namespace {

using fixtures::ArchiveBuilder;
using Files = std::vector<std::pair<std::string, std::string>>;  // the last one is listed

std::string TwoMembers() {
    return ArchiveBuilder().Add("docs/readme.txt", "hello").Add("b.bin", "xyz").Build();
}

// The archive with the end record's counts set to `count`.
std::string Counting(std::string archive, uint16_t count) {
    const size_t end = archive.rfind("PK\5\6");
    archive[end + 8] = archive[end + 10] = static_cast<char>(count);
    archive[end + 9] = archive[end + 11] = static_cast<char>(count >> 8);
    return archive;
}

// The archive with `byte` at the offset `at` from its second central header.
std::string AtSecondHeader(size_t at, char byte) {
    std::string archive = TwoMembers();
    archive[archive.find("PK\1\2", archive.find("PK\1\2") + 1) + at] = byte;
    return archive;
}

// A set of two parts on a fixed drive: the first holds everything up to
// `cut` bytes into the central directory, the second the rest and the end
// record, which says the directory starts on part 0.
Files TwoParts(size_t cut) {
    const std::string single = TwoMembers();
    const size_t central = single.find("PK\1\2");
    const size_t end = single.find("PK\5\6");
    cut = std::min(cut, end - central);
    std::string eocd = single.substr(end);
    eocd[4] = 1;  // this disk
    eocd[6] = 0;  // disk of the central directory
    const uint32_t offset = static_cast<uint32_t>(central + 4);
    for (int i = 0; i < 4; ++i) eocd[16 + i] = static_cast<char>(offset >> (8 * i));
    return {{"data001.zip", "PK\7\x08" + single.substr(0, central + cut)},
            {"data002.zip", single.substr(central + cut, end - central - cut) + eocd}};
}

Files One(const std::string& archive, const std::string& name = "a.zip") {
    return {{name, archive}};
}

// 65 537 members counted as 65 537 mod 65 536 = 1.
std::string Wrapped() {
    ArchiveBuilder b;
    for (int i = 0; i < 65537; ++i) b.Add(std::to_string(i), "");
    return b.Build();
}

std::string Zip64End() {
    ArchiveBuilder b;
    for (int i = 0; i < 5; ++i) b.Add("m" + std::to_string(i), std::string(i, 'z'));
    return b.Zip64End(true).Comment("big").Build();
}

// An archive whose comment length claims 200 bytes where 3 are left.
std::string CommentCut() {
    std::string archive = ArchiveBuilder().Add("a", "1").Comment("abc").Build();
    archive[archive.size() - 5] = static_cast<char>(200);
    return archive;
}

// The second central header points at the first member's data.
std::string SharedData() {
    std::string archive = TwoMembers();
    const size_t second = archive.find("PK\1\2", archive.find("PK\1\2") + 1);
    for (int i = 0; i < 4; ++i) archive[second + 42 + i] = 0;
    return archive;
}

std::string Prefixed(bool adjust) {
    return ArchiveBuilder().Add("x", "d").Prefix(std::string(1000, 'M'), adjust).Build();
}

struct Row {
    const char* name;
    Files files;
    size_t listed;        // members the engine lists (EntryCount)
    const char* message;  // what the engine shows last, "" for nothing
    // The libraries' reader: members read (-1: the archive is refused),
    // whether it finds the directory cut or its count wrong.
    int libMembers;
    bool libDamaged = false;
    size_t overlapping = 0;
};

const char* const kCountMismatch =
    "Error while reading a central header\n3 members in the central directory, 1 in the end record";
const char* const kNotZip = "This archive is not a valid Zip archive";
const std::string kThree = ArchiveBuilder().Add("a", "1").Add("b", "2").Add("c", "3").Build();

const Row kRows[] = {
    {"plain", One(TwoMembers()), 2, "", 2},
    {"empty", One(ArchiveBuilder().Build()), 0, "", 0},
    {"zip64 end records", One(Zip64End()), 5, "", 5},
    {"count wrapped past 65 535", One(Wrapped()), 65537, "", 65537},
    {"count too low", One(Counting(kThree, 1)), 3, kCountMismatch, 3, true},
    {"count too high", One(Counting(TwoMembers(), 3)), 0, "Error while reading a central header", 2,
     true},
    {"bad signature", One(AtSecondHeader(2, 9)), 0, "A central header signature is wrong", 1, true},
    {"name past the directory", One(AtSecondHeader(28, '\xFF')), 0,
     "Error while reading a central file name", 1, true},
    {"prefix the offsets count", One(Prefixed(true)), 1, "", 1},
    {"prefix the offsets ignore", One(Prefixed(false)), 1, "Warning - Error in zip structure!", 1},
    {"comment cut by the end of the file", One(CommentCut()), 1, "", 1},
    {"garbage behind", One(TwoMembers() + "junk"), 2,
     "Warning - Garbage at the end of the zipfile!", 2},
    {"members over the same data", One(SharedData()), 2, "", 2, false, 2},
    {"not an archive", One(std::string(70000, 'r')), 0, kNotZip, -1},
    {"too short", One("PK\5\6"), 0, kNotZip, -1},
    {"a number for extension is no part", One(TwoMembers(), "backup.2024"), 2, "", 2},
    {"first part of a set", One("PK\7\x08" + TwoMembers().substr(0, 40), "data001.zip"), 0,
     "This is the first file in a backup set,\nplease choose the last file of this set", -1},
    {"set, directory in an earlier part", TwoParts(1000), 2, "", -1},
    {"set, a header cut across two parts", TwoParts(20), 2, "", -1},
};

class Directory : public fixtures::EngineFixture<::testing::TestWithParam<Row>> {
  protected:
    Directory() {
        zip.OnNewName = [this](int, const kelp::engine::ZipDirEntry& e) {
            names.emplace_back(e.MemberName());
        };
    }

    // Writes the files and lists the last one.
    void List(const Files& files) {
        logged.clear();
        names.clear();
        for (const auto& [name, bytes] : files) fixtures::WriteFile(dir / name, bytes);
        zip.setZipFileName(dir / files.back().first);
    }

    std::vector<std::string> names;
};

TEST_P(Directory, BothFacesGiveTheSameMembers) {
    const Row& row = GetParam();
    const Files& files = row.files;
    List(files);
    EXPECT_EQ(zip.EntryCount(), row.listed);
    EXPECT_EQ(Last(), row.message);
    if (row.libMembers < 0) return;
    kelp::zip::ArchiveReader reader;
    std::string error;
    const bool opened = reader.Open(dir / files.back().first, error);
    ASSERT_TRUE(opened) << error;
    ASSERT_EQ(reader.entries().size(), static_cast<size_t>(row.libMembers));
    EXPECT_EQ(reader.directoryTruncated() || reader.countMismatch(), row.libDamaged);
    EXPECT_EQ(reader.overlappingEntries(), row.overlapping);
    // The engine lists what the library reads, name by name.
    ASSERT_EQ(names.size(), reader.entries().size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(names[i], reader.entries()[i].displayName) << i;
    // Lent the engine's directory, the library gives the same verdict.
    KDirectoryLoan loan{};
    if (!zip.LendDirectory(loan)) return;
    kelp::zip::ArchiveReader lent;
    ASSERT_TRUE(lent.Open(dir / files.back().first, error, &loan)) << error;
    EXPECT_TRUE(lent.borrowed());
    EXPECT_EQ(lent.directoryTruncated() || lent.countMismatch(), row.libDamaged);
    EXPECT_EQ(lent.overlappingEntries(), row.overlapping);
    ASSERT_EQ(lent.entries().size(), reader.entries().size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(lent.entries()[i].displayName, names[i]) << i;
        EXPECT_EQ(lent.entries()[i].localOffset, reader.entries()[i].localOffset) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Directory, ::testing::ValuesIn(kRows), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

using DirectoryFields = Directory;

TEST_F(DirectoryFields, BlockFillIsNoGarbageAndTheCommentKeepsWhatIsThere) {
    const std::string archive = ArchiveBuilder().Add("a", "1").Comment("c").Build();
    List({{"a.zip", archive + std::string(512 - archive.size() % 512, '\0')}});
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(zip.ArchiveComment(), "c");
    EXPECT_EQ(zip.LogicalSize(), static_cast<int64_t>(archive.size()));

    // Every cut: short of the comment the archive is refused, else listed.
    const std::string good =
        ArchiveBuilder().Add("dir/", "").Add("dir/f.txt", "contents").Comment("cc").Build();
    const size_t commentAt = good.size() - 2;
    for (size_t cut = 0; cut < good.size(); ++cut) {
        List({{"a.zip", good.substr(0, cut)}});
        EXPECT_EQ(logged.empty(), cut >= commentAt) << "cut at " << cut;
        EXPECT_EQ(zip.EntryCount(), cut < commentAt ? 0u : 2u) << "cut at " << cut;
        if (cut >= commentAt) {
            EXPECT_EQ(zip.ArchiveComment(), good.substr(commentAt, cut - commentAt));
        }
    }
}

TEST_F(DirectoryFields, ALentDirectoryIsTakenOnlyForTheFileItWasReadFromUnchanged) {
    List({{"a.zip", TwoMembers()}});
    const std::string path = dir / "a.zip";
    KDirectoryLoan loan{};
    ASSERT_TRUE(zip.LendDirectory(loan));
    auto borrows = [&](const KDirectoryLoan& offered) {
        kelp::zip::ArchiveReader reader;
        std::string error;
        EXPECT_TRUE(reader.Open(path, error, &offered)) << error;
        EXPECT_EQ(reader.entries().size(), 2u);
        return reader.borrowed();
    };
    EXPECT_TRUE(borrows(loan));

    std::vector<uint32_t> at(loan.HeaderAt, loan.HeaderAt + loan.Count);
    const uint32_t nameAt[] = {1, 0};
    using Change = std::function<void(KDirectoryLoan&)>;
    const std::pair<const char*, Change> refused[] = {
        {"another file", [](KDirectoryLoan& l) { ++l.FileInode; }},
        {"another size", [](KDirectoryLoan& l) { ++l.FileSize; }},
        {"another time", [](KDirectoryLoan& l) { ++l.FileTimeNsec; }},
        {"another place", [](KDirectoryLoan& l) { ++l.CentralOffset; }},
        {"a header past the bytes",
         [&](KDirectoryLoan& l) {
             at[1] = static_cast<uint32_t>(l.CentralSize - 10);
             l.HeaderAt = at.data();
         }},
        {"a name past the names",
         [&](KDirectoryLoan& l) {
             l.NameAt = nameAt;
             l.Names = "ab";
             l.NamesSize = 2;
         }},
    };
    for (const auto& [what, change] : refused) {
        KDirectoryLoan changed = loan;
        change(changed);
        EXPECT_FALSE(borrows(changed)) << what;
    }

    // Rewritten since the engine read it, with the same layout and other
    // data: the library reads the file's own directory, and its CRCs hold.
    fixtures::WriteFile(
        path, ArchiveBuilder().Add("docs/readme.txt", "HELLO").Add("b.bin", "XYZ").Build());
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    EXPECT_FALSE(borrows(loan));
    logged.clear();
    kelp::engine::ExtractRequest test;
    test.archive = path;
    test.options = {kelp::engine::ExtrTest};
    zip.Run(test);
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back().rfind("No Errors Found: 2 members tested", 0), 0u) << logged.back();
    // Deleting from it keeps the other member's own record, not the stale one.
    ASSERT_TRUE(zip.Run(kelp::engine::DeleteRequest{path, {"b.bin"}, true}));
    zip.Run(test);
    EXPECT_EQ(logged.back().rfind("No Errors Found: 1 members tested", 0), 0u) << logged.back();
}

TEST_F(DirectoryFields, MissingFilesAndPartsOfASet) {
    zip.setZipFileName(dir / "nothing.zip");
    EXPECT_EQ(zip.EntryCount(), 0u);
    EXPECT_TRUE(logged.empty());

    Files parts = TwoParts(20);
    List(parts);
    EXPECT_EQ(zip.LastDiskNumber(), 1);
    std::filesystem::remove(dir / "data001.zip");
    List({parts.back()});
    EXPECT_EQ(Last(), "A part of this set is missing: " + dir / "data001.zip");
    EXPECT_EQ(zip.EntryCount(), 0u);
}

TEST_F(DirectoryFields, NamesNotUtf8AreDecodedFromTheArchivesCodePageOrTheChosenOne) {
    fixtures::BuilderMember fat{.name = "caf\x82.txt", .host = 0};  // é in the OEM pages
    fixtures::BuilderMember ntfs = fat;
    ntfs.host = 11;
    fixtures::BuilderMember flagged{.name = "\xC3\xA9t\xC3\xA9.txt", .host = 0, .flags = 0x0800};
    flagged.comment = "\xC3\xA9";
    fixtures::BuilderMember utf8 = flagged;  // valid UTF-8 without the flag
    utf8.flags = 0;
    utf8.name = "\xC3\xBC.txt";  // "ü"

    List({{"a.zip", ArchiveBuilder().Add(fat).Add(ntfs).Add(flagged).Add(utf8).Build()}});
    EXPECT_EQ(names, (std::vector<std::string>{"café.txt", "café.txt", "été.txt", "ü.txt"}));
    EXPECT_EQ(zip.DirEntries()[2].MemberComment(), "é");
    EXPECT_EQ(zip.NameCharsetInUse(), "CP437");

    // A chosen page reads every name without the flag, valid UTF-8 or not.
    zip.NameCharset = "CP1252";
    names.clear();
    zip.List();
    EXPECT_EQ(names, (std::vector<std::string>{"caf\u201A.txt", "caf\u201A.txt", "été.txt",
                                               "\u00C3\u00BC.txt"}));
    zip.NameCharset.clear();
    zip.CodePage = kelp::engine::cpNone;
    zip.List();
    EXPECT_EQ(zip.DirEntries()[0].MemberName(), "caf\x82.txt");

    // The archive comment is in the page of the names, read and written.
    zip.CodePage = kelp::engine::cpAuto;
    fixtures::BuilderMember ru = fat;
    ru.name = "\x8E\xE2\xE7\xF1\xE2 \xA7\xA0 \xA3\xAE\xA4.txt";  // "Отчёт за год.txt" in CP866
    List({{"a.zip", ArchiveBuilder().Add(ru).Comment("\x8F\xA8\xE1\xEC\xAC\xAE").Build()}});
    EXPECT_EQ(zip.DirEntries()[0].MemberName(), "Отчёт за год.txt");
    EXPECT_EQ(zip.ArchiveComment(), "Письмо");
    zip.setArchiveComment("Лето");
    const std::string written = fixtures::ReadFile(dir / "a.zip");
    EXPECT_EQ(written.substr(written.size() - 4), "\x8B\xA5\xE2\xAE");

    // HPFS names, and NTFS names from version 5.0, are OEM even under cpNone.
    zip.CodePage = kelp::engine::cpNone;
    fixtures::BuilderMember hpfs = fat;
    hpfs.host = 6;
    fixtures::BuilderMember ntfs50 = ntfs;
    ntfs50.versionMadeBy = 50;
    List({{"a.zip", ArchiveBuilder().Add(hpfs).Add(ntfs50).Build()}});
    EXPECT_EQ(names, (std::vector<std::string>{"café.txt", "café.txt"}));
}

TEST_F(DirectoryFields, SizesPast4GiBAndUnicodeNamesComeFromTheirExtraFields) {
    fixtures::BuilderMember big{.name = "big.iso", .data = "x"};
    big.claimedSize = 5ull << 30;
    big.comment = "comment";  // read before the next member's extra field
    // A CP437 name with the UTF-8 form in a Unicode path field; a second
    // field whose CRC belongs to another name is ignored.
    auto unicodeField = [](const std::string& headerName, const std::string& utf8) {
        const uint32_t crc = kelp::zip::Crc32(0, headerName.data(), headerName.size());
        std::vector<uint8_t> x;
        kelp::zip::AppendLe16(x, kelp::zip::kExtraUnicodePath);
        kelp::zip::AppendLe16(x, static_cast<uint16_t>(5 + utf8.size()));
        x.push_back(1);
        kelp::zip::AppendLe32(x, crc);
        kelp::zip::AppendBytes(x, utf8);
        return std::string(x.begin(), x.end());
    };
    fixtures::BuilderMember named{.name = "r\x82sum\x82.txt", .host = 0};
    named.centralExtra = unicodeField(named.name, "r\xC3\xA9sum\xC3\xA9-unicode.txt");
    fixtures::BuilderMember stale = named;
    stale.name = "stale.txt";
    stale.host = 3;
    List({{"a.zip", ArchiveBuilder().Add(big).Add(named).Add(stale).Build()}});
    ASSERT_EQ(zip.EntryCount(), 3u);
    EXPECT_EQ(zip.DirEntries()[0].UnpackedSize(), 5ull << 30);
    EXPECT_EQ(zip.DirEntries()[0].PackedSize(), 1u);
    EXPECT_EQ(zip.DirEntries()[0].MemberComment(), "comment");
    EXPECT_EQ(names[1], "r\xC3\xA9sum\xC3\xA9-unicode.txt");
    EXPECT_EQ(names[2], "stale.txt");
}

}  // namespace
