#pragma once
// A plain TCP client on loopback, for speaking raw HTTP to a real server.
#include <chrono>
#include <string>
#include <string_view>

class RawClient {
public:
    RawClient() = default;
    explicit RawClient(int port) { Connect(port); }
    ~RawClient();
    RawClient(RawClient&& other) noexcept;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // A small receive buffer (set before connecting, so the window is small from the
    // start) makes a client that does not read stall the sender soon.
    bool Connect(int port, bool smallReceiveBuffer = false);
    bool Send(std::string_view bytes);
    void ShutdownWrite();
    // Reads until the server closes or the time runs out.
    std::string ReadAll(std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Reads what arrives within `limit`, at most `count` bytes.
    std::string ReadSome(std::size_t count, std::chrono::milliseconds limit);
    // True when the server has closed the connection (after reading what was sent).
    bool ClosedByServer(std::chrono::milliseconds limit);
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();
    [[nodiscard]] int Descriptor() const { return descriptor_; }

private:
    int descriptor_ = -1;
};

// Connects, sends the request, and reads the whole response.
std::string Exchange(int port, std::string_view request);

// The parts of a response.
struct ReplyParts {
    std::string head;  // up to and including the empty line
    std::string body;
};
ReplyParts SplitResponse(const std::string& raw);
