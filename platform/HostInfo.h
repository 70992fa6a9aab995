#pragma once
// Facts about this machine and this process.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The machine's host name (at most 255 characters); "localhost" when it has none.
std::string HostName();
// The full host path of the running executable.
std::string ExecutablePath();
// The directory of the running executable, without a trailing slash.
std::string ExecutableDirectory();
// The first IPv4 address of a host name in dotted form; nothing when the name does not
// resolve. Blocks while the resolver works.
std::optional<std::string> LookUpHostAddress(std::string_view name);
// A path as a person typed it on the command line, made absolute: a relative host
// path is taken from the current directory; drive-form and absolute paths stay.
std::string PathFromWorkingDirectory(std::string_view path);
// A variable of the environment this process was started with; nothing when not set.
std::optional<std::string> EnvironmentValue(std::string_view name);

}  // namespace platform
