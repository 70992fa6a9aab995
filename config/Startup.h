#pragma once
// Brings the settings in when the server starts, then starts listening.
#include <optional>
#include <string>

#include "core/Server.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"

// 0 when the server listens, -1 when it does not (the failure has been reported).
int InitializeServer(Server& server, platform::Window& window, platform::MessageQueue& queue,
                     const std::optional<std::string>& optionsFile);

// The options file named on the command line: the first argument whole, its letter
// case kept; further arguments are ignored.
std::optional<std::string> FindOptionsFileArgument(int argc, const char* const* argv);
