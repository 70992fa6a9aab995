#pragma once
// Generated pages go into their temporary file as they are formatted, through a small
// fixed buffer: a listing of thousands of entries takes few writes and never lies in
// memory whole.
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/FileHandle.h"

class PageWriter {
public:
    // 64 KiB: a 2 MB listing takes some 35 writes rather than 270.
    static constexpr std::size_t kBufferSize = 65536;

    explicit PageWriter(platform::FileHandle& file) : file_(file) {}
    ~PageWriter() { Flush(); }
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    void Write(std::string_view text);
    // A failed write is remembered by the file handle, whose owner refuses the page.
    void Flush();

private:
    platform::FileHandle& file_;
    std::array<char, kBufferSize> buffer_{};
    std::size_t used_ = 0;
};

// Every piece of a page exists in the table style and the PRE style; `useTable`
// (nonzero: table) picks the one written.
void WriteStyled(PageWriter& page, std::string_view tableText, std::string_view preText, std::int32_t useTable);
