// kelpzip's exit status and where its messages go.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/archive_builder.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using fixtures::Quote;
using fixtures::RunShell;

const std::string& Kelpzip() {
    static const std::string path = Quote(fixtures::KelpProgram("kelpzip"));
    return path;
}

TEST(KelpzipExit, UsageErrorsGiveTwo) {
    for (const char* args :
         {"", " frobnicate x.zip", " list", " list --bogus a.zip", " comment a.zip --set"})
        EXPECT_EQ(RunShell(Kelpzip() + args).exitCode, 2) << args;
}

TEST(KelpzipExit, HelpAndVersionAnswerWithoutADisplay) {
    EXPECT_EQ(RunShell(Kelpzip() + " --version").out, "kelpzip " KELP_TEST_VERSION "\n");
    const auto verb = RunShell(Kelpzip() + " help rename");
    EXPECT_EQ(verb.exitCode, 0);
    EXPECT_EQ(verb.out.rfind("usage: kelpzip rename ARCHIVE OLD NEW\n", 0), 0u) << verb.out;
    EXPECT_EQ(RunShell(Kelpzip() + " extract x.zip --help").out.rfind("usage: kelpzip extract", 0),
              0u);
    EXPECT_EQ(RunShell(Kelpzip() + " help frobnicate").exitCode, 2);
}

TEST(KelpzipExit, TheWindowsProgramAnswersHelpAndVersionWithoutADisplay) {
    if (!std::filesystem::exists(fixtures::KelpProgram("kelp")))
        GTEST_SKIP() << "kelp is not built here";
    const std::string kelp = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                             Quote(fixtures::KelpProgram("kelp"));
    const auto help = RunShell(kelp + " --help");
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("[ARCHIVE...]"), std::string::npos) << help.out;
    EXPECT_EQ(RunShell(kelp + " --version").out, "kelp " KELP_TEST_VERSION "\n");
}

TEST(KelpzipExit, APasswordIsAskedOnTheTerminalWithoutEcho) {
    // Python runs kelpzip on a pseudo-terminal and types the password when asked.
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "secret.txt", "hidden");
    ASSERT_TRUE(
        fixtures::Succeeds("cd " + Quote(dir.path()) + " && zip -q -P secret pw.zip secret.txt"));
    fixtures::WriteFile(dir / "type_password.py", R"(import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], ['kelpzip', 'test', sys.argv[2]])
out, typed = b'', False
while True:
    try:
        data = os.read(fd, 1024)
    except OSError:
        break
    if not data:
        break
    out += data
    if not typed and b'Password' in out:
        os.write(fd, b'secret\n')
        typed = True
sys.stdout.write(out.decode(errors='replace'))
sys.exit(os.waitpid(pid, 0)[1] >> 8)
)");
    const auto r = RunShell("timeout 20 python3 " + Quote(dir / "type_password.py") + " " +
                            Quote(fixtures::KelpProgram("kelpzip")) + " " + Quote(dir / "pw.zip"));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Enter Password"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("No Errors Found"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("secret\r"), std::string::npos) << "the password was echoed: " << r.out;
    // Without a terminal nothing is asked and the member is reported.
    const auto piped = RunShell(Kelpzip() + " test " + Quote(dir / "pw.zip") + " < /dev/null");
    EXPECT_EQ(piped.exitCode, 1) << piped.out;
}

TEST(KelpzipExit, AnEmptyMemberArgumentIsRefusedAndTouchesNothing) {
    // It would otherwise select no member, or every one.
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "a.zip",
                        fixtures::ArchiveBuilder().Add("a", "1").Add("b", "2").Build());
    const auto extract = fixtures::RunKelpzip(dir.path(), "extract a.zip ''");
    EXPECT_EQ(extract.exitCode, 2);
    EXPECT_NE(extract.err.find("a member argument is empty"), std::string::npos) << extract.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    const auto del = RunShell(Kelpzip() + " delete " + Quote(dir / "a.zip") + " b ''");
    EXPECT_EQ(del.exitCode, 2);
    EXPECT_EQ(RunShell("unzip -Z1 " + Quote(dir / "a.zip")).out, "a\nb\n");
    // The help says that member arguments are patterns.
    EXPECT_NE(RunShell(Kelpzip() + " --help").out.find("MEMBER arguments are patterns"),
              std::string::npos);
}

TEST(KelpzipExit, EngineErrorsGiveOneAndGoToStandardError) {
    fixtures::TempDir dir;
    fixtures::WriteFile(dir / "junk.zip", std::string(100, 'j'));
    auto junk = RunShell(Kelpzip() + " list --tsv " + Quote(dir / "junk.zip"));
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_EQ(junk.out, "");
    EXPECT_EQ(junk.err, "This archive is not a valid Zip archive\n");

    auto missing = RunShell(Kelpzip() + " list " + Quote(dir / "missing.zip"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no such archive"), std::string::npos);

    // Garbage behind the archive is a warning only.
    fixtures::WriteFile(dir / "warn.zip", fixtures::ArchiveBuilder().Add("a", "b").Build() + "zz");
    auto warn = RunShell(Kelpzip() + " list --tsv " + Quote(dir / "warn.zip"));
    EXPECT_EQ(warn.exitCode, 0);
    EXPECT_EQ(warn.err, "Warning - Garbage at the end of the zipfile!\n");
    EXPECT_EQ(warn.out.substr(0, 2), "a\t");
}

}  // namespace
