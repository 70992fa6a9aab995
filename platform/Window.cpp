#include "platform/Window.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

void PrintLine(std::string_view text) {
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

void HeadlessWindow::SetTitle(std::string_view title) {
    PrintLine(title);
}

void HeadlessWindow::SetStatusText(int, std::string_view text) {
    PrintLine(text);
}

bool HeadlessWindow::MenuItemEnabled(std::uint64_t id) const {
    const auto found = menuEnabled_.find(id);
    return found == menuEnabled_.end() || found->second;
}

bool HeadlessModeRequested() {
    const char* forced = std::getenv("PELLORA_HEADLESS");
    if (forced != nullptr && std::string_view(forced) == "1") return true;
    return !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
}

}  // namespace platform
