#pragma once
// Comparisons of texts with ASCII letter case aside (header names, list entries,
// directory names), the same whatever the process's locale.
#include <algorithm>
#include <string_view>

namespace platform {

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(),
                                                     [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
}

inline bool LessIgnoringCase(std::string_view left, std::string_view right) {
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [](char a, char b) { return LowerAscii(a) < LowerAscii(b); });
}

}  // namespace platform
