#include "ui/MainMenu.h"

#include <array>

namespace {

constexpr std::array<platform::MenuItem, 9> kFileMenu{{
    {"&Options...", kCommandOptions},
    {"", 0},
    {"&Load Options ...", kCommandLoadOptions},
    {"&Save Options As...", kCommandSaveOptionsAs},
    {"", 0},
    {"S&top Server", kCommandStopServer},
    {"St&art Server", kCommandStartServer},
    {"", 0},
    {"E&xit", kCommandExit},
}};

constexpr std::array<platform::MenuItem, 4> kHelpMenu{{
    {"&Help Topics \tF1", kCommandHelpTopics},
    {"&Read me...", kCommandReadme},
    {"", 0},
    {"&About Pellora...", kCommandAbout},
}};

constexpr std::array<platform::Menu, 2> kMenuBar{{{"&File", kFileMenu}, {"&Help", kHelpMenu}}};

constexpr std::array<platform::MenuItem, 1> kContextMenu{{{"&Options...", kSystemCommandOptions}}};

}  // namespace

std::span<const platform::Menu> MainMenuBar() {
    return kMenuBar;
}

std::span<const platform::MenuItem> MainContextMenu() {
    return kContextMenu;
}
