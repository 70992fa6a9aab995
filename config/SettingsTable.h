#pragma once
// The one table of the settings fields. Options files, the per-user store and the
// Options pages all walk it, so a field's key, store name and capacity are said once.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "config/ServerSettings.h"

enum class SettingType { Integer, Text };

// One field of a ServerSettings: exactly one of the pointers is set.
struct FieldRef {
    int32_t* number = nullptr;
    PathText* path = nullptr;
    IpEntryText* ipEntry = nullptr;

    [[nodiscard]] std::string_view Text() const;
    // Text that does not fit the field is cut; false when that happened.
    bool AssignText(std::string_view text) const;
    [[nodiscard]] std::size_t TextMaxLength() const;
};

// What a store read is given room for, terminator included.
inline constexpr std::size_t kStoreNumberCapacity = 4;
inline constexpr std::size_t kStoreIpEntryCapacity = 19;
inline constexpr std::size_t kStoreTextCapacity = 255;

inline constexpr std::string_view kStoreGlobal = "Global";
inline constexpr std::string_view kStoreIpAccess = "IpAccess";
inline constexpr std::string_view kStoreDirAccess = "DirAccess";
inline constexpr std::string_view kStoreLogging = "Logging";
inline constexpr std::string_view kStoreUpload = "Upload";

struct SettingRow {
    std::string_view fileKey;  // key in options files
    SettingType type;
    FieldRef (*reach)(ServerSettings&);
    std::string_view storeSubkey;
    std::string_view storeValueName;
    std::size_t storeReadCapacity;
};

// Every field, in options-file order.
std::span<const SettingRow> SettingRows();

// The older "Pre-Release 2" options files stop after LogFile: the rows before the
// first one that only "Release 1" files carry.
inline constexpr std::size_t kPreRelease2RowCount = 27;
std::span<const SettingRow> PreRelease2Rows();

// The rows kept under one store subkey, in table order.
std::vector<std::reference_wrapper<const SettingRow>> SettingRowsInSubkey(std::string_view subkey);

// A field's current value, for readers that hold a const record.
struct FieldValue {
    int32_t number = 0;
    std::string_view text;
};
FieldValue ReadField(const SettingRow& row, const ServerSettings& settings);
