#pragma once
// multipart/form-data taken apart as it streams in: the parts' headers and their
// bytes are handed on as they arrive, so a body of any size needs no more memory than
// the piece it is fed in and a boundary's length. The boundary comes from the body's
// first line, because the upload program is given the content type without its
// parameters.
#include <cstddef>
#include <string>
#include <string_view>

// Longer than the 70 characters a boundary may have, as some senders go beyond them.
inline constexpr std::size_t kBoundaryMaxLength = 200;
// Blanks allowed between a boundary and its line end (transport padding).
inline constexpr std::size_t kBoundaryPaddingCapacity = 64;
// The first line: "--", the boundary, padding, CR LF.
inline constexpr std::size_t kBoundaryLineCapacity = 2 + kBoundaryMaxLength + kBoundaryPaddingCapacity + 2;
// One header line of a part; a file name of 255 bytes, each escaped, still fits.
inline constexpr std::size_t kPartHeaderLineCapacity = 2048;

// What a part's Content-Disposition says.
struct PartHeaders {
    std::string name;
    std::string fileName;  // as the browser sent it, escapes of quote, CR and LF undone
    bool hasFileName = false;
};

// Receives the parts in order. Returning false stops the reading.
class MultipartSink {
public:
    virtual ~MultipartSink() = default;
    virtual bool OnPartBegin(const PartHeaders& headers) = 0;
    virtual bool OnPartData(std::string_view bytes) = 0;
    virtual bool OnPartEnd() = 0;
};

enum class MultipartStatus {
    Reading,    // more input is wanted
    Complete,   // the closing boundary was seen; anything after it is ignored
    Truncated,  // the input ended before the closing boundary
    Malformed,  // not multipart data, or a line longer than its capacity
    Stopped,    // the sink said stop
};

class MultipartReader {
public:
    explicit MultipartReader(MultipartSink& sink) : sink_(sink) {}

    // Takes the next bytes, in pieces of any size.
    MultipartStatus Feed(std::string_view bytes);
    // The input has ended.
    MultipartStatus Finish();
    [[nodiscard]] MultipartStatus Status() const { return status_; }

private:
    enum class State { FirstLine, Headers, Body, Epilogue };
    enum class Verdict { Data, Undecided, NextPart, Closing };

    // Moves bytes into line_ up to a line end; true when the line is complete.
    bool TakeLine(std::string_view& bytes, std::size_t capacity);
    void OnFirstLine();
    void OnHeaderLine();
    // Scans held_ for the delimiter; bytes that follow a part's end come back.
    std::string ScanBody();
    Verdict Judge(std::string_view afterDelimiter, std::size_t& length) const;
    bool HandOn(std::string_view bytes);
    MultipartStatus Fail(MultipartStatus status);

    MultipartSink& sink_;
    MultipartStatus status_ = MultipartStatus::Reading;
    State state_ = State::FirstLine;
    std::string line_;
    std::string_view newline_;  // "\r\n", or "\n" when the first line ends with a bare one
    std::string delimiter_;     // newline_, "--" and the boundary
    PartHeaders headers_;
    std::string held_;  // body bytes not yet known to be data
};

// The parameters of a Content-Disposition value (`form-data; name="a"; filename="b"`).
PartHeaders ParseContentDisposition(std::string_view value);
