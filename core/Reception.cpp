// Reception: the bytes that arrive on a connection become a parsed request. A GET or
// HEAD request is its first block; a POST has its header part gathered across reads
// and its body written to a temporary file.
#include <algorithm>
#include <array>
#include <string>

#include "cgi/CgiGateway.h"
#include "core/ErrorPage.h"
#include "core/Server.h"
#include "core/TempFiles.h"
#include "platform/Clock.h"

namespace {

constexpr std::size_t kReceiveBlock = 4096;
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

}  // namespace

int Server::OnReadable(int socket) {
    Connection* connection = FindConnection(socket);
    if (connection == nullptr) return -1;
    const Wait wait = WaitsFor(*connection);
    // Once the request is whole, further bytes are not read; only a client that
    // goes away while its program runs still matters.
    if (wait != Wait::ClientBytes && wait != Wait::Child) {
        WatchConnection(*connection);
        return 0;
    }

    std::array<char, kReceiveBlock + 1> block{};
    const platform::IoResult received = connection->socket.Receive(block.data(), kReceiveBlock);
    if (received.status == platform::IoStatus::PeerClosed) {
        RemoveConnection(socket);
        return -1;
    }
    if (received.status != platform::IoStatus::Done) {
        WatchConnection(*connection);
        return 0;
    }
    connection->bytesReceived += static_cast<std::uint32_t>(received.count);
    connection->lastProgressTick = platform::TickCount();
    const std::string_view bytes(block.data(), received.count);

    switch (connection->state) {
        case ConnectionState::AwaitingRequest:
            connection->state = ConnectionState::RequestReceived;
            ParseRequest(*connection, bytes);
            break;
        case ConnectionState::ReceivingHeader:
            TakeHeaderBytes(*connection, bytes);
            break;
        case ConnectionState::ReceivingBody:
        case ConnectionState::DrainingBody:
            TakeBodyBytes(*connection, bytes);
            break;
        case ConnectionState::RequestReceived:
        case ConnectionState::RunningCgi:
        case ConnectionState::ResponseReady:
        case ConnectionState::SendingResponse:
        case ConnectionState::Finished:
            break;  // counted, then dropped
    }
    // What the connection waits for may have changed with these bytes.
    WatchConnection(*connection);
    return 0;
}

int Server::ParseRequest(Connection& connection, std::string_view block) {
    const std::string_view text = AsText(block);
    if (text.empty()) {
        SetErrorPage(connection, kBadRequest, "This is a null request.");
        return -1;
    }
    if (ParseMethod(text, connection.method) != 0) {
        SetErrorPage(connection, kBadRequest, "The server can only respond to GET, HEAD and POST method.");
        return -1;
    }
    if (connection.method != RequestMethod::Post) {
        connection.request.Assign(text);
        return 0;
    }
    connection.state = ConnectionState::ReceivingHeader;
    TakeHeaderBytes(connection, block);
    return 0;
}

// Gathers the header part of a POST up to its empty line and keeps the bytes behind
// it: whether the body is stored is decided from the header part alone.
void Server::TakeHeaderBytes(Connection& connection, std::string_view bytes) {
    const std::size_t room = kRequestCapacity - 1 - connection.request.Length();
    const std::size_t taken = std::min(room, bytes.size());
    connection.request.Append(bytes.substr(0, taken));
    const std::string_view gathered = connection.request.View();
    const std::size_t end = gathered.find(kHeaderEnd);
    if (end == std::string_view::npos) {
        if (connection.request.Length() == kRequestCapacity - 1) RefuseRequestHeader(connection);
        return;
    }
    const std::size_t headerLength = end + kHeaderEnd.size();
    connection.contentLength = GetContentLength(gathered.substr(0, headerLength));
    if (connection.contentLength == -1) {
        RefuseRequestHeader(connection);
        return;
    }
    connection.bodyStart.assign(gathered.substr(headerLength));
    connection.bodyStart.append(bytes.substr(taken));
    connection.request.Truncate(headerLength);
    connection.state = ConnectionState::RequestReceived;
}

// A header part without a Content-Length, or one that does not end within the
// request field, can never be answered; the client hears so.
void Server::RefuseRequestHeader(Connection& connection) {
    SetErrorPage(connection, kBadRequest, kMalformedRequestMessage);
    connection.contentLength = 0;
    connection.bodyReceived = 0;
    connection.state = ConnectionState::RequestReceived;
}

// Decides from a POST's header part whether its body is stored: a file for it and
// state ReceivingBody, or the error page the header part already earns.
void Server::AdmitBody(Connection& connection) {
    if (CheckCgiProgram(connection) != 0) {
        // answered from the header: the body is never stored
    } else if (!TempSpaceHolds(connection.contentLength)) {
        SetErrorPage(connection, kInternalError, kTempFileMessage);
    } else {
        connection.cgiRun = std::make_unique<CgiRun>();
        if (CreateTempFile(connection.cgiRun->bodyFile, connection.cgiRun->bodyFileName) != 0) {
            connection.cgiRun.reset();
            SetErrorPage(connection, kInternalError, kTempFileMessage);
        } else {
            connection.state = ConnectionState::ReceivingBody;
        }
    }
}

// Writes body bytes up to the announced length; bytes past it are dropped. After a
// failure the body is still counted, so the answer waits for the whole body.
void Server::TakeBodyBytes(Connection& connection, std::string_view bytes) {
    const std::int64_t remaining = static_cast<std::int64_t>(connection.contentLength) - connection.bodyReceived;
    if (bytes.empty() || remaining <= 0) return;
    const std::string_view wanted = bytes.substr(
        0, static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(bytes.size()))));
    connection.bodyReceived += static_cast<std::int32_t>(wanted.size());
    if (connection.responseKind == ResponseKind::Text || !connection.cgiRun) return;
    if (!connection.cgiRun->bodyFile.WriteAll(wanted)) SetErrorPage(connection, kInternalError, kTempFileMessage);
}
