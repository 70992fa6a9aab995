#pragma once
// Message boxes: owned by no window, one OK button. Headless mode prints them on
// standard error as "<caption>: <text>"; the desktop installs its own handler.
#include <string_view>

namespace platform {

enum class MessageIcon { None, Exclamation };

using MessageBoxHandler = void (*)(std::string_view caption, std::string_view text, MessageIcon icon);

void ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon);

// Replaces the handler; returns the one it replaces (tests capture messages with it).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
