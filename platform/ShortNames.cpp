#include "platform/ShortNames.h"

#include <algorithm>

namespace platform {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool IsUrlUnsafeByte(unsigned char byte) {
    if (byte < 0x20 || byte >= 0x7F) return true;
    switch (byte) {
        case ' ':
        case '%':
        case '#':
        case '?':
        case '"':
        case '\'':
        case '<':
        case '>':
        case '&':
        case '*':   // the router takes a '*' in a path as a wildcard
        case '\\':  // and a backslash as a separator
            return true;
        default:
            return false;
    }
}

std::string PercentEncodeWhere(std::string_view text, bool (*encode)(unsigned char byte)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (encode(byte)) {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        } else {
            encoded += c;
        }
    }
    return encoded;
}

std::string PercentEncodeUnsafe(std::string_view text) {
    return PercentEncodeWhere(text, IsUrlUnsafeByte);
}

std::string ShortNameOf(std::string_view longName) {
    // Most names hold nothing unsafe: they are only looked at, not copied.
    const bool unsafe = std::any_of(longName.begin(), longName.end(),
                                    [](char c) { return IsUrlUnsafeByte(static_cast<unsigned char>(c)); });
    return unsafe ? PercentEncodeUnsafe(longName) : std::string();
}

std::optional<std::string> DecodeShortName(std::string_view component) {
    std::string decoded;
    decoded.reserve(component.size());
    bool escaped = false;
    for (std::size_t i = 0; i < component.size(); ++i) {
        if (component[i] == '%' && i + 2 < component.size()) {
            const int high = HexValue(component[i + 1]);
            const int low = HexValue(component[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                escaped = true;
                continue;
            }
        }
        decoded += component[i];
    }
    if (!escaped || decoded.empty() || decoded == "." || decoded == "..") return std::nullopt;
    if (decoded.find_first_of(std::string_view("/\0", 2)) != std::string::npos) return std::nullopt;
    return decoded;
}

bool StaysEncodedInDrivePaths(std::string_view component) {
    const std::optional<std::string> decoded = DecodeShortName(component);
    return decoded && decoded->find('\\') != std::string::npos;
}

std::string UrlOfComponent(std::string_view component) {
    return StaysEncodedInDrivePaths(component) ? std::string(component) : PercentEncodeUnsafe(component);
}

}  // namespace platform
