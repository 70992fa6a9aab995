#include "ui/MainWindow.h"

#include <utility>

#include "config/Startup.h"
#include "ui/MenuCommands.h"

MainWindow::MainWindow(Server& server, platform::MessageQueue& queue, platform::Window& window,
                       std::optional<std::string> optionsFile)
    : server_(server), queue_(queue), window_(window), optionsFile_(std::move(optionsFile)) {}

void MainWindow::OnCreate() {
    server_.running = InitializeServer(server_, window_, queue_, optionsFile_) == 0 ? 1 : 0;
}

std::int64_t MainWindow::Handle(const platform::Message& message) {
    switch (message.id) {
        case platform::kCommandMessage:
            OnCommand(message.first);
            return 0;
        case platform::kDestroyMessage:
            OnDestroy();
            return 0;
        default:
            return 0;
    }
}

void MainWindow::OnCommand(std::uint64_t id) {
    switch (id) {
        case kCommandExit:
            OnDestroy();  // the window goes away, and with it the server
            break;
        case kCommandStopServer:
            StopServer();
            break;
        case kCommandStartServer:
            StartServer();
            break;
        default:
            break;
    }
}

void MainWindow::OnDestroy() {
    server_.StopListening();
    queue_.PostQuit(0);
}

void MainWindow::StopServer() {
    server_.StopListening();
    window_.SetTitle("Pellora - [Off-Line]");
    if (window_.HasStatusBar()) window_.SetStatusText(0, "Server Off-Line");
    server_.running = 0;
}

void MainWindow::StartServer() {
    server_.StopListening();
    if (server_.StartListening() == 0) server_.running = 1;
}
