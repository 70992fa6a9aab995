// Drive letters onto host directories: the table's text, the mount table, both ways of
// mapping, and the short names that stand in URLs for names unsafe there (resolved
// through real listings by the serving tests).
#include "platform/DriveTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/HostInfo.h"
#include "platform/ShortNames.h"

namespace platform {
namespace {

std::string Describe(const std::optional<DriveTable>& table) {
    if (!table) return "refused";
    std::string text;
    for (const Drive& drive : table->Drives()) {
        const char* const types[] = {"removable", "harddisk", "network", "cdrom"};  // in DriveType's order
        text += (text.empty() ? "" : ";") + std::string(1, drive.letter) + "=" + types[static_cast<int>(drive.type)] +
                ":" + drive.root;
    }
    return text;
}

TEST(DriveTable, ATableTextIsTakenWholeOrRefusedWholeForOneBadItem) {
    const std::pair<const char*, const char*> rows[] = {
        {"E=/e;c=/srv/share//", "C=harddisk:/srv/share;E=harddisk:/e"},
        {";;C=/srv/a:b;;D=///;", "C=harddisk:/srv/a:b;D=harddisk:/"},
    };
    for (const auto& [setting, table] : rows) EXPECT_EQ(Describe(DriveTable::Parse(setting)), table) << setting;
    for (const char* refused : {"", "C=srv/share", "C=/a;c=/b", "C=/a; D=/b"})
        EXPECT_EQ(Describe(DriveTable::Parse(refused)), "refused") << refused;
}

bool FakeRemovableDevice(std::string_view device) {
    return device == "/dev/sdc1";
}

TEST(DriveTable, TheMountTableGivesLettersFromDToUserMountsInItsOrder) {
    const std::pair<const char*, const char*> rows[] = {
        {"/dev/nvme0n1p2 / ext4 rw 0 0\nproc /proc proc rw 0 0\n/dev/nvme0n1p3 /home ext4 rw 0 0\n"
         "/dev/sdb1 /media/ann/My\\040Stick vfat rw 0 0\n/dev/sr0 /run/media/ann/DISC iso9660 ro 0 0\n"
         "server:/export /mnt/nfs nfs4 rw 0 0\n//host/share /mnt/smb cifs rw 0 0\n"
         "ann@host:/ /home/ann/remote fuse.sshfs rw 0 0\n/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
         "/dev/sda1 /boot/efi vfat rw 0 0\n",
         "C=harddisk:/;D=harddisk:/home;E=removable:/media/ann/My Stick;F=cdrom:/run/media/ann/DISC;"
         "G=network:/mnt/nfs;H=network:/mnt/smb;I=network:/home/ann/remote;J=removable:/mnt/backup"},
        {"tmpfs /mnt/ram tmpfs rw 0 0\nautofs /mnt/auto autofs rw 0 0\ncgroup /home/x/cg cgroup rw 0 0\n"
         "/dev/sdd1 /mntdata ext4 rw 0 0\n/dev/sdd2 /homes ext4 rw 0 0\n",  // pseudo file systems; no parents
         "C=harddisk:/"},
    };
    for (const auto& [mounts, table] : rows) {
        EXPECT_EQ(Describe(DriveTable::FromMounts(mounts, &FakeRemovableDevice)), table) << mounts;
    }
    // The real probe: a device name holding a slash, or none, names no disk in /sys.
    EXPECT_EQ(Describe(DriveTable::FromMounts("/dev/mapper/vg /mnt/data ext4 rw 0 0\n/dev/ /mnt/e ext4 rw 0 0")),
              "C=harddisk:/;D=harddisk:/mnt/data;E=harddisk:/mnt/e");
}

TEST(DriveTable, MapsDrivePathsOntoTheHostRefusingClimbsAndPassingOnlyHostAbsolutePaths) {
    const DriveTable table({{'C', "/"}, {'D', "/srv/share"}, {'E', "/srv/share/deep"}});
    const std::pair<const char*, const char*> mapped[] = {{"d:\\..hidden\\a..b\\.\\", "/srv/share/..hidden/a..b/./"},
                                                          {"/usr/share/pellora/dir.gif", "/usr/share/pellora/dir.gif"}};
    for (const auto& [path, host] : mapped) EXPECT_EQ(table.MapToHost(path), host) << path;
    // Even a climb that stays inside is refused.
    for (const char* refused : {"D:\\docs\\..\\a.txt", "c:foo", "readme.txt", ""})
        EXPECT_EQ(table.MapToHost(refused), std::nullopt) << refused;
    const std::pair<const char*, const char*> back[] = {
        {"/srv/share/a/b.txt", "D:\\a\\b.txt"},
        {"/srv/share/deep/x", "E:\\x"},           // the deepest root wins
        {"/srv/shared/x", "C:\\srv\\shared\\x"},  // a root is a whole component
    };
    for (const auto& [host, path] : back) EXPECT_EQ(table.MapFromHost(host), path) << host;
    EXPECT_EQ(PathFromWorkingDirectory("home.opt"), (std::filesystem::current_path() / "home.opt").string());
    EXPECT_EQ(PathFromWorkingDirectory("/etc/home.opt") + PathFromWorkingDirectory("c:\\home.opt"),
              "/etc/home.optc:\\home.opt");
}

TEST(ShortNames, EncodeExactlyTheBytesUnsafeInAUrlOrAWildcardAndDecodeNothingThatLeavesTheDirectory) {
    const std::pair<std::string, std::string> encoded[] = {
        {"report-2024_v1+b=c;d,e(f)[g]~h!$@.txt", ""},  // safe: no short name
        {"a<b>&\"c'.htm", "a%3Cb%3E%26%22c%27.htm"},
        {"100% #1?.txt", "100%25%20%231%3F.txt"},
        {"a*b\\c", "a%2Ab%5Cc"},
        {"tab\there\x7f\xc3\xa9\xff", "tab%09here%7F%C3%A9%FF"},
    };
    for (const auto& [name, shortName] : encoded) EXPECT_EQ(ShortNameOf(name), shortName) << name;
    const std::pair<std::string, std::optional<std::string>> decoded[] = {
        {"a%2520b", "a%20b"},  // decoded once only
        {"plain.txt", std::nullopt}, {"100%", std::nullopt}, {"a%2Fb", std::nullopt}, {"a%00b", std::nullopt},
    };
    for (const auto& [component, name] : decoded) EXPECT_EQ(DecodeShortName(component), name) << component;
}

}  // namespace
}  // namespace platform
