#pragma once
// Where a path the logic names lies on the host. Drive-form paths go through the drive
// table; a component that does not exist as written but whose percent-decoded form
// does (a short name, see ShortNames.h) is taken in that form, so a literal name still
// wins over a decoded one. Host-absolute paths pass unchanged.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Nothing when the path names no place: unknown drive, a ".." component, a relative
// path, or a NUL byte that the kernel would silently cut the name at.
std::optional<std::string> ResolveHostPath(std::string_view path);

// The drive-form path with its short-name components written as the names they stand
// for: "c:\my%20docs\a.txt" becomes "c:\my docs\a.txt" when only "my docs" exists.
// Resolution stops at the first component that holds '*' or '?' or does not exist.
// A path that names no place comes back unchanged.
std::string ResolveShortNames(std::string_view drivePath);

}  // namespace platform
