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

// Both lists through one table: a client row names an address, a directory row a path.
TEST(AccessControl, ClientsAndDirectoriesFollowThePolicyWithWholeEntriesUpToTheFirstEmptyOne) {
    TestDirectory root;
    DriveTableGuard drives({{'C', root.Path()}});
    for (const char* file : {"Shared/Music/x.mp3", "8/x"}) root.WriteFile(file, "x");
    std::filesystem::create_directory_symlink(root / "Shared", root / "shared-link");
    const std::string longIp = "100.100.100.100.100";  // 19 characters: a full slot, no room for a dot
    const std::vector<std::string> eight = {"1", "2", "3", "4", "5", "6", "7", "8"};
    const std::vector<std::string> eightDirs = {"c:\\1", "c:\\2", "c:\\3", "c:\\4", "c:\\5", "c:\\6", "c:\\7", "c:\\8"};
    const std::tuple<const char*, int, std::vector<std::string>, std::string, int> rows[] = {
        {"the eighth entry", kSel, eight, "8.8.4.4", kAllowed},
        {"selective, empty first entry ends the list", kSel, {"", "10.0.0.5"}, "10.0.0.5", kRefused},
        {"restrictive, empty first entry ends the list", kRes, {"", "10.0.0.5"}, "10.0.0.5", kAllowed},
        {"selective, over-long address", kSel, {"100"}, longIp, kRefused},
        {"selective, a full entry never admits its cut form", kSel, {longIp}, longIp + "0", kRefused},
        {"restrictive, a full entry refuses its network", kRes, {longIp}, longIp + ".5", kRefused},
        {"restrictive, over-long address outside the list", kRes, {"10"}, longIp + ".5", kAllowed},
        {"unknown option acts as all", -1, {}, "c:\\", kAllowed},
        {"a drive root covers the drive", kSel, {"c:\\"}, "C:\\deep\\x.txt", kAllowed},
        {"unknown drive", kSel, {"c:\\"}, "q:\\x", kRefused},
        {"a forward slash entry never matches", kSel, {"c:/Shared"}, "c:\\Shared\\Music", kRefused},
        {"selective, empty first directory ends the list", kSel, {"", "c:\\Shared"}, "c:\\Shared", kRefused},
        {"restrictive, the eighth directory", kRes, eightDirs, "c:\\8", kRefused},
    };
    for (const auto& [name, option, list, subject, expected] : rows) {
        ServerSettings settings;
        settings.IpOption = settings.DirAccessOption = option;
        for (std::size_t i = 0; i < list.size(); ++i)
            settings.IpList[i].Assign(list[i]), settings.DirList[i].Assign(list[i]);
        const bool directory = subject.find(':') != std::string::npos;
        EXPECT_EQ(directory ? CheckDirectoryAccess(settings, subject) : CheckClientAddress(settings, subject), expected)
            << name;
    }
    EXPECT_TRUE(DirectoryHolds("c:\\Shared", "c:\\shared-link\\Music\\new.bin"));
    EXPECT_FALSE(DirectoryHolds("c:\\Shared", "c:\\Sharedfiles\\new.bin"));
}

TEST(DrivePath, NormalizingResolvesDotsAndEmptyComponentsLexicallyNeverAboveTheDrive) {
    const std::string name252(252, 'n');
    const std::pair<std::string, std::string> rows[] = {
        // the path, its normal form or why not
        {"c:\\", "c:"},
        {"c:\\a\\.\\b", "c:\\a\\b"},
        {"c:\\..\\..\\..\\windows", "c:\\windows"},
        {"c:foo", "not drive form"},
        {"\\c:\\x", "not drive form"},
        {"c:\\" + name252, "c:\\" + name252},  // 255 characters, the most a path holds
        {"c:\\" + name252 + "x", "too long"},
        {"c:\\\\" + name252 + "\\.\\", "c:\\" + name252},  // the length that counts is the result's
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
    }
}

}  // namespace
