#include "core/Connection.h"

#include <utility>

Connection::Connection(platform::Socket acceptedSocket, std::string_view address, std::uint32_t tick)
    : socket(std::move(acceptedSocket)), clientIp(address), startTick(tick), lastProgressTick(tick) {}

Wait WaitsFor(const Connection& connection) {
    if (!connection.unsent.Empty() || connection.socketFull) return Wait::SocketRoom;
    switch (connection.state) {
        case ConnectionState::AwaitingRequest:
        case ConnectionState::ReceivingHeader:
        case ConnectionState::DrainingBody:
            return Wait::ClientBytes;
        case ConnectionState::ReceivingBody:
            return connection.contentLength > connection.bodyReceived ? Wait::ClientBytes : Wait::Nothing;
        case ConnectionState::RunningCgi:
            return Wait::Child;
        case ConnectionState::RequestReceived:
        case ConnectionState::ResponseReady:
        case ConnectionState::SendingResponse:
        case ConnectionState::Finished:
            return Wait::Nothing;
    }
    return Wait::Nothing;
}
