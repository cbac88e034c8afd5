// Writing an edited copy back into its archive: the member keeps its method,
// level, encryption, password and Unix mode and takes the file's time; every
// other member's bytes stay as they were; the old archive goes to the trash;
// a kill in the middle leaves the archive whole. Archives come from peer
// tools, and 7z and Python read the results.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "engine/member_writeback.h"
#include "tests/fixtures/engine_test.h"
#include "tests/fixtures/env_override.h"
#include "tests/fixtures/run_command.h"
#include "tests/fixtures/zip_members.h"

namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
    const auto r = fixtures::RunShell(command);
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
    return r.out;
}

class MemberWriteBackTest : public fixtures::EngineTest {
  protected:
    MemberWriteBackTest() {
        fs::create_directories(dir / "src/m");
        fs::create_directories(dir / "scratch");
        fixtures::WriteFile(dir / "src/m/file.txt", std::string(3000, 'a') + "\n");
        fixtures::WriteFile(dir / "src/other.txt", std::string(5000, 'o'));
        Shell("chmod 640 " + Q("src/m/file.txt"));
    }
    ~MemberWriteBackTest() override { zip.UnloadZipLib(); }
    std::string Q(const std::string& name) { return fixtures::Quote(dir / name); }
    // Writes `text` as the edited copy, dated 2021-03-04 05:06:08.
    std::string Edited(const std::string& text) {
        const std::string file = dir / "edited.txt";
        fixtures::WriteFile(file, text);
        Shell("chmod 600 " + fixtures::Quote(file) + " && touch -d '2021-03-04 05:06:08' " +
              fixtures::Quote(file));
        return file;
    }
    kelp::engine::MemberWriteBack Request(const std::string& password) {
        zip.setZipFileName(dir / "a.zip");
        std::optional<kelp::engine::ZipDirEntry> entry;
        for (const auto& e : zip.DirEntries())
            if (e.MemberName() == "m/file.txt") entry = e;
        EXPECT_TRUE(entry);
        kelp::engine::MemberWriteBack w;
        w.archive = dir / "a.zip";
        w.member = "m/file.txt";
        w.file = Edited(std::string(2000, 'b') + "\nedited\n");
        w.password = password;
        w.storage = kelp::engine::StorageOf(*entry, 9);
        w.method =
            kelp::engine::WritableMethod(w.storage.method).value_or(kelp::engine::AddMethodDeflate);
        w.scratch = dir / "scratch";
        return w;
    }
    fixtures::EnvOverride trash{"XDG_DATA_HOME", dir / "data"};
};

TEST_F(MemberWriteBackTest, TheMemberKeepsHowItWasStoredAndTheOthersTheirBytes) {
    struct Case {
        const char* what;
        const char* make;  // run in src/, makes ../a.zip of m/file.txt and other.txt
        const char* password;
        int method, flags, strength;  // expected after the write-back
    };
    const Case cases[] = {
        {"deflate, maximum", "zip -q -9 ../a.zip m/file.txt other.txt", "", 8, 2, 0},
        {"deflate, fast", "zip -q -1 ../a.zip m/file.txt other.txt", "", 8, 4, 0},
        {"stored", "zip -q -0 ../a.zip m/file.txt other.txt", "", 0, 0, 0},
        {"LZMA",
         "python3 -c \"import zipfile as z; a=z.ZipFile('../a.zip','w',z.ZIP_LZMA); "
         "a.write('m/file.txt'); a.write('other.txt')\"",
         "", 14, 2, 0},
        {"ZipCrypto", "zip -q -P sesame ../a.zip m/file.txt other.txt", "sesame", 8, 1, 0},
        {"AES-256", "7z a -tzip -mem=AES256 -psesame ../a.zip m/file.txt other.txt >/dev/null",
         "sesame", 8, 1, 3},
        // Written back as AES-256, the one strength the writer has.
        {"AES-128, stored",
         "7z a -tzip -mx=0 -mem=AES128 -psesame ../a.zip m/file.txt other.txt >/dev/null", "sesame",
         0, 1, 3},
        // Deflate64 cannot be written: deflated instead (the window asks first).
        {"Deflate64", "7z a -tzip -mm=Deflate64 ../a.zip m/file.txt other.txt >/dev/null", "", 8, 2,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir / "a.zip");
        fs::remove_all(dir / "data");
        Shell("cd " + Q("src") + " && " + c.make);
        const std::string original = fixtures::ReadFile(dir / "a.zip");
        const auto before = fixtures::ZipMembers(dir / "a.zip");
        ASSERT_EQ(before.size(), 2u);
        const kelp::engine::MemberWriteBack w = Request(c.password);
        EXPECT_EQ(kelp::engine::WritableMethod(w.storage.method).has_value(),
                  std::string(c.what) != "Deflate64");
        std::string error;
        ASSERT_TRUE(kelp::engine::ReplaceMember(zip, w, error)) << error;
        EXPECT_EQ(error, "");

        const auto after = fixtures::ZipMembers(dir / "a.zip");
        ASSERT_EQ(after.size(), 2u);
        const fixtures::ZipMember& m = after.at("m/file.txt");
        EXPECT_EQ(m.method, c.method);
        EXPECT_EQ(m.flags, c.flags);
        EXPECT_EQ(m.strength, c.strength);
        EXPECT_EQ(m.mode, "0o640");
        EXPECT_EQ(m.time, "20210304050608");
        EXPECT_EQ(after.at("other.txt").raw, before.at("other.txt").raw);
        const std::string pw = *c.password ? std::string(" -p") + c.password : " -p-";
        EXPECT_EQ(Shell("7z x -so" + pw + " " + Q("a.zip") + " m/file.txt 2>/dev/null"),
                  fixtures::ReadFile(w.file));
        if (*c.password) {  // the password is needed: without it nothing comes out
            EXPECT_NE(fixtures::RunShell("7z t -p- " + Q("a.zip") + " >/dev/null").exitCode, 0);
        }
        // The archive as it was is in the trash (how is the trash test's).
        EXPECT_EQ(fixtures::ReadFile(dir / "data/Trash/files/a.zip"), original);
        EXPECT_TRUE(fs::is_empty(dir / "scratch"));
    }
}

TEST_F(MemberWriteBackTest, RefusalsLeaveTheArchiveAsItWas) {
    Shell("cd " + Q("src") + " && zip -q -P sesame ../a.zip m/file.txt other.txt");
    const std::string original = fixtures::ReadFile(dir / "a.zip");
    struct Case {
        const char* what;
        std::function<void(kelp::engine::MemberWriteBack&)> change;
    };
    const Case cases[] = {
        {"no password for an encrypted member", [](auto& w) { w.password.clear(); }},
        {"a name the writer would change", [](auto& w) { w.member = "m/../file.txt"; }},
        {"the copy is gone", [this](auto& w) { w.file = dir / "missing.txt"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kelp::engine::MemberWriteBack w = Request("sesame");
        c.change(w);
        std::string error;
        EXPECT_FALSE(kelp::engine::ReplaceMember(zip, w, error));
        EXPECT_NE(error, "");
        EXPECT_EQ(fixtures::ReadFile(dir / "a.zip"), original);
        EXPECT_FALSE(fs::exists(dir / "data/Trash/files/a.zip"));
    }
}

TEST_F(MemberWriteBackTest, AKillDuringTheWriteLeavesTheOldArchiveWhole) {
    Shell("cd " + Q("src") + " && zip -q -0 ../a.zip m/file.txt other.txt");
    const std::string original = fixtures::ReadFile(dir / "a.zip");
    kelp::engine::MemberWriteBack w = Request("");
    Shell("truncate -s 300M " + fixtures::Quote(w.file));
    const pid_t pid = fork();
    if (pid == 0) {
        std::string error;
        kelp::engine::ReplaceMember(zip, w, error);
        _exit(0);
    }
    // Killed once the new archive is on its way beside the old one.
    auto growing = [&] {
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().starts_with(".a.zip.kelp-") &&
                e.file_size() > (64u << 20))
                return true;
        return false;
    };
    const auto start = std::chrono::steady_clock::now();
    while (!growing() && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(growing());
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(fixtures::ReadFile(dir / "a.zip"), original);
    EXPECT_FALSE(fs::exists(dir / "data/Trash/files/a.zip"));
}

}  // namespace
