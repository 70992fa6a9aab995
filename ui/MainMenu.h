#pragma once
// The main window's menu bar and its context menu.
#include <span>

#include "platform/Window.h"

std::span<const platform::Menu> MainMenuBar();
std::span<const platform::MenuItem> MainContextMenu();
