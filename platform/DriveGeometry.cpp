#include "platform/DriveGeometry.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform {

DriveKind GetDriveKind(const Drive& drive) {
    struct stat status {};
    if (stat(drive.root.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return DriveKind::Unknown;
    switch (drive.type) {
        case DriveType::Removable:
            return DriveKind::Removable;
        case DriveType::HardDisk:
            return DriveKind::HardDisk;
        case DriveType::Network:
            return DriveKind::Network;
        case DriveType::CdRom:
            return DriveKind::CdRom;
    }
    return DriveKind::Unknown;
}

std::optional<DriveSpace> GetDriveSpace(const Drive& drive) {
    return GetSpaceAt(drive.root);
}

std::optional<DriveSpace> GetSpaceAt(const std::string& hostDirectory) {
    struct statvfs geometry {};
    if (statvfs(hostDirectory.c_str(), &geometry) != 0) return std::nullopt;
    // f_frsize is the unit of the block counts; some file systems leave it 0.
    const std::uint64_t unit = geometry.f_frsize != 0 ? geometry.f_frsize : geometry.f_bsize;
    return DriveSpace{static_cast<std::uint64_t>(geometry.f_blocks) * unit,
                      static_cast<std::uint64_t>(geometry.f_bavail) * unit};
}

}  // namespace platform
