#pragma once
// Byte ranges of a served file: one range of a GET's Range header, as resuming
// downloads and seeking media players ask for it.
#include <cstdint>
#include <string_view>

// The first and last byte of a part, both included.
struct ByteRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    [[nodiscard]] std::int64_t Length() const { return last - first + 1; }
};

enum class RangeVerdict {
    WholeFile,      // no Range header, or one that is malformed, names several ranges or
                    // another unit, or a file whose size says nothing (0): the whole file
    Part,           // one range that the file holds, at least in part
    NotSatisfiable  // a range that starts past the file's end
};

struct RangeAnswer {
    RangeVerdict verdict = RangeVerdict::WholeFile;
    ByteRange range;
};

// The part of a file of `size` bytes that the request's Range header asks for:
// "bytes=a-b", "bytes=a-" or "bytes=-n". The header's name is matched in any letter
// case, as HTTP does.
RangeAnswer ResolveRange(std::string_view request, std::int64_t size);
