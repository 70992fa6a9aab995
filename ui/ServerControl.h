#pragma once
// The server's running flag and the two menu items that follow it: exactly one of
// Stop Server and Start Server is enabled at any time.
#include "core/Server.h"
#include "platform/Window.h"

class ServerControl {
public:
    ServerControl(Server& server, platform::Window& window) : server_(server), window_(window) {}

    [[nodiscard]] bool Running() const { return running_; }
    void SetRunning(bool running);
    void Stop();
    void Start();
    // After a new port or a loaded options file: only a running server is restarted.
    // A restart that fails leaves the server stopped, and the menu says so, so that
    // Start Server is there to try again.
    void RestartIfRunning();

private:
    Server& server_;
    platform::Window& window_;
    bool running_ = false;  // the server is meant to be listening
};
