#pragma once
// Desktop mode: the real window, message boxes, file dialogs and the Options sheet on
// the desktop's toolkit, and the desktop's event loop joined with the message queue.
#include <functional>
#include <memory>
#include <string_view>

#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace platform {

// The module beside the program that holds the desktop (see Desktop::Open).
inline constexpr std::string_view kDesktopModuleName = "pellora-desktop.so";

class Desktop {
public:
    // One turn of the program's own loop: 0 when it waits for the queue, 1 when it
    // wants another turn soon, -1 to quit with `exitCode`.
    using Turn = std::function<int(int& exitCode)>;

    // Nothing when no display can be opened (the program then runs headless). The
    // queue receives the window's commands.
    static std::unique_ptr<Desktop> Open(int& argc, char** argv, MessageQueue& queue);
    virtual ~Desktop() = default;

    virtual Window& MainWindow() = 0;
    // Shows the window minimized and runs until a turn says quit; its exit code.
    virtual int Run(const Turn& turn) = 0;
};

}  // namespace platform
