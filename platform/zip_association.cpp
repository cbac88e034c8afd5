#include "platform/zip_association.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/settings_store.h"

namespace kelp::platform {

namespace {

constexpr const char* kMime = "application/zip";
constexpr const char* kDefaults = "[Default Applications]";

std::string XdgFolder(const char* variable, const char* fallback) {
    if (const char* v = std::getenv(variable); v && *v) return WithTrailingSlash(v);
    return HomeFolder() + fallback;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    return WriteFileAtomically(path, text, 0644);
}

std::vector<std::string> SplitIds(const std::string& value) {
    std::vector<std::string> ids;
    std::stringstream s(value);
    for (std::string id; std::getline(s, id, ';');)
        if (!id.empty()) ids.push_back(id);
    return ids;
}

std::string JoinIds(const std::vector<std::string>& ids) {
    std::string v;
    for (const auto& id : ids) v += id + ";";
    return v;
}

bool IsGroupLine(const std::string& l) {
    return !l.empty() && l.front() == '[';
}

// Index of the "application/zip=" line inside [Default Applications], or -1;
// `group` receives the group line's index or -1.
int FindMimeLine(const std::vector<std::string>& lines, int& group) {
    group = -1;
    for (int i = 0; i < int(lines.size()); ++i) {
        if (IsGroupLine(lines[i])) {
            if (group >= 0) return -1;
            if (lines[i] == kDefaults) group = i;
            continue;
        }
        if (group >= 0 && lines[i].rfind(std::string(kMime) + "=", 0) == 0) return i;
    }
    return -1;
}

std::string DesktopEntry(const std::string& program) {
    // Quote the program for the Exec key: blanks and specials inside "...".
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kelp\n"
           "Comment=Archive manager for ZIP files\n"
           "Exec=" +
           quoted +
           " %f\n"
           "Icon=package-x-generic\n"
           "Terminal=false\n"
           "Categories=Utility;Archiving;\n"
           "MimeType=application/zip;\n";
}

}  // namespace

std::string ApplicationsFolder() {
    return XdgFolder("XDG_DATA_HOME", ".local/share/") + "applications/";
}

std::string MimeAppsListPath() {
    return XdgFolder("XDG_CONFIG_HOME", ".config/") + "mimeapps.list";
}

bool RegisterZipAssociation(const std::string& programPath) {
    std::error_code ec;
    std::filesystem::create_directories(ApplicationsFolder(), ec);
    if (!WriteFileAtomically(ApplicationsFolder() + kZipDesktopId, DesktopEntry(programPath), 0644))
        return false;

    std::vector<std::string> lines = ReadLines(MimeAppsListPath());
    int group = -1;
    const int at = FindMimeLine(lines, group);
    if (at >= 0) {
        std::vector<std::string> ids = SplitIds(lines[at].substr(std::string(kMime).size() + 1));
        std::erase(ids, std::string(kZipDesktopId));
        ids.insert(ids.begin(), kZipDesktopId);
        lines[at] = std::string(kMime) + "=" + JoinIds(ids);
    } else {
        const std::string line = std::string(kMime) + "=" + kZipDesktopId + ";";
        if (group < 0) {
            lines.push_back(kDefaults);
            lines.push_back(line);
        } else {
            lines.insert(lines.begin() + group + 1, line);
        }
    }
    return WriteLines(MimeAppsListPath(), lines);
}

bool UnregisterZipAssociation() {
    std::error_code ec;
    std::filesystem::remove(ApplicationsFolder() + kZipDesktopId, ec);
    const std::string path = MimeAppsListPath();
    if (!std::filesystem::exists(path, ec)) return true;
    std::vector<std::string> lines = ReadLines(path);
    int group = -1;
    const int at = FindMimeLine(lines, group);
    if (at < 0) return true;
    std::vector<std::string> ids = SplitIds(lines[at].substr(std::string(kMime).size() + 1));
    if (std::erase(ids, std::string(kZipDesktopId)) == 0) return true;
    if (ids.empty()) {
        lines.erase(lines.begin() + at);
        // Drop the group line too when it was the only thing in its group.
        const bool groupEmpty = group + 1 >= int(lines.size()) || IsGroupLine(lines[group + 1]);
        if (groupEmpty) lines.erase(lines.begin() + group);
    } else {
        lines[at] = std::string(kMime) + "=" + JoinIds(ids);
    }
    if (lines.empty()) return std::filesystem::remove(path, ec) || !ec;
    return WriteLines(path, lines);
}

bool IsZipAssociated() {
    const std::vector<std::string> lines = ReadLines(MimeAppsListPath());
    int group = -1;
    const int at = FindMimeLine(lines, group);
    if (at < 0) return false;
    const auto ids = SplitIds(lines[at].substr(std::string(kMime).size() + 1));
    return !ids.empty() && ids.front() == kZipDesktopId;
}

namespace {

// Where a program without a folder is found through PATH; empty if nowhere.
std::string FindInPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const std::string candidate = WithTrailingSlash(dir) + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

}  // namespace

bool RefreshDesktopDatabase() {
    const std::string tool = FindInPath("update-desktop-database");
    if (tool.empty()) return false;
    std::string folder = ApplicationsFolder();
    char* argv[] = {const_cast<char*>(tool.c_str()), folder.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string DesktopEntryProgram(const std::string& entryPath) {
    bool inEntry = false;
    for (const std::string& line : ReadLines(entryPath)) {
        if (IsGroupLine(line)) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || line.rfind("Exec=", 0) != 0) continue;
        // The first word, double quotes and backslash escapes undone.
        std::string word;
        bool quoted = false;
        for (size_t i = 5; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && quoted && i + 1 < line.size()) {
                word += line[++i];
            } else if (c == ' ' && !quoted) {
                if (!word.empty()) break;
            } else {
                word += c;
            }
        }
        return word.empty() ? "" : FindInPath(word);
    }
    return "";
}

}  // namespace kelp::platform
