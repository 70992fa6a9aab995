#include "platform/ProcessEnvironment.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> EnvironmentValue(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace platform
