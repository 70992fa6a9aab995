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

bool IsAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

// Most names are ASCII: their characters are told without decoding.
std::size_t NextCharacterLength(std::string_view text, std::size_t i) {
    return IsAscii(text[i]) ? 1 : CharacterLength(text, i);
}

// Bytes that stand for themselves in a page.
bool IsPlainByte(char c) {
    return IsAscii(c) && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
}

}  // namespace

std::size_t CountCharacters(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += NextCharacterLength(text, i)) ++count;
    return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (; i < text.size() && count > 0; --count) i += NextCharacterLength(text, i);
    return text.substr(0, i);
}

std::string PageHtml(std::string_view text) {
    std::string html;
    html.reserve(text.size());
    AppendPageHtml(html, text);
    return html;
}

void AppendPageHtml(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t plainEnd = i;
        while (plainEnd < text.size() && IsPlainByte(text[plainEnd])) ++plainEnd;
        out.append(text.substr(i, plainEnd - i));
        i = plainEnd;
        if (i == text.size()) break;
        const std::size_t length = CharacterLength(text, i);
        if (length == 1) {
            AppendHtmlEscaped(out, text[i]);
        } else {
            out += "&#";
            out += std::to_string(DecodeSequence(text, i, length));
            out += ';';
        }
        i += length;
    }
}

std::string PaddedHtml(std::string_view text, std::size_t width, bool leftAligned) {
    const std::size_t characters = CountCharacters(text);
    const std::string blanks(characters < width ? width - characters : 0, ' ');
    return leftAligned ? PageHtml(text) + blanks : blanks + PageHtml(text);
}

namespace {

constexpr std::size_t kPieceCapacity = 512;

// The formatted text in `text`, cut at its capacity; its length.
std::size_t FormatInto(std::array<char, kPieceCapacity>& text, const char* format, va_list arguments) {
    const int length = std::vsnprintf(text.data(), text.size(), format, arguments);
    if (length <= 0) return 0;
    return std::min<std::size_t>(static_cast<std::size_t>(length), text.size() - 1);
}

}  // namespace

std::string FormatPiece(const char* format, ...) {
    std::array<char, kPieceCapacity> text{};
    va_list arguments;
    va_start(arguments, format);
    const std::size_t length = FormatInto(text, format, arguments);
    va_end(arguments);
    return std::string(text.data(), length);
}

void AppendPiece(std::string& out, const char* format, ...) {
    std::array<char, kPieceCapacity> text;  // NOLINT(cppcoreguidelines-pro-type-member-init): vsnprintf fills it
    va_list arguments;
    va_start(arguments, format);
    const std::size_t length = FormatInto(text, format, arguments);
    va_end(arguments);
    out.append(text.data(), length);
}
