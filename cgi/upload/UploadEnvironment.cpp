#include "cgi/upload/UploadEnvironment.h"

#include <optional>
#include <string_view>

#include "platform/ProcessEnvironment.h"

std::string UploadProgramEnvironment() {
    std::string entries;
    for (const std::string_view name : {"PELLORA_DRIVES", "XDG_CONFIG_HOME", "HOME", "TMPDIR"}) {
        const std::optional<std::string> value = platform::EnvironmentValue(name);
        if (!value) continue;
        entries += name;
        entries += '=';
        entries += *value;
        entries += '\0';
    }
    return entries;
}
