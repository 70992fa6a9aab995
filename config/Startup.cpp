#include "config/Startup.h"

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "config/ServerSettings.h"
#include "ui/AccessStatusText.h"

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
