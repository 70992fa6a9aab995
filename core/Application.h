#pragma once
// The process frame: the message loop with its idle pump on the one thread.
#include <cstdint>

#include "core/Server.h"
#include "platform/ChildProcess.h"
#include "platform/Message.h"
#include "platform/MessageQueue.h"

// The rest of the main window's message handling (menu commands, destruction).
class WindowLogic {
public:
    virtual ~WindowLogic() = default;
    virtual std::int64_t Handle(const platform::Message& message) = 0;
};

class Application {
public:
    explicit Application(platform::MessageQueue& queue) : queue_(queue) {}
    void SetWindowLogic(WindowLogic* logic) { windowLogic_ = logic; }
    // A child's end is a message on the queue, so a finished CGI program is noticed at once.
    void WatchChildExits(platform::ChildExitSignals* signals);

    // The message loop: returns the exit code carried by the quit message.
    int Run();
    // One turn for a loop that is not ours (the desktop's): every waiting message is
    // handled, then the pump runs for a few milliseconds at most so the desktop stays
    // responsive. `Busy` asks for another turn soon; `Idle` means wait for the queue's
    // descriptor; `Quit` carries the exit code in `exitCode`.
    enum class TurnResult { Idle, Busy, Quit };
    TurnResult Turn(int& exitCode);
    void OnIdle();
    // Every message the loop takes goes here, as a window's messages go to its window
    // procedure: socket events, the timer and a child's end to the server, the rest
    // to the window's logic.
    std::int64_t WindowProcedure(const platform::Message& message);

    Server server;

private:
    void OnSocketEvent(const platform::Message& message);

    platform::MessageQueue& queue_;
    WindowLogic* windowLogic_ = nullptr;
    platform::ChildExitSignals* childExits_ = nullptr;
};
