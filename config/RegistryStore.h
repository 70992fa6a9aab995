#pragma once
// The settings record in the per-user store, under "Software\Tamsel\Pellora": the
// marker "PR2" as the key's default value and five subkeys, plus the history of root
// files that exists nowhere else. Read once at start-up, written section by section as
// the Options pages are applied, and whole when the load failed or an options file
// was loaded. Nothing here reports to the user: a failed write leaves the record as
// it is.
#include <string>
#include <string_view>
#include <vector>

#include "config/ServerSettings.h"
#include "platform/UserStore.h"

inline constexpr std::string_view kStoreMainKey = "Software\\Tamsel\\Pellora";
inline constexpr std::string_view kStoreMarker = "PR2";
inline constexpr std::size_t kStoreMarkerReadCapacity = 30;
inline constexpr int kRootHistoryEntries = 8;

// 0 when the main key and all five subkeys could be opened, -1 otherwise. Every value
// found goes into its field; a missing value leaves its field as it is. A store of the
// older layout is converted first.
int LoadSettingsFromRegistry(ServerSettings& settings = Settings());

// The marker, then the six sections, as one change of the store.
void SaveSettingsToRegistry(const ServerSettings& settings = Settings());

// One section each, for the Options page that owns it.
void SaveGlobalSettings(const ServerSettings& settings = Settings());     // General
void SaveIpAccessSettings(const ServerSettings& settings = Settings());   // Network
void SaveIndexSettings(const ServerSettings& settings = Settings());      // Directories
void SaveDirAccessSettings(const ServerSettings& settings = Settings());  // Sharing
void SaveLoggingSettings(const ServerSettings& settings = Settings());    // Logging
void SaveUploadSettings(const ServerSettings& settings = Settings());     // Upload

// The recently used root files, most recent first, at most eight.
std::vector<std::string> ReadRootFileHistory();

// Converts a store of the older layout, found open at `mainKey`: the marker first,
// then the root file from "RootPage" to the history's head, "RootPath" derived from
// it, and the index settings from "Global" to "DirAccess". Values that are not there
// to move leave what stands in their place.
void UpgradeRegistryLayout(platform::StoreKey& mainKey, ServerSettings& settings);

// The directory part of a root file: everything before its last backslash ("c:\web"
// for "c:\web\index.htm", "c:" for "c:\index.htm"); empty without a backslash.
std::string_view RootDirectoryOf(std::string_view rootFile);
