// Who may use the server and which directories it publishes, and the drive paths the
// router resolves before it asks.
#include "request/AccessControl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "request/DrivePath.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

constexpr int kAllowed = 0;
constexpr int kRefused = -1;
constexpr int kSel = kAccessSelective;
constexpr int kRes = kAccessRestrictive;

template <typename List>
void Fill(List& list, const std::vector<std::string>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) list[i].Assign(entries[i]);
}

TEST(AccessControl, ClientAddressesFollowThePolicyAndMatchWholeAddressPartsOnly) {
    const std::string longIp = "100.100.100.100.100";  // 19 characters: a full slot, no room for a dot
    const std::tuple<const char*, int, std::vector<std::string>, std::string, int> rows[] = {
        {"selective, empty list", kSel, {}, "127.0.0.1", kRefused},
        {"whole parts only", kSel, {"192.168"}, "192.1680.1.1", kRefused},
        {"a full address only itself", kSel, {"10.1.2.3"}, "10.1.2.30", kRefused},
        {"a trailing dot", kSel, {"10."}, "10.9.8.7", kAllowed},
        {"the eighth entry", kSel, {"1", "2", "3", "4", "5", "6", "7", "8"}, "8.8.4.4", kAllowed},
        {"selective, empty first entry ends the list", kSel, {"", "10.0.0.5"}, "10.0.0.5", kRefused},
        {"restrictive, listed network", kRes, {"127.0.0"}, "127.0.0.1", kRefused},
        {"restrictive, other network", kRes, {"127.0.0"}, "127.0.1.1", kAllowed},
        {"restrictive, empty first entry ends the list", kRes, {"", "10.0.0.5"}, "10.0.0.5", kAllowed},
        {"selective, longest address that fits", kSel, {"100"}, longIp.substr(0, 18), kAllowed},
        {"selective, over-long address", kSel, {"100"}, longIp, kRefused},
        {"selective, a full entry never admits its cut form", kSel, {longIp}, longIp + "0", kRefused},
        {"restrictive, a full entry refuses its network", kRes, {longIp}, longIp + ".5", kRefused},
        {"restrictive, over-long address outside the list", kRes, {"10"}, longIp + ".5", kAllowed},
    };
    for (const auto& [name, option, list, client, expected] : rows) {
        ServerSettings settings;
        settings.IpOption = option;
        Fill(settings.IpList, list);
        EXPECT_EQ(CheckClientAddress(settings, client), expected) << name;
    }
}

// Directories are compared as they lie on disk: PUBLIC is not public, and a link into
// a listed directory reaches it.
TEST(AccessControl, DirectoriesFollowThePolicyAsTheyLieOnDisk) {
    TestDirectory root;
    DriveTableGuard drives({{'C', root.Path()}});
    for (const char* file : {"Shared/Music/x.mp3", "sharedfiles/x", "private/b.txt", "PRIVATE/b.txt", "elsewhere/x"}) {
        root.WriteFile(file, "x");
    }
    std::filesystem::create_directory_symlink(root / "private", root / "elsewhere/into-private");
    std::filesystem::create_directory_symlink(root / "Shared", root / "shared-link");
    const std::tuple<const char*, int, std::vector<std::string>, std::string, int> rows[] = {
        {"unknown option acts as all", -1, {}, "c:\\", kAllowed},
        {"below an entry", kSel, {"C:\\Shared"}, "c:\\Shared\\Music\\x.mp3", kAllowed},
        {"missing file below an entry", kSel, {"C:\\Shared"}, "c:\\Shared\\none.txt", kAllowed},
        {"other letter case", kSel, {"C:\\Shared"}, "c:\\SHARED\\Music", kRefused},
        {"a sibling with a longer name", kSel, {"C:\\Shared"}, "c:\\sharedfiles\\x", kRefused},
        {"a drive root covers the drive", kSel, {"c:\\"}, "C:\\deep\\x.txt", kAllowed},
        {"an entry reached through a link", kSel, {"c:\\shared-link"}, "c:\\Shared\\Music", kAllowed},
        {"unknown drive", kSel, {"c:\\"}, "q:\\x", kRefused},
        {"a forward slash entry never matches", kSel, {"c:/Shared"}, "c:\\Shared\\Music", kRefused},
        {"selective, empty first entry ends the list", kSel, {"", "c:\\Shared"}, "c:\\Shared", kRefused},
        {"restrictive, the entry itself", kRes, {"c:\\private\\"}, "C:\\private", kRefused},
        {"restrictive, missing file below", kRes, {"c:\\private"}, "c:\\private\\none", kRefused},
        {"restrictive, a link into it", kRes, {"c:\\private"}, "c:\\elsewhere\\into-private\\b.txt", kRefused},
        {"restrictive, other letter case", kRes, {"c:\\private"}, "c:\\PRIVATE\\b.txt", kAllowed},
        {"restrictive, a missing entry", kRes, {"c:\\gone"}, "c:\\gone\\x", kAllowed},
        {"restrictive, the eighth entry",
         kRes,
         {"c:\\a", "c:\\b", "c:\\c", "c:\\d", "c:\\e", "c:\\f", "c:\\g", "c:\\private"},
         "c:\\private",
         kRefused},
    };
    for (const auto& [name, option, list, path, expected] : rows) {
        ServerSettings settings;
        settings.DirAccessOption = option;
        Fill(settings.DirList, list);
        EXPECT_EQ(CheckDirectoryAccess(settings, path), expected) << name;
    }
    EXPECT_TRUE(DirectoryHolds("c:\\Shared", "c:\\shared-link\\Music\\new.bin"));
    EXPECT_FALSE(DirectoryHolds("c:\\Shared", "c:\\sharedfiles\\new.bin"));
}

TEST(DrivePath, NormalizingResolvesDotsAndEmptyComponentsLexicallyNeverAboveTheDrive) {
    const std::string name252(252, 'n');
    const std::pair<std::string, std::string> rows[] = {
        // the path, its normal form or why not
        {"c:", "c:"},
        {"c:\\", "c:"},
        {"c:\\a\\.\\b", "c:\\a\\b"},
        {"c:\\.\\a", "c:\\a"},
        {"c:\\\\a\\\\\\b\\", "c:\\a\\b"},
        {"c:\\a\\b\\..\\c", "c:\\a\\c"},
        {"c:\\a\\b\\..", "c:\\a"},
        {"c:\\a\\..\\..\\b", "c:\\b"},
        {"c:\\..\\..\\..\\windows", "c:\\windows"},
        {"D:\\Docs\\ReadMe.TXT", "D:\\Docs\\ReadMe.TXT"},
        {"c:\\...\\a..b\\..c\\.profile", "c:\\...\\a..b\\..c\\.profile"},
        {"c:\\a b\\x%20y\\*.txt", "c:\\a b\\x%20y\\*.txt"},
        {"c:foo", "not drive form"},
        {"1:\\x", "not drive form"},
        {"", "not drive form"},
        {"c", "not drive form"},
        {":\\x", "not drive form"},
        {"docs\\a.txt", "not drive form"},
        {"\\c:\\x", "not drive form"},
        {"c:\\" + name252, "c:\\" + name252},  // 255 characters, the most a path holds
        {"c:\\" + name252 + "x", "too long"},
        {"c:\\\\" + name252 + "\\.\\", "c:\\" + name252},  // the length that counts is the result's
        {"c:\\" + std::string(400, 'a') + "\\..\\b", "c:\\b"},
        {"c:\\" + std::string(200, 'a') + "\\" + std::string(200, 'b'), "too long"},
    };
    for (const auto& [path, expected] : rows) {
        PathText normalized;
        const DrivePathResult result = NormalizeDrivePath(path, normalized);
        EXPECT_EQ(result == DrivePathResult::Normalized ? std::string(normalized.View())
                  : result == DrivePathResult::TooLong  ? "too long"
                                                        : "not drive form",
                  expected)
            << path;
        PathText twice;
        if (result == DrivePathResult::Normalized) NormalizeDrivePath(normalized, twice);
        EXPECT_EQ(twice.View(), result == DrivePathResult::Normalized ? normalized.View() : "") << "twice: " << path;
    }
}

}  // namespace
