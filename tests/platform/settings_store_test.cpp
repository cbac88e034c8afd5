// The settings store's value kinds, its file, and the ".zip" association
// files it stands beside.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/settings_store.h"
#include "platform/zip_association.h"
#include "tests/fixtures/env_override.h"
#include "tests/fixtures/temp_dir.h"

using kelp::platform::SettingsStore;
using kelp::platform::StoredValue;

TEST(SettingsStore, KindsReadBackLikeTheRegistry) {
    fixtures::TempDir dir;
    SettingsStore store(dir.path());
    // Missing values give the defaults of each kind.
    EXPECT_EQ(store.ReadString("Kelp", "Viewer1"), "");
    EXPECT_TRUE(store.ReadBool("Kelp", "aot"));
    EXPECT_EQ(store.ReadInt("Kelp", "Toolfont"), 0);

    store.WriteBool("Kelp", "aot", false);
    store.WriteBool("Kelp", "Addpass", true);
    EXPECT_EQ(store.Read("Kelp", "aot")->kind, StoredValue::String);
    EXPECT_EQ(store.Read("Kelp", "aot")->text, "0");
    EXPECT_FALSE(store.ReadBool("Kelp", "aot"));
    EXPECT_TRUE(store.ReadBool("Kelp", "Addpass"));

    // A new integer is a number; over an existing string it is written as text.
    store.WriteInt("Kelp", "FileBkColor", 0xFFFFFF);
    EXPECT_EQ(store.Read("Kelp", "FileBkColor")->kind, StoredValue::Number);
    store.WriteString("Kelp", "Progcolor", "12");
    EXPECT_EQ(store.ReadInt("Kelp", "Progcolor"), 12);
    store.WriteInt("Kelp", "Progcolor", -5);
    EXPECT_EQ(store.Read("Kelp", "Progcolor")->kind, StoredValue::String);
    EXPECT_EQ(store.ReadInt("Kelp", "Progcolor"), -5);
    EXPECT_EQ(store.ReadInt("Kelp", "FileBkColor"), 0xFFFFFF);

    // Text with line breaks, "=" and "\" survives; keys are separate.
    const std::string odd = "a=b\\c\nd\r";
    store.WriteString("Kelp/MRU Items", "F0", odd);
    EXPECT_EQ(SettingsStore(dir.path()).ReadString("Kelp/MRU Items", "F0"), odd);
    EXPECT_EQ(store.ReadString("Kelp", "F0"), "");
    store.RemoveKey("Kelp/MRU Items");
    EXPECT_TRUE(store.ValueNames("Kelp/MRU Items").empty());
    EXPECT_EQ(store.ValueNames("Kelp").size(), 4u);
}

TEST(SettingsStore, FileIsPrivateAndFolderComesFromTheEnvironment) {
    fixtures::TempDir dir;
    fixtures::EnvOverride config("KELP_CONFIG_HOME", dir / "cfg");
    SettingsStore store;
    EXPECT_EQ(store.FilePath(), dir / "cfg/settings");
    ASSERT_TRUE(store.WriteString("Kelp", "Ver", "1.0"));
    struct stat st {};
    ASSERT_EQ(stat(store.FilePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A damaged line is skipped, the rest still reads.
    fixtures::WriteFile(store.FilePath(), "[Kelp]\ngarbage\nVer=s:2.0\nx=n:abc\n");
    EXPECT_EQ(store.ReadString("Kelp", "Ver"), "2.0");
    EXPECT_FALSE(store.Read("Kelp", "x").has_value());
}

TEST(ZipAssociation, UnregisterRemovesExactlyWhatRegisterWrote) {
    fixtures::TempDir dir;
    fixtures::EnvOverride data("XDG_DATA_HOME", dir / "data");
    fixtures::EnvOverride config("XDG_CONFIG_HOME", dir / "config");
    const std::string list = kelp::platform::MimeAppsListPath();
    const std::string before =
        "[Default Applications]\ntext/plain=editor.desktop;\napplication/zip=other.desktop;\n"
        "[Added Associations]\nimage/png=viewer.desktop;\n";
    fixtures::WriteFile(list, before);

    ASSERT_TRUE(kelp::platform::RegisterZipAssociation("/opt/my kelp/kelp"));
    EXPECT_TRUE(kelp::platform::IsZipAssociated());
    EXPECT_NE(
        fixtures::ReadFile(list).find(
            "application/zip=" + std::string(kelp::platform::kZipDesktopId) + ";other.desktop;"),
        std::string::npos);
    const std::string entry =
        fixtures::ReadFile(kelp::platform::ApplicationsFolder() + kelp::platform::kZipDesktopId);
    EXPECT_NE(entry.find("Exec=\"/opt/my kelp/kelp\" %f"), std::string::npos);
    // Registering twice keeps one id.
    ASSERT_TRUE(kelp::platform::RegisterZipAssociation("/opt/my kelp/kelp"));
    ASSERT_TRUE(kelp::platform::UnregisterZipAssociation());
    EXPECT_EQ(fixtures::ReadFile(list), before);
    EXPECT_FALSE(kelp::platform::IsZipAssociated());

    // Without a list, register creates it and unregister removes it again.
    std::remove(list.c_str());
    ASSERT_TRUE(kelp::platform::RegisterZipAssociation("/usr/bin/kelp"));
    ASSERT_TRUE(kelp::platform::UnregisterZipAssociation());
    struct stat st {};
    EXPECT_NE(stat(list.c_str(), &st), 0);
    EXPECT_NE(
        stat((kelp::platform::ApplicationsFolder() + kelp::platform::kZipDesktopId).c_str(), &st),
        0);
}
