// kelpzip add, delete and span: archives with data descriptors, bad input,
// and a kill or Ctrl+C in the middle.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "tests/fixtures/folder_test.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Quote;
using fixtures::RunShell;

// Runs kelpzip in `folder`, its output into outFile; once `inside(pid)`
// holds (polled), sends it `signal` (SIGINT: as Ctrl+C does). The time it
// then takes to end is bounded loosely (10 s, for a loaded 2-core
// machine): the check is that it stops, not how fast.
struct Signalled {
    bool signalled = false;  // false: it ended before `inside` held
    bool endedInTime = false;
    int exitCode = -1;
    std::string out;
};

Signalled SignalKelp(const std::string& folder, const std::string& outFile,
                     std::vector<std::string> args, const std::function<bool(pid_t)>& inside,
                     int signal = SIGINT) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(folder.c_str()) != 0 || fd < 0) _exit(127);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> argv;
        args.insert(args.begin(), "kelpzip");
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(fixtures::KelpProgram("kelpzip").c_str(), argv.data());
        _exit(127);
    }
    Signalled r;
    int status = 0;
    // Waits up to `limit` for the end while `more` holds; true when it ended.
    auto ended = [&](std::chrono::seconds limit, const std::function<bool()>& more) {
        const auto start = std::chrono::steady_clock::now();
        while (more() && std::chrono::steady_clock::now() - start < limit) {
            if (waitpid(pid, &status, WNOHANG) == pid) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    };
    const bool endedFirst = ended(std::chrono::seconds(60), [&] { return !inside(pid); });
    if (!endedFirst && inside(pid)) {
        kill(pid, signal);
        r.signalled = true;
        r.endedInTime = ended(std::chrono::seconds(10), [] { return true; });
    }
    if (!endedFirst && !r.endedInTime) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = fixtures::ReadFile(outFile);
    return r;
}

// Whether a file below the folder has grown past 64 KiB (a member's data
// is being written).
bool FileGrowing(const std::string& folder) {
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec))
        if (e.is_regular_file(ec) && e.file_size(ec) > (64u << 10)) return true;
    return false;
}

// What a process has read so far (the "rchar" of /proc/PID/io).
uint64_t BytesRead(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

class AddDelete : public fixtures::FolderTest {
  protected:
    AddDelete() {
        fixtures::WriteFile(dir / "src/readme.txt", "read me\n");
        fixtures::WriteFile(dir / "src/deep/er/numbers.txt", std::string(100000, '7'));
        fixtures::WriteFile(dir / "src/ünïcode name.txt", "utf-8 names\n");
        fixtures::WriteFile(dir / "src/image.png", std::string(5000, 'p'));
        RunShell("head -c 70000 /dev/urandom > " + Quote(dir / "src/deep/blob.bin"));
    }
};

// Archives whose members carry data descriptors, as streaming writers make
// them, changed by each verb: every peer still reads the result, a
// streaming reader too, and each descriptor stays right behind its data.
TEST_F(AddDelete, ArchivesWithDataDescriptorsStaySoundAfterEveryChange) {
    Must("touch -d 2020-01-02 src/readme.txt src/deep/er/numbers.txt src/deep/blob.bin");
    const std::string files = "src/readme.txt src/deep/er/numbers.txt src/deep/blob.bin";
    const std::string check =
        "python3 " + Quote(std::string(KELP_SOURCE_DIR) + "/tests/cli/check_descriptors.py");
    const struct {
        const char* name;
        std::string make;
    } sources[] = {
        {"zip_piped", "zip -q - " + files + " | cat > s.zip"},
        // Read from standard input: ZIP64 sizes in the descriptor.
        {"zip_stdin", "zip -q - - " + files + " < src/readme.txt | cat > s.zip"},
        {"python_stream",
         "python3 -c \"import sys, zipfile\n"
         "class Pipe:\n"
         "    def __init__(self, f): self.f = f\n"
         "    def write(self, b): return self.f.write(b)\n"
         "    def flush(self): pass\n"
         "with zipfile.ZipFile(Pipe(open('s.zip', 'wb')), 'w', zipfile.ZIP_DEFLATED) as z:\n"
         "    for name in sys.argv[1:]: z.write(name)\n\" " +
             files},
    };
    const struct {
        const char* name;
        const char* before;
        const char* args;
    } changes[] = {
        {"delete", "true", "delete c.zip src/deep/er/numbers.txt"},
        {"update", "echo changed > src/readme.txt", "add c.zip -u -r src"},
        {"freshen", "touch src/deep/blob.bin", "add c.zip -f -r src"},
        {"add", "echo new > new.txt", "add c.zip new.txt"},
    };
    for (const auto& source : sources) {
        ASSERT_EQ(Shell(source.make).exitCode, 0) << source.name;
        auto described = Shell(check + " s.zip");
        ASSERT_EQ(described.exitCode, 0) << described.out;
        ASSERT_GT(std::stoi(described.out), 0) << source.name << " wrote no descriptors";
        for (const auto& change : changes) {
            SCOPED_TRACE(std::string(source.name) + " " + change.name);
            ASSERT_EQ(Shell(std::string("cp s.zip c.zip && ") + change.before).exitCode, 0);
            auto r = Kelp(change.args);
            ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
            EXPECT_NE(fixtures::ReadFile(dir / "c.zip"), fixtures::ReadFile(dir / "s.zip"));
            EXPECT_EQ(Shell("unzip -tq c.zip").exitCode, 0);
            EXPECT_EQ(Shell("7z t c.zip >/dev/null").exitCode, 0);
            auto streamed = Shell("bsdtar -tf - < c.zip");
            EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
            EXPECT_EQ(streamed.out, Shell("unzip -Z1 c.zip").out);
            Must(check + " c.zip");
        }
        ASSERT_EQ(Shell("touch -d 2020-01-02 src/readme.txt src/deep/blob.bin").exitCode, 0);
    }
}

TEST_F(AddDelete, BadInputLeavesTheArchiveAlone) {
    fixtures::WriteFile(dir / "not.zip", std::string(3000, 'n'));
    EXPECT_EQ(Kelp("add not.zip src/readme.txt").exitCode, 1);
    EXPECT_EQ(fixtures::ReadFile(dir / "not.zip"), std::string(3000, 'n'));

    ASSERT_EQ(Kelp("add k.zip src/readme.txt").exitCode, 0);
    const std::string bytes = fixtures::ReadFile(dir / "k.zip");
    EXPECT_EQ(Kelp("add k.zip src/no-such-file").exitCode, 1);
    EXPECT_EQ(Kelp("delete k.zip nothing/here").exitCode, 1);
    EXPECT_EQ(fixtures::ReadFile(dir / "k.zip"), bytes);
}

// Ctrl+C inside a member far larger than what the workers write ahead, in
// extract and in add: the run stops, reports the cancel, and leaves no
// partial file under the member's name and no temporary archive. A kill in
// the middle of the add leaves the archive byte for byte as it was.
TEST_F(AddDelete, InterruptInsideALargeMemberStopsAndLeavesNoPartialFile) {
    // Sparse, so the add of 16 GiB costs no disk and takes far longer than
    // the 10 s bound when nothing stops it.
    ASSERT_EQ(Shell("mkdir a out && truncate -s 16G a/zeros.bin").exitCode, 0);
    // A member of 3 GiB of zeros in 3 MB: a flushed deflate block of one
    // mebibyte of zeros, repeated, then an empty final block.
    Must(R"(python3 - <<'EOF'
import struct, zlib
n, zeros = 3072, bytes(1 << 20)
c = zlib.compressobj(9, zlib.DEFLATED, -15)
data = (c.compress(zeros) + c.flush(zlib.Z_FULL_FLUSH)) * n + b"\x03\x00"
crc = 0
for _ in range(n):
    crc = zlib.crc32(zeros, crc)
head = struct.pack("<HHHHHIIIH", 20, 0, 8, 0, 0x5A21, crc, len(data), n << 20, 9)
central = b"PK\x01\x02\x14\x03" + head + struct.pack("<HHHHII", 0, 0, 0, 0, 0o100644 << 16, 0) + b"zeros.bin"
local = b"PK\x03\x04" + head + b"\0\0zeros.bin"
end = struct.pack("<4s4HIIH", b"PK\x05\x06", 0, 0, 1, 1, len(central), len(local) + len(data), 0)
open("b.zip", "wb").write(local + data + central + end)
EOF
)");
    auto extract = SignalKelp(dir / "out", dir / "extract.out", {"extract", "../b.zip"},
                              [&](pid_t) { return FileGrowing(dir / "out"); });
    ASSERT_TRUE(extract.signalled) << "the extract ended before it could be interrupted\n"
                                   << extract.out;
    EXPECT_TRUE(extract.endedInTime) << extract.out;
    EXPECT_EQ(extract.exitCode, 1) << extract.out;
    EXPECT_NE(extract.out.find("cancelled"), std::string::npos) << extract.out;
    EXPECT_EQ(fixtures::FilesBelow(dir / "out"), std::set<std::string>{});

    fixtures::WriteFile(dir / "a/readme.txt", "read me\n");
    Must("cd a && " + Quote(fixtures::KelpProgram("kelpzip")) + " add k.zip readme.txt");
    const std::string original = fixtures::ReadFile(dir / "a/k.zip");
    const auto before = fixtures::FilesBelow(dir / "a");
    auto add = SignalKelp(dir / "a", dir / "add.out", {"add", "k.zip", "zeros.bin"},
                          [](pid_t pid) { return BytesRead(pid) > (256u << 20); });
    ASSERT_TRUE(add.signalled) << "the add ended before it could be interrupted\n" << add.out;
    EXPECT_TRUE(add.endedInTime) << add.out;
    EXPECT_EQ(add.exitCode, 1) << add.out;
    EXPECT_NE(add.out.find("cancel"), std::string::npos) << add.out;
    EXPECT_EQ(fixtures::ReadFile(dir / "a/k.zip"), original);
    EXPECT_EQ(fixtures::FilesBelow(dir / "a"), before);

    auto killed = SignalKelp(
        dir / "a", dir / "kill.out", {"add", "k.zip", "zeros.bin"},
        [](pid_t pid) { return BytesRead(pid) > (256u << 20); }, SIGKILL);
    EXPECT_TRUE(killed.signalled) << "the add finished before it could be killed";
    EXPECT_EQ(fixtures::ReadFile(dir / "a/k.zip"), original);
}

// Listing, testing and extracting a set from its last part are the split
// archive tests'; here the sizes kelpzip takes and the folder it needs.
TEST_F(AddDelete, SpanTakesItsSizesAndNeedsTheTargetFolder) {
    ASSERT_EQ(Kelp("add k.zip -r src").exitCode, 0);
    const std::string span = "span k.zip parts/set.zip --volume-size 30000 --keep-free 10000";
    EXPECT_EQ(Kelp(span).exitCode, 1);  // the target folder does not exist
    fs::create_directories(dir / "parts");
    ASSERT_EQ(Kelp(span).exitCode, 0);
    EXPECT_LE(fs::file_size(dir / "parts/set001.zip"), 20000u);
    EXPECT_LE(fs::file_size(dir / "parts/set002.zip"), 30000u);
}

}  // namespace
