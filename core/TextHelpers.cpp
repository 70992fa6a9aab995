#include "core/TextHelpers.h"

#include <cctype>
#include <limits>

std::string_view AsText(std::string_view bytes) {
    const std::size_t end = bytes.find('\0');
    return end == std::string_view::npos ? bytes : bytes.substr(0, end);
}

int ParseMethod(std::string_view text, RequestMethod& method) {
    text = AsText(text);
    const std::string_view word = text.substr(0, text.find(' '));
    if (word.size() >= kMethodWordCapacity) return -1;
    const auto equalsIgnoringCase = [word](std::string_view name) {
        if (word.size() != name.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(word[i])) != name[i]) return false;
        }
        return true;
    };
    if (equalsIgnoringCase("get")) {
        method = RequestMethod::Get;
    } else if (equalsIgnoringCase("head")) {
        method = RequestMethod::Head;
    } else if (equalsIgnoringCase("post")) {
        method = RequestMethod::Post;
    } else {
        return -1;
    }
    return 0;
}

int ExtractUrl(std::string_view request, UrlText& url) {
    request = AsText(request);
    url.Clear();
    const std::size_t blank = request.find(' ');
    if (blank == std::string_view::npos) return -1;
    const std::string_view rest = request.substr(blank + 1);
    std::size_t end = rest.find(" HTTP");
    if (end == std::string_view::npos) end = rest.find('\r');
    if (end == std::string_view::npos) end = rest.find('\n');
    if (end == std::string_view::npos || end == 0 || end >= kRequestCapacity) return -1;
    url.Assign(rest.substr(0, end));
    return static_cast<int>(end);
}

int GetHeaderValue(std::string_view text, std::string_view name, HeaderValueText& value, std::string_view stopChars) {
    text = AsText(text);
    value.Clear();
    const std::size_t at = text.find(name);
    if (at == std::string_view::npos) return -1;
    std::string_view rest = text.substr(at + name.size());
    const std::size_t start = rest.find_first_not_of(' ');
    rest = start == std::string_view::npos ? std::string_view{} : rest.substr(start);
    value.Assign(rest.substr(0, rest.find_first_of(stopChars)));
    return 0;
}

std::int32_t GetContentLength(std::string_view text) {
    HeaderValueText value;
    if (GetHeaderValue(text, "Content-length:", value) != 0 && GetHeaderValue(text, "Content-Length:", value) != 0) {
        return -1;
    }
    return ParseDecimal(value);
}

std::int32_t ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit + 1) magnitude = kLimit + 1;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude > kLimit ? kLimit : magnitude);
}
