// Writing and reading multi-part sets: numbered part files on a fixed drive
// and disks on a simulated removable drive.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "engine/simulated_drive.h"
#include "engine/span_reader.h"
#include "engine/span_records.h"
#include "engine/span_writer.h"
#include "libs/zipcore/zip_records.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/run_command.h"

namespace {

namespace fs = std::filesystem;
using fixtures::RandomBytes;
using kelp::engine::Answer;

// Six incompressible members of 60 000 bytes and a comment: about 360 kB.
std::string SourceArchive(const std::string& comment = "set comment") {
    fixtures::ArchiveBuilder builder;
    for (unsigned i = 0; i < 6; ++i)
        builder.Add("dir/member" + std::to_string(i) + ".bin", RandomBytes(60000, i));
    return builder.Add("dir/small.txt", "small").Comment(comment).Build();
}

std::span<const uint8_t> Bytes(const std::string& s, size_t from = 0) {
    return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size())
        .subspan(std::min(from, s.size()));
}

// Checks that no header (with its name, extra field and comment) and not the
// end record (with the comment) is cut over two parts.
void ExpectUnitsWhole(const std::vector<std::string>& parts) {
    namespace zip = kelp::zip;
    const std::string& last = parts.back();
    const auto eocdAt = zip::FindEocd(Bytes(last));
    ASSERT_TRUE(eocdAt);
    zip::Eocd end;
    ASSERT_TRUE(zip::ParseEocd(Bytes(last, *eocdAt), end));
    EXPECT_EQ(*eocdAt + zip::kEocdSize + end.commentLength, last.size());
    EXPECT_EQ(end.thisDisk, parts.size() - 1);
    size_t disk = end.centralDisk, at = end.centralOffset;
    for (unsigned i = 0; i < end.totalEntries; ++i) {
        if (at == parts[disk].size()) ++disk, at = 0;
        ASSERT_LT(disk, parts.size());
        zip::CentralRecord central;
        ASSERT_TRUE(zip::ParseCentralRecord(Bytes(parts[disk], at), central))
            << "central header " << i;
        // The local header it points to lies whole on its part and has its name.
        ASSERT_LT(central.diskStart, parts.size());
        zip::LocalRecord local;
        ASSERT_TRUE(
            zip::ParseLocalRecord(Bytes(parts[central.diskStart], central.localOffset), local))
            << "central header " << i;
        EXPECT_EQ(local.name, central.name);
        at += central.recordSize;
    }
}

class Span : public fixtures::EngineTest {
  protected:
    Span() { fixtures::WriteFile(dir / "source.zip", SourceArchive()); }
    std::vector<std::string> Parts(const std::string& target) {
        std::vector<std::string> parts;
        for (int i = 0; fs::exists(kelp::engine::SpanPartName(target, i)); ++i)
            parts.push_back(fixtures::ReadFile(kelp::engine::SpanPartName(target, i)));
        return parts;
    }
    // Parts of at most `max` bytes, none begun with less than `minFree` left.
    void Sizes(int64_t max, int64_t minFree = 1000) {
        zip.MaxVolumeSize = max;
        zip.MinFreeVolumeSize = minFree;
    }
};

TEST_F(Span, FixedDrivePartsKeepTheirLimitsAndJoinToTheSource) {
    Sizes(100000, 40000);
    zip.KeepFreeOnDisk1 = 50000;
    ASSERT_EQ(zip.WriteSpan(dir / "source.zip", dir / "set.zip"), 0) << Last();
    const auto parts = Parts(dir / "set.zip");
    ASSERT_GE(parts.size(), 4u);
    EXPECT_LE(parts[0].size(), 50000u);
    for (const auto& part : parts) EXPECT_LE(part.size(), 100000u);
    EXPECT_EQ(parts[0].substr(0, 4), "PK\7\x08");
    ExpectUnitsWhole(parts);
    EXPECT_TRUE(host.questions.empty());

    const std::string lastPart =
        kelp::engine::SpanPartName(dir / "set.zip", static_cast<int>(parts.size()) - 1);
    std::string joined = dir.path() + "/";
    ASSERT_EQ(zip.ReadSpan(lastPart, joined), 0);
    EXPECT_EQ(fixtures::ReadFile(joined), fixtures::ReadFile(dir / "source.zip"));
    EXPECT_EQ(fixtures::RunShell("unzip -tq " + fixtures::Quote(joined)).exitCode, 0);
}

TEST_F(Span, ExistingPartsAreOnlyReplacedWhenTheUserSaysYes) {
    fixtures::WriteFile(dir / "set001.zip", "someone else's file");
    Sizes(200000);
    host.questionAnswers = {Answer::No};
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", dir / "set.zip"), -7);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].text, "There is already a file " + dir / "set001.zip" +
                                          "\nDo you want to overwrite this file");
    EXPECT_EQ(fixtures::ReadFile(dir / "set001.zip"), "someone else's file");

    host.questionAnswers = {Answer::Yes};
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", dir / "set.zip"), 0);
    EXPECT_EQ(Parts(dir / "set.zip").size(), 2u);

    zip.Unattended = true;
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", dir / "set.zip"), -7);
    EXPECT_EQ(logged.back(), "Unattended disk spanning not implemented");
}

TEST_F(Span, CancelAndImpossibleUnitsStopWithFinishedPartsKept) {
    Sizes(100000);
    zip.OnProgress = [this](kelp::engine::ProgressType type, const std::string& name, int64_t) {
        if (type == kelp::engine::ptFileStart && name == "dir/member3.bin")
            zip.CancelRequested = true;
    };
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", dir / "set.zip"), -7);
    EXPECT_EQ(logged.back(), "User canceled operation");
    EXPECT_TRUE(host.messages.empty());  // raised without display
    EXPECT_EQ(fixtures::ReadFile(dir / "set001.zip").size(), 100000u);
    zip.CancelRequested = false;
    zip.OnProgress = nullptr;

    // A part smaller than one local header with its name can never hold it.
    Sizes(40, 1);
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", dir / "tiny.zip"), -7);
    EXPECT_EQ(logged.back(), "This disk has not enough free space available");
}

// Part bytes go out in large blocks; a block that cannot be written fails
// the set, the last one included. A file-size limit stands in for a full
// disk: the first block fits under it, the rest of the one part does not.
TEST_F(Span, PartBytesThatCannotBeWrittenFailTheSet) {
    Sizes(1000000);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 340000;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    const int result = zip.WriteSpan(dir / "source.zip", dir / "set.zip");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(result, -7);
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(), "Write error in output file");
}

TEST_F(Span, BrokenSetsAreReportedAndLeaveNoJoinedFile) {
    Sizes(100000);
    ASSERT_EQ(zip.WriteSpan(dir / "source.zip", dir / "set.zip"), 0);
    fixtures::WriteFile(dir / "other.zip",
                        fixtures::ArchiveBuilder().Add("x", RandomBytes(150000, 9)).Build());
    ASSERT_EQ(zip.WriteSpan(dir / "other.zip", dir / "oth.zip"), 0);
    fs::create_directories(dir / "tmp");
    const std::string last = dir / "set004.zip";
    const std::string middle = fixtures::ReadFile(dir / "set002.zip");

    auto joinFails = [&](const std::string& expected) {
        std::string joined = dir / "tmp/";
        EXPECT_NE(zip.ReadSpan(last, joined), 0);
        EXPECT_TRUE(joined.empty());
        EXPECT_TRUE(fs::is_empty(dir / "tmp"));
        if (!expected.empty()) {
            EXPECT_EQ(logged.back(), expected);
        }
    };
    fs::rename(dir / "set002.zip", dir / "gone");
    joinFails("A part of this set is missing: " + dir / "set002.zip");
    fs::copy_file(dir / "oth002.zip", dir / "set002.zip");  // a part of another set
    joinFails("");
    fixtures::WriteFile(dir / "set002.zip", middle.substr(0, 5000));  // cut short
    joinFails("");
    fixtures::WriteFile(dir / "set002.zip", fixtures::ReadFile(dir / "set003.zip"));  // swapped
    joinFails("");
}

TEST_F(Span, CaseTwinsAndMovedHeadersJoinByPlaceAndReportProgress) {
    // Names that differ only in case, then members enough for several parts.
    fixtures::ArchiveBuilder builder;
    builder.Add("include/xt_TCPMSS.h", RandomBytes(30000, 1))
        .Add("include/xt_tcpmss.h", RandomBytes(30000, 2));
    for (unsigned i = 0; i < 60; ++i)
        builder.Add("m" + std::to_string(i), RandomBytes(3000 + 7 * i, 10 + i));
    const std::string source = builder.Build();
    fixtures::WriteFile(dir / "twins.zip", source);
    // The first part ends 10 bytes after the first member: the second
    // member's header moves to the next part.
    const size_t second = source.find("include/xt_tcpmss.h") - 30;
    Sizes(int64_t(4 + second + 10));
    ASSERT_EQ(zip.WriteSpan(dir / "twins.zip", dir / "tw.zip"), 0) << Last();
    const auto parts = Parts(dir / "tw.zip");
    ASSERT_GE(parts.size(), 4u);
    EXPECT_EQ(parts[0].size(), 4 + second);
    EXPECT_EQ(parts[1].compare(0, 4, "PK\3\4"), 0);
    ExpectUnitsWhole(parts);  // every central record names its header's part and offset

    int64_t total = -1, done = 0;
    zip.OnProgress = [&](kelp::engine::ProgressType type, const std::string&, int64_t size) {
        if (type == kelp::engine::ptByteTotal) total = size;
        if (type == kelp::engine::ptBytesDone) done += size;
    };
    std::string joined = dir.path() + "/";
    const std::string last =
        kelp::engine::SpanPartName(dir / "tw.zip", static_cast<int>(parts.size()) - 1);
    ASSERT_EQ(zip.ReadSpan(last, joined), 0) << Last();
    EXPECT_TRUE(fixtures::ReadFile(joined) == fixtures::ReadFile(dir / "twins.zip"))
        << "joined archive differs";
    EXPECT_EQ(fixtures::RunShell("unzip -tq " + fixtures::Quote(joined)).exitCode, 0);
    EXPECT_GT(total, 60 * 3000);
    EXPECT_EQ(done, total);
}

TEST_F(Span, LocalNameThatDiffersFromItsCentralNameIsADamagedSet) {
    fixtures::WriteFile(dir / "twins.zip", fixtures::ArchiveBuilder()
                                               .Add("xt_TCPMSS.h", RandomBytes(50000, 1))
                                               .Add("xt_tcpmss.h", RandomBytes(50000, 2))
                                               .Build());
    Sizes(65536);
    ASSERT_EQ(zip.WriteSpan(dir / "twins.zip", dir / "tw.zip"), 0);
    // The second member's local name gets the other case.
    ASSERT_TRUE(fs::exists(dir / "tw002.zip"));
    std::string part = fixtures::ReadFile(dir / "tw001.zip");
    const size_t name = part.find("xt_tcpmss.h");
    ASSERT_NE(name, std::string::npos);
    part.replace(name, 11, "xt_TCPMSS.h");
    fixtures::WriteFile(dir / "tw001.zip", part);
    fs::create_directories(dir / "tmp");
    std::string joined = dir / "tmp/";
    EXPECT_EQ(zip.ReadSpan(dir / "tw002.zip", joined), -7);
    EXPECT_EQ(logged.back(), "A local header does not match its central header: xt_tcpmss.h");
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

// Places beyond 32 bits (parts of 4 GiB and more) go into the ZIP64 field;
// when the end records need ZIP64 is the ZIP64 writer tests' census.
TEST(SpanRecords, WidePlacesUseZip64Fields) {
    namespace zip = kelp::zip;
    zip::CentralHeader header;
    header.nameLength = 4;
    std::vector<uint8_t> record;
    zip::AppendCentralHeader(record, header);
    zip::AppendBytes(record, std::string_view("name"));
    kelp::engine::SpanMember member;
    ASSERT_TRUE(kelp::engine::ReadSpanMember(record, member));
    std::vector<uint8_t> placed;
    kelp::engine::AppendPlacedCentral(placed, member, 70000, 5ull << 30);
    zip::CentralRecord parsed;
    ASSERT_TRUE(zip::ParseCentralRecord(placed, parsed));
    EXPECT_EQ(parsed.name, "name");
    EXPECT_EQ(parsed.localOffset, 5ull << 30);
    EXPECT_EQ(parsed.diskStart, 70000u);
}

class RemovableSpan : public Span {
  protected:
    RemovableSpan() : drive(dir / "drive") {
        zip.SetRemovableDrive(&drive);
        zip.MinFreeVolumeSize = 1000;
        // The host inserts the next disk of the list whenever a disk is asked for.
        host.onQuestion = [this](const fixtures::RecordingHostUi::Question& q) {
            if (q.buttons != kelp::engine::Buttons::OkCancel) return Answer::Yes;
            if (nextDisk >= insertOrder.size()) return Answer::Cancel;
            drive.Insert(insertOrder[nextDisk++]);
            return Answer::Ok;
        };
    }
    std::string Target() const { return drive.Root() + "backup.zip"; }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> texts;
        for (const auto& q : host.questions) texts.push_back(q.text);
        return texts;
    }
    kelp::engine::SimulatedDrive drive;
    std::vector<std::string> insertOrder;
    size_t nextDisk = 0;
};

TEST_F(RemovableSpan, DisksAreAskedForLabelledAndReadBack) {
    for (const char* disk : {"a", "b", "c", "d"}) drive.AddDisk(disk, 150000);
    drive.Insert("d");
    insertOrder = {"a", "b", "c"};
    ASSERT_EQ(zip.WriteSpan(dir / "source.zip", Target()), 0) << Last();
    const std::string where = "\nin drive: " + drive.Root();
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"Please insert disk volume 1 of 3" + where,
                                                   "Please insert disk volume 2 of 3" + where,
                                                   "Please insert disk volume 3 of 3" + where}));
    for (const auto& [disk, label] :
         {std::pair{"a", "PKBACK# 001"}, {"b", "PKBACK# 002"}, {"c", "PKBACK# 003"}, {"d", ""}})
        EXPECT_EQ(drive.DiskLabel(disk), label);

    // Reading starts on a middle disk: the last one is asked for, then the first.
    host.questions.clear();
    drive.Insert("b");
    insertOrder = {"b", "c", "a", "b", "c"};
    nextDisk = 0;
    std::string joined = dir.path() + "/";
    ASSERT_EQ(zip.ReadSpan(Target(), joined), 0) << Last();
    EXPECT_EQ(fixtures::ReadFile(joined), fixtures::ReadFile(dir / "source.zip"));
    const auto prompts = Prompts();
    ASSERT_GE(prompts.size(), 3u);
    EXPECT_EQ(prompts[0], "Please insert last disk" + where);
    EXPECT_EQ(prompts[1], "Please insert last disk" + where);
    EXPECT_EQ(prompts[2], "Please insert disk volume 1 of 3" + where);
}

TEST_F(RemovableSpan, EarlierDiskOfTheSameSetIsRecognisedAndRefused) {
    for (const char* disk : {"a", "b", "c"}) drive.AddDisk(disk, 150000);
    drive.Insert("a");
    // Disk 1 comes back when disk 2 is asked for; the user says No and
    // inserts fresh disks.
    insertOrder = {"a", "a", "b", "c"};
    host.onQuestion = [this](const fixtures::RecordingHostUi::Question& q) {
        if (q.buttons == kelp::engine::Buttons::YesNoCancel) return Answer::No;
        drive.Insert(insertOrder[nextDisk++]);
        return Answer::Ok;
    };
    ASSERT_EQ(zip.WriteSpan(dir / "source.zip", Target()), 0) << Last();
    const auto prompts = Prompts();
    ASSERT_GE(prompts.size(), 4u);
    EXPECT_EQ(prompts[2],
              "ATTENTION: This is previous disk no 1!!!\nAre you sure you want to overwrite the "
              "contents");
    EXPECT_EQ(drive.DiskLabel("c"), "PKBACK# 003");
}

TEST_F(RemovableSpan, EraseFormatsDisksAndCancelKeepsFinishedOnes) {
    drive.AddDisk("a", 150000, false);
    drive.AddDisk("b", 150000, true, "HOLIDAYS");
    fixtures::WriteFile(drive.DiskFile("b", "photo.jpg"), "old photo");
    drive.Insert("a");
    insertOrder = {"a", "b"};  // a third disk is never offered: the prompt is cancelled
    zip.AddOptions = {kelp::engine::AddDiskSpanErase};
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", Target()), -7);
    EXPECT_EQ(logged.back(), "User canceled operation");
    EXPECT_EQ(drive.DiskLabel("a"), "PKBACK# 001");
    EXPECT_EQ(drive.DiskLabel("b"), "PKBACK# 002");
    EXPECT_FALSE(fs::exists(drive.DiskFile("b", "photo.jpg")));  // formatted
    EXPECT_TRUE(fs::exists(drive.DiskFile("a", "backup.zip")));
    EXPECT_TRUE(fs::exists(drive.DiskFile("b", "backup.zip")));

    // Without erasing, an unformatted disk is not accepted; unattended never prompts.
    drive.AddDisk("c", 150000, false);
    drive.Insert("c");
    zip.AddOptions = {};
    zip.Unattended = true;
    EXPECT_EQ(zip.WriteSpan(dir / "source.zip", Target()), -7);
    EXPECT_EQ(logged.back(), "Unattended disk spanning not implemented");
}

}  // namespace
