#include "config/SettingsTable.h"

#include <array>

std::string_view FieldRef::Text() const {
    if (path != nullptr) return path->View();
    if (ipEntry != nullptr) return ipEntry->View();
    return {};
}

bool FieldRef::AssignText(std::string_view text) const {
    if (path != nullptr) return path->Assign(text);
    if (ipEntry != nullptr) return ipEntry->Assign(text);
    return false;
}

std::size_t FieldRef::TextMaxLength() const {
    if (path != nullptr) return PathText::kMaxLength;
    if (ipEntry != nullptr) return IpEntryText::kMaxLength;
    return 0;
}

namespace {

FieldRef Number(int32_t& field) {
    return FieldRef{.number = &field};
}
FieldRef Path(PathText& field) {
    return FieldRef{.path = &field};
}

FieldRef Port(ServerSettings& s) {
    return Number(s.Port);
}
FieldRef RootOption(ServerSettings& s) {
    return Number(s.RootOption);
}
FieldRef RootFile(ServerSettings& s) {
    return Path(s.RootFile);
}
FieldRef RootDir(ServerSettings& s) {
    return Path(s.RootDir);
}
FieldRef CgiDir(ServerSettings& s) {
    return Path(s.CgiDir);
}
FieldRef IpOption(ServerSettings& s) {
    return Number(s.IpOption);
}
template <std::size_t Index>
FieldRef IpEntry(ServerSettings& s) {
    return FieldRef{.ipEntry = &s.IpList[Index]};
}
FieldRef DirOption(ServerSettings& s) {
    return Number(s.DirOption);
}
FieldRef DirFile(ServerSettings& s) {
    return Path(s.DirFile);
}
FieldRef DirAccessOption(ServerSettings& s) {
    return Number(s.DirAccessOption);
}
template <std::size_t Index>
FieldRef DirEntry(ServerSettings& s) {
    return Path(s.DirList[Index]);
}
FieldRef LogOption(ServerSettings& s) {
    return Number(s.LogOption);
}
FieldRef LogFile(ServerSettings& s) {
    return Path(s.LogFile);
}
FieldRef UseTable(ServerSettings& s) {
    return Number(s.UseTable);
}
FieldRef UploadOn(ServerSettings& s) {
    return Number(s.UploadOn);
}
FieldRef UploadAccessType(ServerSettings& s) {
    return Number(s.UploadAccessType);
}
FieldRef UploadDir(ServerSettings& s) {
    return Path(s.UploadDir);
}
FieldRef IncludeUploadLink(ServerSettings& s) {
    return Number(s.IncludeUploadLink);
}

constexpr SettingType kInt = SettingType::Integer;
constexpr SettingType kText = SettingType::Text;
constexpr std::size_t kNum = kStoreNumberCapacity;
constexpr std::size_t kIp = kStoreIpEntryCapacity;
constexpr std::size_t kStr = kStoreTextCapacity;

// The store writes the directory list as "DIR%d"; value names compare without case,
// so its readers find them as "Dir%d" too. "RootPage0" heads the root-file history.
constexpr std::array<SettingRow, 32> kRows{{
    {"Port", kInt, &Port, kStoreGlobal, "Port", kNum},
    {"RootOption", kInt, &RootOption, kStoreGlobal, "RootType", kNum},
    {"RootFile", kText, &RootFile, kStoreGlobal, "RootPage0", kStr},
    {"RootDir", kText, &RootDir, kStoreGlobal, "RootPath", kStr},
    {"CgiDir", kText, &CgiDir, kStoreGlobal, "CgiDir", kStr},
    {"IpOption", kInt, &IpOption, kStoreIpAccess, "IpAccessType", kNum},
    {"Ip0", kText, &IpEntry<0>, kStoreIpAccess, "IP0", kIp},
    {"Ip1", kText, &IpEntry<1>, kStoreIpAccess, "IP1", kIp},
    {"Ip2", kText, &IpEntry<2>, kStoreIpAccess, "IP2", kIp},
    {"Ip3", kText, &IpEntry<3>, kStoreIpAccess, "IP3", kIp},
    {"Ip4", kText, &IpEntry<4>, kStoreIpAccess, "IP4", kIp},
    {"Ip5", kText, &IpEntry<5>, kStoreIpAccess, "IP5", kIp},
    {"Ip6", kText, &IpEntry<6>, kStoreIpAccess, "IP6", kIp},
    {"Ip7", kText, &IpEntry<7>, kStoreIpAccess, "IP7", kIp},
    {"DirOption", kInt, &DirOption, kStoreDirAccess, "DirIndexType", kNum},
    {"DirFile", kText, &DirFile, kStoreDirAccess, "DirIndexName", kStr},
    {"DirAccessOption", kInt, &DirAccessOption, kStoreDirAccess, "DirAccessType", kNum},
    {"Dir0", kText, &DirEntry<0>, kStoreDirAccess, "DIR0", kStr},
    {"Dir1", kText, &DirEntry<1>, kStoreDirAccess, "DIR1", kStr},
    {"Dir2", kText, &DirEntry<2>, kStoreDirAccess, "DIR2", kStr},
    {"Dir3", kText, &DirEntry<3>, kStoreDirAccess, "DIR3", kStr},
    {"Dir4", kText, &DirEntry<4>, kStoreDirAccess, "DIR4", kStr},
    {"Dir5", kText, &DirEntry<5>, kStoreDirAccess, "DIR5", kStr},
    {"Dir6", kText, &DirEntry<6>, kStoreDirAccess, "DIR6", kStr},
    {"Dir7", kText, &DirEntry<7>, kStoreDirAccess, "DIR7", kStr},
    {"LogOption", kInt, &LogOption, kStoreLogging, "IsLogOn", kNum},
    {"LogFile", kText, &LogFile, kStoreLogging, "LogFile", kStr},
    {"UseTable", kInt, &UseTable, kStoreDirAccess, "UseTableStyle", kNum},
    {"UploadOn", kInt, &UploadOn, kStoreUpload, "UploadOn", kNum},
    {"UploadAccessType", kInt, &UploadAccessType, kStoreUpload, "UploadType", kNum},
    {"UploadDir", kText, &UploadDir, kStoreUpload, "UploadDir", kStr},
    {"IncludeUploadLink", kInt, &IncludeUploadLink, kStoreUpload, "IncludeUpload", kNum},
}};

// A row left out would silently leave a value-initialized row at the end.
static_assert(kRows.back().fileKey == "IncludeUploadLink");
static_assert(kRows[kPreRelease2RowCount - 1].fileKey == "LogFile");

}  // namespace

std::span<const SettingRow> SettingRows() {
    return kRows;
}

std::span<const SettingRow> PreRelease2Rows() {
    return SettingRows().first(kPreRelease2RowCount);
}

FieldValue ReadField(const SettingRow& row, const ServerSettings& settings) {
    // reach only takes the field's address; nothing is written through it here.
    const FieldRef field = row.reach(const_cast<ServerSettings&>(settings));
    if (field.number != nullptr) return FieldValue{.number = *field.number, .text = {}};
    return FieldValue{.number = 0, .text = field.Text()};
}

std::vector<std::reference_wrapper<const SettingRow>> SettingRowsInSubkey(std::string_view subkey) {
    std::vector<std::reference_wrapper<const SettingRow>> rows;
    for (const SettingRow& row : SettingRows()) {
        if (row.storeSubkey == subkey) rows.emplace_back(row);
    }
    return rows;
}
