#include "tests/support/RawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

RawClient::~RawClient() {
    Close();
}

RawClient::RawClient(RawClient&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

bool RawClient::Connect(int port, bool smallReceiveBuffer) {
    Close();
    descriptor_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (smallReceiveBuffer) {
        const int size = 4096;
        setsockopt(descriptor_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(descriptor_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool RawClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void RawClient::ShutdownWrite() {
    shutdown(descriptor_, SHUT_WR);
}

std::string RawClient::ReadAll(std::chrono::milliseconds limit) {
    return ReadSome(std::string::npos, limit);
}

std::string RawClient::ReadSome(std::size_t count, std::chrono::milliseconds limit) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::array<char, 65536> block{};
    while (bytes.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd watch{descriptor_, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(left.count())) <= 0) break;
        const std::size_t want = std::min(block.size(), count - bytes.size());
        const ssize_t got = recv(descriptor_, block.data(), want, 0);
        if (got <= 0) break;
        bytes.append(block.data(), static_cast<std::size_t>(got));
    }
    return bytes;
}

bool RawClient::ClosedByServer(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::array<char, 4096> block{};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd watch{descriptor_, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(left.count())) <= 0) return false;
        const ssize_t got = recv(descriptor_, block.data(), block.size(), 0);
        if (got <= 0) return true;
    }
}

void RawClient::Reset() {
    linger option{1, 0};
    setsockopt(descriptor_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    Close();
}

void RawClient::Close() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
}

std::string Exchange(int port, std::string_view request) {
    RawClient client(port);
    client.Send(request);
    return client.ReadAll();
}

ReplyParts SplitResponse(const std::string& raw) {
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return {raw, {}};
    return {raw.substr(0, end + 4), raw.substr(end + 4)};
}
