#pragma once
// What the fuzz targets share: a failed check aborts (libFuzzer keeps the input), and
// an input may be cut into the pieces a client sends one after another.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// A line "=8<=" between pieces; an input without one is one piece.
inline std::vector<std::string_view> SplitPieces(std::string_view data) {
    constexpr std::string_view kCut = "\n=8<=\n";
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t at = data.find(kCut);
        if (at == std::string_view::npos) break;
        pieces.push_back(data.substr(0, at));
        data.remove_prefix(at + kCut.size());
    }
    pieces.push_back(data);
    return pieces;
}

inline std::string_view AsView(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
