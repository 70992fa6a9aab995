#include "cgi/upload/MultipartReader.h"

#include <algorithm>

#include "platform/TextCase.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Browsers write a quote, CR and LF inside a quoted name as %22, %0D and %0A and
// leave every other byte, a backslash included, as it is.
std::string UndoNameEscapes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string_view code = text.substr(i + 1, 2);
            const char replacement = platform::EqualIgnoringCase(code, "22")   ? '"'
                                     : platform::EqualIgnoringCase(code, "0d") ? '\r'
                                     : platform::EqualIgnoringCase(code, "0a") ? '\n'
                                                                               : '\0';
            if (replacement != '\0') {
                result += replacement;
                i += 2;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}

}  // namespace

PartHeaders ParseContentDisposition(std::string_view value) {
    PartHeaders headers;
    std::size_t at = value.find(';');
    while (at != std::string_view::npos && at < value.size()) {
        ++at;  // past the ';'
        const std::size_t nameEnd = std::min(value.find_first_of("=;", at), value.size());
        const std::string_view name = TrimBlanks(value.substr(at, nameEnd - at));
        at = nameEnd;
        std::string_view parameter;
        if (at < value.size() && value[at] == '=') {
            ++at;
            while (at < value.size() && IsBlank(value[at])) ++at;
            if (at < value.size() && value[at] == '"') {
                // No backslash escapes: old browsers send whole Windows paths unescaped.
                const std::size_t close = std::min(value.find('"', at + 1), value.size());
                parameter = value.substr(at + 1, close - at - 1);
                at = value.find(';', close);
            } else {
                const std::size_t end = std::min(value.find(';', at), value.size());
                parameter = TrimBlanks(value.substr(at, end - at));
                at = end;
            }
        }
        if (platform::EqualIgnoringCase(name, "name")) {
            headers.name = UndoNameEscapes(parameter);
        } else if (platform::EqualIgnoringCase(name, "filename")) {
            headers.fileName = UndoNameEscapes(parameter);
            headers.hasFileName = true;
        }
    }
    return headers;
}

MultipartStatus MultipartReader::Fail(MultipartStatus status) {
    status_ = status;
    held_.clear();
    line_.clear();
    return status_;
}

bool MultipartReader::TakeLine(std::string_view& bytes, std::size_t capacity) {
    const std::size_t end = bytes.find('\n');
    const std::size_t taken = end == std::string_view::npos ? bytes.size() : end;
    if (line_.size() + taken > capacity) {
        Fail(MultipartStatus::Malformed);
        return false;
    }
    line_.append(bytes.substr(0, taken));
    bytes.remove_prefix(end == std::string_view::npos ? taken : taken + 1);
    return end != std::string_view::npos;
}

void MultipartReader::OnFirstLine() {
    std::string_view line = line_;
    newline_ = "\n";
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
        newline_ = "\r\n";
    }
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (!line.starts_with("--") || line.size() == 2 || line.size() - 2 > kBoundaryMaxLength) {
        Fail(MultipartStatus::Malformed);
        return;
    }
    delimiter_ = newline_;
    delimiter_ += line;
    line_.clear();
    headers_ = {};
    state_ = State::Headers;
}

void MultipartReader::OnHeaderLine() {
    std::string_view line = line_;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) {
        line_.clear();
        state_ = State::Body;
        if (!sink_.OnPartBegin(headers_)) Fail(MultipartStatus::Stopped);
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos &&
        platform::EqualIgnoringCase(TrimBlanks(line.substr(0, colon)), "content-disposition")) {
        headers_ = ParseContentDisposition(line.substr(colon + 1));
    }
    line_.clear();
}

bool MultipartReader::HandOn(std::string_view bytes) {
    if (bytes.empty() || sink_.OnPartData(bytes)) return true;
    Fail(MultipartStatus::Stopped);
    return false;
}

// What follows a delimiter decides what it is: "--" ends the body, blanks and a line
// end begin the next part (`length` then covers them), anything else makes it data.
MultipartReader::Verdict MultipartReader::Judge(std::string_view after, std::size_t& length) const {
    if (after.size() < 2) return Verdict::Undecided;
    if (after.starts_with("--")) return Verdict::Closing;
    std::size_t blanks = 0;
    while (blanks < after.size() && blanks <= kBoundaryPaddingCapacity && IsBlank(after[blanks])) ++blanks;
    if (blanks > kBoundaryPaddingCapacity) return Verdict::Data;
    const std::string_view lineEnd = after.substr(blanks);
    if (lineEnd.starts_with(newline_)) {
        length = blanks + newline_.size();
        return Verdict::NextPart;
    }
    return std::string_view(newline_).starts_with(lineEnd) ? Verdict::Undecided : Verdict::Data;
}

std::string MultipartReader::ScanBody() {
    const std::string_view held = held_;
    std::size_t from = 0;  // a delimiter can only begin here or later
    while (true) {
        const std::size_t at = held.find(delimiter_, from);
        if (at == std::string_view::npos) {
            // The last bytes may be the start of a delimiter; everything before is data.
            const std::size_t keep = std::min(held.size(), delimiter_.size() - 1);
            const std::size_t data = std::max(from, held.size() - keep);
            if (HandOn(held.substr(0, data))) held_.erase(0, data);
            return {};
        }
        std::size_t length = 0;
        const Verdict verdict = Judge(held.substr(at + delimiter_.size()), length);
        if (verdict == Verdict::Data) {
            from = at + 1;
            continue;
        }
        if (!HandOn(held.substr(0, at))) return {};
        if (verdict == Verdict::Undecided) {
            held_.erase(0, at);
            return {};
        }
        if (!sink_.OnPartEnd()) {
            Fail(MultipartStatus::Stopped);
            return {};
        }
        if (verdict == Verdict::Closing) {
            state_ = State::Epilogue;
            status_ = MultipartStatus::Complete;
            held_.clear();
            return {};
        }
        std::string rest(held.substr(at + delimiter_.size() + length));
        held_.clear();
        headers_ = {};
        state_ = State::Headers;
        return rest;
    }
}

MultipartStatus MultipartReader::Feed(std::string_view bytes) {
    std::string carried;  // bytes that followed the end of a part
    while (status_ == MultipartStatus::Reading && !bytes.empty()) {
        switch (state_) {
            case State::FirstLine:
                if (TakeLine(bytes, kBoundaryLineCapacity)) OnFirstLine();
                break;
            case State::Headers:
                if (TakeLine(bytes, kPartHeaderLineCapacity)) OnHeaderLine();
                break;
            case State::Body:
                held_.append(bytes);
                bytes = {};
                carried = ScanBody();
                bytes = carried;
                break;
            case State::Epilogue:
                bytes = {};
                break;
        }
    }
    return status_;
}

MultipartStatus MultipartReader::Finish() {
    if (status_ == MultipartStatus::Reading) Fail(MultipartStatus::Truncated);
    return status_;
}
