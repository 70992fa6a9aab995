#pragma once
// Content type, type description and open command of a file, keyed on its extension:
// the built-in table first, so common web types get the same answer on every machine,
// then the machine's file-type registrations.
#include <array>
#include <cstddef>
#include <string_view>

#include "core/FixedString.h"

struct FileTypeEntry {
    std::string_view Extension;  // lower case, no dot
    std::string_view ContentType;
    std::string_view Description;
};

inline constexpr std::array<FileTypeEntry, 28> FileTypeTable{{
    {"txt", "text/plain", "Text Document"},
    {"text", "text/plain", "Text Document"},
    {"c", "text/plain", "C File"},
    {"cpp", "text/plain", "CPP File"},
    {"h", "text/plain", "H File"},
    {"ini", "text/plain", "Configuration Settings"},
    {"bat", "text/plain", "MS-DOS Batch File"},
    {"htm", "text/html", "Hypertext Document"},
    {"html", "text/html", "Hypertext Document"},
    {"shtm", "text/html", "Hypertext Document"},
    {"shtml", "text/html", "Hypertext Document"},
    {"gif", "image/gif", "GIF Image"},
    {"jpg", "image/jpeg", "JPEG Image"},
    {"jpe", "image/jpeg", "JPEG Image"},
    {"jpeg", "image/jpeg", "JPEG Image"},
    {"tif", "image/tiff", "LView Pro Image File"},
    {"tiff", "image/tiff", "LView Pro Image File"},
    {"qt", "video/quicktime", "Quicktime Video"},
    {"mov", "video/quicktime", "Quicktime Video"},
    {"mpg", "video/mpeg", "MPEG Video"},
    {"mpe", "video/mpeg", "MPEG Video"},
    {"avi", "video/x-msvideo", "Video Clip"},
    {"au", "audio/basic", "AU Format Sound"},
    {"snd", "audio/basic", "AU Format Sound"},
    {"wav", "audio/x-wav", "Wave Sound"},
    {"aif", "audio/x-aiff", "AIFF Format Sound"},
    {"aiff", "audio/x-aiff", "AIFF Format Sound"},
    {"aifc", "audio/x-aiff", "AIFF Format Sound"},
}};

// The directory listing compares a looked-up type against this very text.
inline constexpr std::string_view kDefaultContentType = "application/octet-stream";

// Registered texts longer than 255 characters are cut to fit.
inline constexpr std::size_t kFileTypeTextCapacity = 256;
using FileTypeText = FixedString<kFileTypeTextCapacity>;

// `name` is a path or a bare name; its extension runs from the last '.' in the whole
// text. Always 0, with a non-empty type in `out` (kDefaultContentType at worst).
int LookupContentType(std::string_view name, FileTypeText& out);

// 0 with the type's description in `out`, or -1 when none is known.
int LookupFileTypeDescription(std::string_view name, FileTypeText& out);

// 0 with a command template in `out`, the file's own path written as "\"%1\"",
// or -1 when there is none.
int LookupOpenCommand(std::string_view name, FileTypeText& out);
