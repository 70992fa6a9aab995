#pragma once
// The listening socket and the table of 16 connection slots, the idle pump that
// steps every live connection, and the step itself with reception and delivery.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/Connection.h"
#include "platform/DescriptorReserve.h"
#include "platform/MessageQueue.h"
#include "platform/Socket.h"
#include "platform/Window.h"

inline constexpr int kConnectionSlots = 16;
// Clients that have connected but are not accepted yet. At 5, as many clients as
// there are slots overflowed the queue on Linux and waited a second for their SYN to
// be sent again; 64 holds every slot's client and a burst behind them (Linux caps it
// at net.core.somaxconn).
inline constexpr int kListenBacklog = 64;
inline constexpr std::uint32_t kPumpTimerId = 1;
inline constexpr std::uint32_t kPumpTimerMs = 250;
// A connection that makes no progress for this long while it waits for its client
// is closed, so stalled clients cannot hold the slots for ever.
inline constexpr std::uint32_t kDefaultIdleLimitMs = 60000;
// A client answered before it sent its whole body has this long to take the answer
// while the rest of its body is read and dropped.
inline constexpr std::uint32_t kDrainLimitMs = 2000;

// Why a connection is stepped: a pass of the pump, or bytes from its client.
enum class StepCause { Pass, ClientBytes };

// What a receive brought. "Nothing" is a result: the client has sent nothing more yet.
enum class ReceiveOutcome { Nothing, Bytes, PeerClosed };
// How far a request's text has come.
enum class RequestProgress { HeaderPartial, Whole, Refused };
// Whether a POST's body is stored, or its header part has earned an error page.
enum class BodyAdmission { Stored, Refused };
// What a try to send brought.
enum class SendOutcome { AllSent, MoreToSend, SocketFull, Failed };

class Server {
public:
    Server() = default;
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Where socket events and the pump timer go, and where titles and status texts show.
    void Attach(platform::Window* window, platform::MessageQueue* queue);
    void SetIdleLimit(std::uint32_t milliseconds) { idleLimitMs_ = milliseconds; }

    // 0 when the server listens, -1 when it does not (the failure has been reported).
    int StartListening();
    void StopListening();

    // Socket events.
    void OnAccept();
    void OnReadable(int socket);
    void OnPeerClosed(int socket);

    Connection* FindConnection(int socket);
    bool AddConnection(std::unique_ptr<Connection> connection);

    // The idle pump: one pass over the live connections. While some can go on
    // without waiting, the loop comes back after looking at its queue once.
    void PumpConnections();
    // One step for every live connection; true while some can go on without waiting.
    bool PumpPass();
    // The life of a connection: what its state does for this cause, and which state
    // follows. The only place a connection's state changes.
    void StepConnection(Connection& connection, StepCause cause);

    [[nodiscard]] bool WorkPending() const { return workPending_; }
    void SetWorkPending() { workPending_ = true; }
    [[nodiscard]] int LiveConnections() const;

private:
    void ReportStartFailure(std::string_view message, std::string_view title);
    void RefuseBusyClient(platform::Socket& client);
    void RefuseClientWithoutDescriptor();
    // After a step caused by an event: frees a closed connection, else watches it for
    // what it waits for now.
    void Settle(std::unique_ptr<Connection>& slot);
    void Free(std::unique_ptr<Connection>& slot);
    std::unique_ptr<Connection>* SlotOf(int socket);
    void WatchConnection(Connection& connection);
    std::uint32_t NextWakeUp(bool waitsOnChild) const;
    std::uint32_t WaitLeft(const Connection& connection, std::uint32_t now) const;
    bool IdleTooLong(const Connection& connection) const;

    // Reception (core/Reception.cpp).
    ReceiveOutcome Receive(Connection& connection, std::string_view& bytes);
    RequestProgress ParseRequest(Connection& connection, std::string_view block);
    RequestProgress TakeHeaderBytes(Connection& connection, std::string_view bytes);
    static RequestProgress RefuseRequestHeader(Connection& connection);
    static BodyAdmission AdmitBody(Connection& connection);
    static void TakeBodyBytes(Connection& connection, std::string_view bytes);

    // Delivery (core/Delivery.cpp).
    SendOutcome PrepareResponse(Connection& connection);
    static HeaderText ResponseHeader(Connection& connection);
    static void AnswerWithHeaderAlone(Connection& connection, const HeaderText& header);
    SendOutcome SendHeaderAndFirstPiece(Connection& connection, const HeaderText& header);
    SendOutcome SendPiece(Connection& connection);
    SendOutcome SendFilePieces(Connection& connection);
    static bool BodyLeft(const Connection& connection);
    static std::size_t ReadPiece(Connection& connection, char* buffer);
    static void EndFileBody(Connection& connection);
    static SendOutcome Ended(Connection& connection);
    static void FinishConnection(Connection& connection);
    static SendOutcome Transmit(Connection& connection, std::string_view bytes);
    static SendOutcome Flush(Connection& connection);
    static bool OpenResponseBody(Connection& connection);

    platform::Window* window_ = nullptr;
    platform::MessageQueue* queue_ = nullptr;
    platform::Socket listener_;
    platform::DescriptorReserve reserve_;
    std::array<std::unique_ptr<Connection>, kConnectionSlots> table_{};
    // One receive's bytes; the one thread needs one.
    std::array<char, 4096> receiveBlock_{};
    bool workPending_ = true;
    std::uint32_t idleLimitMs_ = kDefaultIdleLimitMs;
};
