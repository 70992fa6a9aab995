// Reception: the bytes that arrive on a connection become a parsed request. A GET or
// HEAD request is its first block; a POST has its header part gathered across reads,
// and its body, once the header part is admitted, written to a temporary file.
#include <algorithm>
#include <string>

#include "cgi/CgiGateway.h"
#include "core/ErrorPage.h"
#include "core/Server.h"
#include "core/TempFiles.h"
#include "platform/Clock.h"

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

}  // namespace

ReceiveOutcome Server::Receive(Connection& connection, std::string_view& bytes) {
    const platform::IoResult received = connection.socket.Receive(receiveBlock_.data(), receiveBlock_.size());
    if (received.status == platform::IoStatus::PeerClosed) return ReceiveOutcome::PeerClosed;
    if (received.status != platform::IoStatus::Done) return ReceiveOutcome::Nothing;
    connection.bytesReceived += static_cast<std::uint32_t>(received.count);
    connection.lastProgressTick = platform::TickCount();
    bytes = std::string_view(receiveBlock_.data(), received.count);
    return ReceiveOutcome::Bytes;
}

RequestProgress Server::ParseRequest(Connection& connection, std::string_view block) {
    const std::string_view text = AsText(block);
    if (text.empty()) {
        SetErrorPage(connection, kBadRequest, "This is a null request.");
        return RequestProgress::Refused;
    }
    if (ParseMethod(text, connection.method) != 0) {
        SetErrorPage(connection, kBadRequest, "The server can only respond to GET, HEAD and POST method.");
        return RequestProgress::Refused;
    }
    if (connection.method != RequestMethod::Post) {
        connection.request.Assign(text);
        return RequestProgress::Whole;
    }
    return TakeHeaderBytes(connection, block);
}

// Gathers the header part of a POST up to its empty line and keeps the bytes behind
// it: whether the body is stored is decided from the header part alone.
RequestProgress Server::TakeHeaderBytes(Connection& connection, std::string_view bytes) {
    const std::size_t room = kRequestCapacity - 1 - connection.request.Length();
    const std::size_t taken = std::min(room, bytes.size());
    connection.request.Append(bytes.substr(0, taken));
    const std::string_view gathered = connection.request.View();
    const std::size_t end = gathered.find(kHeaderEnd);
    if (end == std::string_view::npos) {
        if (connection.request.Length() == kRequestCapacity - 1) return RefuseRequestHeader(connection);
        return RequestProgress::HeaderPartial;
    }
    const std::size_t headerLength = end + kHeaderEnd.size();
    connection.contentLength = GetContentLength(gathered.substr(0, headerLength));
    if (connection.contentLength == -1) return RefuseRequestHeader(connection);
    connection.bodyStart.assign(gathered.substr(headerLength));
    connection.bodyStart.append(bytes.substr(taken));
    connection.request.Truncate(headerLength);
    return RequestProgress::Whole;
}

// A header part without a Content-Length, or one that does not end within the
// request field, can never be answered; the client hears so.
RequestProgress Server::RefuseRequestHeader(Connection& connection) {
    SetErrorPage(connection, kBadRequest, kMalformedRequestMessage);
    connection.contentLength = 0;
    connection.bodyReceived = 0;
    return RequestProgress::Refused;
}

// A POST's body is stored only when its header part says a program will read it and
// the temporary directory can hold it; otherwise the header part earns its error page.
BodyAdmission Server::AdmitBody(Connection& connection) {
    if (CheckCgiProgram(connection) == ProgramCheck::Refused) return BodyAdmission::Refused;
    if (!TempSpaceHolds(connection.contentLength)) {
        SetErrorPage(connection, kInternalError, kTempFileMessage);
        return BodyAdmission::Refused;
    }
    auto run = std::make_unique<CgiRun>();
    if (CreateTempFile(run->bodyFile, run->bodyFileName) != 0) {
        SetErrorPage(connection, kInternalError, kTempFileMessage);
        return BodyAdmission::Refused;
    }
    connection.cgiRun = std::move(run);
    return BodyAdmission::Stored;
}

// Writes body bytes up to the announced length; bytes past it are dropped. A body
// that is not stored (refused, or its file failed) is only counted, so the answer
// still waits for it or the rest can be drained.
void Server::TakeBodyBytes(Connection& connection, std::string_view bytes) {
    const std::int64_t remaining = static_cast<std::int64_t>(connection.contentLength) - connection.bodyReceived;
    if (bytes.empty() || remaining <= 0) return;
    const std::string_view wanted = bytes.substr(
        0, static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(bytes.size()))));
    connection.bodyReceived += static_cast<std::int32_t>(wanted.size());
    if (!connection.cgiRun) return;
    if (!connection.cgiRun->bodyFile.WriteAll(wanted)) {
        SetErrorPage(connection, kInternalError, kTempFileMessage);
        connection.cgiRun.reset();  // deletes what was stored
    }
}
