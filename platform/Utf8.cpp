#include "platform/Utf8.h"

namespace platform {

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

}  // namespace platform
