#include "platform/DriveTable.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

namespace platform {
namespace {

constexpr char FirstMountedLetter = 'D';
constexpr char LastLetter = 'Z';

char ToUpperLetter(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return ToUpperLetter(x) == ToUpperLetter(y); });
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// "/srv/share/" and "/srv/share" name the same root; only "/" keeps its slash.
std::string TrimTrailingSlashes(std::string_view root) {
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    return std::string(root);
}

std::optional<DriveType> DriveTypeNamed(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, DriveType>, 4> names{{
        {"removable", DriveType::Removable},
        {"harddisk", DriveType::HardDisk},
        {"network", DriveType::Network},
        {"cdrom", DriveType::CdRom},
    }};
    for (const auto& [typeName, type] : names) {
        if (EqualsIgnoringCase(name, typeName)) return type;
    }
    return std::nullopt;
}

// One "X=[type:]/root" item.
std::optional<Drive> ParseDriveItem(std::string_view item) {
    if (item.size() < 3 || !IsLetter(item[0]) || item[1] != '=') return std::nullopt;
    Drive drive;
    drive.letter = ToUpperLetter(item[0]);
    std::string_view root = item.substr(2);
    if (root.front() != '/') {
        std::size_t colon = root.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        std::optional<DriveType> type = DriveTypeNamed(root.substr(0, colon));
        if (!type) return std::nullopt;
        drive.type = *type;
        root.remove_prefix(colon + 1);
    }
    if (root.empty() || root.front() != '/') return std::nullopt;
    drive.root = TrimTrailingSlashes(root);
    return drive;
}

// The mount table writes blanks, tabs, newlines and backslashes as "\ooo".
std::optional<char> OctalEscapeAt(std::string_view field, std::size_t i) {
    if (field[i] != '\\' || i + 3 >= field.size()) return std::nullopt;
    int value = 0;
    for (std::size_t k = 1; k <= 3; ++k) {
        char digit = field[i + k];
        if (digit < '0' || digit > '7') return std::nullopt;
        value = value * 8 + (digit - '0');
    }
    return static_cast<char>(value);
}

std::string DecodeMountField(std::string_view field) {
    std::string decoded;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (std::optional<char> escaped = OctalEscapeAt(field, i)) {
            decoded += *escaped;
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string fileSystem;
};

std::vector<MountEntry> ParseMounts(std::string_view text) {
    std::vector<MountEntry> entries;
    for (std::string_view line : Split(text, '\n')) {
        std::istringstream fields{std::string(line)};
        std::string device, mountPoint, fileSystem;
        if (!(fields >> device >> mountPoint >> fileSystem)) continue;
        entries.push_back({DecodeMountField(device), DecodeMountField(mountPoint), fileSystem});
    }
    return entries;
}

// Kernel and session bookkeeping that holds no user files.
bool IsPseudoFileSystem(std::string_view fileSystem) {
    static constexpr std::array<std::string_view, 25> pseudo{
        "proc",      "sysfs",       "tmpfs",       "devtmpfs",        "devpts",     "securityfs", "debugfs",
        "tracefs",   "pstore",      "bpf",         "mqueue",          "hugetlbfs",  "configfs",   "fusectl",
        "autofs",    "binfmt_misc", "efivarfs",    "ramfs",           "rpc_pipefs", "nsfs",       "nfsd",
        "selinuxfs", "fuse.lxcfs",  "fuse.portal", "fuse.gvfsd-fuse",
    };
    return fileSystem.starts_with("cgroup") || std::find(pseudo.begin(), pseudo.end(), fileSystem) != pseudo.end();
}

bool IsAtOrBelow(std::string_view path, std::string_view directory) {
    return path == directory ||
           (path.starts_with(directory) && path.size() > directory.size() && path[directory.size()] == '/');
}

bool IsUserMountPoint(std::string_view mountPoint) {
    return IsAtOrBelow(mountPoint, "/media") || IsAtOrBelow(mountPoint, "/run/media") ||
           IsAtOrBelow(mountPoint, "/mnt") || IsAtOrBelow(mountPoint, "/home");
}

bool IsNetworkFileSystem(std::string_view fileSystem) {
    static constexpr std::array<std::string_view, 9> network{
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p", "davfs",
    };
    return std::find(network.begin(), network.end(), fileSystem) != network.end();
}

DriveType TypeOfMount(const MountEntry& mount, DriveTable::RemovableDeviceProbe isRemovableDevice) {
    if (mount.fileSystem == "iso9660" || mount.fileSystem == "udf") return DriveType::CdRom;
    if (IsNetworkFileSystem(mount.fileSystem)) return DriveType::Network;
    bool desktopMount = IsAtOrBelow(mount.mountPoint, "/media") || IsAtOrBelow(mount.mountPoint, "/run/media");
    if (desktopMount || (isRemovableDevice != nullptr && isRemovableDevice(mount.device))) {
        return DriveType::Removable;
    }
    return DriveType::HardDisk;
}

bool ReadsOne(const std::string& sysfsFile) {
    std::ifstream in(sysfsFile);
    char flag = '0';
    return in.get(flag) && flag == '1';
}

// Partitions have no "removable" flag of their own; their disk is the parent directory.
bool IsRemovableBlockDevice(std::string_view device) {
    constexpr std::string_view devPrefix = "/dev/";
    if (!device.starts_with(devPrefix)) return false;
    std::string name(device.substr(devPrefix.size()));
    if (name.empty() || name.find('/') != std::string::npos) return false;
    std::string base = "/sys/class/block/" + name;
    return ReadsOne(base + "/removable") || ReadsOne(base + "/../removable");
}

std::string ReadWholeFile(const char* path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<DriveTable>& ProcessTable() {
    static std::optional<DriveTable> table;
    return table;
}

}  // namespace

DriveTable::DriveTable(std::vector<Drive> drives) : drives_(std::move(drives)) {
    std::stable_sort(drives_.begin(), drives_.end(),
                     [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
}

std::optional<DriveTable> DriveTable::Parse(std::string_view text) {
    std::vector<Drive> drives;
    for (std::string_view item : Split(text, ';')) {
        if (item.empty()) continue;
        std::optional<Drive> drive = ParseDriveItem(item);
        if (!drive || Find(drives, drive->letter) != nullptr) return std::nullopt;
        drives.push_back(std::move(*drive));
    }
    // A table without a drive would publish nothing; take it as a mistake.
    if (drives.empty()) return std::nullopt;
    return DriveTable(std::move(drives));
}

DriveTable DriveTable::FromMounts(std::string_view mountsText) {
    return FromMounts(mountsText, &IsRemovableBlockDevice);
}

DriveTable DriveTable::FromMounts(std::string_view mountsText, RemovableDeviceProbe isRemovableDevice) {
    std::vector<Drive> drives{{'C', "/", DriveType::HardDisk}};
    for (const MountEntry& mount : ParseMounts(mountsText)) {
        if (mount.mountPoint != "/" && (IsPseudoFileSystem(mount.fileSystem) || !IsUserMountPoint(mount.mountPoint))) {
            continue;
        }
        DriveType type = TypeOfMount(mount, isRemovableDevice);
        // A later mount on the same point hides the earlier one; it keeps the letter.
        auto known = std::find_if(drives.begin(), drives.end(),
                                  [&](const Drive& drive) { return drive.root == mount.mountPoint; });
        if (known != drives.end()) {
            known->type = type;
            continue;
        }
        char letter = static_cast<char>(FirstMountedLetter + drives.size() - 1);
        if (letter <= LastLetter) drives.push_back({letter, mount.mountPoint, type});
    }
    return DriveTable(std::move(drives));
}

DriveTable DriveTable::FromEnvironment() {
    const char* setting = std::getenv("PELLORA_DRIVES");
    if (setting != nullptr && setting[0] != '\0') {
        if (std::optional<DriveTable> table = Parse(setting)) return std::move(*table);
        std::fputs("Pellora: PELLORA_DRIVES is not a valid drive table; using the mount table\n", stderr);
    }
    return FromMounts(ReadWholeFile("/proc/self/mounts"));
}

const Drive* DriveTable::Find(char letter) const {
    return Find(drives_, letter);
}

const Drive* DriveTable::Find(const std::vector<Drive>& drives, char letter) {
    char upper = ToUpperLetter(letter);
    auto found = std::find_if(drives.begin(), drives.end(), [upper](const Drive& d) { return d.letter == upper; });
    return found == drives.end() ? nullptr : &*found;
}

std::optional<std::string> DriveTable::MapToHost(std::string_view path) const {
    bool driveForm = path.size() >= 2 && IsLetter(path[0]) && path[1] == ':';
    if (!driveForm) {
        // Only host-absolute paths name the program's own files; anything else
        // would be taken relative to whatever the current directory happens to be.
        if (!path.empty() && path.front() == '/') return std::string(path);
        return std::nullopt;
    }
    if (path.size() > 2 && path[2] != '\\') return std::nullopt;  // "c:foo" names no place
    const Drive* drive = Find(path[0]);
    if (drive == nullptr) return std::nullopt;
    std::string_view rest = path.size() > 2 ? path.substr(3) : std::string_view{};
    for (std::string_view component : Split(rest, '\\')) {
        if (component == "..") return std::nullopt;
    }
    if (rest.empty()) return drive->root;
    std::string host = drive->root;
    if (host != "/") host += '/';
    for (char c : rest) host += (c == '\\') ? '/' : c;
    return host;
}

std::string DriveTable::MapFromHost(std::string_view hostPath) const {
    const Drive* best = nullptr;
    std::size_t bestLength = 0;
    for (const Drive& drive : drives_) {
        const std::string_view root = drive.root == "/" ? std::string_view() : std::string_view(drive.root);
        const bool inside =
            hostPath.starts_with(root) && (hostPath.size() == root.size() || hostPath[root.size()] == '/');
        if (inside && (best == nullptr || root.size() > bestLength)) {
            best = &drive;
            bestLength = root.size();
        }
    }
    if (best == nullptr || hostPath.empty() || hostPath.front() != '/') return std::string(hostPath);
    std::string drivePath{best->letter, ':', '\\'};
    for (const char c : hostPath.substr(std::min(bestLength + 1, hostPath.size()))) drivePath += c == '/' ? '\\' : c;
    return drivePath;
}

const DriveTable& TheDriveTable() {
    std::optional<DriveTable>& table = ProcessTable();
    if (!table) table = DriveTable::FromEnvironment();
    return *table;
}

void SetDriveTable(DriveTable table) {
    ProcessTable() = std::move(table);
}

}  // namespace platform
