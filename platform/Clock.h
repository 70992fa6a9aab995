#pragma once
#include <cstdint>
#include <optional>

namespace platform {

// Milliseconds since an arbitrary start; wraps like any 32-bit tick count.
std::uint32_t TickCount();

struct CivilTime {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;  // 0 = Sunday
};

std::int64_t CurrentUnixTime();
CivilTime UtcCivilTime(std::int64_t unixTime);
CivilTime LocalCivilTime(std::int64_t unixTime);
// Nothing when the time lies beyond what the calendar functions can break down.
std::optional<CivilTime> TryLocalCivilTime(std::int64_t unixTime);

}  // namespace platform
