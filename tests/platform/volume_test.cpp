#include "platform/volume.h"

#include <gtest/gtest.h>

#include "tests/fixtures/temp_dir.h"

namespace {

TEST(Volume, RootOfAFileIsItsFolderAFixedDriveWithSpace) {
    fixtures::TempDir dir;
    EXPECT_EQ(kelp::platform::DriveRoot(dir / "a.zip"), dir.path() + "/");
    EXPECT_TRUE(kelp::platform::DriveExists(kelp::platform::DriveRoot(dir / "a.zip")));
    EXPECT_FALSE(kelp::platform::DriveExists(dir / "missing/"));
    EXPECT_EQ(kelp::platform::TypeOfDrive(dir.path() + "/"), kelp::platform::DriveType::Fixed);
    EXPECT_EQ(kelp::platform::TypeOfDrive(dir / "missing/"), kelp::platform::DriveType::Unknown);

    int64_t freeBytes = 0, total = 0;
    ASSERT_TRUE(kelp::platform::QuerySpace(dir.path(), freeBytes, total));
    EXPECT_GT(total, 0);
    EXPECT_GE(freeBytes, 0);
    EXPECT_LE(freeBytes, total);

    EXPECT_FALSE(kelp::platform::QuerySpace(dir / "missing", freeBytes, total));
    EXPECT_EQ(freeBytes, -1);
    EXPECT_EQ(total, -1);
}

}  // namespace
