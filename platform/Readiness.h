#pragma once
// What a socket is watched for. The logic's own flag type, so epoll stays in platform/.
#include <cstdint>

namespace platform {

enum class Readiness : std::uint8_t { None = 0, Read = 1, Write = 2 };

constexpr Readiness operator|(Readiness a, Readiness b) {
    return static_cast<Readiness>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}
constexpr Readiness operator&(Readiness a, Readiness b) {
    return static_cast<Readiness>(static_cast<std::uint8_t>(a) & static_cast<std::uint8_t>(b));
}
constexpr Readiness operator~(Readiness a) {
    return static_cast<Readiness>(~static_cast<std::uint8_t>(a) & 3);
}
constexpr bool Has(Readiness set, Readiness flag) {
    return (set & flag) != Readiness::None;
}

}  // namespace platform
