// Drive letters onto host directories: the table's text, the mount table, both ways of
// mapping, and the short names that stand in URLs for names unsafe there.
#include "platform/DriveTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/HostInfo.h"
#include "platform/HostPath.h"
#include "platform/ShortNames.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

// "C=harddisk:/;D=cdrom:/mnt/disc": a whole table in one comparable line.
std::string Describe(const std::optional<DriveTable>& table) {
    if (!table) return "refused";
    std::string text;
    for (const Drive& drive : table->Drives()) {
        const char* type = drive.type == DriveType::Removable ? "removable"
                           : drive.type == DriveType::Network ? "network"
                           : drive.type == DriveType::CdRom   ? "cdrom"
                                                              : "harddisk";
        text += (text.empty() ? "" : ";") + std::string(1, drive.letter) + "=" + type + ":" + drive.root;
    }
    return text;
}

TEST(DriveTable, ATableTextIsTakenWholeOrRefusedWholeForOneBadItem) {
    const std::pair<const char*, const char*> rows[] = {
        {"E=/e;c=/srv/share//", "C=harddisk:/srv/share;E=harddisk:/e"},
        {"C=///", "C=harddisk:/"},
        {"A=removable:/a;B=network:/b;C=harddisk:/c;D=CDROM:/d",
         "A=removable:/a;B=network:/b;C=harddisk:/c;D=cdrom:/d"},
        {"C=/srv/a:b", "C=harddisk:/srv/a:b"},
        {";;C=/a;;D=/b;", "C=harddisk:/a;D=harddisk:/b"},
        {"", "refused"},
        {"C=srv/share", "refused"},
        {"C=", "refused"},
        {"C:/srv", "refused"},
        {"CD=/srv", "refused"},
        {"C=/a;c=/b", "refused"},
        {"A=floppy:/mnt/a", "refused"},
        {"D=cdrom:", "refused"},
        {"C=/a;D=b", "refused"},
        {"C=/a; D=/b", "refused"},
    };
    for (const auto& [setting, table] : rows) EXPECT_EQ(Describe(DriveTable::Parse(setting)), table) << setting;
}

bool FakeRemovableDevice(std::string_view device) {
    return device == "/dev/sdc1" || device == "/dev/sdz1";
}

TEST(DriveTable, TheMountTableGivesLettersFromDToUserMountsInItsOrder) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "C=harddisk:/"},
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
        {"/dev/sde1 /mnt/tab\\011and\\134back ext4 rw 0 0\n/dev/sde2 /mnt/odd\\04 ext4 rw 0 0\n",
         "C=harddisk:/;D=harddisk:/mnt/tab\tand\\back;E=harddisk:/mnt/odd\\04"},
        {"/dev/sdz1 / ext4 rw 0 0\n", "C=removable:/"},
        {"/dev/sdd1 /mnt/a ext4 rw 0 0\n/dev/sdd2 /mnt/b ext4 rw 0 0\n/dev/sr0 /mnt/a udf ro 0 0\n",  // mounted over
         "C=harddisk:/;D=cdrom:/mnt/a;E=harddisk:/mnt/b"},
        {"\n/dev/sdd1\n  \n/dev/sdd1 /mnt/a ext4 rw 0 0", "C=harddisk:/;D=harddisk:/mnt/a"},
    };
    for (const auto& [mounts, table] : rows) {
        EXPECT_EQ(Describe(DriveTable::FromMounts(mounts, &FakeRemovableDevice)), table) << mounts;
    }
    // The real probe: a device name holding a slash names no disk in /sys.
    EXPECT_EQ(Describe(DriveTable::FromMounts("/dev/mapper/vg /mnt/data ext4 rw 0 0")),
              "C=harddisk:/;D=harddisk:/mnt/data");
    std::string thirty;
    for (int i = 0; i < 30; ++i)
        thirty += "/dev/sdd" + std::to_string(i) + " /mnt/m" + std::to_string(i) + " ext4 rw 0 0\n";
    const DriveTable full = DriveTable::FromMounts(thirty, &FakeRemovableDevice);
    EXPECT_EQ(full.Drives().back().letter + full.Drives().back().root, "Z/mnt/m22") << "letters stop at Z";
}

TEST(DriveTable, MapsDrivePathsOntoTheHostRefusingClimbsAndPassingOnlyHostAbsolutePaths) {
    const DriveTable table({{'C', "/"}, {'D', "/srv/share"}});
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"C:\\", "/"},
        {"C:\\etc\\hosts", "/etc/hosts"},
        {"D:", "/srv/share"},
        {"d:\\", "/srv/share"},
        {"D:\\docs\\My File.TXT", "/srv/share/docs/My File.TXT"},
        {"D:\\..hidden\\a..b\\.\\", "/srv/share/..hidden/a..b/./"},
        {"D:\\..", std::nullopt},
        {"D:\\docs\\..\\..\\etc\\passwd", std::nullopt},
        {"D:\\docs\\..\\a.txt", std::nullopt},  // even a climb that stays inside
        {"Q:\\a.txt", std::nullopt},
        {"c:foo", std::nullopt},
        {"C:/etc", std::nullopt},
        {"/usr/share/pellora/dir.gif", "/usr/share/pellora/dir.gif"},
        {"readme.txt", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [path, host] : rows) EXPECT_EQ(table.MapToHost(path), host) << path;

    const DriveTable nested({{'C', "/"}, {'D', "/srv/share"}, {'E', "/srv/share/deep"}});
    EXPECT_EQ(nested.MapFromHost("/srv/share/a/b.txt"), "D:\\a\\b.txt");
    EXPECT_EQ(nested.MapFromHost("/srv/share"), "D:\\");
    EXPECT_EQ(nested.MapFromHost("/srv/share/deep/x"), "E:\\x") << "the deepest root wins";
    EXPECT_EQ(nested.MapFromHost("/srv/shared/x"), "C:\\srv\\shared\\x") << "a root is a whole component";
    EXPECT_EQ(nested.MapFromHost("relative/x"), "relative/x");
    EXPECT_EQ(DriveTable({{'D', "/srv/share"}}).MapFromHost("/etc/passwd"), "/etc/passwd") << "outside every drive";
    EXPECT_EQ(PathFromWorkingDirectory("home.opt"), (std::filesystem::current_path() / "home.opt").string());
    EXPECT_EQ(PathFromWorkingDirectory("/etc/home.opt") + PathFromWorkingDirectory("c:\\home.opt"),
              "/etc/home.optc:\\home.opt");
}

TEST(DriveTable, ComesFromAValidVariableElseFromTheMountTableWithOneLineOfComplaint) {
    EnvironmentGuard environment;
    environment.Set("PELLORA_DRIVES", "c=/srv/share;D=cdrom:/mnt/disc/");
    EXPECT_EQ(Describe(DriveTable::FromEnvironment()), "C=harddisk:/srv/share;D=cdrom:/mnt/disc");
    for (const char* value : std::initializer_list<const char*>{"C=relative", "", nullptr}) {
        value != nullptr ? environment.Set("PELLORA_DRIVES", value) : environment.Unset("PELLORA_DRIVES");
        testing::internal::CaptureStderr();
        const DriveTable table = DriveTable::FromEnvironment();
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  value != nullptr && *value != '\0'
                      ? "Pellora: PELLORA_DRIVES is not a valid drive table; using the mount table\n"
                      : "");
        EXPECT_EQ(table.Find('C')->root, "/");
    }
}

TEST(ShortNames, EncodeExactlyTheBytesUnsafeInAUrlOrAWildcardAndDecodeNothingThatLeavesTheDirectory) {
    const std::pair<std::string, std::string> encoded[] = {
        {"report-2024_v1+b=c;d,e(f)[g]~h!$@.txt", ""},  // safe: no short name
        {"my report.txt", "my%20report.txt"},
        {"a<b>&\"c'.htm", "a%3Cb%3E%26%22c%27.htm"},
        {"100% #1?.txt", "100%25%20%231%3F.txt"},
        {"a*b\\c", "a%2Ab%5Cc"},
        {"tab\there\x7f\xc3\xa9\xff", "tab%09here%7F%C3%A9%FF"},
    };
    for (const auto& [name, shortName] : encoded) EXPECT_EQ(ShortNameOf(name), shortName) << name;
    const std::pair<std::string, std::optional<std::string>> decoded[] = {
        {"caf%c3%a9.txt", "caf\xc3\xa9.txt"},
        {"100%25", "100%"},
        {"a%2520b", "a%20b"},  // decoded once only
        {"50%zz%20x%", "50%zz x%"},
        {"a%20b%4", "a b%4"},
        {"a%5Cb", "a\\b"},  // a backslash is part of the name
        {"plain.txt", std::nullopt},
        {"100%", std::nullopt},
        {"%2E", std::nullopt},
        {".%2e", std::nullopt},
        {"a%2Fb", std::nullopt},
        {"a%00b", std::nullopt},
    };
    for (const auto& [component, name] : decoded) EXPECT_EQ(DecodeShortName(component), name) << component;
    std::string everyByte;
    for (int byte = 1; byte < 256; ++byte) everyByte += byte == '/' ? 'x' : static_cast<char>(byte);
    EXPECT_EQ(DecodeShortName(ShortNameOf(everyByte)), everyByte) << "every byte survives the round trip";
    EXPECT_EQ(UrlOfComponent("back%5Cslash.txt") + " " + UrlOfComponent("a%20b") + " " + UrlOfComponent("my docs"),
              "back%5Cslash.txt a%2520b my%20docs");
}

// A drive-form path names entries as they are, a literal name before a decoded one; a
// URL's short name reaches the entry it was made from, even beside one named like it.
TEST(HostPath, DrivePathsReachTheNamesTheySpellAndUrlsTheNamesTheirShortNamesStandFor) {
    TestDirectory root;
    DriveTableGuard drives({{'C', root.Path()}});
    for (const char* file : {"my docs/my report.txt", "both/a%20b", "both/a b", "both/lit%41", "caf\xc3\xa9/x", "a*b/y",
                             "back\\slash/z"}) {
        root.WriteFile(file, "x");
    }
    const std::pair<std::string, std::optional<std::string>> hostRows[] = {
        {"C:\\my%20docs\\my%20report.txt", "/my docs/my report.txt"},
        {"c:\\my docs\\my%20report.txt", "/my docs/my report.txt"},
        {"C:\\both\\a%20b", "/both/a%20b"},
        {"C:\\caf%C3%A9\\x", "/caf\xc3\xa9/x"},
        {"C:\\a%2Ab\\y", "/a*b/y"},
        {"C:\\back%5Cslash\\z", "/back\\slash/z"},
        {"C:\\no%20such\\x%20y", "/no%20such/x%20y"},
        {"C:\\my docs\\%2E%2E\\both", "/my docs/%2E%2E/both"},
        {"C:\\my docs\\..\\both", std::nullopt},
        {std::string("C:\\a\0b", 6), std::nullopt},
    };
    for (const auto& [path, host] : hostRows) {
        EXPECT_EQ(ResolveHostPath(path), host ? std::optional(root.Path() + *host) : std::nullopt) << path;
    }
    const std::pair<const char*, const char*> urlRows[] = {
        {"C:\\my%20docs\\my%20report.txt", "C:\\my docs\\my report.txt"},
        {"c:", "c:"},
        {"C:\\both\\a%20b", "C:\\both\\a b"},            // decoded first
        {"C:\\both\\a%2520b", "C:\\both\\a%20b"},        // an escaped percent reaches the literal name
        {"C:\\both\\lit%41", "C:\\both\\lit%41"},        // literal when decoded names nothing
        {"C:\\a%2Ab", "C:\\a*b"},                        // a decoded wildcard character
        {"C:\\back%5Cslash\\z", "C:\\back%5Cslash\\z"},  // a backslash name stays encoded
        {"C:\\my%20docs\\my%20*", "C:\\my docs\\my%20*"},
        {"C:\\*\\my%20docs", "C:\\*\\my%20docs"},        // nothing below a pattern
        {"C:\\none\\my%20docs", "C:\\none\\my%20docs"},  // nor below a missing name
        {"Q:\\my%20docs", "Q:\\my%20docs"},
    };
    for (const auto& [path, resolved] : urlRows) EXPECT_EQ(ResolveShortNames(path), resolved) << path;
    EXPECT_EQ(ResolveHostPath("/etc/my%20x"), "/etc/my%20x");
}

}  // namespace
}  // namespace platform
