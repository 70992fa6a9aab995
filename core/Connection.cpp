// A connection's life, told in one place: what each state does when the pump passes
// or its client's bytes arrive, and which state follows. Reception, routing, the CGI
// gateway and delivery do the work and say what happened; only this step changes
// the state, and it never frees the connection: a closed one is freed by its caller.
#include "core/Connection.h"

#include <utility>

#include "cgi/CgiGateway.h"
#include "config/ServerSettings.h"
#include "core/ErrorPage.h"
#include "core/Server.h"
#include "platform/Clock.h"
#include "request/AccessControl.h"
#include "request/Router.h"

namespace {

constexpr std::string_view kClientRefusedMessage = "Your ip address is not allowed by the server.";

ConnectionState StateAfter(SendOutcome sent) {
    switch (sent) {
        case SendOutcome::AllSent:
            return ConnectionState::Finished;
        case SendOutcome::MoreToSend:
            return ConnectionState::SendingResponse;
        case SendOutcome::SocketFull:
            return ConnectionState::AwaitingRoom;
        case SendOutcome::Failed:  // the client is gone
            return ConnectionState::Closed;
    }
    return ConnectionState::Closed;
}

bool GoesOutNow(ConnectionState state) {
    return state == ConnectionState::ResponseReady || state == ConnectionState::SendingResponse ||
           state == ConnectionState::Finished || state == ConnectionState::Closed;
}

}  // namespace

Connection::Connection(platform::Socket acceptedSocket, std::string_view address, std::uint32_t tick)
    : socket(std::move(acceptedSocket)), clientIp(address), startTick(tick), lastProgressTick(tick) {}

Wait WaitsFor(const Connection& connection) {
    switch (connection.state) {
        case ConnectionState::AwaitingRequest:
        case ConnectionState::ReceivingHeader:
        case ConnectionState::DrainingBody:
            return Wait::ClientBytes;
        case ConnectionState::ReceivingBody:
            return connection.BodyWhole() ? Wait::Nothing : Wait::ClientBytes;
        case ConnectionState::RunningCgi:
            return Wait::Child;
        case ConnectionState::AwaitingRoom:
            return Wait::SocketRoom;
        case ConnectionState::RequestReceived:
        case ConnectionState::ResponseReady:
        case ConnectionState::SendingResponse:
        case ConnectionState::Finished:
        case ConnectionState::Closed:
            return Wait::Nothing;
    }
    return Wait::Nothing;
}

// Client bytes are read only in the states that wait for them (or, while a program
// runs, to notice the client leaving); a pass does the rest.
void Server::StepConnection(Connection& connection, StepCause cause) {
    const bool bytesCame = cause == StepCause::ClientBytes;
    if (!bytesCame && IdleTooLong(connection)) {
        connection.state = ConnectionState::Closed;
        return;
    }
    for (;;) {
        const ConnectionState before = connection.state;
        std::string_view bytes;
        switch (connection.state) {
            case ConnectionState::AwaitingRequest:
            case ConnectionState::ReceivingHeader: {
                if (!bytesCame) return;
                const ReceiveOutcome received = Receive(connection, bytes);
                if (received == ReceiveOutcome::PeerClosed) connection.state = ConnectionState::Closed;
                if (received != ReceiveOutcome::Bytes) return;
                const RequestProgress progress = connection.state == ConnectionState::AwaitingRequest
                                                     ? ParseRequest(connection, bytes)
                                                     : TakeHeaderBytes(connection, bytes);
                // A refused request keeps its page, unless its client is refused too.
                connection.state = progress == RequestProgress::HeaderPartial ? ConnectionState::ReceivingHeader
                                                                              : ConnectionState::RequestReceived;
                return;
            }
            case ConnectionState::RequestReceived:
                if (bytesCame) return;
                if (CheckClientAddress(Settings(), connection.clientIp) != 0) {
                    SetErrorPage(connection, kForbidden, kClientRefusedMessage);
                    connection.state = ConnectionState::ResponseReady;
                } else if (connection.response.kind != ResponseKind::None) {
                    connection.state = ConnectionState::ResponseReady;  // refused by reception
                } else if (connection.method == RequestMethod::Post) {
                    connection.state = AdmitBody(connection) == BodyAdmission::Stored ? ConnectionState::ReceivingBody
                                                                                      : ConnectionState::ResponseReady;
                } else {
                    connection.state = RouteRequest(connection) == Routing::ProgramStarted
                                           ? ConnectionState::RunningCgi
                                           : ConnectionState::ResponseReady;
                }
                // Stored when admitted, else only counted, so the rest can be drained.
                TakeBodyBytes(connection, std::exchange(connection.bodyStart, {}));
                break;
            case ConnectionState::ReceivingBody:
                if (bytesCame) {
                    if (connection.BodyWhole()) return;
                    const ReceiveOutcome received = Receive(connection, bytes);
                    if (received == ReceiveOutcome::PeerClosed) connection.state = ConnectionState::Closed;
                    if (received == ReceiveOutcome::Bytes) TakeBodyBytes(connection, bytes);
                    return;
                }
                if (!connection.BodyWhole()) return;
                if (connection.cgiRun) connection.cgiRun->bodyFile.Close();
                // Without its run the body could not be stored: its error page is set.
                connection.state = connection.cgiRun && RunCgiRequest(connection) == CgiLaunch::Started
                                       ? ConnectionState::RunningCgi
                                       : ConnectionState::ResponseReady;
                break;
            case ConnectionState::RunningCgi:
                if (bytesCame) {
                    // Only a client that goes away matters now: its program is ended.
                    if (Receive(connection, bytes) == ReceiveOutcome::PeerClosed) {
                        connection.state = ConnectionState::Closed;
                    }
                    return;
                }
                if (PollCgiRun(connection) == CgiProgress::Running) return;
                connection.state = ConnectionState::ResponseReady;
                break;
            case ConnectionState::ResponseReady:
                if (bytesCame) return;
                connection.state = StateAfter(PrepareResponse(connection));
                break;
            case ConnectionState::SendingResponse:
            case ConnectionState::AwaitingRoom:
                if (bytesCame) return;
                connection.state = StateAfter(SendPiece(connection));
                break;
            case ConnectionState::Finished:
                if (bytesCame) return;
                FinishConnection(connection);
                if (connection.BodyWhole()) {
                    connection.socket.DiscardPendingInput();
                    connection.state = ConnectionState::Closed;
                } else {
                    // A client still sending a body it was answered before would have
                    // the answer reset away by a close with its bytes unread.
                    connection.drainStartTick = platform::TickCount();
                    connection.state = ConnectionState::DrainingBody;
                }
                break;
            case ConnectionState::DrainingBody:
                if (bytesCame) {
                    const ReceiveOutcome received = Receive(connection, bytes);
                    if (received == ReceiveOutcome::PeerClosed) connection.state = ConnectionState::Closed;
                    if (received == ReceiveOutcome::Bytes) TakeBodyBytes(connection, bytes);
                }
                if (connection.state == ConnectionState::Closed || !connection.BodyWhole()) return;
                connection.socket.DiscardPendingInput();
                connection.state = ConnectionState::Closed;
                return;
            case ConnectionState::Closed:
                return;
        }
        // An answer that became ready goes out in this same step, as far as the socket
        // takes it, so a small answer costs one pass; a state that stays has done its
        // bounded share of this pass.
        if (connection.state == before || !GoesOutNow(connection.state)) return;
    }
}
