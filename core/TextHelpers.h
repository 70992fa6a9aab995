#pragma once
// Small text helpers over the request text, shared by reception, the router and the
// CGI gateway. They work on text: a NUL ends it.
#include <cstdint>
#include <string_view>

#include "core/FixedString.h"

enum class RequestMethod { Get = 0, Head = 1, Post = 2 };

inline constexpr std::size_t kRequestCapacity = 4096;
inline constexpr std::size_t kHeaderValueCapacity = 256;
inline constexpr std::size_t kMethodWordCapacity = 20;

using UrlText = FixedString<kRequestCapacity>;
using HeaderValueText = FixedString<kHeaderValueCapacity>;

// The bytes up to the first NUL.
std::string_view AsText(std::string_view bytes);

// 0 and the method for "get", "head" or "post" in any letter case; -1 otherwise.
int ParseMethod(std::string_view text, RequestMethod& method);

// The URL of the request line, exactly as sent: its length, or -1.
int ExtractUrl(std::string_view request, UrlText& url);

// 0 and the value behind `name` (case-sensitive, anywhere in the text, blanks
// skipped, up to one of `stopChars`); -1 and an empty value when the name is absent.
int GetHeaderValue(std::string_view text, std::string_view name, HeaderValueText& value,
                   std::string_view stopChars = " \r\n");

// The Content-Length value ("Content-length:" or "Content-Length:"), or -1 when
// missing. Leading digits only, with an optional sign; clamped to 32 bits.
std::int32_t GetContentLength(std::string_view text);

// Leading white space, an optional sign, then digits: 0 when there are none.
// Clamped to the 32-bit range instead of overflowing.
std::int32_t ParseDecimal(std::string_view text);
