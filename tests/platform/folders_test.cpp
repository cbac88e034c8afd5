#include "platform/folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/env_override.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using fixtures::EnvOverride;

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
