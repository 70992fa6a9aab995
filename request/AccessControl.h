#pragma once
// Who may use the server and which directories it may publish. Both checks read the
// settings record (and the directory check the disk) and keep no state; the callers
// answer a refusal.
#include <string_view>

#include "config/ServerSettings.h"

// `clientIp` is the client's dotted-decimal address. Returns 0 allowed, -1 refused.
int CheckClientAddress(const ServerSettings& settings, std::string_view clientIp);

// `path` is a local path in drive form with backslashes (c:\docs\a.htm). A listed
// directory covers a path when the place the path reaches on disk is that directory or
// lies below it, however either is spelt: on a drive that tells letter case apart
// PUBLIC is not public, and a link into a listed directory reaches it.
// Returns 0 allowed, -1 refused.
int CheckDirectoryAccess(const ServerSettings& settings, std::string_view path);

// Whether `path` reaches `directory` or a place below it on disk, by the same rule.
bool DirectoryHolds(std::string_view directory, std::string_view path);
