#pragma once
#include <string_view>

#include "platform/FileHandle.h"

// Writes a text to an open file: 0 when every byte was written, -1 otherwise.
inline int WriteString(platform::FileHandle& file, std::string_view text) {
    return file.WriteAll(text) ? 0 : -1;
}
