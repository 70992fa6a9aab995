#pragma once
// Text written into a generated page is escaped: file names, URLs, settings and
// client texts may hold markup characters.
#include <string>
#include <string_view>

// `& < > " '` become character references; every other byte stays as it is.
std::string HtmlEscape(std::string_view text);
// The same for one byte, appended to `out`.
void AppendHtmlEscaped(std::string& out, char c);
