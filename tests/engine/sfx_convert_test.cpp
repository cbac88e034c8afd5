// Turning archives into self-extracting programs and back.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "engine/sfx_settings_block.h"
#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/env_override.h"
#include "tests/fixtures/pe_fixture.h"
#include "tests/fixtures/run_command.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::RunShell;
using fixtures::WriteFile;

const std::string kElfStub = std::string(KELP_LIB_DIR) + "/KelpSFX.bin";

class SfxConvert : public fixtures::EngineTest {
  protected:
    SfxConvert() { zip.HowToDelete = kelp::engine::htdFinal; }
    std::string Stub(const std::string& bytes) {
        WriteFile(dir / "stub.bin", bytes);
        return dir / "stub.bin";
    }
    // An archive written by the zip tool from a small tree.
    std::string ZipToolArchive() {
        fs::create_directories(dir / "tree/sub");
        WriteFile(dir / "tree/a.txt", std::string(5000, 'a') + "end");
        WriteFile(dir / "tree/sub/b.bin", std::string("\0\1\2\3binary", 10));
        EXPECT_TRUE(fixtures::Succeeds("cd " + Quote(dir / "tree") + " && zip -qr ../z.zip ."));
        return dir / "z.zip";
    }
    // An archive written by Python, with an archive comment and a member comment.
    std::string PythonArchive() {
        const std::string script =
            "import zipfile,sys\n"
            "with zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED) as z:\n"
            "  z.comment=b'archive comment'\n"
            "  z.writestr('dir/x.txt','x'*3000)\n"
            "  i=zipfile.ZipInfo('y.txt'); i.comment=b'member'; z.writestr(i,'why')\n";
        EXPECT_TRUE(fixtures::Succeeds("python3 -c " + Quote(script) + " " + Quote(dir / "p.zip")));
        return dir / "p.zip";
    }

    // The program's settings as the engine holds them.
    auto Settings() const {
        return std::tuple(zip.SFXCaption, zip.SFXDefaultDir, zip.SFXCommandLine, zip.SFXMessage,
                          zip.SFXOptions, zip.SFXOverWriteMode);
    }

    fixtures::EnvOverride trash{"XDG_DATA_HOME", dir / "data"};
};

// A settings block whose texts run past the bytes is no block.
TEST(SfxSettingsBlock, TextsRunningPastTheBytesAreNoBlock) {
    const std::string old = std::string("xxMPU\xC1\2\1\0", 9) + "abz";
    const auto* bytes = reinterpret_cast<const unsigned char*>(old.data());
    ASSERT_TRUE(kelp::engine::FindSettingsBlock(bytes, old.size()));
    EXPECT_FALSE(kelp::engine::DecodeSettingsBlock(bytes + 2, 6));
}

TEST_F(SfxConvert, ZipToExeAndBackIsByteIdenticalForPeerArchives) {
    for (const std::string& source : {ZipToolArchive(), PythonArchive()}) {
        SCOPED_TRACE(source);
        const std::string original = ReadFile(source);
        zip.SFXPath = kElfStub;
        zip.SFXCaption = "My caption";
        zip.SFXDefaultDir = "><";
        zip.SFXCommandLine = "echo ><";
        zip.SFXMessage = "Hello";
        zip.SFXOptions =
            kelp::engine::SFXOpts{kelp::engine::SFXAutoRun, kelp::engine::SFXNoSuccessMsg};
        zip.SFXOverWriteMode = kelp::engine::OvrNever;
        zip.setZipFileName(source);
        const auto written = Settings();
        ASSERT_EQ(zip.ConvertToExe(), 0);

        const std::string exe = fs::path(source).replace_extension(".exe").string();
        EXPECT_EQ(zip.ZipFileName(), exe);
        EXPECT_FALSE(fs::exists(source));
        EXPECT_NE(fs::status(exe).permissions() & fs::perms::owner_exec, fs::perms::none);
        const std::string bytes = ReadFile(exe);
        const size_t stubSize = static_cast<size_t>(fs::file_size(kElfStub));
        EXPECT_EQ(bytes.substr(0, stubSize), ReadFile(kElfStub));
        // Flags: auto-run 64, no success message 128, overwrite never 16, size not checked 32.
        EXPECT_EQ(bytes.substr(stubSize, 4), "MPV\xF0");
        EXPECT_EQ(zip.SfxPrefixSize(), static_cast<int64_t>(stubSize + 36));
        EXPECT_FALSE(zip.StructureError());
        EXPECT_TRUE(fixtures::Succeeds("unzip -tq " + Quote(exe)));

        zip.SFXCaption = zip.SFXDefaultDir = zip.SFXCommandLine = zip.SFXMessage = "changed";
        zip.SFXOptions = {};
        zip.SFXOverWriteMode = kelp::engine::OvrAlways;
        ASSERT_EQ(zip.ConvertToZip(), 0);
        EXPECT_EQ(ReadFile(source), original);
        EXPECT_FALSE(fs::exists(exe));
        EXPECT_EQ(zip.ZipFileName(), source);
        EXPECT_EQ(Settings(), written);
    }
    EXPECT_TRUE(logged.empty());
}

TEST_F(SfxConvert, TooLongTextWritesNothing) {
    const std::string source = ZipToolArchive();
    const std::string original = ReadFile(source);
    zip.SFXPath = kElfStub;
    zip.SFXCaption = "";
    zip.SFXMessage = std::string(256, 'm');
    zip.setZipFileName(source);
    EXPECT_EQ(zip.ConvertToExe(), -9);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(
        host.messages[0],
        "Error - On or more of the 4 property strings mentioned below exceeds 255 characters!\r\n"
        "SFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = 269");
    EXPECT_FALSE(fs::exists(dir / "z.exe"));
    EXPECT_EQ(ReadFile(source), original);
}

TEST_F(SfxConvert, IconIsReplacedInAWindowsStubAndReadBack) {
    const std::string source = PythonArchive();
    const std::string original = ReadFile(source);
    zip.SFXPath = Stub(fixtures::PeStub());
    zip.SFXIcon = fixtures::IconFile(32, '\x77');
    ASSERT_EQ(zip.SFXIcon.size(), 766u);
    zip.setZipFileName(source);
    ASSERT_EQ(zip.ConvertToExe(), 0);
    const std::string bytes = ReadFile(dir / "p.exe");
    EXPECT_EQ(bytes.substr(fixtures::PeStubIconOffset(), 744), fixtures::IconImage(32, '\x77'));
    EXPECT_EQ(RunShell("unzip -tq " + Quote(dir / "p.exe")).exitCode, 0);

    zip.SFXIcon.clear();
    ASSERT_EQ(zip.ConvertToZip(), 0);
    EXPECT_EQ(zip.SFXIcon, fixtures::IconFile(32, '\x77'));
    EXPECT_EQ(ReadFile(source), original);
}

TEST_F(SfxConvert, IconFailuresKeepTheSourceAndLeaveNoOutput) {
    const std::string source = ZipToolArchive();
    const std::string original = ReadFile(source);
    struct Case {
        std::string stub;
        std::string icon;
        int code;
    };
    const std::string pe = fixtures::PeStub();
    const std::vector<Case> cases = {
        {pe, fixtures::IconFile(48, '\x22'), -12},
        {fixtures::PeStub({.resources = false}), fixtures::IconFile(32, 0), -10},
        {fixtures::PeStub({.directoryOutside = true}), fixtures::IconFile(32, 0), -10},
        {fixtures::PeStub({.loop = true}), fixtures::IconFile(32, 0), -10},
        {pe.substr(0, 0x150), fixtures::IconFile(32, 0), -10},  // cut inside the section table
    };
    for (const Case& c : cases) {
        zip.SFXPath = Stub(c.stub);
        zip.SFXIcon = c.icon;
        zip.setZipFileName(source);
        EXPECT_EQ(zip.ConvertToExe(), c.code);
        EXPECT_EQ(zip.ZipFileName(), source);
        EXPECT_EQ(ReadFile(source), original);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
            << "only tree, z.zip and stub.bin are left";
    }
    // This platform's stub has no icon to replace: the icon is left out.
    zip.SFXPath = kElfStub;
    zip.SFXIcon = fixtures::IconFile(48, 0);
    EXPECT_EQ(zip.ConvertToExe(), 0);
    EXPECT_EQ(RunShell("unzip -tq " + Quote(dir / "z.exe")).exitCode, 0);
}

TEST_F(SfxConvert, StructureErrorIsCopiedUnchangedBothWays) {
    const std::string archive = fixtures::ArchiveBuilder().Add("a", "alpha").Comment("c").Build();
    WriteFile(dir / "s.zip", "JUNK" + archive);  // offsets stored without the junk
    zip.SFXPath = Stub("STUB");
    zip.SFXCaption = "";
    zip.setZipFileName(dir / "s.zip");
    ASSERT_TRUE(zip.StructureError());
    ASSERT_EQ(zip.ConvertToExe(), 0);
    const std::string block = ReadFile(dir / "s.exe").substr(4, 12);
    EXPECT_EQ(ReadFile(dir / "s.exe"), "STUB" + block + "JUNK" + archive);
    ASSERT_EQ(zip.ConvertToZip(), 0);
    EXPECT_EQ(ReadFile(dir / "s.zip"), archive);
}

TEST_F(SfxConvert, ExeWithoutOrWithAnOlderSettingsBlock) {
    const std::string archive = fixtures::ArchiveBuilder().Add("a", "alpha").Build();
    WriteFile(dir / "n.exe",
              fixtures::ArchiveBuilder().Add("a", "alpha").Prefix("PROGRAM", true).Build());
    zip.SFXCaption = "kept";
    zip.SFXOptions = {kelp::engine::SFXAskFiles};
    zip.setZipFileName(dir / "n.exe");
    ASSERT_EQ(zip.ConvertToZip(), 0);
    EXPECT_EQ(ReadFile(dir / "n.zip"), archive);
    EXPECT_EQ(zip.SFXCaption, "kept");
    EXPECT_EQ(zip.SFXOptions, kelp::engine::SFXOpts{kelp::engine::SFXAskFiles});

    const std::string older = std::string("PROGMPU\xE8\2\1\0", 11) + "abz";
    WriteFile(dir / "o.exe",
              fixtures::ArchiveBuilder().Add("a", "alpha").Prefix(older, true).Build());
    zip.SFXMessage = "message stays";
    zip.setZipFileName(dir / "o.exe");
    ASSERT_EQ(zip.ConvertToZip(), 0);
    EXPECT_EQ(ReadFile(dir / "o.zip"), archive);
    EXPECT_EQ(Settings(),
              std::tuple("ab", "z", "", "message stays",
                         kelp::engine::SFXOpts{kelp::engine::SFXAutoRun}, kelp::engine::OvrAlways));
}

TEST_F(SfxConvert, BadInputGetsItsCodes) {
    const std::string source = ZipToolArchive();
    zip.SFXPath = kElfStub;
    zip.setZipFileName(source);
    // The archive is cut short after its directory was read.
    const std::string original = ReadFile(source);
    WriteFile(source, original.substr(0, original.size() - 30));
    EXPECT_EQ(zip.ConvertToExe(), -3);
    EXPECT_FALSE(fs::exists(dir / "z.exe"));
    EXPECT_EQ(ReadFile(source).size(), original.size() - 30);

    WriteFile(dir / "plain.exe", original);
    zip.setZipFileName(dir / "plain.exe");
    EXPECT_EQ(zip.ConvertToZip(), -9);

    // A stub that is not where SFXPath says is found beside the libraries.
    WriteFile(dir / "ok.zip", original);
    zip.setZipFileName(dir / "ok.zip");
    zip.SFXPath = "/nonexistent/stub";
    EXPECT_EQ(zip.ConvertToExe(), 0);
    EXPECT_TRUE(fs::equivalent(zip.SFXPath, kElfStub)) << zip.SFXPath;
}

TEST_F(SfxConvert, DiscardFileUsesTheTrashOrDeletes) {
    zip.HowToDelete = kelp::engine::htdAllowUndo;
    WriteFile(dir / "one.zip", "1");
    ASSERT_TRUE(zip.DiscardFile(dir / "one.zip"));
    WriteFile(dir / "one.zip", "2");
    ASSERT_TRUE(zip.DiscardFile(dir / "one.zip"));
    EXPECT_FALSE(fs::exists(dir / "one.zip"));
    const std::string trash = dir / "data/Trash";
    EXPECT_EQ(ReadFile(trash + "/files/one.zip"), "1");
    EXPECT_EQ(ReadFile(trash + "/files/one.zip.2"), "2");
    const std::string info = ReadFile(trash + "/info/one.zip.2.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + (dir / "one.zip") + "\nDeletionDate=", 0), 0u)
        << info;

    zip.HowToDelete = kelp::engine::htdFinal;
    WriteFile(dir / "two.zip", "2");
    EXPECT_TRUE(zip.DiscardFile(dir / "two.zip"));
    EXPECT_FALSE(fs::exists(dir / "two.zip"));
    EXPECT_FALSE(zip.DiscardFile(dir / "two.zip"));
}

}  // namespace
