#pragma once
// What the command line may ask for instead of a run: a short usage or the version.
#include <string_view>

enum class CommandLineQuery { None, Help, Version };

// `--help` or `--version` as the first argument, spelled exactly so; any other first
// argument is the options file, as ever.
CommandLineQuery FindCommandLineQuery(int argc, const char* const* argv);

// The text that answers the query on standard output; empty for None.
std::string_view CommandLineAnswer(CommandLineQuery query);
