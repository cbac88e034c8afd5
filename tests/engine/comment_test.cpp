// Rewriting the archive comment: the archive is written anew and replaced
// only when complete.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/file_size_limit.h"

namespace {

class Comment : public fixtures::EngineTest {
  protected:
    std::string Write(const std::string& bytes) {
        const std::string path = dir / "c.zip";
        fixtures::WriteFile(path, bytes);
        return path;
    }
};

TEST_F(Comment, GrowsShrinksAndRemovesAndTheArchiveStaysIntact) {
    const std::string original =
        fixtures::ArchiveBuilder().Add("a.txt", "alpha").Comment("old").Build();
    const std::string path = Write(original);
    zip.setZipFileName(path);
    const std::string body =
        original.substr(0, original.size() - 3);  // up to and with the end record's fixed part

    zip.setArchiveComment(std::string(3000, 'L'));
    kelp::engine::ZipEngine reader;
    reader.setZipFileName(path);
    EXPECT_EQ(reader.ArchiveComment(), std::string(3000, 'L'));
    EXPECT_EQ(reader.EntryCount(), 1u);

    zip.setArchiveComment("short");
    reader.List();
    EXPECT_EQ(reader.ArchiveComment(), "short");
    EXPECT_EQ(fixtures::ReadFile(path).size(), original.size() + 2);

    zip.setArchiveComment("");
    const std::string bytes = fixtures::ReadFile(path);
    EXPECT_EQ(bytes.size(), original.size() - 3);
    EXPECT_EQ(bytes.substr(bytes.size() - 22, 4), "PK\5\6");
    EXPECT_EQ(bytes.substr(0, bytes.size() - 2), body.substr(0, body.size() - 2));
    EXPECT_TRUE(logged.empty());
}

TEST_F(Comment, GarbageBehindTheCommentIsCutAway) {
    const std::string archive = fixtures::ArchiveBuilder().Add("a", "1").Comment("c").Build();
    const std::string path = Write(archive + "trailing junk");
    zip.setZipFileName(path);
    zip.setArchiveComment("c2");
    EXPECT_EQ(fixtures::ReadFile(path).size(), archive.size() + 1);
    kelp::engine::ZipEngine reader;
    reader.OnMessage = [this](int, const std::string& text) { logged.push_back(text); };
    reader.setZipFileName(path);
    EXPECT_EQ(reader.ArchiveComment(), "c2");
    EXPECT_EQ(logged, std::vector<std::string>{"Warning - Garbage at the end of the zipfile!"});
}

TEST_F(Comment, ArchiveChangedUnderneathIsNotWritten) {
    const std::string path =
        Write(fixtures::ArchiveBuilder().Add("a", "1").Comment("keep").Build());
    zip.setZipFileName(path);
    const std::string replaced = fixtures::ArchiveBuilder().Add("b", "22").Build();
    fixtures::WriteFile(path, replaced + std::string(30, 'x'));
    zip.setArchiveComment("new");
    EXPECT_EQ(logged.front(), "Error while reading the End Of Central Directory");
    EXPECT_EQ(fixtures::ReadFile(path), replaced + std::string(30, 'x'));
}

TEST_F(Comment, NewFileKeepsModeAndLinkAndAFailedWriteChangesNothing) {
    namespace fs = std::filesystem;
    std::string big;
    for (int i = 0; big.size() < 40000; ++i) big += std::to_string(i * 7919 % 10007);
    const std::string original =
        fixtures::ArchiveBuilder().Add("big.txt", big).Comment("old").Build();
    const std::string path = Write(original);
    chmod(path.c_str(), 0640);
    fs::create_symlink("c.zip", dir / "link.zip");
    zip.setZipFileName(dir / "link.zip");

    {
        // Below the archive's size: the copy fails part way.
        fixtures::FileSizeLimit limit(16384);
        ASSERT_TRUE(limit.active());
        zip.setArchiveComment("failed");
    }
    EXPECT_EQ(logged.front(), "Write error in output file");
    EXPECT_EQ(fixtures::ReadFile(path), original);

    zip.setArchiveComment("new");
    EXPECT_EQ(zip.ArchiveComment(), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.zip"));
    EXPECT_EQ(fixtures::ReadFile(path), original.substr(0, original.size() - 3) + "new");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
    EXPECT_EQ(names.size(), 2u);  // no temporary file left
}

}  // namespace
