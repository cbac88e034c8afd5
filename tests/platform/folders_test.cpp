#include "platform/folders.h"

#include <gtest/gtest.h>

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
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(Folders, TempFolderFollowsTmpdirAndEndsInSlash) {
    {
        EnvOverride tmp("TMPDIR", "/var/tmp");
        EXPECT_EQ(kelp::platform::TempFolder(), "/var/tmp/");
    }
    EnvOverride empty("TMPDIR", "");
    EXPECT_EQ(kelp::platform::TempFolder(), "/tmp/");
}

TEST(Folders, DesktopFallsBackToHomeWhenItDoesNotExist) {
    fixtures::TempDir home;
    EnvOverride h("HOME", home.path());
    EnvOverride config("XDG_CONFIG_HOME", home / "config");
    EXPECT_EQ(kelp::platform::HomeFolder(), home.path() + "/");
    EXPECT_EQ(kelp::platform::DesktopFolder(), home.path() + "/");

    // A desktop named in user-dirs.dirs is used once it exists.
    fixtures::WriteFile(home / "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    std::filesystem::create_directory(home / "Schreibtisch");
    EXPECT_EQ(kelp::platform::DesktopFolder(), home / "Schreibtisch/");
}

}  // namespace
