#pragma once
// The listening socket and the table of 16 connection slots, the idle pump that
// steps every live connection, reception and delivery.
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

enum class SendOutcome { Complete, Pending, Failed };

class Server {
public:
    Server() = default;
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Where socket events and the pump timer go, and where titles and status texts show.
    void Attach(platform::Window* window, platform::MessageQueue* queue);
    void SetIdleLimit(std::uint32_t milliseconds) { idleLimitMs_ = milliseconds; }

    int StartListening();
    int StopListening();
    int OnAccept();
    int OnPeerClosed(int socket);
    int OnReadable(int socket);

    Connection* FindConnection(int socket);
    bool AddConnection(std::unique_ptr<Connection> connection);
    void RemoveConnection(int socket);

    // Passes until a message waits or every connection waits on something outside.
    void PumpConnections();
    // One step for every live connection; true while some can go on without waiting.
    bool PumpPass();
    int StepConnection(Connection* connection);

    [[nodiscard]] bool WorkPending() const { return workPending_; }
    void SetWorkPending() { workPending_ = true; }
    [[nodiscard]] platform::Window* MainWindow() const { return window_; }
    [[nodiscard]] int LiveConnections() const;

    int running = 0;  // 1 while the server is meant to be listening

private:
    void ReportStartFailure(std::string_view message, std::string_view title);
    void RefuseBusyClient(platform::Socket& client);
    void RefuseClientWithoutDescriptor();
    void WatchConnection(Connection& connection);
    std::uint32_t NextWakeUp(bool waitsOnChild) const;

    // Reception.
    int ParseRequest(Connection& connection, std::string_view block);
    void TakeHeaderBytes(Connection& connection, std::string_view bytes);
    void TakeBodyBytes(Connection& connection, std::string_view bytes);
    void RefuseRequestHeader(Connection& connection);
    void AdmitBody(Connection& connection);

    // Delivery.
    void StepReceived(Connection& connection);
    void StepBody(Connection& connection);
    SendOutcome PrepareResponse(Connection& connection);
    SendOutcome SendPiece(Connection& connection);
    std::size_t ReadPiece(Connection& connection, char* buffer);
    static void EndFileBody(Connection& connection);
    void FinishConnection(Connection& connection);
    void CloseConnection(Connection& connection);
    std::uint32_t WaitLeft(const Connection& connection, std::uint32_t now) const;
    bool IdleTooLong(const Connection& connection) const;
    SendOutcome Transmit(Connection& connection, std::string_view bytes);
    SendOutcome Flush(Connection& connection);
    bool OpenResponseBody(Connection& connection);

    platform::Window* window_ = nullptr;
    platform::MessageQueue* queue_ = nullptr;
    platform::Socket listener_;
    platform::DescriptorReserve reserve_;
    std::array<std::unique_ptr<Connection>, kConnectionSlots> table_{};
    bool workPending_ = true;
    std::uint32_t idleLimitMs_ = kDefaultIdleLimitMs;
};
