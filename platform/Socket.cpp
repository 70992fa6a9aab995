#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace platform {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

Socket Socket::CreateStream() {
    return Socket(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

bool Socket::Bind(std::int32_t port) {
    if (port < 0 || port > 65535) return false;
    // Lets a restarted server take its port back while old connections linger in
    // TIME_WAIT; a port held by a live listener still fails to bind.
    const int on = 1;
    setsockopt(descriptor_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return bind(descriptor_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool Socket::Listen(int backlog) {
    // Every answer ends with the end of its connection's output, so accepted sockets
    // are corked: what is sent fills whole segments, and ending the output sends the
    // rest with the end itself (a 4 KiB file leaves in one segment). Linux hands the
    // option to every accepted socket, which saves a call per client.
    const int on = 1;
    setsockopt(descriptor_, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    return listen(descriptor_, backlog) == 0;
}

Socket Socket::Accept(std::string& clientAddress, bool* outOfDescriptors) const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int accepted =
        accept4(descriptor_, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (outOfDescriptors != nullptr) *outOfDescriptors = accepted < 0 && (errno == EMFILE || errno == ENFILE);
    if (accepted < 0) return Socket();
    std::array<char, INET_ADDRSTRLEN> text{};
    inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    clientAddress = text.data();
    return Socket(accepted);
}

IoResult Socket::Receive(void* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t count = recv(descriptor_, buffer, capacity, 0);
        if (count > 0) return {IoStatus::Done, static_cast<std::size_t>(count)};
        if (count == 0) return {IoStatus::PeerClosed, 0};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoStatus::WouldBlock, 0};
        return {IoStatus::Failed, 0};
    }
}

IoResult Socket::Send(const void* bytes, std::size_t length) {
    for (;;) {
        const ssize_t count = send(descriptor_, bytes, length, MSG_NOSIGNAL);
        if (count >= 0) return {IoStatus::Done, static_cast<std::size_t>(count)};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoStatus::WouldBlock, 0};
        return {IoStatus::Failed, 0};
    }
}

IoResult Socket::SendFile(int fileDescriptor, std::size_t length) {
    // sendfile has no MSG_NOSIGNAL: a client gone away must be an EPIPE result, not a
    // signal that ends the process.
    static const bool kPipeSignalIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)kPipeSignalIgnored;
    for (;;) {
        const ssize_t count = sendfile(descriptor_, fileDescriptor, nullptr, length);
        if (count >= 0) return {IoStatus::Done, static_cast<std::size_t>(count)};
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {IoStatus::WouldBlock, 0};
        if (errno == EINVAL || errno == ENOSYS) return {IoStatus::Unsupported, 0};
        return {IoStatus::Failed, 0};
    }
}

void Socket::EndOutput() {
    shutdown(descriptor_, SHUT_WR);
}

void Socket::DiscardPendingInput() {
    std::array<char, 4096> sink{};
    for (int round = 0; round < 16; ++round) {
        if (Receive(sink.data(), sink.size()).status != IoStatus::Done) return;
    }
}

std::string Socket::LocalAddress() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(descriptor_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET) {
        return {};
    }
    std::array<char, INET_ADDRSTRLEN> text{};
    if (inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) == nullptr) return {};
    return text.data();
}

void Socket::Close() {
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
}

}  // namespace platform
