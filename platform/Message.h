#pragma once
// Messages of the one queue: window messages, posted socket events and timers. The
// numbers are those of the Windows messages the design was made with, so that the
// window procedure reads as its description does; on Linux they are only names.
#include <cstdint>

namespace platform {

struct Message {
    std::uint32_t id = 0;
    std::uint64_t first = 0;  // socket, timer id, command id or exit code
    std::int64_t second = 0;  // socket event
};

inline constexpr std::uint32_t kDestroyMessage = 2;          // WM_DESTROY: the window goes
inline constexpr std::uint32_t kQuitMessage = 18;            // WM_QUIT: the loop ends with `first`
inline constexpr std::uint32_t kHelpMessage = 83;            // WM_HELP: F1 on the main window
inline constexpr std::uint32_t kCommandMessage = 273;        // WM_COMMAND: a menu command in `first`
inline constexpr std::uint32_t kSystemCommandMessage = 274;  // WM_SYSCOMMAND: the window menu
inline constexpr std::uint32_t kTimerMessage = 275;          // WM_TIMER: timer `first` is due
// The design's own: a socket event as WSAAsyncSelect posted it, the socket in `first`.
inline constexpr std::uint32_t kSocketEventMessage = 2025;
// A CGI child has ended: wakes the loop at once instead of waiting for the timer.
inline constexpr std::uint32_t kChildExitedMessage = 2026;

// Socket events, in the low word of `second` of a socket event message.
inline constexpr std::int64_t kSocketRead = 1;
inline constexpr std::int64_t kSocketWrite = 2;
inline constexpr std::int64_t kSocketAccept = 8;
inline constexpr std::int64_t kSocketClose = 32;

}  // namespace platform
