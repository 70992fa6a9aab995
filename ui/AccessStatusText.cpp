#include "ui/AccessStatusText.h"

#include "config/ServerSettings.h"

void UpdateAccessStatusText(platform::Window& window) {
    if (!window.HasStatusBar()) return;
    window.SetStatusText(1, Settings().IpOption != 0 ? "Users restricted" : "All users allowed");
}
