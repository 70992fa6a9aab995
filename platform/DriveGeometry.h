#pragma once
// What the drive index shows of a drive: its kind and, for hard disks, its size.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/DriveTable.h"

namespace platform {

// Unknown is a drive whose root is not a directory (an unplugged disk, a typo).
enum class DriveKind { Unknown, Removable, HardDisk, Network, CdRom };

struct DriveSpace {
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;  // what an unprivileged user may still fill
};

DriveKind GetDriveKind(const Drive& drive);
// Nothing when the file system cannot tell.
std::optional<DriveSpace> GetDriveSpace(const Drive& drive);
// The same for the file system that holds a host directory.
std::optional<DriveSpace> GetSpaceAt(const std::string& hostDirectory);

}  // namespace platform
