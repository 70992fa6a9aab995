#include "config/ServerSettings.h"

ServerSettings& Settings() {
    static ServerSettings settings;
    return settings;
}

void SetDefaultSettings() {
    Settings() = ServerSettings{};
}
