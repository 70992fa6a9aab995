#pragma once
// Shared by the fuzz targets: a failed check aborts (libFuzzer keeps the input), an input may be cut
// into the pieces a client sends one after another, and the run's directory holds drive C and TMPDIR.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/DriveTable.h"
#include "tests/support/TestDirectory.h"

#define FUZZ_CHECK(condition) \
    ((condition) ? void()     \
                 : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition), std::abort()))

// A line "=8<=" between pieces; an input without one is one piece.
inline std::vector<std::string_view> SplitPieces(std::string_view data) {
    constexpr std::string_view kCut = "\n=8<=\n";
    std::vector<std::string_view> pieces;
    for (std::size_t at; (at = data.find(kCut)) != std::string_view::npos; data.remove_prefix(at + kCut.size())) {
        pieces.push_back(data.substr(0, at));
    }
    pieces.push_back(data);
    return pieces;
}

inline std::string_view AsView(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The run's directory, with `prepare(home)` done once before drive C is mapped onto it.
template <typename Prepare>
const TestDirectory& Home(Prepare prepare) {
    static TestDirectory home;
    static const bool ready = [&] {
        home.MakeDirectory("c");
        prepare(home);
        platform::SetDriveTable(platform::DriveTable::Parse("C=" + home / "c").value());
        return setenv("TMPDIR", home.MakeDirectory("tmp").c_str(), 1) == 0;
    }();
    FUZZ_CHECK(ready);
    return home;
}

inline bool NoTemporaryFiles(const TestDirectory& home) {
    return TestDirectory::List(home / "tmp").empty();
}
