#pragma once
// Facts about this machine and this process.
#include <string>
#include <string_view>

namespace platform {

// The machine's host name (at most 255 characters); "localhost" when it has none.
std::string HostName();
// The full host path of the running executable.
std::string ExecutablePath();
// A host path made absolute against the current directory (unchanged when absolute).
std::string AbsoluteHostPath(std::string_view path);

}  // namespace platform
