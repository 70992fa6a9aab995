#include "config/Startup.h"

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "config/ServerSettings.h"
#include "ui/AccessStatusText.h"

// The build names the version (the project's version in CMakeLists.txt).
#ifndef PELLORA_VERSION
#define PELLORA_VERSION "unknown"
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: pellora [OPTIONS-FILE]\n"
    "       pellora --help | --version\n"
    "\n"
    "A personal web server: reach your own files from any browser.\n"
    "\n"
    "  OPTIONS-FILE  settings saved with File > Save Options As (a .opt file);\n"
    "                without one, this user's saved settings (port 80 at first)\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n"
    "\n"
    "With a display Pellora shows its window; PELLORA_HEADLESS=1 runs it without one.\n"
    "PELLORA_DRIVES=C=/srv/share;D=/media/usb sets the drives it serves.\n"
    "Ports below 1024 need privileges on Linux: pick another port, such as 8080,\n"
    "in the Options sheet or with a line Port:8080 in an options file.\n"
    "\n"
    "See pellora(1).\n";

constexpr std::string_view kVersion = "pellora " PELLORA_VERSION "\n";

}  // namespace

int InitializeServer(Server& server, platform::Window& window, platform::MessageQueue& queue,
                     const std::optional<std::string>& optionsFile) {
    server.Attach(&window, &queue);
    SetDefaultSettings();
    // An options file that cannot be read has said so; the store stands in for it.
    const bool fromOptionsFile = optionsFile && ReadOptionsFile(*optionsFile) == 0;
    // A store that is missing or incomplete is written afresh from the record, so
    // every key exists from now on.
    if (!fromOptionsFile && LoadSettingsFromRegistry() != 0) SaveSettingsToRegistry();
    UpdateAccessStatusText(window);
    return server.StartListening();
}

std::optional<std::string> FindOptionsFileArgument(int argc, const char* const* argv) {
    if (argc < 2 || argv[1] == nullptr || argv[1][0] == '\0') return std::nullopt;
    return std::string(argv[1]);
}

CommandLineQuery FindCommandLineQuery(int argc, const char* const* argv) {
    if (argc < 2 || argv[1] == nullptr) return CommandLineQuery::None;
    const std::string_view argument = argv[1];
    if (argument == "--help") return CommandLineQuery::Help;
    if (argument == "--version") return CommandLineQuery::Version;
    return CommandLineQuery::None;
}

std::string_view CommandLineAnswer(CommandLineQuery query) {
    switch (query) {
        case CommandLineQuery::Help:
            return kUsage;
        case CommandLineQuery::Version:
            return kVersion;
        case CommandLineQuery::None:
            return {};
    }
    return {};
}
