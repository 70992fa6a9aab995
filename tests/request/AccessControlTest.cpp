// Who may use the server, and the drive paths the router resolves before it asks.
#include "request/AccessControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "request/DrivePath.h"

namespace {

constexpr int kAllowed = 0;
constexpr int kRefused = -1;
constexpr int kSel = kAccessSelective;
constexpr int kRes = kAccessRestrictive;

// The directory list is checked on disk by the serving tests; these are the client list's edges.
TEST(AccessControl, ClientsFollowThePolicyWithWholeEntriesUpToTheFirstEmptyOne) {
    const std::string longIp = "100.100.100.100.100";  // 19 characters: a full slot, no room for a dot
    const std::vector<std::string> eight = {"1", "2", "3", "4", "5", "6", "7", "8"};
    const std::tuple<const char*, int, std::vector<std::string>, std::string, int> rows[] = {
        {"the eighth entry", kSel, eight, "8.8.4.4", kAllowed},
        {"selective, over-long address", kSel, {"100"}, longIp, kRefused},
        {"selective, a full entry never admits its cut form", kSel, {longIp}, longIp + "0", kRefused},
        {"restrictive, a full entry refuses its network", kRes, {longIp}, longIp + ".5", kRefused},
        {"unknown option acts as all", -1, {}, "10.0.0.5", kAllowed},
    };
    for (const auto& [name, option, list, address, expected] : rows) {
        ServerSettings settings;
        settings.IpOption = option;
        for (std::size_t i = 0; i < list.size(); ++i) settings.IpList[i].Assign(list[i]);
        EXPECT_EQ(CheckClientAddress(settings, address), expected) << name;
    }
}

TEST(DrivePath, NormalizingResolvesDotsAndEmptyComponentsLexicallyNeverAboveTheDrive) {
    const std::string name252(252, 'n');
    const std::pair<std::string, std::string> rows[] = {
        // the path, its normal form or why not
        {"c:\\", "c:"},
        {"c:foo", "not drive form"},
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
