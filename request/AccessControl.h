#pragma once
// Who may use the server and which directories it may publish. Both checks read
// only the settings record and keep no state; the callers answer a refusal.
#include <string_view>

#include "config/ServerSettings.h"

// `clientIp` is the client's dotted-decimal address. Returns 0 allowed, -1 refused.
int CheckClientAddress(const ServerSettings& settings, std::string_view clientIp);

// `path` is a local path in drive form with backslashes (c:\docs\a.htm).
// Returns 0 allowed, -1 refused.
int CheckDirectoryAccess(const ServerSettings& settings, std::string_view path);
