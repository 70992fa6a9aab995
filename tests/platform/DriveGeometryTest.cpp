#include "platform/DriveGeometry.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

TEST(DriveGeometry, KindComesFromTheTableWhileTheRootIsADirectory) {
    TestDirectory root;
    const std::string file = root.WriteFile("plain-file", "x");
    struct Row {
        const char* name;
        Drive drive;
        DriveKind kind;
    };
    const Row rows[] = {
        {"removable", {'A', root.Path(), DriveType::Removable}, DriveKind::Removable},
        {"hard disk", {'C', root.Path(), DriveType::HardDisk}, DriveKind::HardDisk},
        {"network", {'N', root.Path(), DriveType::Network}, DriveKind::Network},
        {"cd-rom", {'D', root.Path(), DriveType::CdRom}, DriveKind::CdRom},
        {"root missing", {'E', root / "unplugged", DriveType::HardDisk}, DriveKind::Unknown},
        {"root is a file", {'F', file, DriveType::Removable}, DriveKind::Unknown},
    };
    for (const Row& row : rows) EXPECT_EQ(GetDriveKind(row.drive), row.kind) << row.name;
}

TEST(DriveGeometry, SpaceIsTheFileSystemsInBytes) {
    TestDirectory root;
    const std::optional<DriveSpace> space = GetDriveSpace({'C', root.Path(), DriveType::HardDisk});
    struct statvfs expected {};
    ASSERT_EQ(statvfs(root.Path().c_str(), &expected), 0);
    ASSERT_TRUE(space.has_value());
    EXPECT_EQ(space->totalBytes, static_cast<std::uint64_t>(expected.f_blocks) * expected.f_frsize);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_FALSE(GetDriveSpace({'E', root / "unplugged", DriveType::HardDisk}).has_value());
}

}  // namespace
}  // namespace platform
