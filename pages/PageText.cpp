#include "pages/PageText.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "core/HtmlText.h"

namespace {

constexpr std::uint32_t kNoCharacter = 0xFFFFFFFF;

// The code point of the well-formed UTF-8 sequence of `length` bytes at `i`, or
// kNoCharacter for an overlong form, a surrogate or a value beyond Unicode.
std::uint32_t DecodeSequence(std::string_view text, std::size_t i, std::size_t length) {
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    // The lead byte keeps 7 - length bits, each continuation byte 6.
    std::uint32_t codePoint = static_cast<unsigned char>(text[i]) & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if ((byte & 0xC0) != 0x80) return kNoCharacter;
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < kSmallest[length] || surrogate || codePoint > 0x10FFFF) return kNoCharacter;
    return codePoint;
}

// The length of the UTF-8 character at `i`, or 1 for a byte that starts none.
std::size_t CharacterLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length == 1 || i + length > text.size() || DecodeSequence(text, i, length) == kNoCharacter) return 1;
    return length;
}

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
