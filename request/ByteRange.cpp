#include "request/ByteRange.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/TextCase.h"

namespace {

constexpr std::string_view kRangeName = "range:";
constexpr std::string_view kUnit = "bytes=";

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The value of the first "Range:" line of the header part.
std::optional<std::string_view> RangeValue(std::string_view request) {
    std::size_t start = request.find('\n');
    while (start != std::string_view::npos) {
        const std::string_view rest = request.substr(start + 1);
        const std::string_view line = rest.substr(0, rest.find('\n'));
        if (line.empty() || line == "\r") return std::nullopt;  // the header part ended
        if (line.size() >= kRangeName.size() &&
            platform::EqualIgnoringCase(line.substr(0, kRangeName.size()), kRangeName)) {
            std::string_view value = line.substr(kRangeName.size());
            if (value.ends_with('\r')) value.remove_suffix(1);
            return TrimBlanks(value);
        }
        start = request.find('\n', start + 1);
    }
    return std::nullopt;
}

// Decimal digits only; a number past what 64 bits hold stays at the largest, which
// lies past every file's end.
std::optional<std::int64_t> Position(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        value = value > (kLargest - digit) / 10 ? kLargest : value * 10 + digit;
    }
    return value;
}

RangeAnswer Part(std::int64_t first, std::int64_t last) {
    return {RangeVerdict::Part, {first, last}};
}

}  // namespace

RangeAnswer ResolveRange(std::string_view request, std::int64_t size) {
    const std::optional<std::string_view> value = RangeValue(request);
    if (!value || size <= 0 || value->size() < kUnit.size() ||
        !platform::EqualIgnoringCase(value->substr(0, kUnit.size()), kUnit)) {
        return {};
    }
    const std::string_view spec = value->substr(kUnit.size());
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) return {};
    const std::string_view before = spec.substr(0, dash);
    const std::string_view after = spec.substr(dash + 1);
    if (before.empty()) {  // the last n bytes
        const std::optional<std::int64_t> count = Position(after);
        if (!count) return {};
        if (*count == 0) return {RangeVerdict::NotSatisfiable, {}};
        return Part(*count >= size ? 0 : size - *count, size - 1);
    }
    const std::optional<std::int64_t> first = Position(before);
    if (!first) return {};
    std::int64_t last = size - 1;  // "a-": to the end
    if (!after.empty()) {
        const std::optional<std::int64_t> named = Position(after);
        if (!named || *named < *first) return {};
        last = std::min(*named, size - 1);
    }
    if (*first >= size) return {RangeVerdict::NotSatisfiable, {}};
    return Part(*first, last);
}
