#include "core/Server.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "config/ServerSettings.h"
#include "core/ErrorPage.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

namespace {

constexpr std::string_view kErrorCaption = "Pellora Error";
constexpr std::string_view kOffLineStatus = "Server Off-Line";

std::string WithPort(const char* format, std::int32_t port) {
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), format, static_cast<int>(port));
    return text.data();
}

platform::Readiness ReadinessFor(Wait wait) {
    switch (wait) {
        case Wait::ClientBytes:
        case Wait::Child:  // a client that goes away while its program runs ends the run
            return platform::Readiness::Read;
        case Wait::SocketRoom:
            return platform::Readiness::Write;
        case Wait::Nothing:
            return platform::Readiness::None;
    }
    return platform::Readiness::None;
}

}  // namespace

Server::~Server() {
    StopListening();
}

void Server::Attach(platform::Window* window, platform::MessageQueue* queue) {
    window_ = window;
    queue_ = queue;
}

void Server::ReportStartFailure(std::string_view message, std::string_view title) {
    platform::ShowMessageBox(kErrorCaption, message, platform::MessageIcon::Exclamation);
    if (window_ == nullptr) return;
    window_->SetTitle(title);
    if (window_->HasStatusBar()) window_->SetStatusText(0, kOffLineStatus);
}

int Server::StartListening() {
    const std::int32_t port = Settings().Port;
    if (window_ == nullptr || queue_ == nullptr) {
        ReportStartFailure("Server initialization failed.", "Pellora - [Off-Line]");
        return -1;
    }
    listener_ = platform::Socket::CreateStream();
    if (!listener_.IsOpen()) {
        ReportStartFailure("Server initialization failed.", "Pellora - [Off-Line]");
        return -1;
    }
    if (!listener_.Bind(port)) {
        listener_.Close();
        ReportStartFailure(WithPort("Server initialization failed:\r\nCould not bind to port %d.", port),
                           "Pellora - [Off-Line]");
        return -1;
    }
    if (!listener_.Listen(kListenBacklog)) {
        listener_.Close();
        ReportStartFailure(WithPort("Server initialization failed:\r\nCould not listen to port %d.", port),
                           "Pellora [Off-Line]");
        return -1;
    }
    queue_->WatchListener(listener_.Descriptor());
    window_->SetTitle(WithPort("Pellora [Port:%d]", port));
    if (window_->HasStatusBar()) window_->SetStatusText(0, WithPort("Listening on Port: [%d]", port));
    return 0;
}

void Server::StopListening() {
    for (auto& slot : table_) {
        if (slot) Free(slot);
    }
    if (listener_.IsOpen()) {
        if (queue_ != nullptr) queue_->StopWatching(listener_.Descriptor());
        listener_.Close();
    }
}

void Server::OnAccept() {
    // While others are being served, more clients are likely to wait: they are taken
    // in the same turn, up to the free slots, instead of one per event. A lone client
    // costs no extra accept that would find nobody.
    const bool busy = LiveConnections() > 0;
    std::string address;
    do {
        bool outOfDescriptors = false;
        platform::Socket client = listener_.Accept(address, &outOfDescriptors);
        if (outOfDescriptors) RefuseClientWithoutDescriptor();
        if (!client.IsOpen()) break;
        auto connection = std::make_unique<Connection>(std::move(client), address, platform::TickCount());
        const int socket = connection->socket.Descriptor();
        if (!AddConnection(std::move(connection))) break;
        // The request has mostly come with the connection: read it now rather than
        // after a round through epoll.
        OnReadable(socket);
    } while (busy && LiveConnections() < kConnectionSlots);
    queue_->WatchListener(listener_.Descriptor());
}

// Every slot is taken: the client hears why at once instead of waiting unserved.
void Server::RefuseBusyClient(platform::Socket& client) {
    Connection refusal(platform::Socket(), "", 0);
    SetErrorPage(refusal, kServiceUnavailable, kBusyMessage);
    client.Send(refusal.response.text.CStr(), refusal.response.text.Length());
    client.EndOutput();
    client.DiscardPendingInput();
    client.Close();
}

// The process has no descriptor left to accept a waiting client with: the reserve
// takes it for as long as it takes to tell it so.
void Server::RefuseClientWithoutDescriptor() {
    reserve_.Release();
    std::string address;
    platform::Socket client = listener_.Accept(address);
    if (client.IsOpen()) RefuseBusyClient(client);
    reserve_.Restore();
}

void Server::OnReadable(int socket) {
    std::unique_ptr<Connection>* slot = SlotOf(socket);
    if (slot == nullptr) return;
    StepConnection(**slot, StepCause::ClientBytes);
    Settle(*slot);
}

void Server::OnPeerClosed(int socket) {
    std::unique_ptr<Connection>* slot = SlotOf(socket);
    if (slot != nullptr) Free(*slot);
}

std::unique_ptr<Connection>* Server::SlotOf(int socket) {
    for (auto& slot : table_) {
        if (slot && slot->socket.Descriptor() == socket) return &slot;
    }
    return nullptr;
}

Connection* Server::FindConnection(int socket) {
    std::unique_ptr<Connection>* slot = SlotOf(socket);
    return slot != nullptr ? slot->get() : nullptr;
}

bool Server::AddConnection(std::unique_ptr<Connection> connection) {
    for (auto& slot : table_) {
        if (!slot) {
            slot = std::move(connection);
            return true;
        }
    }
    RefuseBusyClient(connection->socket);
    return false;
}

void Server::Settle(std::unique_ptr<Connection>& slot) {
    if (slot->state == ConnectionState::Closed) {
        Free(slot);
    } else {
        WatchConnection(*slot);
    }
}

// Closes the socket; the connection's files, temporary files and program go with it.
void Server::Free(std::unique_ptr<Connection>& slot) {
    if (queue_ != nullptr) queue_->StopWatching(slot->socket.Descriptor());
    slot.reset();
}

void Server::WatchConnection(Connection& connection) {
    if (queue_ != nullptr) queue_->WatchSocket(connection.socket.Descriptor(), ReadinessFor(WaitsFor(connection)));
}

int Server::LiveConnections() const {
    return static_cast<int>(
        std::count_if(table_.begin(), table_.end(), [](const auto& slot) { return slot != nullptr; }));
}

void Server::PumpConnections() {
    PumpPass();
}

bool Server::PumpPass() {
    int live = 0;
    int waiting = 0;
    bool waitsOnChild = false;
    for (auto& slot : table_) {
        if (!slot) continue;
        StepConnection(*slot, StepCause::Pass);
        if (slot->state == ConnectionState::Closed) {
            Free(slot);
            continue;
        }
        ++live;
        const Wait wait = WaitsFor(*slot);
        if (wait != Wait::Nothing) ++waiting;
        waitsOnChild = waitsOnChild || wait == Wait::Child;
        WatchConnection(*slot);
    }
    if (live == 0) {
        workPending_ = false;
        queue_->KillTimer(kPumpTimerId);
        return false;
    }
    if (waiting == live) {
        // Nothing can progress until a client, a socket or a child says so; the
        // timer looks at running programs and at clients that went silent.
        workPending_ = false;
        queue_->SetTimer(kPumpTimerId, NextWakeUp(waitsOnChild));
        return false;
    }
    workPending_ = true;
    return true;
}

std::uint32_t Server::NextWakeUp(bool waitsOnChild) const {
    std::uint32_t wakeUp = waitsOnChild ? kPumpTimerMs : idleLimitMs_;
    const std::uint32_t now = platform::TickCount();
    for (const auto& slot : table_) {
        if (!slot) continue;
        const Wait wait = WaitsFor(*slot);
        if (wait != Wait::ClientBytes && wait != Wait::SocketRoom) continue;
        wakeUp = std::min(wakeUp, WaitLeft(*slot, now));
    }
    return std::max<std::uint32_t>(wakeUp, 1);
}
