#pragma once
// Local paths as the index pages show and link them.
#include <string>
#include <string_view>

#include "config/ServerSettings.h"

// The URL of the directory part of `path` (up to and including its last '\') with
// every byte that is unsafe in a URL percent-encoded, so that a link built on it
// reaches names with blanks, '#' or non-ASCII bytes: 'C:\my docs\*' gives
// '/C/my%20docs/'. A component kept encoded in the path (a name holding a backslash)
// is already in URL form. Empty when the path has no drive form.
std::string DirectoryUrl(std::string_view path);
