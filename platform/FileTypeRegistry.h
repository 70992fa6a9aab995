#pragma once
// The machine's file-type registrations, read-only and loaded once:
// content types from /etc/mime.types, descriptions from shared-mime-info.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// `extension` is lower case with its dot (".pdf").
std::optional<std::string> RegisteredContentType(std::string_view extension);
std::optional<std::string> RegisteredTypeDescription(std::string_view extension);

}  // namespace platform
