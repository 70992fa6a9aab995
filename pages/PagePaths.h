#pragma once
// Local paths as the index pages show and link them.
#include <string>
#include <string_view>

#include "config/ServerSettings.h"

// 'C:\docs\' gives '/C/docs/', 'C:' gives '/C'; 0. A path that does not begin with a
// drive letter and a colon gives an empty result and -1.
int PathToUrl(std::string_view path, std::string& out);

// The URL of the directory part of `path` (up to and including its last '\') with
// every byte that is unsafe in a URL percent-encoded, so that a link built on it
// reaches names with blanks, '#' or non-ASCII bytes: 'C:\my docs\*' gives
// '/C/my%20docs/'. Empty when the path has no drive form.
std::string DirectoryUrl(std::string_view path);

// Rewrites short-name components ('~' names of older file systems, percent-encoded
// names of this one) as the names the file system reports: 'C:\my%20docs\a' becomes
// 'C:\my docs\a'. Components holding '*' or '?' are patterns and stay as they are; a
// result that would not fit leaves the path unchanged.
void ExpandShortNames(PathText& path);
