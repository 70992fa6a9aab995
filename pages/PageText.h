#pragma once
// Measuring and padding text for the fixed columns of the PRE-style pages. Names are
// counted in characters as a browser shows them (one per UTF-8 sequence, one per any
// other byte) and padded before they are escaped, so markup characters in a name
// neither shift the columns nor get cut in half.
#include <cstddef>
#include <string>
#include <string_view>

std::size_t CountCharacters(std::string_view text);
// The first `count` characters of `text`; a UTF-8 sequence is never split.
std::string_view FirstCharacters(std::string_view text, std::size_t count);

// `text` HTML-escaped, each UTF-8 character beyond ASCII written as a character
// reference: the pages declare no character set, and a browser that takes them for
// windows-1252 still shows "café" rather than "cafÃ©". Other bytes stay as they are.
std::string PageHtml(std::string_view text);
// PageHtml of `text`, appended to `out`.
void AppendPageHtml(std::string& out, std::string_view text);

// PageHtml of `text`, with blanks after it (left-aligned) or before it up to `width`
// characters; a longer text is not cut.
std::string PaddedHtml(std::string_view text, std::size_t width, bool leftAligned = true);

// printf-style formatting of a page piece that holds no name (numbers, fixed words);
// the result is cut at 511 characters.
std::string FormatPiece(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same, appended to `out`.
void AppendPiece(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
