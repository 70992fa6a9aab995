#pragma once
// Open commands of script types, from the registration file beside the executable
// (open-commands.conf), read once.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// `extension` is lower case with its dot (".pl"): its command template, in which
// "\"%1\"" stands for the script's path.
std::optional<std::string> RegisteredOpenCommand(std::string_view extension);

}  // namespace platform
