#pragma once
// The generated page that lists the machine's drives, in the table or the PRE style.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/DriveGeometry.h"
#include "platform/FileHandle.h"

struct IndexedDrive {
    char letter = 'C';
    platform::DriveKind kind = platform::DriveKind::Unknown;
    std::optional<platform::DriveSpace> space;  // hard disks only
};

// A size in whole kilobytes, or in megabytes once above 10240 K.
struct DriveSpaceText {
    std::uint64_t value = 0;
    char unit = 'K';
};
DriveSpaceText DriveSpaceInUnits(std::uint64_t bytes);

// Appends the index of the drive table's drives to the open `file`; 0.
int WriteDriveIndex(platform::FileHandle& file, std::int32_t useTable);
// The page for the given host name and drives.
void WriteDriveIndexPage(platform::FileHandle& file, std::int32_t useTable, std::string_view hostName,
                         const std::vector<IndexedDrive>& drives);
