#include "ui/ServerControl.h"

#include "ui/MainMenu.h"

void ServerControl::SetRunning(bool running) {
    running_ = running;
    window_.EnableMenuItem(kCommandStopServer, running);
    window_.EnableMenuItem(kCommandStartServer, !running);
}

void ServerControl::Stop() {
    server_.StopListening();
    window_.SetTitle("Pellora - [Off-Line]");
    if (window_.HasStatusBar()) window_.SetStatusText(0, "Server Off-Line");
    SetRunning(false);
}

void ServerControl::Start() {
    server_.StopListening();
    // A failed start has shown its message and the off-line title; the menu stays.
    if (server_.StartListening() == 0) SetRunning(true);
}

void ServerControl::RestartIfRunning() {
    if (!Running()) return;
    server_.StopListening();
    if (server_.StartListening() != 0) SetRunning(false);
}
