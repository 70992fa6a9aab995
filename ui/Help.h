#pragma once
// The help pages and the read-me, opened by the desktop: help/ and readme.txt lie in
// the program's directory.
#include <string>
#include <string_view>

inline constexpr int kMainWindowHelpId = 100;

// The help page of a context id (the window, an Options page); the contents page for
// an id without a page of its own.
std::string HelpPagePath(std::string_view programDirectory, int contextId);
std::string HelpContentsPath(std::string_view programDirectory);

// Both report a missing page in a message box; the desktop reports what else fails.
void OpenHelpPage(std::string_view programDirectory, int contextId);
void OpenHelpContents(std::string_view programDirectory);
void ShowReadme(std::string_view programDirectory);
