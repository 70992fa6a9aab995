#pragma once
// The environment this process was started with.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Nothing when the variable is not set.
std::optional<std::string> EnvironmentValue(std::string_view name);

}  // namespace platform
