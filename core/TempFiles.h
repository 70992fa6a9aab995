#pragma once
// Every temporary file of the server: request bodies, generated pages, CGI output.
#include "platform/FileHandle.h"
#include "platform/OwnedTempFile.h"

inline constexpr std::size_t kTempNameCapacity = 256;

// 0 with an open handle and the owned name of a new file; -1 when none could be
// made, or when its name would not fit the 256-character name fields.
int CreateTempFile(platform::FileHandle& handle, platform::OwnedTempFile& name);
