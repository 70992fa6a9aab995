#include "platform/DriveTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace platform {
namespace {

const char* TypeName(DriveType type) {
    switch (type) {
        case DriveType::Removable:
            return "removable";
        case DriveType::HardDisk:
            return "harddisk";
        case DriveType::Network:
            return "network";
        case DriveType::CdRom:
            return "cdrom";
    }
    return "?";
}

// "C=harddisk:/;D=cdrom:/mnt/disc": a whole table in one comparable line.
std::string Describe(const DriveTable& table) {
    std::string text;
    for (const Drive& drive : table.Drives()) {
        if (!text.empty()) text += ';';
        text += drive.letter;
        text += '=';
        text += TypeName(drive.type);
        text += ':';
        text += drive.root;
    }
    return text;
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(DriveTableMapFromHost, WritesHostPathsBelowADriveInDriveForm) {
    const DriveTable table({Drive{'C', "/"}, Drive{'D', "/srv/share"}, Drive{'E', "/srv/share/deep"}});
    EXPECT_EQ(table.MapFromHost("/srv/share/a/b.txt"), "D:\\a\\b.txt");
    EXPECT_EQ(table.MapFromHost("/srv/share"), "D:\\");
    EXPECT_EQ(table.MapFromHost("/srv/share/deep/x"), "E:\\x") << "the deepest root wins";
    EXPECT_EQ(table.MapFromHost("/srv/shared/x"), "C:\\srv\\shared\\x") << "a root is a whole component";
    EXPECT_EQ(table.MapFromHost("relative/x"), "relative/x");
    const DriveTable noRoot({Drive{'D', "/srv/share"}});
    EXPECT_EQ(noRoot.MapFromHost("/etc/passwd"), "/etc/passwd") << "outside every drive it stays a host path";
}

TEST(DriveTableParse, AcceptsWellFormedTables) {
    struct Row {
        const char* name;
        const char* setting;
        const char* table;
    };
    const Row rows[] = {
        {"one drive", "C=/srv/share", "C=harddisk:/srv/share"},
        {"two drives", "C=/srv/share;D=/media/usb", "C=harddisk:/srv/share;D=harddisk:/media/usb"},
        {"kept in letter order", "E=/e;C=/c", "C=harddisk:/c;E=harddisk:/e"},
        {"lower-case letter", "d=/data", "D=harddisk:/data"},
        {"trailing slashes trimmed", "C=/srv/share//", "C=harddisk:/srv/share"},
        {"root stays a slash", "C=/", "C=harddisk:/"},
        {"slashes only become the root", "C=///", "C=harddisk:/"},
        {"typed roots", "A=removable:/a;B=network:/b;C=harddisk:/c;D=cdrom:/d",
         "A=removable:/a;B=network:/b;C=harddisk:/c;D=cdrom:/d"},
        {"type in any case", "D=CDROM:/mnt/disc", "D=cdrom:/mnt/disc"},
        {"colon inside a root", "C=/srv/a:b", "C=harddisk:/srv/a:b"},
        {"empty items ignored", ";;C=/a;;D=/b;", "C=harddisk:/a;D=harddisk:/b"},
    };
    for (const Row& row : rows) {
        std::optional<DriveTable> table = DriveTable::Parse(row.setting);
        ASSERT_TRUE(table.has_value()) << row.name;
        EXPECT_EQ(Describe(*table), row.table) << row.name;
    }
}

TEST(DriveTableParse, RejectsTheWholeTextForOneBadItem) {
    struct Row {
        const char* name;
        const char* setting;
    };
    const Row rows[] = {
        {"empty text", ""},
        {"relative root", "C=srv/share"},
        {"empty root", "C="},
        {"no equals sign", "C/srv"},
        {"colon instead of equals", "C:/srv"},
        {"two-letter drive", "CD=/srv"},
        {"digit for a letter", "1=/srv"},
        {"duplicate letter", "C=/a;D=/b;C=/c"},
        {"duplicate letter in other case", "C=/a;c=/b"},
        {"unknown type", "A=floppy:/mnt/a"},
        {"type without a root", "D=cdrom:"},
        {"one good item and one bad", "C=/a;D=b"},
        {"blank around an item", "C=/a; D=/b"},
    };
    for (const Row& row : rows) {
        EXPECT_FALSE(DriveTable::Parse(row.setting).has_value()) << row.name;
    }
}

bool FakeRemovableDevice(std::string_view device) {
    return device == "/dev/sdc1" || device == "/dev/sdz1";
}

TEST(DriveTableFromMounts, GivesLettersToUserMountsInTableOrder) {
    struct Row {
        const char* name;
        const char* mounts;
        const char* table;
    };
    const Row rows[] = {
        {"no mount table", "", "C=harddisk:/"},
        {"desktop machine",
         "/dev/nvme0n1p2 / ext4 rw,relatime 0 0\n"
         "proc /proc proc rw 0 0\n"
         "sysfs /sys sysfs rw 0 0\n"
         "tmpfs /run tmpfs rw 0 0\n"
         "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
         "/dev/nvme0n1p3 /home ext4 rw 0 0\n"
         "/dev/sdb1 /media/ann/My\\040Stick vfat rw 0 0\n"
         "/dev/sr0 /run/media/ann/DISC iso9660 ro 0 0\n"
         "server:/export /mnt/nfs nfs4 rw 0 0\n"
         "//host/share /mnt/smb cifs rw 0 0\n"
         "ann@host:/ /home/ann/remote fuse.sshfs rw 0 0\n"
         "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
         "/dev/sda1 /boot/efi vfat rw 0 0\n"
         "/dev/loop3 /snap/core/1 squashfs ro 0 0\n",
         "C=harddisk:/;D=harddisk:/home;E=removable:/media/ann/My Stick;F=cdrom:/run/media/ann/DISC;"
         "G=network:/mnt/nfs;H=network:/mnt/smb;I=network:/home/ann/remote;J=removable:/mnt/backup"},
        {"pseudo file systems under user directories",
         "tmpfs /mnt/ram tmpfs rw 0 0\n"
         "autofs /mnt/auto autofs rw 0 0\n"
         "cgroup /home/x/cg cgroup rw 0 0\n"
         "/dev/sdd1 /mnt/data ext4 rw 0 0\n",
         "C=harddisk:/;D=harddisk:/mnt/data"},
        {"prefix that is not a parent", "/dev/sdd1 /mntdata ext4 rw 0 0\n/dev/sdd2 /homes ext4 rw 0 0\n",
         "C=harddisk:/"},
        {"other escapes decoded", "/dev/sde1 /mnt/tab\\011and\\134back ext4 rw 0 0\n",
         "C=harddisk:/;D=harddisk:/mnt/tab\tand\\back"},
        {"incomplete escape kept", "/dev/sde1 /mnt/odd\\04 ext4 rw 0 0\n", "C=harddisk:/;D=harddisk:/mnt/odd\\04"},
        {"root typed by its own mount", "/dev/sdz1 / ext4 rw 0 0\n", "C=removable:/"},
        {"container overlay root", "overlay / overlay rw 0 0\n", "C=harddisk:/"},
        {"mount over a mount keeps its letter",
         "/dev/sdd1 /mnt/a ext4 rw 0 0\n/dev/sdd2 /mnt/b ext4 rw 0 0\n/dev/sr0 /mnt/a udf ro 0 0\n",
         "C=harddisk:/;D=cdrom:/mnt/a;E=harddisk:/mnt/b"},
        {"short and blank lines skipped", "\n/dev/sdd1\n  \n/dev/sdd1 /mnt/a ext4 rw 0 0",
         "C=harddisk:/;D=harddisk:/mnt/a"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Describe(DriveTable::FromMounts(row.mounts, &FakeRemovableDevice)), row.table) << row.name;
    }
}

TEST(DriveTableFromMounts, StopsAtDriveZ) {
    std::string mounts;
    for (int i = 0; i < 30; ++i)
        mounts += "/dev/sdd" + std::to_string(i) + " /mnt/m" + std::to_string(i) + " ext4 rw 0 0\n";
    DriveTable table = DriveTable::FromMounts(mounts, &FakeRemovableDevice);
    ASSERT_EQ(table.Drives().size(), 24u);
    EXPECT_EQ(table.Drives().back().letter, 'Z');
    EXPECT_EQ(table.Drives().back().root, "/mnt/m22");
}

TEST(DriveTableMapToHost, MapsDrivePathsAndPassesHostPaths) {
    const DriveTable table({{'C', "/", DriveType::HardDisk},
                            {'D', "/srv/share", DriveType::HardDisk},
                            {'E', "/media/usb", DriveType::Removable}});
    struct Row {
        const char* name;
        const char* path;
        std::optional<std::string> host;
    };
    const Row rows[] = {
        {"drive root on slash root", "C:\\", "/"},
        {"file on slash root", "C:\\etc\\hosts", "/etc/hosts"},
        {"bare drive", "D:", "/srv/share"},
        {"drive root", "D:\\", "/srv/share"},
        {"nested file", "D:\\docs\\2024\\a.txt", "/srv/share/docs/2024/a.txt"},
        {"trailing backslash kept", "D:\\docs\\", "/srv/share/docs/"},
        {"lower-case letter", "e:\\photo.jpg", "/media/usb/photo.jpg"},
        {"names keep case and blanks", "D:\\My Files\\A.TXT", "/srv/share/My Files/A.TXT"},
        {"dots inside a name", "D:\\..hidden\\a..b", "/srv/share/..hidden/a..b"},
        {"dot component", "D:\\.\\a", "/srv/share/./a"},
        {"climb from the root", "D:\\..", std::nullopt},
        {"climb out of the drive", "D:\\docs\\..\\..\\etc\\passwd", std::nullopt},
        {"climb that stays inside", "D:\\docs\\..\\a.txt", std::nullopt},
        {"unknown drive", "Q:\\a.txt", std::nullopt},
        {"drive without backslash", "c:foo", std::nullopt},
        {"forward slash after the colon", "C:/etc", std::nullopt},
        {"host absolute path", "/usr/share/pellora/images/dir.gif", "/usr/share/pellora/images/dir.gif"},
        {"host path with dots", "/a/../b", "/a/../b"},
        {"relative name", "readme.txt", std::nullopt},
        {"digit before colon", "1:\\x", std::nullopt},
        {"empty path", "", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(table.MapToHost(row.path), row.host) << row.name;
    }
}

TEST(DriveTableFromEnvironment, UsesTheVariableWhenValid) {
    ScopedEnvironment drives("PELLORA_DRIVES", "c=/srv/share;D=cdrom:/mnt/disc/");
    EXPECT_EQ(Describe(DriveTable::FromEnvironment()), "C=harddisk:/srv/share;D=cdrom:/mnt/disc");
}

TEST(DriveTableFromEnvironment, FallsBackToTheMountTableWithOneLineOfComplaint) {
    ScopedEnvironment drives("PELLORA_DRIVES", "C=relative");
    testing::internal::CaptureStderr();
    DriveTable table = DriveTable::FromEnvironment();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Pellora: PELLORA_DRIVES is not a valid drive table; using the mount table\n");
    ASSERT_FALSE(table.Drives().empty());
    EXPECT_EQ(table.Drives().front().letter, 'C');
    EXPECT_EQ(table.Drives().front().root, "/");
}

TEST(DriveTableFromEnvironment, UnsetOrEmptyMeansTheMountTableWithoutComplaint) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        ScopedEnvironment drives("PELLORA_DRIVES", value);
        testing::internal::CaptureStderr();
        DriveTable table = DriveTable::FromEnvironment();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ASSERT_FALSE(table.Drives().empty());
        EXPECT_EQ(table.Drives().front().root, "/");
    }
}

TEST(DriveTableProcess, SetDriveTableReplacesTheProcessTable) {
    DriveTable saved = TheDriveTable();
    SetDriveTable(DriveTable({{'K', "/k", DriveType::Network}}));
    EXPECT_EQ(Describe(TheDriveTable()), "K=network:/k");
    EXPECT_EQ(TheDriveTable().MapToHost("k:\\x"), "/k/x");
    SetDriveTable(saved);
    EXPECT_EQ(Describe(TheDriveTable()), Describe(saved));
}

}  // namespace
}  // namespace platform
