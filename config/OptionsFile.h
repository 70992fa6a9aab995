#pragma once
// Options files: a whole ServerSettings as text, one "key:value" line per field in
// the settings table's order, every line ending in CR LF.
#include <cstddef>
#include <string>
#include <string_view>

#include "config/ServerSettings.h"

inline constexpr std::string_view kOptionsHeaderKey = "Pellora Configuration File";
inline constexpr std::string_view kOptionsRelease1 = "Release 1";
inline constexpr std::string_view kOptionsPreRelease2 = "Pre-Release 2";
// A read of this many bytes means the file is too large to be an options file.
inline constexpr std::size_t kOptionsFileReadLimit = 4096;

// The current ("Release 1") format of the record.
std::string FormatOptionsFile(const ServerSettings& settings);

enum class OptionsParseResult {
    Complete,       // every line of the file's version was read
    UnknownHeader,  // no header line, or a version this reader doesn't know
    LineMissing,    // a line of the version could not be taken
};

// Stores each value into `settings` the moment it is read, so a failure half way
// leaves the fields before it changed and the rest as they were.
OptionsParseResult ParseOptionsText(std::string_view text, ServerSettings& settings);

// On the process-wide record; 0 on success, -1 after a message box.
int WriteOptionsFile(std::string_view path);
int ReadOptionsFile(std::string_view path);
