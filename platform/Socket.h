#pragma once
// Non-blocking IPv4 TCP sockets. "Would block" is a result, not an error.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Unsupported: the file cannot be sent straight from its file system (SendFile only).
enum class IoStatus { Done, WouldBlock, PeerClosed, Failed, Unsupported };

struct IoResult {
    IoStatus status = IoStatus::Failed;
    std::size_t count = 0;
};

class Socket {
public:
    Socket() = default;
    explicit Socket(int descriptor) : descriptor_(descriptor) {}
    ~Socket() { Close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = -1; }
    Socket& operator=(Socket&& other) noexcept;

    // A stream socket of the Internet family, non-blocking; not open on failure.
    static Socket CreateStream();
    // Any local address and `port`; false when it is taken or out of range.
    bool Bind(std::int32_t port);
    bool Listen(int backlog);
    // One waiting client, with its address as dotted-quad text; not open when none,
    // or when the process has no descriptor left for it (`outOfDescriptors` then true).
    Socket Accept(std::string& clientAddress, bool* outOfDescriptors = nullptr) const;

    IoResult Receive(void* buffer, std::size_t capacity);
    IoResult Send(const void* bytes, std::size_t length);
    // Up to `length` bytes of an open file, from its current offset, which moves on by
    // what was sent; the bytes do not pass through the process. 0 at the file's end.
    IoResult SendFile(int fileDescriptor, std::size_t length);
    // Ends what is sent, with whatever still waits to fill a segment (the peer reads
    // its end), while the socket can still be read.
    void EndOutput();
    // Reads and drops what the client has sent and we did not read, so that closing
    // does not reset the connection before the client has read our response.
    void DiscardPendingInput();
    // The local address of a connected socket (the one the client reached) as
    // dotted-quad text; empty when it cannot be had.
    [[nodiscard]] std::string LocalAddress() const;

    [[nodiscard]] bool IsOpen() const { return descriptor_ >= 0; }
    [[nodiscard]] int Descriptor() const { return descriptor_; }
    void Close();

private:
    int descriptor_ = -1;
};

}  // namespace platform
