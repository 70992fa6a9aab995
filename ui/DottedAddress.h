#pragma once
// The address forms the Network page takes as typed: one to four parts separated by
// dots, each decimal, octal (leading 0) or hexadecimal (leading 0x), the last part
// filling the remaining bytes; a text ending in a dot reads as if a part 0 followed.
// 255.255.255.255 in any spelling is refused: it is the error value of the classic
// address parser, which entries must stay compatible with.
#include <cstdint>
#include <optional>
#include <string_view>

std::optional<std::uint32_t> ParseDottedAddress(std::string_view text);
bool IsDottedAddress(std::string_view text);
