#pragma once
// The machine's file-type registrations, read-only and loaded once:
// content types from /etc/mime.types, descriptions from shared-mime-info.
// PELLORA_MIME_TYPES (a mime.types file) and PELLORA_MIME_DIRS (colon-separated data
// directories, in place of $XDG_DATA_DIRS) point it elsewhere; both are read at first use.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// `extension` is lower case with its dot (".pdf").
std::optional<std::string> RegisteredContentType(std::string_view extension);
std::optional<std::string> RegisteredTypeDescription(std::string_view extension);

// Drops everything loaded or cached, so the next lookup reads the environment and the
// files again.
void ResetFileTypeRegistryForTests();

}  // namespace platform
