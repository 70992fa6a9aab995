#pragma once
// Drive-form paths ("c:\docs\a.txt") as the router makes them from URLs.
#include <string>
#include <string_view>

#include "config/ServerSettings.h"

enum class DrivePathResult { Normalized, NotDriveForm, TooLong };

// Resolves "." and ".." components and empty ones lexically, never above the drive
// root: "c:\a\..\..\b" becomes "c:\b" and "c:\" becomes "c:".
DrivePathResult NormalizeDrivePath(std::string_view path, PathText& normalized);
// The same without a bound; never TooLong.
DrivePathResult NormalizeDrivePath(std::string_view path, std::string& normalized);

// "c:\web\index.htm" becomes "/c/web/index.htm".
std::string DrivePathToUrlPath(std::string_view path);
