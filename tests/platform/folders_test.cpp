#include "platform/folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/fixtures/temp_dir.h"

namespace {

// Sets an environment variable for the length of a test.
class EnvOverride {
public:
    EnvOverride(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~EnvOverride() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(Folders, TempFolderFollowsTmpdirAndEndsInSlash) {
    {
        EnvOverride tmp("TMPDIR", "/var/tmp");
        EXPECT_EQ(platform::TempFolder(), "/var/tmp/");
    }
    EnvOverride empty("TMPDIR", "");
    EXPECT_EQ(platform::TempFolder(), "/tmp/");
}

TEST(Folders, DesktopFallsBackToHomeWhenItDoesNotExist) {
    fixtures::TempDir home;
    EnvOverride h("HOME", home.path());
    EnvOverride config("XDG_CONFIG_HOME", home / "config");
    EXPECT_EQ(platform::HomeFolder(), home.path() + "/");
    EXPECT_EQ(platform::DesktopFolder(), home.path() + "/");

    // A desktop named in user-dirs.dirs is used once it exists.
    fixtures::WriteFile(home / "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    std::filesystem::create_directory(home / "Schreibtisch");
    EXPECT_EQ(platform::DesktopFolder(), home / "Schreibtisch/");
}

TEST(Folders, CurrentFolderIsTheProcessFolder) {
    fixtures::TempDir dir;
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string current = platform::CurrentFolder();
    std::filesystem::current_path(saved);
    EXPECT_EQ(std::filesystem::canonical(current), std::filesystem::canonical(dir.path()));
    EXPECT_EQ(current.back(), '/');
}

TEST(Folders, SubFoldersListsVisibleFoldersOnly) {
    fixtures::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir / "top/b");
    fs::create_directories(dir / "top/a/inner");
    fs::create_directories(dir / "top/.hidden");
    fixtures::WriteFile(dir / "top/file.txt", "not a folder");
    // A link back up the tree would lead a walk in circles.
    fs::create_directory_symlink(dir / "top", dir / "top/loop");
    std::vector<std::string> names = platform::SubFolders(dir / "top");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(platform::SubFolders(dir / "top/"), platform::SubFolders(dir / "top"));
    EXPECT_TRUE(platform::SubFolders(dir / "missing").empty());
}

}  // namespace
