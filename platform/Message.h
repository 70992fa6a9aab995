#pragma once
// Messages of the one queue: window messages, posted socket events and timers.
#include <cstdint>

namespace platform {

struct Message {
    std::uint32_t id = 0;
    std::uint64_t first = 0;  // socket, timer id, command id or exit code
    std::int64_t second = 0;  // socket event
};

inline constexpr std::uint32_t kDestroyMessage = 2;
inline constexpr std::uint32_t kQuitMessage = 18;
inline constexpr std::uint32_t kHelpMessage = 83;  // F1 on the main window
inline constexpr std::uint32_t kCommandMessage = 273;
inline constexpr std::uint32_t kSystemCommandMessage = 274;
inline constexpr std::uint32_t kTimerMessage = 275;
inline constexpr std::uint32_t kSocketEventMessage = 2025;
// A CGI child has ended: wakes the loop at once instead of waiting for the timer.
inline constexpr std::uint32_t kChildExitedMessage = 2026;

// Socket events, in the low word of `second` of a socket event message.
inline constexpr std::int64_t kSocketRead = 1;
inline constexpr std::int64_t kSocketWrite = 2;
inline constexpr std::int64_t kSocketAccept = 8;
inline constexpr std::int64_t kSocketClose = 32;

}  // namespace platform
