// Reading archive directories: end-record search, damaged and foreign files,
// programs in front of archives, name conversion and multi-part sets.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/directory_reader.h"
#include "engine/zip_engine.h"
#include "libs/zipcore/crc32.h"
#include "libs/zipcore/record_writer.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/recording_host_ui.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using fixtures::ArchiveBuilder;

class Directory : public ::testing::Test {
  protected:
    Directory() {
        zip.SetHostUi(&host);
        zip.OnMessage = [this](int, const std::string& text) { logged.push_back(text); };
        zip.OnDirUpdate = [this] { ++dirUpdates; };
        zip.OnNewName = [this](int seq, const engine::ZipDirEntry& e) {
            seqNos.push_back(seq);
            names.push_back(e.MemberName);
        };
    }

    // Writes `bytes` as an archive file and lists it.
    void ListBytes(const std::string& bytes, const std::string& name = "a.zip") {
        const std::string path = dir / name;
        fixtures::WriteFile(path, bytes);
        zip.setZipFileName(path);
    }

    static std::string TwoMembers() {
        return ArchiveBuilder().Add("docs/readme.txt", "hello").Add("b.bin", "xyz").Build();
    }

    fixtures::TempDir dir;
    fixtures::RecordingHostUi host;
    engine::ZipEngine zip;
    std::vector<std::string> logged;
    std::vector<int> seqNos;
    std::vector<std::string> names;
    int dirUpdates = 0;
};

TEST_F(Directory, ReadsMembersInOrderWithTheirFields) {
    ListBytes(TwoMembers());
    ASSERT_EQ(zip.EntryCount(), 2u);
    EXPECT_EQ(names, (std::vector<std::string>{"docs/readme.txt", "b.bin"}));
    EXPECT_EQ(seqNos, (std::vector<int>{1, 2}));
    const auto& e = zip.DirEntries()[0];
    EXPECT_EQ(e.UnpackedSize, 5u);
    EXPECT_EQ(e.Crc, 0x3610A686u);
    EXPECT_EQ(e.DosDateTime, 0x5A2C6B3Du);
    EXPECT_EQ(e.LocalHeaderOffset, 0u);
    EXPECT_FALSE(e.IsEncrypted);
    EXPECT_EQ(zip.SfxPrefixSize(), 0);
    EXPECT_FALSE(zip.StructureError());
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(dirUpdates, 1);
    EXPECT_EQ(host.busyDepth, 0);
    EXPECT_EQ(host.maxBusyDepth, 1);
}

TEST_F(Directory, EmptyArchivesWithAndWithoutComment) {
    ListBytes(ArchiveBuilder().Build());
    EXPECT_EQ(zip.EntryCount(), 0u);
    EXPECT_EQ(zip.SfxPrefixSize(), 0);
    EXPECT_FALSE(zip.ZipFileName().empty());

    ListBytes(ArchiveBuilder().Comment("only a comment").Build());
    EXPECT_EQ(zip.ArchiveComment(), "only a comment");
    EXPECT_EQ(zip.SfxPrefixSize(), 0);
    EXPECT_TRUE(logged.empty());
}

TEST_F(Directory, TrailingBytesWarnUnlessTheyAreBlockFill) {
    std::string archive = ArchiveBuilder().Add("a", "1").Comment("c").Build();
    std::string filled = archive + std::string(512 - archive.size() % 512, '\0');
    ListBytes(filled);
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(zip.ArchiveComment(), "c");
    EXPECT_EQ(zip.LogicalSize(), static_cast<int64_t>(archive.size()));

    const std::string warning = "Warning - Garbage at the end of the zipfile!";
    std::string dirty = filled;
    dirty[archive.size() + 3] = 'x';
    ListBytes(dirty);
    EXPECT_EQ(logged, std::vector<std::string>{warning});
    EXPECT_EQ(zip.EntryCount(), 1u);

    logged.clear();
    ListBytes(filled + std::string(512, '\0'));  // 512 or more zero bytes
    EXPECT_EQ(logged, std::vector<std::string>{warning});
}

TEST_F(Directory, ProgramInFrontWithAndWithoutAdjustedOffsets) {
    const std::string stub(1000, 'M');
    ListBytes(ArchiveBuilder().Add("x.txt", "data").Prefix(stub, false).Build());
    EXPECT_TRUE(zip.StructureError());
    EXPECT_EQ(logged, std::vector<std::string>{"Warning - Error in zip structure!"});
    EXPECT_EQ(zip.EntryCount(), 1u);
    EXPECT_EQ(zip.SfxPrefixSize(), 1000);

    logged.clear();
    ListBytes(ArchiveBuilder().Add("x.txt", "data").Prefix(stub, true).Build());
    EXPECT_FALSE(zip.StructureError());
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(zip.SfxPrefixSize(), 1000);
}

TEST_F(Directory, ForeignAndTinyFilesAreNotArchives) {
    const std::string notZip = "This archive is not a valid Zip archive";
    for (const std::string& bytes :
         {std::string("PK\5\6"), std::string(21, '\0'), std::string(70000, 'r'), std::string()}) {
        logged.clear();
        ListBytes(bytes);
        EXPECT_EQ(logged, std::vector<std::string>{notZip}) << bytes.size();
        EXPECT_EQ(host.messages.back(), notZip);
        EXPECT_TRUE(zip.ZipFileName().empty());
        EXPECT_EQ(zip.EntryCount(), 0u);
    }
    EXPECT_EQ(dirUpdates, 4);
}

TEST_F(Directory, MissingFileIsAnEmptyDirectoryWithoutMessage) {
    zip.setZipFileName(dir / "nothing.zip");
    EXPECT_EQ(zip.EntryCount(), 0u);
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(dirUpdates, 1);
}

TEST_F(Directory, FirstPartOfASpannedSetAsksForTheLast) {
    ListBytes("PK\7\x08" + TwoMembers().substr(0, 40), "data001.zip");
    EXPECT_EQ(
        logged,
        std::vector<std::string>{
            "This is the first file in a backup set,\nplease choose the last file of this set"});
}

TEST_F(Directory, DamagedDirectoriesReportTheirMessageAndKeepNothing) {
    const std::string good = TwoMembers();
    const size_t central = good.find("PK\1\2");
    const size_t second = good.find("PK\1\2", central + 1);

    std::string badSignature = good;
    badSignature[second + 2] = 9;
    ListBytes(badSignature);
    EXPECT_EQ(logged.back(), "A central header signature is wrong");
    EXPECT_EQ(zip.DirEntries().size(), 1u);  // read before the failure, but not counted
    EXPECT_EQ(zip.EntryCount(), 0u);
    EXPECT_EQ(zip.SfxPrefixSize(), 0);

    // An end record claiming more members than are there.
    std::string moreEntries = good;
    const size_t end = good.find("PK\5\6");
    moreEntries[end + 8] = moreEntries[end + 10] = 3;
    ListBytes(moreEntries);
    EXPECT_EQ(logged.back(), "Error while reading a central header");
    EXPECT_EQ(zip.EntryCount(), 0u);

    // A name that runs into the end of the file.
    std::string longName = good;
    longName[second + 28] = static_cast<char>(0xFF);
    ListBytes(longName);
    EXPECT_EQ(logged.back(), "Error while reading a central file name");
}

TEST_F(Directory, CommentLengthPastTheEndIsCutShort) {
    std::string archive = ArchiveBuilder().Add("a", "1").Comment("abc").Build();
    archive[archive.size() - 5] = static_cast<char>(200);  // claims 200 comment bytes
    ListBytes(archive);
    EXPECT_EQ(zip.ArchiveComment(), "abc");
    EXPECT_EQ(zip.EntryCount(), 1u);
}

TEST_F(Directory, EveryTruncationIsHandled) {
    const std::string good =
        ArchiveBuilder().Add("dir/", "").Add("dir/f.txt", "contents").Comment("cc").Build();
    const size_t commentAt = good.size() - 2;
    for (size_t cut = 0; cut < good.size(); ++cut) {
        logged.clear();
        ListBytes(good.substr(0, cut));
        if (cut < commentAt) {
            EXPECT_FALSE(logged.empty()) << "cut at " << cut;
            EXPECT_EQ(zip.EntryCount(), 0u) << "cut at " << cut;
        } else {
            // Only the comment is short: the directory is whole.
            EXPECT_EQ(zip.EntryCount(), 2u);
            EXPECT_EQ(zip.ArchiveComment(), good.substr(commentAt, cut - commentAt));
        }
    }
}

TEST_F(Directory, NamesNotUtf8AreDecodedFromTheArchivesCodePageOrTheChosenOne) {
    fixtures::BuilderMember fat;
    fat.name = "caf\x82.txt";  // é in the OEM pages
    fat.host = 0;
    fixtures::BuilderMember ntfs = fat;
    ntfs.host = 11;
    fixtures::BuilderMember flagged;
    flagged.name = "\xC3\xA9t\xC3\xA9.txt";  // "été" in UTF-8, flagged
    flagged.host = 0;
    flagged.flags = 0x0800;
    flagged.comment = "\xC3\xA9";
    fixtures::BuilderMember utf8 = flagged;  // valid UTF-8 without the flag
    utf8.flags = 0;
    utf8.name = "\xC3\xBC.txt";  // "ü"

    ListBytes(ArchiveBuilder().Add(fat).Add(ntfs).Add(flagged).Add(utf8).Build());
    ASSERT_EQ(zip.EntryCount(), 4u);
    auto names = [&] {
        std::vector<std::string> listed;
        for (const auto& e : zip.DirEntries()) listed.push_back(e.MemberName);
        return listed;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"café.txt", "café.txt", "été.txt", "ü.txt"}));
    EXPECT_EQ(zip.DirEntries()[2].MemberComment, "é");
    EXPECT_EQ(zip.NameCharsetInUse(), "CP437");

    // A chosen page reads every name without the flag, valid UTF-8 or not.
    zip.NameCharset = "CP1252";
    zip.List();
    EXPECT_EQ(names(), (std::vector<std::string>{"caf\u201A.txt", "caf\u201A.txt", "été.txt",
                                                 "\u00C3\u00BC.txt"}));
    zip.NameCharset.clear();
    zip.CodePage = engine::cpNone;
    zip.List();
    EXPECT_EQ(zip.DirEntries()[0].MemberName, "caf\x82.txt");

    // The archive comment is in the page of the names, read and written.
    zip.CodePage = engine::cpAuto;
    fixtures::BuilderMember ru = fat;
    ru.name = "\x8E\xE2\xE7\xF1\xE2 \xA7\xA0 \xA3\xAE\xA4.txt";  // "Отчёт за год.txt" in CP866
    ListBytes(ArchiveBuilder().Add(ru).Comment("\x8F\xA8\xE1\xEC\xAC\xAE").Build());  // "Письмо"
    EXPECT_EQ(zip.DirEntries()[0].MemberName, "Отчёт за год.txt");
    EXPECT_EQ(zip.ArchiveComment(), "Письмо");
    zip.setArchiveComment("Лето");
    EXPECT_EQ(
        fixtures::ReadFile(dir / "a.zip").substr(fixtures::ReadFile(dir / "a.zip").size() - 4),
        "\x8B\xA5\xE2\xAE");

    // HPFS names, and NTFS names from version 5.0, are OEM even under cpNone.
    zip.CodePage = engine::cpNone;
    fixtures::BuilderMember hpfs = fat;
    hpfs.host = 6;
    fixtures::BuilderMember ntfs50 = ntfs;
    ntfs50.versionMadeBy = 50;
    ListBytes(ArchiveBuilder().Add(hpfs).Add(ntfs50).Build());
    ASSERT_EQ(zip.EntryCount(), 2u);
    EXPECT_EQ(zip.DirEntries()[0].MemberName, "café.txt");
    EXPECT_EQ(zip.DirEntries()[1].MemberName, "café.txt");
}

TEST_F(Directory, Zip64EndRecordGivesTheRealCounts) {
    ArchiveBuilder builder;
    for (int i = 0; i < 5; ++i) builder.Add("m" + std::to_string(i), std::string(i, 'z'));
    ListBytes(builder.Zip64End(true).Comment("big").Build());
    EXPECT_EQ(zip.EntryCount(), 5u);
    EXPECT_FALSE(zip.StructureError());
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(zip.ArchiveComment(), "big");
}

TEST_F(Directory, SizesPast4GiBAndUnicodeNamesComeFromTheirExtraFields) {
    fixtures::BuilderMember big;
    big.name = "big.iso";
    big.data = "x";
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
    fixtures::BuilderMember named;
    named.name = "r\x82sum\x82.txt";
    named.host = 0;
    named.centralExtra = unicodeField(named.name, "r\xC3\xA9sum\xC3\xA9-unicode.txt");
    fixtures::BuilderMember stale = named;
    stale.name = "stale.txt";
    stale.host = 3;
    ListBytes(ArchiveBuilder().Add(big).Add(named).Add(stale).Build());
    ASSERT_EQ(zip.EntryCount(), 3u);
    EXPECT_EQ(zip.DirEntries()[0].UnpackedSize, 5ull << 30);
    EXPECT_EQ(zip.DirEntries()[0].PackedSize, 1u);
    EXPECT_EQ(zip.DirEntries()[0].MemberComment, "comment");
    EXPECT_EQ(zip.DirEntries()[1].MemberName, "r\xC3\xA9sum\xC3\xA9-unicode.txt");
    EXPECT_EQ(zip.DirEntries()[2].MemberName, "stale.txt");
}

TEST_F(Directory, AnArchiveWithANumberForExtensionIsNoRawVolume) {
    ListBytes(TwoMembers(), "backup.2024");
    EXPECT_EQ(zip.EntryCount(), 2u);
    EXPECT_TRUE(logged.empty()) << logged.front();
}

TEST_F(Directory, EndRecordCountingTooFewStillListsEveryMember) {
    std::string archive =
        ArchiveBuilder().Add("a.txt", "1").Add("b.txt", "2").Add("c.txt", "3").Build();
    const size_t end = archive.rfind("PK\5\6");
    archive[end + 8] = archive[end + 10] = 1;  // one member counted of three
    ListBytes(archive);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(),
              "Error while reading a central header\n3 members in the central directory, 1 in the "
              "end record");
    EXPECT_GT(zip.ErrorsReported(), 0);
}

TEST_F(Directory, SetOnFixedDriveReadsTheDirectoryFromAnEarlierPart) {
    // One archive cut into two part files: the marker and everything up to
    // the end of the central directory in the first, the end record in the
    // second, which says the directory starts on part 0.
    const std::string single = TwoMembers();
    const size_t central = single.find("PK\1\2");
    const size_t end = single.find("PK\5\6");
    std::string part1 = "PK\7\x08" + single.substr(0, end);
    std::string eocd = single.substr(end);
    eocd[4] = 1;  // this disk
    eocd[6] = 0;  // disk of the central directory
    const uint32_t offset = static_cast<uint32_t>(central + 4);
    for (int i = 0; i < 4; ++i) eocd[16 + i] = static_cast<char>(offset >> (8 * i));
    fixtures::WriteFile(dir / "data001.zip", part1);
    ListBytes(eocd, "data002.zip");
    EXPECT_EQ(zip.EntryCount(), 2u);
    EXPECT_EQ(zip.LastDiskNumber(), 1);
    EXPECT_TRUE(logged.empty());

    std::filesystem::remove(dir / "data001.zip");
    ListBytes(eocd, "data002.zip");
    EXPECT_EQ(logged,
              std::vector<std::string>{"A part of this set is missing: " + dir / "data001.zip"});
    EXPECT_EQ(zip.EntryCount(), 0u);
}

}  // namespace

// The reader classes on their own, without an engine: the end of a file
// with a program in front, then its directory under each code-page rule.
TEST(DirectoryReaderAlone, ReadsTheEndAndTheDirectoryOfAFile) {
    fixtures::TempDir dir;
    fixtures::BuilderMember dos;
    dos.name = "caf\x82.txt";  // CP437 e-acute, written on FAT
    dos.host = 0;
    dos.data = "x";
    const std::string path = dir / "a.zip";
    fixtures::WriteFile(
        path,
        ArchiveBuilder().Prefix("#!program\n", false).Add(dos).Add("b", "y").Comment("c").Build());
    engine::ArchiveFile file;
    ASSERT_TRUE(file.Open(path, engine::ArchiveFile::Mode::Read));
    engine::ArchiveEnd end;
    ASSERT_TRUE(engine::ReadArchiveEnd(file, end));
    EXPECT_EQ(end.eocd.TotalEntries, 2u);
    EXPECT_EQ(end.rawComment, "c");
    EXPECT_FALSE(end.garbageBehind);
    const int64_t start = engine::CentralDirectoryStart(end);
    EXPECT_NE(static_cast<uint64_t>(start), end.eocd.CentralOffset);  // the prefix is not counted

    for (auto [rule, name] : {std::pair{engine::cpAuto, std::string("caf\xC3\xA9.txt")},
                              std::pair{engine::cpNone, std::string("caf\x82.txt")}}) {
        engine::BufferedReader reader(file);
        ASSERT_TRUE(reader.Seek(start));
        engine::DirectoryReader directory(reader, rule, "", nullptr);
        std::vector<engine::ZipDirEntry> entries;
        std::string mismatch;
        int seen = 0;
        directory.Read(
            end.eocd, true, start + static_cast<int64_t>(end.eocd.CentralSize), entries,
            [&](int seq, const engine::ZipDirEntry&) { seen = seq; }, mismatch);
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(seen, 2);
        EXPECT_EQ(entries[0].MemberName, name);
        EXPECT_TRUE(mismatch.empty());
    }
}
