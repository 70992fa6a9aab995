#include "pages/PageWriter.h"

#include <cstring>

#include "core/WriteString.h"

void PageWriter::Write(std::string_view text) {
    if (text.size() > buffer_.size() - used_) Flush();
    if (text.size() >= buffer_.size()) {
        WriteString(file_, text);
        return;
    }
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
}

void PageWriter::Flush() {
    if (used_ == 0) return;
    WriteString(file_, std::string_view(buffer_.data(), used_));
    used_ = 0;
}

void WriteStyled(PageWriter& page, std::string_view tableText, std::string_view preText, std::int32_t useTable) {
    page.Write(useTable != 0 ? tableText : preText);
}
