#include "config/SettingsTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const void* AddressOf(const FieldRef& field) {
    if (field.number != nullptr) return field.number;
    if (field.path != nullptr) return field.path;
    return field.ipEntry;
}

std::size_t StoreRoomFor(const FieldRef& field) {
    if (field.number != nullptr) return kStoreNumberCapacity;
    return field.ipEntry != nullptr ? kStoreIpEntryCapacity : kStoreTextCapacity;
}

// Order, key, field, type and store room together: a row reaching a neighbour's field
// would still survive a write-then-read round trip.
TEST(SettingsTable, ListsEveryFieldOnceInOptionsFileOrder) {
    ServerSettings s;
    std::vector<std::pair<std::string, const void*>> expected = {
        {"Port", &s.Port},       {"RootOption", &s.RootOption}, {"RootFile", &s.RootFile},
        {"RootDir", &s.RootDir}, {"CgiDir", &s.CgiDir},         {"IpOption", &s.IpOption}};
    for (int i = 0; i < kListEntries; ++i) expected.emplace_back("Ip" + std::to_string(i), &s.IpList[i]);
    expected.insert(expected.end(),
                    {{"DirOption", &s.DirOption}, {"DirFile", &s.DirFile}, {"DirAccessOption", &s.DirAccessOption}});
    for (int i = 0; i < kListEntries; ++i) expected.emplace_back("Dir" + std::to_string(i), &s.DirList[i]);
    expected.insert(expected.end(), {{"LogOption", &s.LogOption},
                                     {"LogFile", &s.LogFile},
                                     {"UseTable", &s.UseTable},
                                     {"UploadOn", &s.UploadOn},
                                     {"UploadAccessType", &s.UploadAccessType},
                                     {"UploadDir", &s.UploadDir},
                                     {"IncludeUploadLink", &s.IncludeUploadLink}});

    ASSERT_EQ(SettingRows().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const SettingRow& row = SettingRows()[i];
        SCOPED_TRACE(expected[i].first);
        const FieldRef field = row.reach(s);
        EXPECT_EQ(row.fileKey, expected[i].first);
        EXPECT_EQ(AddressOf(field), expected[i].second);
        EXPECT_EQ((field.number != nullptr) + (field.path != nullptr) + (field.ipEntry != nullptr), 1);
        EXPECT_EQ(row.type == SettingType::Integer, field.number != nullptr);
        EXPECT_EQ(row.storeReadCapacity, StoreRoomFor(field));
    }
    EXPECT_EQ(PreRelease2Rows().back().fileKey, "LogFile");
    EXPECT_EQ(SettingRows()[PreRelease2Rows().size()].fileKey, "UseTable");
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// Store value names compare without case, so two rows differing only in case would
// share one value.
TEST(SettingsTable, StoreNamesAreUniqueIgnoringCase) {
    std::set<std::string> seen;
    for (const SettingRow& row : SettingRows()) {
        const std::string name = Lower(row.storeSubkey) + "\\" + Lower(row.storeValueName);
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
}

TEST(SettingsTable, SubkeyFilterPartitionsTheTable) {
    std::size_t total = 0;
    for (std::string_view subkey : {kStoreGlobal, kStoreIpAccess, kStoreDirAccess, kStoreLogging, kStoreUpload}) {
        for (const SettingRow& row : SettingRowsInSubkey(subkey)) {
            EXPECT_EQ(row.storeSubkey, subkey);
            ++total;
        }
    }
    EXPECT_EQ(total, SettingRows().size());
}

}  // namespace
