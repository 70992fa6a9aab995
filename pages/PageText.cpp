#include "pages/PageText.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "core/HtmlText.h"
#include "platform/Utf8.h"

namespace {

using platform::CharacterLength;
using platform::DecodeSequence;

}  // namespace

std::size_t CountCharacters(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += CharacterLength(text, i)) ++count;
    return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (; i < text.size() && count > 0; --count) i += CharacterLength(text, i);
    return text.substr(0, i);
}

std::string PageHtml(std::string_view text) {
    std::string html;
    html.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = CharacterLength(text, i);
        if (length == 1) {
            html += HtmlEscape(text.substr(i, 1));
        } else {
            html += "&#" + std::to_string(DecodeSequence(text, i, length)) + ";";
        }
        i += length;
    }
    return html;
}

std::string PaddedHtml(std::string_view text, std::size_t width, bool leftAligned) {
    const std::size_t characters = CountCharacters(text);
    const std::string blanks(characters < width ? width - characters : 0, ' ');
    return leftAligned ? PageHtml(text) + blanks : blanks + PageHtml(text);
}

std::string FormatPiece(const char* format, ...) {
    std::array<char, 512> text{};
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    if (length <= 0) return {};
    return std::string(text.data(), std::min<std::size_t>(static_cast<std::size_t>(length), text.size() - 1));
}
