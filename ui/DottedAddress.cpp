#include "ui/DottedAddress.h"

#include <array>

namespace {

constexpr std::uint64_t kNoAddress = 0xFFFFFFFFu;
constexpr std::size_t kMaxParts = 4;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// One part in its base; nothing when it holds no digit or a digit outside the base.
std::optional<std::uint64_t> ParsePart(std::string_view part) {
    int base = 10;
    if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        part.remove_prefix(2);
    } else if (part.size() >= 2 && part[0] == '0') {
        base = 8;
        part.remove_prefix(1);
    }
    if (part.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : part) {
        const int digit = DigitValue(c);
        if (digit >= base) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > kNoAddress) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> ParseDottedAddress(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::array<std::uint64_t, kMaxParts> parts{};
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (count == kMaxParts) return std::nullopt;
        if (part.empty() && dot == std::string_view::npos && count > 0) {
            parts[count++] = 0;  // the text ended in a dot
            break;
        }
        const std::optional<std::uint64_t> value = ParsePart(part);
        if (!value) return std::nullopt;
        parts[count++] = *value;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    std::uint64_t address = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFF) return std::nullopt;
        address |= parts[i] << (24 - 8 * i);
    }
    const std::uint64_t lastLimit = kNoAddress >> (8 * (count - 1));
    if (parts[count - 1] > lastLimit) return std::nullopt;
    address |= parts[count - 1];
    if (address == kNoAddress) return std::nullopt;
    return static_cast<std::uint32_t>(address);
}

bool IsDottedAddress(std::string_view text) {
    return ParseDottedAddress(text).has_value();
}
