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
    static std::optional<DriveTable> Parse(std::string_view text);
    // From the text of /proc/self/mounts; removable block devices are found in /sys.
    static DriveTable FromMounts(std::string_view mountsText);
    // Whether the device of a mount ("/dev/sdb1") sits on a removable disk.
    using RemovableDeviceProbe = bool (*)(std::string_view device);
    static DriveTable FromMounts(std::string_view mountsText, RemovableDeviceProbe isRemovableDevice);
    // PELLORA_DRIVES when set and valid, else the mount table.
    static DriveTable FromEnvironment();

    [[nodiscard]] const std::vector<Drive>& Drives() const { return drives_; }
    [[nodiscard]] const Drive* Find(char letter) const;  // either case

    // "X:" or "X:\rest" becomes the drive's root plus rest with '\' turned into '/'.
    // nullopt for an unknown drive or a ".." component (which would climb above the
    // root). Host-absolute paths pass unchanged; any other path is refused.
    [[nodiscard]] std::optional<std::string> MapToHost(std::string_view path) const;

    // The drive form of a host-absolute path below a drive's root ("/srv/share/a/b"
    // becomes "C:\a\b" when C is /srv/share), the deepest root winning; any other
    // path comes back unchanged.
    [[nodiscard]] std::string MapFromHost(std::string_view hostPath) const;

private:
    static const Drive* Find(const std::vector<Drive>& drives, char letter);

    std::vector<Drive> drives_;  // in letter order
};

// The process-wide table, made from the environment on first use.
const DriveTable& TheDriveTable();
// Tests and start-up may replace it.
void SetDriveTable(DriveTable table);

}  // namespace platform
