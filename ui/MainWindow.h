#pragma once
// The main window's own handling: its contents, the menu's commands, help and exit.
#include <optional>
#include <string>

#include "core/Application.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "ui/OptionsSheet.h"
#include "ui/ServerControl.h"

class MainWindow : public WindowLogic {
public:
    // `programDirectory` holds images/, help/ and readme.txt.
    MainWindow(Server& server, platform::MessageQueue& queue, platform::Window& window,
               std::optional<std::string> optionsFile, std::string programDirectory);

    // Builds the window's contents, brings the settings in and starts listening.
    void OnCreate();
    std::int64_t Handle(const platform::Message& message) override;
    // Whether the server listens (false after a failed start or a Stop).
    [[nodiscard]] bool ServerRunning() const { return control_.Running(); }

    [[nodiscard]] OptionsSheet& Options() { return options_; }

private:
    void OnCommand(std::uint64_t id);
    void OnDestroy();
    void CreateWindowContents();
    void SaveOptionsAs();
    void LoadOptions();

    Server& server_;
    platform::MessageQueue& queue_;
    platform::Window& window_;
    std::optional<std::string> optionsFile_;
    std::string programDirectory_;
    ServerControl control_;
    OptionsSheet options_;
};
