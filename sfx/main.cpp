// The self-extractor: a program with a settings block and an archive
// appended to it. Run, it shows the caption and message of the settings,
// extracts every member into the default folder (on a terminal the user may
// choose another), and runs the command line when asked to. The exit status
// is 0 only when everything worked.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "engine/sfx_settings_block.h"
#include "sfx/console.h"
#include "sfx/self_extractor.h"

namespace {

namespace zip = kelp::zip;
using kelp::engine::SfxSettingsBlock;

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// The folder the settings name: "><" stands for the temporary folder, an
// empty name for the current folder.
std::string DefaultFolder(const std::string& dir) {
    if (dir == "><") return TempFolder();
    if (dir.empty()) return ".";
    return dir;
}

// The command line with every "><" replaced by the extraction folder.
std::string ExpandCommand(std::string command, const std::string& folder) {
    for (size_t at = command.find("><"); at != std::string::npos;
         at = command.find("><", at + folder.size())) {
        command.replace(at, 2, folder);
    }
    return command;
}

// Runs the command line with the shell inside the extraction folder.
bool RunCommand(const std::string& command, const std::string& folder) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main() {
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    zip::ArchiveReader reader;
    std::string error;
    if (ec || !reader.Open(self, error)) {
        std::fprintf(stderr, "No archive found in this program%s%s\n", error.empty() ? "" : ": ",
                     error.c_str());
        return 1;
    }
    // The settings block ends where the archive starts.
    const uint64_t start = kelp::sfx::ArchiveStart(reader);
    std::vector<unsigned char> front(
        static_cast<size_t>(std::min<uint64_t>(start, kelp::engine::kSfxMaxBlockSize)));
    std::optional<SfxSettingsBlock> settings;
    if (reader.ReadAt(start - front.size(), front.data(), front.size()))
        settings = kelp::engine::FindSettingsBlock(front.data(), front.size());
    if (!settings) {
        std::fprintf(stderr, "No settings block found in front of the archive\n");
        return 1;
    }

    kelp::sfx::Console console;
    if (!settings->caption.empty()) std::printf("%s\n", settings->caption.c_str());
    if (!settings->message.empty()) std::printf("%s\n", settings->message.c_str());

    std::string folder = DefaultFolder(settings->defaultDir);
    folder = console.AskLine(
        "Extract to " + folder + " (Enter to accept, or type another folder): ", folder);

    kelp::sfx::SelfExtractor extractor(reader, *settings, console);
    const bool ok = extractor.ExtractAll(folder);
    if (!ok) {
        std::fprintf(stderr, "Extraction failed\n");
        return 1;
    }
    if (!(settings->flags & kelp::engine::kSfxFlagNoSuccessMsg))
        std::printf("%d file(s) extracted to %s\n", extractor.Extracted(), folder.c_str());

    if (settings->commandLine.empty()) return 0;
    const std::string command = ExpandCommand(settings->commandLine, folder);
    bool run = (settings->flags & kelp::engine::kSfxFlagAutoRun) != 0;
    // Asking first: without a terminal there is nobody to say yes.
    if (settings->flags & kelp::engine::kSfxFlagAskCmdLine)
        run = console.Interactive() && console.AskYesNo("Run " + command + "?", true);
    if (!run) return 0;
    if (!RunCommand(command, folder)) {
        std::fprintf(stderr, "The command failed: %s\n", command.c_str());
        return 1;
    }
    return 0;
}
