// Delivery: the answer goes out, a bounded part of it per step. A send the socket
// cannot take now keeps its rest in the connection; the next piece is read only when
// it is gone.
#include <algorithm>
#include <string>

#include "config/ServerSettings.h"
#include "core/DateText.h"
#include "core/ErrorPage.h"
#include "core/Server.h"
#include "log/AccessLog.h"
#include "platform/Clock.h"
#include "request/ByteRange.h"
#include "request/ContentTypes.h"

namespace {

// Pieces sent in one step of one connection at most.
constexpr int kPiecesPerStep = 64;

HeaderText FullHeader(std::string_view contentType) {
    HeaderText header("HTTP/1.0 200 OK\r\nDate: ");
    header.Append(CurrentDateText());
    header.Append("Server: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-Type: ");
    header.Append(contentType);
    header.Append("\r\n\r\n");
    return header;
}

// One range of a file: its place in the whole and its length.
HeaderText PartHeader(std::string_view contentType, const ByteRange& range, std::int64_t size) {
    HeaderText header("HTTP/1.0 206 Partial Content\r\nDate: ");
    header.Append(CurrentDateText());
    header.Append("Server: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-Type: ");
    header.Append(contentType);
    header.Append("\r\nContent-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
                  std::to_string(size) + "\r\nContent-Length: " + std::to_string(range.Length()) + "\r\n\r\n");
    return header;
}

// For CGI output that brings its own header lines and empty line.
HeaderText ShortCgiHeader() {
    HeaderText header("HTTP/1.0 200 OK\r\nDate: ");
    header.Append(CurrentDateText());
    header.Append("Server: Pellora/1.0\r\nMIME-version: 1.0\r\n");
    return header;
}

bool OutputBringsHeader(std::string_view outputName) {
    platform::FileHandle output = platform::OpenFileForRead(outputName);
    std::array<char, 10> start{};
    const long count = output.Read(start.data(), start.size());
    return count >= 7 && std::string_view(start.data(), 7) == "Content";
}

// For HEAD: the program's own header lines up to their empty line, so the answer
// is a whole header; an output without an empty line gets one.
std::string CgiHeaderLines(std::string_view outputName) {
    platform::FileHandle output = platform::OpenFileForRead(outputName);
    std::array<char, kResponseTextCapacity - kHeaderCapacity> start{};
    const long count = output.Read(start.data(), start.size());
    const std::string_view text(start.data(), count > 0 ? static_cast<std::size_t>(count) : 0);
    for (const std::string_view end : {"\r\n\r\n", "\n\n"}) {
        const std::size_t at = text.find(end);
        if (at != std::string_view::npos) return std::string(text.substr(0, at + end.size()));
    }
    return "\r\n";
}

// At most a piece, and no more than the file has left.
std::size_t NextPieceSize(const Connection& connection) {
    if (connection.fileBytesLeft <= 0) return 0;
    return static_cast<std::size_t>(std::min<std::int64_t>(kPieceSize, connection.fileBytesLeft));
}

}  // namespace

// Opens the file to send before any header goes out, so a file that cannot be read
// gets an error page instead of a 200 with an empty body. A served file may have
// been opened already by routing.
bool Server::OpenResponseBody(Connection& connection) {
    if (connection.file.IsOpen()) return true;
    Response& response = connection.response;
    platform::FileError error = platform::FileError::None;
    std::int64_t size = 0;
    platform::FileHandle file = platform::OpenFileForRead(response.BodyPath(), &error, &size);
    if (file.IsOpen()) {
        connection.TakeBody(std::move(file), size);
        return true;
    }
    response.temporaryFile.Delete();
    if (!response.IsServedFile()) {
        SetErrorPageForMethod(connection, kInternalError, kTempFileMessage);
    } else if (error == platform::FileError::OutOfDescriptors) {
        // The file is there: a client told "not found" would not try again.
        SetErrorPageForMethod(connection, kServiceUnavailable, kBusyMessage);
    } else if (error == platform::FileError::Refused) {
        SetErrorPageForMethod(connection, kForbidden, "The file can not be read.");
    } else {
        SetErrorPageForMethod(connection, kNotFound, kNotFoundMessage);
    }
    return false;
}

SendOutcome Server::PrepareResponse(Connection& connection) {
    Response& response = connection.response;
    if (response.kind == ResponseKind::None) {
        // A handler that set no answer: the client hears so instead of hanging.
        SetErrorPageForMethod(connection, kInternalError, "The server has no answer to this request.");
    }
    if (!response.IsWholeText() && OpenResponseBody(connection)) {
        const HeaderText header = ResponseHeader(connection);
        if (!response.IsWholeText()) {
            if (connection.method != RequestMethod::Head) return SendHeaderAndFirstPiece(connection, header);
            AnswerWithHeaderAlone(connection, header);
        }
    }
    connection.bytesSent += static_cast<std::int64_t>(response.text.Length());
    return Transmit(connection, response.text);
}

// The success header of a body about to be sent; for a GET of a served file with one
// byte range, the part's header (or, past the file's end, the 416 page instead).
HeaderText Server::ResponseHeader(Connection& connection) {
    Response& response = connection.response;
    if (response.kind == ResponseKind::CgiOutput && OutputBringsHeader(response.temporaryFile.Name())) {
        return ShortCgiHeader();
    }
    if (response.kind != ResponseKind::File) return FullHeader("text/html");
    FixedString<256> contentType;
    LookupContentType(response.file, contentType);
    // A file whose size says nothing (those of /proc) is read to its end, whole.
    if (connection.method != RequestMethod::Get || connection.copyPieces) return FullHeader(contentType);
    const std::int64_t size = connection.fileBytesLeft;  // at opening: a file that changes keeps this size
    const RangeAnswer asked = ResolveRange(connection.request, size);
    switch (asked.verdict) {
        case RangeVerdict::WholeFile:
            break;
        case RangeVerdict::NotSatisfiable:
            connection.file.Close();
            SetErrorPage(connection, kRangeNotSatisfiable, "The range lies beyond the end of the file.",
                         "Content-Range: bytes */" + std::to_string(size));
            return {};
        case RangeVerdict::Part:
            if (!connection.file.Seek(asked.range.first)) break;
            connection.fileBytesLeft = asked.range.Length();
            response.kind = ResponseKind::FilePart;
            return PartHeader(contentType, asked.range, size);
    }
    return FullHeader(contentType);
}

// HEAD: the header alone, as a whole text answer. A program's own header lines come
// up to their empty line, so the answer is a whole header.
void Server::AnswerWithHeaderAlone(Connection& connection, const HeaderText& header) {
    Response& response = connection.response;
    connection.file.Close();
    response.text.Assign(header);
    if (!header.View().ends_with("\r\n\r\n")) response.text.Append(CgiHeaderLines(response.temporaryFile.Name()));
    response.temporaryFile.Delete();
    response.kind = ResponseKind::Text;
}

// The header and the first piece of the body go out in one send.
SendOutcome Server::SendHeaderAndFirstPiece(Connection& connection, const HeaderText& header) {
    connection.bytesSent += static_cast<std::int64_t>(header.Length());
    OutgoingBytes& out = connection.unsent;
    std::copy_n(header.CStr(), header.Length(), out.bytes.data());
    out.begin = 0;
    out.end = header.Length() + ReadPiece(connection, out.bytes.data() + header.Length());
    const SendOutcome flushed = Flush(connection);
    if (flushed != SendOutcome::AllSent) return flushed;
    return BodyLeft(connection) ? SendOutcome::MoreToSend : SendOutcome::AllSent;
}

bool Server::BodyLeft(const Connection& connection) {
    return connection.file.IsOpen() && (connection.copyPieces || connection.fileBytesLeft > 0);
}

// Reads the next piece of the file into `buffer` and ends the body after the last.
std::size_t Server::ReadPiece(Connection& connection, char* buffer) {
    const std::size_t wanted = connection.copyPieces ? kPieceSize : NextPieceSize(connection);
    const long count = wanted > 0 ? connection.file.Read(buffer, wanted) : 0;
    const std::size_t taken = count > 0 ? static_cast<std::size_t>(count) : 0;
    connection.bytesSent += static_cast<std::int64_t>(taken);
    connection.fileBytesLeft -= static_cast<std::int64_t>(taken);
    // A short read is the end, as when a file shrinks while it is sent.
    if (taken < wanted || (!connection.copyPieces && connection.fileBytesLeft <= 0)) EndFileBody(connection);
    return taken;
}

// A temporary file goes at once, so a client with its whole answer never finds it; a
// served file is closed with the connection, after the client has heard the end.
void Server::EndFileBody(Connection& connection) {
    connection.fileBytesLeft = 0;
    connection.copyPieces = false;
    if (!connection.response.IsServedFile()) {
        connection.file.Close();
        connection.response.temporaryFile.Delete();
    }
}

// What is still held goes first; then pieces of the body.
SendOutcome Server::SendPiece(Connection& connection) {
    if (!connection.unsent.Empty()) {
        const SendOutcome flushed = Flush(connection);
        if (flushed != SendOutcome::AllSent) return flushed;
    }
    if (!BodyLeft(connection)) return SendOutcome::AllSent;
    if (connection.copyPieces) {
        OutgoingBytes& out = connection.unsent;
        out.begin = 0;
        out.end = ReadPiece(connection, out.bytes.data());
        const SendOutcome flushed = Flush(connection);
        if (flushed != SendOutcome::AllSent) return flushed;
        return BodyLeft(connection) ? SendOutcome::MoreToSend : SendOutcome::AllSent;
    }
    return SendFilePieces(connection);
}

// Pieces go from the file to the socket while it takes them whole, a bounded number
// per step so that other clients get their turn. Each piece is its own call; the
// corked socket gathers them into whole segments.
SendOutcome Server::SendFilePieces(Connection& connection) {
    for (int piece = 0; piece < kPiecesPerStep && connection.fileBytesLeft > 0; ++piece) {
        const std::size_t wanted = NextPieceSize(connection);
        const platform::IoResult sent = connection.socket.SendFile(connection.file.Descriptor(), wanted);
        if (sent.status == platform::IoStatus::WouldBlock) return SendOutcome::SocketFull;
        if (sent.status == platform::IoStatus::Unsupported) {
            // A file system that cannot hand its bytes over directly: read them.
            connection.copyPieces = true;
            return SendOutcome::MoreToSend;
        }
        if (sent.status != platform::IoStatus::Done) return SendOutcome::Failed;
        if (sent.count == 0) {  // the file shrank while it was sent
            connection.fileBytesLeft = 0;
            break;
        }
        connection.bytesSent += static_cast<std::int64_t>(sent.count);
        connection.fileBytesLeft -= static_cast<std::int64_t>(sent.count);
        connection.lastProgressTick = platform::TickCount();
        if (sent.count < wanted) return SendOutcome::SocketFull;
    }
    if (connection.fileBytesLeft > 0) return SendOutcome::MoreToSend;
    return Ended(connection);
}

SendOutcome Server::Ended(Connection& connection) {
    EndFileBody(connection);
    return SendOutcome::AllSent;
}

// The log line needs the socket's local address, so it is written before the end.
// The end goes out with the last bytes that the corked socket still holds, once the
// log has the line: a client with its whole answer finds it there.
void Server::FinishConnection(Connection& connection) {
    if (Settings().LogOption != 0) WriteLogEntry(connection);
    connection.socket.EndOutput();
}

std::uint32_t Server::WaitLeft(const Connection& connection, std::uint32_t now) const {
    const bool draining = connection.state == ConnectionState::DrainingBody;
    const std::uint32_t limit = draining ? kDrainLimitMs : idleLimitMs_;
    const std::uint32_t waited = now - (draining ? connection.drainStartTick : connection.lastProgressTick);
    return waited >= limit ? 0 : limit - waited;
}

bool Server::IdleTooLong(const Connection& connection) const {
    const Wait wait = WaitsFor(connection);
    if (wait != Wait::ClientBytes && wait != Wait::SocketRoom) return false;
    return WaitLeft(connection, platform::TickCount()) == 0;
}

SendOutcome Server::Transmit(Connection& connection, std::string_view bytes) {
    OutgoingBytes& out = connection.unsent;
    const std::size_t length = std::min(bytes.size(), out.bytes.size());
    std::copy_n(bytes.data(), length, out.bytes.data());
    out.begin = 0;
    out.end = length;
    return Flush(connection);
}

SendOutcome Server::Flush(Connection& connection) {
    OutgoingBytes& out = connection.unsent;
    while (!out.Empty()) {
        const std::string_view rest = out.Rest();
        const platform::IoResult sent = connection.socket.Send(rest.data(), rest.size());
        if (sent.status == platform::IoStatus::WouldBlock) return SendOutcome::SocketFull;
        if (sent.status != platform::IoStatus::Done) return SendOutcome::Failed;
        out.begin += sent.count;
        connection.lastProgressTick = platform::TickCount();
    }
    out.begin = out.end = 0;
    return SendOutcome::AllSent;
}
