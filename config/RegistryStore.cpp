#include "config/RegistryStore.h"

#include <algorithm>
#include <array>
#include <optional>

#include "config/SettingsTable.h"

namespace {

using platform::StoreKey;
using platform::StoreValue;
using platform::StoreValueType;
using platform::UserStore;

constexpr std::array<std::string_view, 5> kSubkeys = {kStoreGlobal, kStoreIpAccess, kStoreDirAccess, kStoreLogging,
                                                      kStoreUpload};

// The older layout's names.
constexpr std::string_view kOldRootPage = "RootPage";
constexpr std::string_view kRootPath = "RootPath";
// The Directories page keeps its values in "DirAccess" beside the Sharing page's.
constexpr std::array<std::string_view, 3> kIndexValueNames = {"DirIndexType", "DirIndexName", "UseTableStyle"};
constexpr std::array<std::string_view, 2> kOldGlobalIndexNames = {"DirIndexType", "DirIndexName"};

std::string RootPageName(int index) {
    return "RootPage" + std::to_string(index);
}

const SettingRow* FindRow(std::string_view subkey, std::string_view valueName) {
    for (const SettingRow& row : SettingRowsInSubkey(subkey)) {
        if (platform::SameStoreName(row.storeValueName, valueName)) return &row;
    }
    return nullptr;
}

const SettingRow& RootFileRow() {
    static const SettingRow* row = FindRow(kStoreGlobal, "RootPage0");
    return *row;
}

bool IsIndexRow(const SettingRow& row) {
    return std::ranges::any_of(
        kIndexValueNames, [&row](std::string_view name) { return platform::SameStoreName(row.storeValueName, name); });
}

// List entries exist in the store only while they are used.
bool IsListEntry(const SettingRow& row) {
    ServerSettings probe;
    const FieldRef field = row.reach(probe);
    if (field.ipEntry != nullptr) return true;
    return std::ranges::any_of(probe.DirList, [&field](const PathText& entry) { return field.path == &entry; });
}

// The marker is compared within the room its read is given.
std::string_view FitToRoom(std::string_view text, std::size_t room) {
    return text.substr(0, room > 0 ? room - 1 : 0);
}

// A value of the wrong type is as good as missing: the field keeps what it holds.
void ReadValue(const StoreKey& key, std::string_view name, const SettingRow& row, ServerSettings& settings) {
    const std::optional<StoreValue> value = key.Query(name);
    if (!value) return;
    const FieldRef field = row.reach(settings);
    if (row.type == SettingType::Integer) {
        if (value->type == StoreValueType::Dword) *field.number = static_cast<int32_t>(value->number);
    } else if (value->type == StoreValueType::String) {
        field.AssignText(value->text);  // cut to the field, never past it
    }
}

void ReadRow(const StoreKey& key, const SettingRow& row, ServerSettings& settings) {
    ReadValue(key, row.storeValueName, row, settings);
}

void WriteRow(StoreKey& key, const SettingRow& row, const ServerSettings& settings) {
    const FieldValue value = ReadField(row, settings);
    if (row.type == SettingType::Integer) {
        key.SetDword(row.storeValueName, static_cast<uint32_t>(value.number));
    } else if (value.text.empty() && IsListEntry(row)) {
        key.DeleteValue(row.storeValueName);
    } else {
        key.SetString(row.storeValueName, value.text);
    }
}

// RootFile becomes the head; the others follow in their former order without gaps,
// a duplicate of it goes, and what is pushed past the eighth place is dropped.
void UpdateRootHistory(StoreKey& global, std::string_view rootFile) {
    // Whole values are compared and moved, so a long path is never cut on the way.
    for (int i = kRootHistoryEntries - 1; i >= 0; --i) {
        const std::optional<StoreValue> entry = global.Query(RootPageName(i));
        if (!entry) continue;
        if (!(entry->type == StoreValueType::String && entry->text == rootFile)) {
            global.Set(RootPageName(i + 1), *entry);
            continue;
        }
        for (int j = i + 2; j <= kRootHistoryEntries; ++j) {
            const std::optional<StoreValue> later = global.Query(RootPageName(j));
            if (!later) continue;
            global.Set(RootPageName(j - 1), *later);
            global.DeleteValue(RootPageName(j));
        }
    }
    global.SetString(RootPageName(0), rootFile);
    global.DeleteValue(RootPageName(kRootHistoryEntries));
}

void WriteGlobal(StoreKey& main, const ServerSettings& settings) {
    StoreKey global = main.CreateSubkey(kStoreGlobal);
    if (!global) return;
    for (const SettingRow& row : SettingRowsInSubkey(kStoreGlobal)) {
        if (&row != &RootFileRow()) {
            WriteRow(global, row, settings);
        } else if (!settings.RootFile.Empty()) {
            // An empty root file leaves the history as it is.
            UpdateRootHistory(global, settings.RootFile);
        }
    }
}

template <typename Holds>
void WriteSection(StoreKey& main, std::string_view subkey, const ServerSettings& settings, Holds holds) {
    StoreKey key = main.CreateSubkey(subkey);
    if (!key) return;
    for (const SettingRow& row : SettingRowsInSubkey(subkey)) {
        if (holds(row)) WriteRow(key, row, settings);
    }
}

bool AnyRow(const SettingRow&) {
    return true;
}
bool NotIndexRow(const SettingRow& row) {
    return !IsIndexRow(row);
}

using SectionWriter = void (*)(StoreKey& main, const ServerSettings& settings);

void WriteIpAccess(StoreKey& main, const ServerSettings& settings) {
    WriteSection(main, kStoreIpAccess, settings, AnyRow);
}
void WriteIndex(StoreKey& main, const ServerSettings& settings) {
    WriteSection(main, kStoreDirAccess, settings, IsIndexRow);
}
void WriteDirAccess(StoreKey& main, const ServerSettings& settings) {
    WriteSection(main, kStoreDirAccess, settings, NotIndexRow);
}
void WriteLogging(StoreKey& main, const ServerSettings& settings) {
    WriteSection(main, kStoreLogging, settings, AnyRow);
}
void WriteUpload(StoreKey& main, const ServerSettings& settings) {
    WriteSection(main, kStoreUpload, settings, AnyRow);
}

// A section save is one change of the store: the section lands whole or not at all.
void SaveSection(SectionWriter writer, const ServerSettings& settings) {
    UserStore store = UserStore::Open();
    StoreKey main = store.CreateKey(kStoreMainKey);
    if (!main) return;
    writer(main, settings);
    store.Commit();
}

bool HasMarker(const StoreKey& main) {
    const std::optional<StoreValue> marker = main.Query("");
    return marker && marker->type == StoreValueType::String &&
           FitToRoom(marker->text, kStoreMarkerReadCapacity) == kStoreMarker;
}

}  // namespace

std::string_view RootDirectoryOf(std::string_view rootFile) {
    const std::size_t slash = rootFile.rfind('\\');
    return slash == std::string_view::npos ? std::string_view() : rootFile.substr(0, slash);
}

void UpgradeRegistryLayout(StoreKey& mainKey, ServerSettings& settings) {
    // The marker goes first, so the conversion runs once per store.
    mainKey.SetString("", kStoreMarker);
    StoreKey global = mainKey.OpenSubkey(kStoreGlobal);
    if (!global) return;

    if (global.Query(kOldRootPage)) {
        ReadValue(global, kOldRootPage, RootFileRow(), settings);
        if (!settings.RootFile.Empty()) global.SetString(RootPageName(0), settings.RootFile);
        global.DeleteValue(kOldRootPage);
        settings.RootDir.Assign(RootDirectoryOf(settings.RootFile));
        global.SetString(kRootPath, settings.RootDir);
    }

    // A store that never had "DirAccess" gets it, so the index settings are not
    // stranded under "Global".
    const bool anyToMove = std::ranges::any_of(
        kOldGlobalIndexNames, [&global](std::string_view name) { return global.Query(name).has_value(); });
    if (!anyToMove) return;
    StoreKey dirAccess = mainKey.CreateSubkey(kStoreDirAccess);
    if (!dirAccess) return;
    for (std::string_view name : kOldGlobalIndexNames) {
        const SettingRow* row = FindRow(kStoreDirAccess, name);
        if (row == nullptr || !global.Query(name)) continue;
        ReadValue(global, name, *row, settings);
        WriteRow(dirAccess, *row, settings);
        global.DeleteValue(name);
    }
}

int LoadSettingsFromRegistry(ServerSettings& settings) {
    UserStore store = UserStore::Open();
    StoreKey main = store.OpenKey(kStoreMainKey);
    if (!main) return -1;
    if (!HasMarker(main)) UpgradeRegistryLayout(main, settings);

    int result = 0;
    for (std::string_view subkey : kSubkeys) {
        const StoreKey key = main.OpenSubkey(subkey);
        if (!key) {
            result = -1;
            continue;
        }
        for (const SettingRow& row : SettingRowsInSubkey(subkey)) ReadRow(key, row, settings);
        if (subkey == kStoreGlobal && settings.RootOption != kRootFile) settings.RootFile.Clear();
    }
    // Keeps what the upgrade converted; nothing is written otherwise.
    store.Commit();
    return result;
}

void SaveSettingsToRegistry(const ServerSettings& settings) {
    UserStore store = UserStore::Open();
    StoreKey main = store.CreateKey(kStoreMainKey);
    if (!main) return;
    main.SetString("", kStoreMarker);
    for (SectionWriter writer :
         {&WriteGlobal, &WriteIpAccess, &WriteIndex, &WriteDirAccess, &WriteLogging, &WriteUpload}) {
        writer(main, settings);
    }
    store.Commit();
}

void SaveGlobalSettings(const ServerSettings& settings) {
    SaveSection(&WriteGlobal, settings);
}
void SaveIpAccessSettings(const ServerSettings& settings) {
    SaveSection(&WriteIpAccess, settings);
}
void SaveIndexSettings(const ServerSettings& settings) {
    SaveSection(&WriteIndex, settings);
}
void SaveDirAccessSettings(const ServerSettings& settings) {
    SaveSection(&WriteDirAccess, settings);
}
void SaveLoggingSettings(const ServerSettings& settings) {
    SaveSection(&WriteLogging, settings);
}
void SaveUploadSettings(const ServerSettings& settings) {
    SaveSection(&WriteUpload, settings);
}

std::vector<std::string> ReadRootFileHistory() {
    std::vector<std::string> history;
    const UserStore store = UserStore::Open();
    const StoreKey global = store.OpenKey(kStoreMainKey).OpenSubkey(kStoreGlobal);
    for (int i = 0; i < kRootHistoryEntries; ++i) {
        const std::optional<StoreValue> entry = global.Query(RootPageName(i));
        if (!entry || entry->type != StoreValueType::String) break;
        history.emplace_back(std::string_view(entry->text).substr(0, kPathCapacity - 1));
    }
    return history;
}
