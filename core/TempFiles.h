#pragma once
// Every temporary file of the server: request bodies, generated pages, CGI output.
#include <cstdint>

#include "platform/FileHandle.h"
#include "platform/OwnedTempFile.h"

inline constexpr std::size_t kTempNameCapacity = 256;

// 0 with an open handle and the owned name of a new file; -1 when none could be
// made, or when its name would not fit the 256-character name fields.
int CreateTempFile(platform::FileHandle& handle, platform::OwnedTempFile& name);

// Whether the temporary directory can take `bytes` more and keep a reserve for the
// pages and outputs of other requests and for the rest of the machine: 5% of its free
// space, at least 64 MiB. True when the file system cannot tell.
bool TempSpaceHolds(std::int64_t bytes);
