#include "config/Startup.h"

#include "config/OptionsFile.h"
#include "config/ServerSettings.h"
#include "ui/AccessStatusText.h"

int InitializeServer(Server& server, platform::Window& window, platform::MessageQueue& queue,
                     const std::optional<std::string>& optionsFile) {
    server.Attach(&window, &queue);
    SetDefaultSettings();
    // Without a readable options file the server runs on the defaults.
    if (optionsFile) ReadOptionsFile(*optionsFile);
    UpdateAccessStatusText(window);
    return server.StartListening();
}

std::optional<std::string> FindOptionsFileArgument(int argc, const char* const* argv) {
    if (argc < 2 || argv[1] == nullptr || argv[1][0] == '\0') return std::nullopt;
    return std::string(argv[1]);
}
