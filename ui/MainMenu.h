#pragma once
// The main window's menu bar and its context menu, and the ids of their commands.
#include <cstdint>
#include <span>

#include "platform/Window.h"

std::span<const platform::Menu> MainMenuBar();
std::span<const platform::MenuItem> MainContextMenu();

// Command ids of the main window's menu.
inline constexpr std::uint64_t kCommandExit = 40001;
inline constexpr std::uint64_t kCommandAbout = 40002;
inline constexpr std::uint64_t kCommandOptions = 40007;
inline constexpr std::uint64_t kCommandReadme = 40008;
inline constexpr std::uint64_t kCommandSaveOptionsAs = 40009;
inline constexpr std::uint64_t kCommandLoadOptions = 40010;
inline constexpr std::uint64_t kCommandHelpTopics = 40013;
inline constexpr std::uint64_t kCommandStopServer = 40014;
inline constexpr std::uint64_t kCommandStartServer = 40015;

// The window's context menu stands where the system menu's "Options" item stood.
inline constexpr std::uint64_t kSystemCommandOptions = 10102;
