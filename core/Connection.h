#pragma once
// The record of one client from accept to close: its state, its request, its answer
// and the CGI run it may own. What happens in each state, and which state follows,
// is told in one place: Server::StepConnection (core/Connection.cpp).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "config/ServerSettings.h"
#include "core/FixedString.h"
#include "core/TextHelpers.h"
#include "platform/ChildProcess.h"
#include "platform/FileHandle.h"
#include "platform/OwnedTempFile.h"
#include "platform/Socket.h"

// In the order of a connection's life.
enum class ConnectionState {
    AwaitingRequest,  // accepted; no byte of the request yet
    ReceivingHeader,  // a POST whose header part has not all come yet
    RequestReceived,  // a whole request, or a POST's whole header part: to be answered
    ReceivingBody,    // an admitted POST's body going into its file
    RunningCgi,       // the program that answers it runs
    ResponseReady,    // the answer is chosen; nothing of it has gone out
    SendingResponse,  // going out piece by piece
    AwaitingRoom,     // the socket took less than it was offered: waits until it takes more
    Finished,         // all of it went out: to be logged and ended
    DrainingBody,     // answered before its body had all come: the rest is read and dropped,
                      // so that closing does not reset the answer away from the client
    Closed,           // done with: the pump, or the event that ended it, frees the record
};

inline constexpr std::size_t kResponseTextCapacity = 2052;
inline constexpr std::size_t kClientIpCapacity = 20;
inline constexpr std::size_t kPieceSize = 4095;
inline constexpr std::size_t kHeaderCapacity = 512;
// A header and the first piece of its body, so that both go out in one send.
inline constexpr std::size_t kOutgoingCapacity = kHeaderCapacity + kPieceSize;

using ResponseText = FixedString<kResponseTextCapacity>;
using HeaderText = FixedString<kHeaderCapacity>;

enum class ResponseKind {
    None,
    Text,       // a whole answer made here: a redirect, the upload form, a header alone
    ErrorPage,  // a whole answer that refuses the request
    File,       // a file to send as it is
    FilePart,   // one range of a file, as a GET's Range header asked
    TempPage,   // a page generated into a temporary file, deleted once sent
    CgiOutput,  // a program's output in a temporary file, deleted once sent
};

// What a connection answers with. Each kind keeps its own field.
struct Response {
    ResponseKind kind = ResponseKind::None;
    ResponseText text;                      // Text and ErrorPage: the whole answer, header included
    std::string file;                       // File and FilePart: the drive-form or host path to send
    platform::OwnedTempFile temporaryFile;  // TempPage and CgiOutput

    [[nodiscard]] bool IsWholeText() const { return kind == ResponseKind::Text || kind == ResponseKind::ErrorPage; }
    [[nodiscard]] bool IsServedFile() const { return kind == ResponseKind::File || kind == ResponseKind::FilePart; }
    // The file whose bytes make the body: the served file or the temporary one.
    [[nodiscard]] std::string_view BodyPath() const {
        return IsServedFile() ? std::string_view(file) : temporaryFile.Name();
    }
};

// Ties a request to the CGI program that answers it. Destroying it ends a program
// that still runs and deletes the files of a run that did not finish.
struct CgiRun {
    platform::ChildProcess process;
    platform::FileHandle bodyFile;
    platform::OwnedTempFile bodyFileName;
    platform::FileHandle outputFile;
    platform::OwnedTempFile outputFileName;
};

// Bytes handed to the socket that it has not taken yet. The next piece is read only
// when these went out whole.
struct OutgoingBytes {
    std::array<char, kOutgoingCapacity> bytes{};
    std::size_t begin = 0;
    std::size_t end = 0;
    [[nodiscard]] bool Empty() const { return begin == end; }
    [[nodiscard]] std::string_view Rest() const { return {bytes.data() + begin, end - begin}; }
};

// What a connection waits for, derived from its state.
enum class Wait { Nothing, ClientBytes, SocketRoom, Child };

struct Connection {
    Connection(platform::Socket acceptedSocket, std::string_view address, std::uint32_t tick);

    ConnectionState state = ConnectionState::AwaitingRequest;
    platform::Socket socket;
    FixedString<kClientIpCapacity> clientIp;
    FixedString<kRequestCapacity> request;
    RequestMethod method = RequestMethod::Get;
    Response response;
    std::uint32_t startTick = 0;
    std::int32_t contentLength = 0;
    std::int32_t bodyReceived = 0;
    std::int64_t bytesSent = 0;  // 64-bit: files larger than 2 GiB are counted right
    std::uint32_t bytesReceived = 0;
    std::unique_ptr<CgiRun> cgiRun;
    // Body bytes that came with a POST's header part, held until the body is admitted
    // (stored) or refused (dropped).
    std::string bodyStart;

    // The file being sent and what is left of it, counted from its size at opening;
    // the rest goes straight from the file to the socket.
    platform::FileHandle file;
    std::int64_t fileBytesLeft = 0;
    bool copyPieces = false;  // the file is read into `unsent` piece by piece instead
    OutgoingBytes unsent;
    std::uint32_t lastProgressTick = 0;  // last byte received or sent
    std::uint32_t drainStartTick = 0;

    // The open file the body comes from, with its size at opening.
    void TakeBody(platform::FileHandle opened, std::int64_t size) {
        file = std::move(opened);
        fileBytesLeft = size;
        // A size of 0 may hide content (the files of /proc): such a file is read
        // until it ends.
        copyPieces = size == 0;
    }
    [[nodiscard]] bool BodyWhole() const { return contentLength <= bodyReceived; }
};

Wait WaitsFor(const Connection& connection);
