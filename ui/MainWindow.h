#pragma once
// The main window's own handling: creation, the server commands and exit.
#include <optional>
#include <string>

#include "core/Application.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"

class MainWindow : public WindowLogic {
public:
    MainWindow(Server& server, platform::MessageQueue& queue, platform::Window& window,
               std::optional<std::string> optionsFile);

    // Brings the settings in and starts listening.
    void OnCreate();
    std::int64_t Handle(const platform::Message& message) override;

private:
    void OnCommand(std::uint64_t id);
    void OnDestroy();
    void StopServer();
    void StartServer();

    Server& server_;
    platform::MessageQueue& queue_;
    platform::Window& window_;
    std::optional<std::string> optionsFile_;
};
