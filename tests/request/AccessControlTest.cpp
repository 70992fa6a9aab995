#include "request/AccessControl.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

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

class DirectoryAccessCheck : public testing::TestWithParam<AccessRow> {};

TEST_P(DirectoryAccessCheck, FollowsDirectoryPolicy) {
    ServerSettings settings;
    settings.DirAccessOption = GetParam().option;
    Fill(settings.DirList, GetParam().list);
    EXPECT_EQ(CheckDirectoryAccess(settings, GetParam().request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    AccessControl, DirectoryAccessCheck,
    testing::Values(
        AccessRow{"UnknownOptionActsAsAll", -1, {}, "c:\\", kAllowed},
        AccessRow{"SelectiveBelowEntryIgnoringCase", kSel, {"D:\\Shared"}, "d:\\shared\\Music\\x.mp3", kAllowed},
        AccessRow{"SelectiveSiblingWithLongerName", kSel, {"D:\\Shared"}, "d:\\sharedfiles\\x", kRefused},
        AccessRow{"SelectiveDriveRootCoversDrive", kSel, {"e:\\"}, "E:\\deep\\x.txt", kAllowed},
        AccessRow{"ForwardSlashEntryNeverMatches", kSel, {"c:/data"}, "c:\\data\\x.txt", kRefused},
        AccessRow{"RestrictiveRefusesEntryItself", kRes, {"c:\\windows\\"}, "C:\\Windows", kRefused},
        AccessRow{"SelectiveLongestFittingPath", kSel, {"c:\\"}, kLongPath.substr(0, 254), kAllowed},
        AccessRow{"SelectiveRefusesOverlongPath", kSel, {"c:\\"}, kLongPath, kRefused},
        AccessRow{"SelectiveLongEntryNeverAdmitsCutForm", kSel, {kLongPath}, kLongPath + "b", kRefused},
        AccessRow{"RestrictiveOverlongBelowEntryRefused", kRes, {"c:\\docs"}, "c:\\docs\\" + kLongPath, kRefused},
        AccessRow{"RestrictiveLongEntryRefusesItself", kRes, {kLongPath}, kLongPath, kRefused},
        AccessRow{"RestrictiveOverlongOutsideListAllowed", kRes, {"c:\\b"}, kLongPath, kAllowed}),
    RowName);

}  // namespace
