#pragma once
// The record of one client from accept to close, and the CGI run it may own.
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

enum class ConnectionState {
    AwaitingRequest = 0,
    RequestReceived = 1,
    ReceivingBody = 2,
    RunningCgi = 3,
    ResponseReady = 4,
    SendingResponse = 5,
    Finished = 6,
    // A POST whose header part has not all come yet; it is gathered across reads.
    ReceivingHeader = 7,
    // Answered before its body had all come: the rest is read and dropped for a
    // while, so that closing does not reset the answer away from the client.
    DrainingBody = 8,
};

enum class ResponseKind { None = 0, Text = 1, File = 2, TempPage = 3, CgiOutput = 4 };

inline constexpr std::size_t kResponseTextCapacity = 2052;
inline constexpr std::size_t kClientIpCapacity = 20;
inline constexpr std::size_t kPieceSize = 4095;
inline constexpr std::size_t kHeaderCapacity = 512;
// A header and the first piece of its body, so that both go out in one send.
inline constexpr std::size_t kOutgoingCapacity = kHeaderCapacity + kPieceSize;

using ResponseText = FixedString<kResponseTextCapacity>;

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
    ResponseText responseText;
    RequestMethod method = RequestMethod::Get;
    ResponseKind responseKind = ResponseKind::None;
    platform::FileHandle file;
    std::uint32_t startTick = 0;
    std::int32_t contentLength = 0;
    std::int32_t bodyReceived = 0;
    std::int64_t bytesSent = 0;  // 64-bit: files larger than 2 GiB are counted right
    std::uint32_t bytesReceived = 0;
    std::unique_ptr<CgiRun> cgiRun;

    // The generated page or CGI output that responseText names; deleted with the
    // connection when the response did not finish.
    platform::OwnedTempFile responseFile;
    OutgoingBytes unsent;
    // Bytes of `file` still to send, counted from its size at opening; the rest goes
    // straight from the file to the socket.
    std::int64_t fileBytesLeft = 0;
    bool socketFull = false;             // the socket took less than a whole piece last time
    bool copyPieces = false;             // the file is read into `unsent` piece by piece instead
    bool watched = false;                // the message queue watches the socket
    std::uint32_t lastProgressTick = 0;  // last byte received or sent
    std::uint32_t drainStartTick = 0;
    // Body bytes that came with a POST's header part, held until the body is admitted
    // (stored) or refused (dropped).
    std::string bodyStart;

    // The open file the body comes from, with its size at opening.
    void TakeBody(platform::FileHandle opened, std::int64_t size) {
        file = std::move(opened);
        fileBytesLeft = size;
        // A size of 0 may hide content (the files of /proc): such a file is read
        // until it ends.
        copyPieces = size == 0;
    }
};

Wait WaitsFor(const Connection& connection);
