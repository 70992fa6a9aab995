#include "platform/Clock.h"

#include <ctime>

namespace platform {
namespace {

CivilTime FromTm(const std::tm& parts) {
    return CivilTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                     parts.tm_min,         parts.tm_sec,     parts.tm_wday};
}

}  // namespace

std::uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto milliseconds =
        static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
}

std::int64_t CurrentUnixTime() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

CivilTime UtcCivilTime(std::int64_t unixTime) {
    const auto seconds = static_cast<std::time_t>(unixTime);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    return FromTm(parts);
}

CivilTime LocalCivilTime(std::int64_t unixTime) {
    const auto seconds = static_cast<std::time_t>(unixTime);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return FromTm(parts);
}

std::optional<CivilTime> TryLocalCivilTime(std::int64_t unixTime) {
    const auto seconds = static_cast<std::time_t>(unixTime);
    std::tm parts{};
    if (localtime_r(&seconds, &parts) == nullptr) return std::nullopt;
    return FromTm(parts);
}

}  // namespace platform
