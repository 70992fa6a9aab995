// Wires the parts together: the queue, the window, the application and its server.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "config/Startup.h"
#include "core/Application.h"
#include "platform/AllocatorTuning.h"
#include "platform/ChildProcess.h"
#include "platform/Desktop.h"
#include "platform/HostInfo.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/TerminationSignals.h"
#include "platform/Window.h"
#include "ui/MainMenu.h"
#include "ui/MainWindow.h"

namespace {

// Tests shorten the idle limit for silent clients with PELLORA_IDLE_SECONDS.
void ApplyIdleLimit(Server& server) {
    const char* seconds = std::getenv("PELLORA_IDLE_SECONDS");
    if (seconds == nullptr) return;
    const long value = std::strtol(seconds, nullptr, 10);
    if (value > 0 && value <= 3600) server.SetIdleLimit(static_cast<std::uint32_t>(value * 1000));
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer before anything starts: no window, no store, no port.
    if (const CommandLineQuery query = FindCommandLineQuery(argc, argv); query != CommandLineQuery::None) {
        const std::string_view answer = CommandLineAnswer(query);
        std::fwrite(answer.data(), 1, answer.size(), stdout);
        return 0;
    }
    platform::KeepLargeBlocksWarm();
    platform::TerminationSignals signals;
    platform::ChildExitSignals childExits;
    auto queue = platform::MessageQueue::Create();
    if (!queue) return 0;

    const std::optional<std::string> optionsFile = FindOptionsFileArgument(argc, argv);

    // The desktop when there is a display to show it on, else headless.
    std::unique_ptr<platform::Desktop> desktop;
    if (!platform::HeadlessModeRequested()) desktop = platform::Desktop::Open(argc, argv, *queue);
    if (!desktop && !platform::HeadlessModeRequested()) {
        platform::ShowMessageBox("Pellora", "The display could not be opened; running without a window.",
                                 platform::MessageIcon::None);
    }
    platform::HeadlessWindow headless;
    platform::Window& window = desktop ? desktop->MainWindow() : headless;

    Application application(*queue);
    MainWindow mainWindow(application.server, *queue, window, optionsFile, platform::ExecutableDirectory());
    application.SetWindowLogic(&mainWindow);
    // SIGINT and SIGTERM do what the Exit command does.
    if (signals.Descriptor() >= 0) {
        queue->WatchDescriptor(signals.Descriptor(), platform::Message{platform::kCommandMessage, kCommandExit, 0});
    }
    application.WatchChildExits(&childExits);
    ApplyIdleLimit(application.server);
    mainWindow.OnCreate();
    if (!desktop) {
        // Without a window nothing could start a server that failed to listen: the run
        // ends, after the message, so that a service manager or the prompt sees it.
        if (!mainWindow.ServerRunning()) return EXIT_FAILURE;
        return application.Run();
    }
    return desktop->Run([&application](int& exitCode) {
        switch (application.Turn(exitCode)) {
            case Application::TurnResult::Idle:
                return 0;
            case Application::TurnResult::Busy:
                return 1;
            case Application::TurnResult::Quit:
                return -1;
        }
        return -1;
    });
}
