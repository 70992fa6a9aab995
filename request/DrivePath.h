#pragma once
// Drive-form paths ("c:\docs\a.txt") as the router makes them from URLs, and back.
#include <string>
#include <string_view>

#include "config/ServerSettings.h"

enum class DrivePathResult { Normalized, NotDriveForm, TooLong };

// Resolves "." and ".." components and empty ones lexically, never above the drive
// root: "c:\a\..\..\b" becomes "c:\b" and "c:\" becomes "c:".
DrivePathResult NormalizeDrivePath(std::string_view path, PathText& normalized);
// The same without a bound; never TooLong.
DrivePathResult NormalizeDrivePath(std::string_view path, std::string& normalized);

// A URL's or a typed path's separators as a drive-form path has them: "/docs/a.txt"
// gives "\docs\a.txt".
std::string WithBackslashes(std::string_view text);
// And back: "\docs\a.txt" gives "/docs/a.txt".
std::string WithSlashes(std::string_view text);

// A drive-form path as a URL path: 'C:\docs\' gives '/C/docs/', 'C:' gives '/C'; 0.
// A path without a drive letter and a colon gives an empty `url` and -1.
int PathToUrl(std::string_view path, std::string& url);
