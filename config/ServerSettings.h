#pragma once
// The one configuration record of the server. Every part reads it in place, so a
// change governs the next request without a restart (only Port restarts the listener).
#include <array>
#include <cstdint>

#include "core/FixedString.h"

inline constexpr int kListEntries = 8;
inline constexpr std::size_t kPathCapacity = 256;    // 255 characters and the NUL
inline constexpr std::size_t kIpEntryCapacity = 20;  // 19 characters and the NUL

using PathText = FixedString<kPathCapacity>;
using IpEntryText = FixedString<kIpEntryCapacity>;

enum RootOptionValue : int32_t { kRootDriveIndex = 0, kRootFile = 1, kRootError = 2 };
enum DirOptionValue : int32_t {
    kDirListing = 0,
    kDirIndexElseListing = 1,
    kDirIndexElseError = 2,
    kDirError = 3,
};
enum AccessOptionValue : int32_t { kAccessAll = 0, kAccessSelective = 1, kAccessRestrictive = 2 };

struct ServerSettings {
    int32_t Port = 80;
    int32_t RootOption = kRootDriveIndex;
    PathText RootFile;
    PathText RootDir;
    PathText CgiDir{"cgi-bin"};
    int32_t IpOption = kAccessAll;
    std::array<IpEntryText, kListEntries> IpList{};
    int32_t DirOption = kDirListing;
    PathText DirFile;
    int32_t DirAccessOption = kAccessAll;
    std::array<PathText, kListEntries> DirList{};
    int32_t LogOption = 0;
    PathText LogFile;
    int32_t UseTable = 0;
    int32_t UploadOn = 0;
    int32_t UploadAccessType = 1;
    PathText UploadDir;
    int32_t IncludeUploadLink = 1;
};

// The process-wide record.
ServerSettings& Settings();

// Puts the defaults into every field of the process-wide record, lists included.
void SetDefaultSettings();
