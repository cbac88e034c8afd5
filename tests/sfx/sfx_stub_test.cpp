// Running the self-extracting programs Kelp makes.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/zip_engine.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::ReadFile;
using fixtures::RunShell;
using fixtures::WriteFile;

const std::string kStub = std::string(KELP_LIB_DIR) + "/KelpSFX.bin";

class SfxStub : public ::testing::Test {
  protected:
    SfxStub() {
        zip.SFXPath = kStub;
        zip.HowToDelete = kelp::engine::htdFinal;
        zip.SFXCaption = "Unpacker";
        zip.SFXMessage = "Welcome";
        fs::create_directories(dir / "tree/sub/deeper");
        WriteFile(dir / "tree/a.txt", "alpha\n");
        WriteFile(dir / "tree/sub/b.bin", std::string(100000, '\7') + std::string("\0tail", 5));
        WriteFile(dir / "tree/sub/deeper/c", "");
        fs::create_symlink("../a.txt", dir / "tree/sub/link-to-a");
    }
    // The tree packed by the zip tool and made into a program.
    std::string MakeExe() {
        const auto r = RunShell("cd " + Quote(dir / "tree") + " && zip -qry ../t.zip .");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        zip.setZipFileName(dir / "t.zip");
        EXPECT_EQ(zip.ConvertToExe(), 0);
        return dir / "t.exe";
    }
    fixtures::CommandResult Run(const std::string& exe, const std::string& env = "") {
        return RunShell("cd " + Quote(dir.path()) + " && " + env + " " + Quote(exe));
    }

    fixtures::TempDir dir;
    kelp::engine::ZipEngine zip;
};

TEST_F(SfxStub, ExtractsTheWholeTreeAndPassesUnzip) {
    zip.SFXDefaultDir = dir / "out";
    const std::string exe = MakeExe();
    EXPECT_EQ(RunShell("unzip -tq " + Quote(exe)).exitCode, 0);
    const auto r = Run(exe);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("Unpacker\nWelcome\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("file(s) extracted to"), std::string::npos);
    EXPECT_TRUE(fixtures::Succeeds("diff -r " + Quote(dir / "tree") + " " + Quote(dir / "out")));
    // A stored link that stays inside the target comes back as a link.
    EXPECT_EQ(fs::read_symlink(dir / "out/sub/link-to-a"), "../a.txt");
}

TEST_F(SfxStub, DefaultFoldersAndOverwriteModes) {
    // "><" is the temporary folder; no success message asked for.
    zip.SFXDefaultDir = "><";
    zip.SFXOptions.Include(kelp::engine::SFXNoSuccessMsg);
    const std::string exe = MakeExe();
    fs::create_directories(dir / "tmp");
    auto r = Run(exe, "TMPDIR=" + Quote(dir / "tmp"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "tmp/a.txt"), "alpha\n");
    EXPECT_EQ(r.out.find("extracted to"), std::string::npos);

    // Confirming without a terminal keeps what is there; "always" replaces it.
    WriteFile(dir / "tmp/a.txt", "mine");
    r = Run(exe, "TMPDIR=" + Quote(dir / "tmp"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "tmp/a.txt"), "mine");
    ASSERT_EQ(zip.ConvertToZip(), 0);  // reads the settings back: change them after
    zip.SFXOverWriteMode = kelp::engine::OvrAlways;
    ASSERT_EQ(zip.ConvertToExe(), 0);
    r = Run(exe, "TMPDIR=" + Quote(dir / "tmp"));
    EXPECT_EQ(ReadFile(dir / "tmp/a.txt"), "alpha\n");

    // An empty folder name means the current folder.
    ASSERT_EQ(zip.ConvertToZip(), 0);
    zip.SFXDefaultDir = "";
    ASSERT_EQ(zip.ConvertToExe(), 0);
    fs::create_directories(dir / "cwd");
    r = RunShell("cd " + Quote(dir / "cwd") + " && " + Quote(exe));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "cwd/sub/deeper/c"), "");
}

TEST_F(SfxStub, CommandLineRunsAfterExtractionOnlyWhenAllowed) {
    zip.SFXDefaultDir = dir / "out";
    zip.SFXCommandLine = "cp a.txt ><.copy";
    zip.SFXOptions.Include(kelp::engine::SFXAutoRun);
    const std::string exe = MakeExe();
    auto r = Run(exe);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "out.copy"), "alpha\n");

    // Asking first with nobody at a terminal: not run.
    fs::remove(dir / "out.copy");
    ASSERT_EQ(zip.ConvertToZip(), 0);
    zip.SFXOptions.Include(kelp::engine::SFXAskCmdLine);
    ASSERT_EQ(zip.ConvertToExe(), 0);
    r = Run(exe);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(fs::exists(dir / "out.copy"));

    // A failing command fails the program.
    ASSERT_EQ(zip.ConvertToZip(), 0);
    zip.SFXCommandLine = "false";
    zip.SFXOptions = {kelp::engine::SFXAutoRun};
    ASSERT_EQ(zip.ConvertToExe(), 0);
    EXPECT_NE(Run(exe).exitCode, 0);
}

TEST_F(SfxStub, UnsafeNamesAndMissingSettingsFail) {
    const std::string script =
        "import zipfile,sys\n"
        "with zipfile.ZipFile(sys.argv[1],'w') as z:\n"
        "  z.writestr('ok.txt','fine')\n"
        "  z.writestr('../escaped.txt','bad')\n"
        "  z.writestr('/abs/x.txt','bad')\n"
        "  i=zipfile.ZipInfo('link'); i.create_system=3; i.external_attr=(0o120777<<16)\n"
        "  z.writestr(i,'/etc/passwd')\n";
    ASSERT_TRUE(fixtures::Succeeds("python3 -c " + Quote(script) + " " + Quote(dir / "u.zip")));
    zip.SFXDefaultDir = dir / "out/inner";
    zip.setZipFileName(dir / "u.zip");
    ASSERT_EQ(zip.ConvertToExe(), 0);
    EXPECT_NE(Run(dir / "u.exe").exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "out/inner/ok.txt"), "fine");
    EXPECT_FALSE(fs::exists(dir / "out/escaped.txt"));
    EXPECT_FALSE(fs::exists(dir / "out/inner/link"));
    EXPECT_FALSE(fs::exists("/abs/x.txt"));

    // The stub alone, or followed by an archive without a settings block.
    const std::string plain = dir / "plain.exe";
    RunShell("cat " + Quote(kStub) + " " + Quote(dir / "tree/a.txt") + " > " + Quote(plain) +
             " && chmod +x " + Quote(plain));
    EXPECT_NE(Run(plain).exitCode, 0);
}

TEST_F(SfxStub, NamesInTheCodePageOfAWindowsComputerComeOutRight) {
    // Russian names in CP866 without the UTF-8 flag, as Windows writes them.
    const std::string script =
        "import zipfile,sys\n"
        "class Raw(zipfile.ZipInfo):\n"
        "  def _encodeFilenameFlags(self): return self.filename.encode('cp437'), 0\n"
        "with zipfile.ZipFile(sys.argv[1],'w') as z:\n"
        "  for n in ('Отчёт за год.txt', 'Письма/Директору.txt'):\n"
        "    i=Raw(n.encode('cp866').decode('cp437')); i.create_system=0; z.writestr(i,n)\n";
    ASSERT_TRUE(fixtures::Succeeds("python3 -c " + Quote(script) + " " + Quote(dir / "ru.zip")));
    zip.SFXDefaultDir = dir / "out";
    zip.setZipFileName(dir / "ru.zip");
    ASSERT_EQ(zip.ConvertToExe(), 0);
    const auto r = Run(dir / "ru.exe");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(dir / "out/Отчёт за год.txt"), "Отчёт за год.txt");
    EXPECT_EQ(ReadFile(dir / "out/Письма/Директору.txt"), "Письма/Директору.txt");
}

}  // namespace
