#pragma once
// UTF-8 sequences in names and page text, told apart from stray bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t kNoCharacter = 0xFFFFFFFF;

// The code point of the well-formed UTF-8 sequence of `length` bytes at `i`, or
// kNoCharacter for an overlong form, a surrogate or a value beyond Unicode.
std::uint32_t DecodeSequence(std::string_view text, std::size_t i, std::size_t length);

// The length of the well-formed UTF-8 character at `i`, or 1 for a byte that starts
// none, so a name in any encoding can be walked character by character.
std::size_t CharacterLength(std::string_view text, std::size_t i);

}  // namespace platform
