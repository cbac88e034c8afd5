// kelp --extract-here, --extract-to and --add-to: the real program for the
// results on disk and the exit statuses, the operation in-process where a
// box or the password dialog has to be answered.
#include <QFileDialog>

#include <filesystem>

#include "app_fixture.h"
#include "one_operation.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

using fixtures::Quote;
using fixtures::ReadFile;

class OneOperationTest : public AppTest {
  protected:
    fixtures::CommandResult Kelp(const std::string& args) {
        return fixtures::RunShell("cd " + Quote(dir_.path()) +
                                  " && QT_QPA_PLATFORM=offscreen timeout 60 " +
                                  Quote(fixtures::KelpProgram("kelp")) + " " + args);
    }
    // The member names of an archive, sorted, on one line.
    std::string Members(const std::string& archive) {
        return fixtures::RunShell("unzip -Z1 " + Quote(archive) + " | LC_ALL=C sort | paste -sd' '")
            .out;
    }
    bool Exists(const std::string& name) { return fs::exists(dir_ / name); }
};

TEST_F(OneOperationTest, ExtractHereUsesANewFolderUnlessOneFreeTopLevelItem) {
    MakeZip("one.zip", "z.writestr('docs/a.txt', b'first'); z.writestr('docs/sub/b.txt', b'b')");
    MakeZip("two.zip", "z.writestr('a.txt', b'a'); z.writestr('b/c.txt', b'c')");
    MakeZip("flat.zip", "z.writestr('solo.txt', b'solo')");
    struct Case {
        const char* archive;
        std::vector<const char*> expected;  // files that must exist afterwards
    } cases[] = {
        {"one.zip", {"docs/a.txt", "docs/sub/b.txt"}},  // one folder: beside the archive
        {"flat.zip", {"solo.txt"}},                     // one file: beside it too
        {"two.zip", {"two/a.txt", "two/b/c.txt"}},      // several: a folder named after it
        {"one.zip", {"one/docs/a.txt"}},                // its one item is taken: a folder
        {"one.zip", {"one (2)/docs/sub/b.txt"}},        // and that name too: numbered
    };
    for (const Case& c : cases) {
        const auto r = Kelp(std::string("--extract-here ") + c.archive);
        EXPECT_EQ(r.exitCode, 0) << c.archive << r.err;
        for (const char* file : c.expected) EXPECT_TRUE(Exists(file)) << c.archive << " " << file;
    }
    EXPECT_FALSE(Exists("a.txt"));  // two.zip left nothing beside itself
    EXPECT_EQ(ReadFile(dir_ / "one/docs/a.txt"), "first");
}

TEST_F(OneOperationTest, AddToStoresEachFileUnderItsOwnNameAsItIs) {
    fixtures::WriteFile(dir_ / "src/a<b.txt", "less-than");
    fixtures::WriteFile(dir_ / "src/star*.txt", "star");
    fixtures::WriteFile(dir_ / "src/starX.txt", "a file the pattern would match");
    fixtures::WriteFile(dir_ / "src/folder/.hidden", "dot-file");
    fixtures::WriteFile(dir_ / "src/folder/x.txt", "x");
    fixtures::WriteFile(dir_ / "later.txt", "later");
    auto r = Kelp("--add-to new.zip 'src/a<b.txt' 'src/star*.txt' src/folder");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Members(dir_ / "new.zip"), "a<b.txt folder/ folder/.hidden folder/x.txt star*.txt\n");
    // Added to the existing archive, which keeps what it held.
    r = Kelp("--add-to new.zip " + Quote(dir_ / "later.txt"));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Members(dir_ / "new.zip"),
              "a<b.txt folder/ folder/.hidden folder/x.txt later.txt star*.txt\n");
}

TEST_F(OneOperationTest, UsageErrorsExitWithTwoAndTouchNothing) {
    MakeZip("a.zip", "z.writestr('a.txt', b'a')");
    for (const char* args : {"--extract-here", "--add-to x.zip", "--add-to= f",
                             "--extract-here --add-to x.zip a.zip", "--bogus --extract-here a.zip",
                             "--extract-to d --extract-to e a.zip", "--extract-here ''"}) {
        const auto r = Kelp(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("kelp: "), std::string::npos) << args << r.err;
    }
    EXPECT_FALSE(Exists("a.txt"));
    EXPECT_FALSE(Exists("x.zip"));
}

// A damaged archive and a file already on disk: status 1, one box naming
// both, the good archive's other members extracted, the file left as it was.
TEST_F(OneOperationTest, FailuresEndInOneBoxAndStatusOne) {
    fixtures::WriteFile(dir_ / "bad.zip", "PK\x05\x06 not an archive");
    const std::string good =
        MakeZip("good.zip", "z.writestr('kept.txt', b'new'); z.writestr('n.txt', b'n')");
    fixtures::WriteFile(dir_ / "out/kept.txt", "mine");
    ModalAnswerer boxes;
    const int status = kelp::RunOneOperation(
        {kelp::OneOperation::ExtractTo, Q(dir_ / "out"), {Q(dir_ / "bad.zip"), Q(good)}});
    EXPECT_EQ(status, kelp::kOperationFailed);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].contains("bad.zip: ")) << boxes.texts[0].toStdString();
    EXPECT_TRUE(boxes.texts[0].contains("kept.txt")) << boxes.texts[0].toStdString();
    EXPECT_EQ(ReadFile(dir_ / "out/kept.txt"), "mine");
    EXPECT_EQ(ReadFile(dir_ / "out/n.txt"), "n");
}

TEST_F(OneOperationTest, AsksOnlyForThePasswordOfAnEncryptedArchive) {
    fixtures::WriteFile(dir_ / "s/secret.txt", "hidden words");
    ASSERT_EQ(fixtures::RunKelpzip(dir_ / "s", "add ../enc.zip -p pw secret.txt").exitCode, 0);
    ModalAnswerer boxes;
    boxes.passwords = {"wrong", "pw"};
    const int status =
        kelp::RunOneOperation({kelp::OneOperation::ExtractHere, {}, {Q(dir_ / "enc.zip")}});
    EXPECT_EQ(status, kelp::kOperationDone);
    EXPECT_EQ(boxes.texts.size(), 2u);  // two password prompts, no other box
    EXPECT_EQ(ReadFile(dir_ / "secret.txt"), "hidden words");
}

// "Extract to…" from a file manager: an empty folder asks for one; closing
// the question extracts nothing.
TEST_F(OneOperationTest, AnEmptyExtractFolderIsAskedFor) {
    const QString archive = Q(MakeZip("p.zip", "z.writestr('x.txt', b'x')"));
    fs::create_directories(dir_ / "chosen");
    ModalAnswerer boxes;
    boxes.dialogs = {fixtures::On<QFileDialog>([this](QFileDialog* chooser) {
                         chooser->selectFile(Q(dir_ / "chosen"));
                         static_cast<QDialog*>(chooser)->accept();  // as its button does
                     }),
                     [](QDialog* d) { d->reject(); }};
    EXPECT_EQ(kelp::RunOneOperation({kelp::OneOperation::ExtractTo, "", {archive}}),
              kelp::kOperationDone);
    EXPECT_EQ(ReadFile(dir_ / "chosen/x.txt"), "x");
    EXPECT_EQ(kelp::RunOneOperation({kelp::OneOperation::ExtractTo, "", {archive}}),
              kelp::kOperationFailed);
    EXPECT_EQ(boxes.dialogsShown.size(), 2u);
}

TEST(ExtractHereFolder, NamesTheNewFolderAfterTheArchive) {
    EXPECT_EQ(kelp::ExtractHereFolder("/nowhere/photos.2025.zip", {"a", "b/c"}),
              "/nowhere/photos.2025");
    EXPECT_EQ(kelp::ExtractHereFolder("/nowhere/x.zip", {"./only/a", "only\\b"}), "/nowhere");
    EXPECT_EQ(kelp::ExtractHereFolder("/nowhere/x.zip", {}), "/nowhere");
}

}  // namespace
