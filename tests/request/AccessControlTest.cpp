#include "request/AccessControl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/DriveTable.h"
#include "tests/support/TestDirectory.h"

namespace {

constexpr int kAllowed = 0;
constexpr int kRefused = -1;
constexpr int kSel = kAccessSelective;
constexpr int kRes = kAccessRestrictive;

struct AccessRow {
    const char* name;
    int option;
    std::vector<std::string> list;
    std::string request;  // client address or local path
    int expected;
};

void PrintTo(const AccessRow& row, std::ostream* out) {
    *out << row.name;
}
std::string RowName(const testing::TestParamInfo<AccessRow>& info) {
    return info.param.name;
}

template <std::size_t Capacity>
void Fill(std::array<FixedString<Capacity>, kListEntries>& list, const std::vector<std::string>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) list[i].Assign(entries[i]);
}

// 19 characters: the longest text an address slot holds, one too many to take a dot.
const std::string kLongIp = "100.100.100.100.100";
// 255 characters: the longest text a path slot holds, one too many to take a '\'.
const std::string kLongPath = "c:\\" + std::string(252, 'a');

class ClientAddressCheck : public testing::TestWithParam<AccessRow> {};

TEST_P(ClientAddressCheck, FollowsAddressPolicy) {
    ServerSettings settings;
    settings.IpOption = GetParam().option;
    Fill(settings.IpList, GetParam().list);
    EXPECT_EQ(CheckClientAddress(settings, GetParam().request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    AccessControl, ClientAddressCheck,
    testing::Values(AccessRow{"SelectiveEmptyListRefusesLoopback", kSel, {}, "127.0.0.1", kRefused},
                    AccessRow{"SelectiveMatchesWholePartsOnly", kSel, {"192.168"}, "192.1680.1.1", kRefused},
                    AccessRow{"SelectiveFullAddressOnlyItself", kSel, {"10.1.2.3"}, "10.1.2.30", kRefused},
                    AccessRow{"TrailingDotEntryLikeWithout", kSel, {"10."}, "10.9.8.7", kAllowed},
                    AccessRow{
                        "EighthEntryConsulted", kSel, {"1", "2", "3", "4", "5", "6", "7", "8"}, "8.8.4.4", kAllowed},
                    AccessRow{"SelectiveEmptyFirstEntryEndsList", kSel, {"", "10.0.0.5"}, "10.0.0.5", kRefused},
                    AccessRow{"RestrictiveRefusesListedNetwork", kRes, {"127.0.0"}, "127.0.0.1", kRefused},
                    AccessRow{"RestrictiveAllowsOtherNetwork", kRes, {"127.0.0"}, "127.0.1.1", kAllowed},
                    AccessRow{"RestrictiveEmptyFirstEntryEndsList", kRes, {"", "10.0.0.5"}, "10.0.0.5", kAllowed},
                    AccessRow{"SelectiveLongestFittingAddress", kSel, {"100"}, kLongIp.substr(0, 18), kAllowed},
                    AccessRow{"SelectiveRefusesOverlongAddress", kSel, {"100"}, kLongIp, kRefused},
                    AccessRow{"SelectiveLongEntryNeverAdmitsCutForm", kSel, {kLongIp}, kLongIp + "0", kRefused},
                    AccessRow{"RestrictiveLongEntryRefusesItsNetwork", kRes, {kLongIp}, kLongIp + ".5", kRefused},
                    AccessRow{"RestrictiveOverlongOutsideListAllowed", kRes, {"10"}, kLongIp + ".5", kAllowed}),
    RowName);

// Directories are compared as they lie on disk: drive C over a tree of the test's own.
class DirectoryAccessCheck : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::TheDriveTable();
        platform::SetDriveTable(platform::DriveTable({{'C', root_.Path(), platform::DriveType::HardDisk}}));
        root_.WriteFile("Shared/Music/x.mp3", "x");
        root_.WriteFile("sharedfiles/x", "x");
        root_.WriteFile("private/b.txt", "b");
        root_.WriteFile("PRIVATE/b.txt", "another directory on this drive");
        root_.MakeDirectory("windows");
        root_.MakeDirectory("elsewhere");
        std::filesystem::create_directory_symlink(root_ / "private", root_ / "elsewhere/into-private");
        std::filesystem::create_directory_symlink(root_ / "Shared", root_ / "shared-link");
    }
    void TearDown() override { platform::SetDriveTable(saved_); }

    TestDirectory root_;
    platform::DriveTable saved_;
};

TEST_F(DirectoryAccessCheck, FollowsDirectoryPolicyAsTheDirectoriesLieOnDisk) {
    struct Row {
        const char* name;
        int option;
        std::vector<std::string> list;
        std::string request;
        int expected;
    };
    const Row rows[] = {
        {"unknown option acts as all", -1, {}, "c:\\", kAllowed},
        {"selective below entry", kSel, {"C:\\Shared"}, "c:\\Shared\\Music\\x.mp3", kAllowed},
        {"selective missing file below entry", kSel, {"C:\\Shared"}, "c:\\Shared\\none.txt", kAllowed},
        {"selective other case is another directory", kSel, {"C:\\Shared"}, "c:\\SHARED\\Music", kRefused},
        {"selective sibling with longer name", kSel, {"C:\\Shared"}, "c:\\sharedfiles\\x", kRefused},
        {"selective drive root covers drive", kSel, {"c:\\"}, "C:\\deep\\x.txt", kAllowed},
        {"selective entry reached through a link", kSel, {"c:\\shared-link"}, "c:\\Shared\\Music", kAllowed},
        {"selective unknown drive", kSel, {"c:\\"}, "q:\\x", kRefused},
        {"forward slash entry never matches", kSel, {"c:/Shared"}, "c:\\Shared\\Music", kRefused},
        {"selective empty first entry ends list", kSel, {"", "c:\\Shared"}, "c:\\Shared", kRefused},
        {"restrictive refuses entry itself", kRes, {"c:\\windows\\"}, "C:\\windows", kRefused},
        {"restrictive refuses missing file below", kRes, {"c:\\private"}, "c:\\private\\none", kRefused},
        {"restrictive refuses a link into it", kRes, {"c:\\private"}, "c:\\elsewhere\\into-private\\b.txt", kRefused},
        {"restrictive other case is another directory", kRes, {"c:\\private"}, "c:\\PRIVATE\\b.txt", kAllowed},
        {"restrictive missing entry refuses nothing", kRes, {"c:\\gone"}, "c:\\gone\\x", kAllowed},
        {"restrictive eighth entry consulted",
         kRes,
         {"c:\\a", "c:\\b", "c:\\c", "c:\\d", "c:\\e", "c:\\f", "c:\\g", "c:\\private"},
         "c:\\private",
         kRefused},
    };
    for (const Row& row : rows) {
        ServerSettings settings;
        settings.DirAccessOption = row.option;
        Fill(settings.DirList, row.list);
        EXPECT_EQ(CheckDirectoryAccess(settings, row.request), row.expected) << row.name;
    }
    EXPECT_TRUE(DirectoryHolds("c:\\Shared", "c:\\shared-link\\Music\\new.bin"));
    EXPECT_FALSE(DirectoryHolds("c:\\Shared", "c:\\sharedfiles\\new.bin"));
}

}  // namespace
