#pragma once
// Start-up from the command line: what the one argument asks for, the options file
// it names, and bringing the settings in before the server starts listening.
#include <optional>
#include <string>
#include <string_view>

#include "core/Server.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"

// 0 when the server listens, -1 when it does not (the failure has been reported).
int InitializeServer(Server& server, platform::Window& window, platform::MessageQueue& queue,
                     const std::optional<std::string>& optionsFile);

// The options file named on the command line: the first argument whole, its letter
// case kept; further arguments are ignored.
std::optional<std::string> FindOptionsFileArgument(int argc, const char* const* argv);

// What the command line may ask for instead of a run: a short usage or the version.
enum class CommandLineQuery { None, Help, Version };

// `--help` or `--version` as the first argument, spelled exactly so; any other first
// argument is the options file, as ever.
CommandLineQuery FindCommandLineQuery(int argc, const char* const* argv);

// The text that answers the query on standard output; empty for None.
std::string_view CommandLineAnswer(CommandLineQuery query);
