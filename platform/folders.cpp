#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kelp::platform {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

// Reads XDG_DESKTOP_DIR from user-dirs.dirs: a line of the form
// XDG_DESKTOP_DIR="$HOME/Desktop".
std::string DesktopFromUserDirs(const std::string& home) {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty()) config = home + ".config";
    std::ifstream in(WithTrailingSlash(config) + "user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME/", 0) == 0) value = home + value.substr(6);
        return value;
    }
    return {};
}

}  // namespace

std::string WithTrailingSlash(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

std::string TempFolder() {
    std::string tmp = Env("TMPDIR");
    return WithTrailingSlash(tmp.empty() ? std::string("/tmp") : tmp);
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    return WithTrailingSlash(home.empty() ? std::string("/") : home);
}

std::string DesktopFolder() {
    const std::string home = HomeFolder();
    std::string desktop = Env("XDG_DESKTOP_DIR");
    if (desktop.empty()) desktop = DesktopFromUserDirs(home);
    if (desktop.empty()) desktop = home + "Desktop";
    return IsFolder(desktop) ? WithTrailingSlash(desktop) : home;
}

std::string CurrentFolder() {
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string("/") : WithTrailingSlash(cwd.string());
}

}  // namespace kelp::platform
