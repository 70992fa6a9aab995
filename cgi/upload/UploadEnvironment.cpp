#include "cgi/upload/UploadEnvironment.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "config/SettingsTable.h"
#include "core/TextHelpers.h"
#include "platform/HostInfo.h"

namespace {

constexpr std::array<std::string_view, 12> kUploadSettingKeys = {
    "DirAccessOption",  "Dir0",     "Dir1", "Dir2", "Dir3", "Dir4", "Dir5", "Dir6", "Dir7", "UploadOn",
    "UploadAccessType", "UploadDir"};

bool IsUploadSetting(const SettingRow& row) {
    return std::find(kUploadSettingKeys.begin(), kUploadSettingKeys.end(), row.fileKey) != kUploadSettingKeys.end();
}

std::string VariableName(const SettingRow& row) {
    return std::string(kSettingVariablePrefix) + std::string(row.fileKey);
}

void AddEntry(std::string& entries, std::string_view name, std::string_view value) {
    entries += name;
    entries += '=';
    entries += value;
    entries += '\0';
}

}  // namespace

std::string UploadProgramEnvironment(const ServerSettings& settings) {
    std::string entries;
    for (const std::string_view name : {"PELLORA_DRIVES", "XDG_CONFIG_HOME", "HOME", "TMPDIR"}) {
        if (const std::optional<std::string> value = platform::EnvironmentValue(name)) AddEntry(entries, name, *value);
    }
    for (const SettingRow& row : SettingRows()) {
        if (!IsUploadSetting(row)) continue;
        const FieldValue value = ReadField(row, settings);
        AddEntry(entries, VariableName(row),
                 row.type == SettingType::Integer ? std::to_string(value.number) : std::string(value.text));
    }
    return entries;
}

bool TakeServerUploadSettings(ServerSettings& settings) {
    ServerSettings taken = settings;
    for (const SettingRow& row : SettingRows()) {
        if (!IsUploadSetting(row)) continue;
        const std::optional<std::string> value = platform::EnvironmentValue(VariableName(row));
        if (!value) return false;
        const FieldRef field = row.reach(taken);
        if (row.type == SettingType::Integer) {
            *field.number = ParseDecimal(*value);
        } else {
            field.AssignText(*value);
        }
    }
    settings = taken;
    return true;
}
