#pragma once
// The drive table: drive letters of the logic's paths onto host directories.
//   PELLORA_DRIVES="C=/srv/share;D=/media/usb"  (letters A-Z in either case, absolute roots)
// A root may carry a type in front of it, for tests and odd mounts:
//   D=cdrom:/mnt/disc   (types: removable, harddisk, network, cdrom)
// Unset, the table is derived from the mount table: C is "/", and every real file
// system mounted under /media, /run/media, /mnt or /home gets the next letter from D.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class DriveType { Removable, HardDisk, Network, CdRom };

struct Drive {
    char letter = 'C';  // upper case
    std::string root;   // absolute host directory, no trailing slash except for "/"
    DriveType type = DriveType::HardDisk;
};

class DriveTable {
public:
    DriveTable() = default;
    explicit DriveTable(std::vector<Drive> drives);

    // nullopt when the text is not a valid table (the caller reports it).
    static std::optional<DriveTable> Parse(std::string_view spec);
    // From the text of /proc/self/mounts.
    static DriveTable FromMounts(std::string_view mountsText);
    // PELLORA_DRIVES when set and valid, else the mount table.
    static DriveTable FromEnvironment();

    [[nodiscard]] const std::vector<Drive>& Drives() const { return drives_; }
    [[nodiscard]] const Drive* Find(char letter) const;  // either case

    // "X:" or "X:\rest" becomes the drive's root plus rest with '\' turned into '/'.
    // nullopt for an unknown drive or a ".." component (which would climb above the
    // root). Paths that are not in drive form pass unchanged.
    [[nodiscard]] std::optional<std::string> MapToHost(std::string_view path) const;

private:
    std::vector<Drive> drives_;  // in letter order
};

// The process-wide table, made from the environment on first use.
const DriveTable& TheDriveTable();
// Tests and start-up may replace it.
void SetDriveTable(DriveTable table);

}  // namespace platform
