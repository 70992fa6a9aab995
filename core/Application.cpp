#include "core/Application.h"

#include "platform/Clock.h"

namespace {

// How long one turn may pump before the desktop gets its events handled.
constexpr std::uint32_t kTurnPumpMs = 8;

}  // namespace

int Application::Run() {
    server.SetWorkPending();
    platform::Message message;
    // epoll is asked at most once between two pump passes. Right after it has
    // answered, a second look could only find what arrived microseconds later, which
    // the look after the next pass finds as well; it would cost a call per request.
    bool askedSincePass = false;
    for (;;) {
        if (!server.WorkPending()) {
            if (queue_.Get(message) != 1) break;
        } else if (!(askedSincePass ? queue_.TakeWaiting(message) : queue_.Peek(message, platform::PeekMode::Remove))) {
            OnIdle();
            askedSincePass = false;
            continue;
        }
        askedSincePass = true;
        if (message.id == platform::kQuitMessage) break;
        WindowProcedure(message);
    }
    return message.id == platform::kQuitMessage ? static_cast<int>(message.first) : 0;
}

Application::TurnResult Application::Turn(int& exitCode) {
    platform::Message message;
    while (queue_.Peek(message, platform::PeekMode::Remove)) {
        if (message.id == platform::kQuitMessage) {
            exitCode = static_cast<int>(message.first);
            return TurnResult::Quit;
        }
        WindowProcedure(message);
    }
    const std::uint32_t start = platform::TickCount();
    while (server.WorkPending() && server.PumpPass()) {
        if (queue_.Peek(message, platform::PeekMode::Keep) || platform::TickCount() - start >= kTurnPumpMs)
            return TurnResult::Busy;
    }
    // Peeking also hands changed watches to epoll before the desktop waits on it.
    return queue_.Peek(message, platform::PeekMode::Keep) ? TurnResult::Busy : TurnResult::Idle;
}

void Application::OnIdle() {
    server.PumpConnections();
}

std::int64_t Application::WindowProcedure(const platform::Message& message) {
    switch (message.id) {
        case platform::kSocketEventMessage:
            OnSocketEvent(message);
            server.SetWorkPending();
            return 0;
        case platform::kTimerMessage:
            queue_.KillTimer(static_cast<std::uint32_t>(message.first));
            server.SetWorkPending();
            return 0;
        case platform::kChildExitedMessage:
            WatchChildExits(childExits_);
            server.SetWorkPending();
            return 0;
        default:
            return windowLogic_ != nullptr ? windowLogic_->Handle(message) : 0;
    }
}

void Application::OnSocketEvent(const platform::Message& message) {
    const int socket = static_cast<int>(message.first);
    switch (message.second & 0xFFFF) {
        case platform::kSocketRead:
            server.OnReadable(socket);
            break;
        case platform::kSocketAccept:
            server.OnAccept();
            break;
        case platform::kSocketClose:
            server.OnPeerClosed(socket);
            break;
        default:
            break;  // a socket that can take data again: the pump goes on with it
    }
}

void Application::WatchChildExits(platform::ChildExitSignals* signals) {
    childExits_ = signals;
    if (childExits_ == nullptr || childExits_->Descriptor() < 0) return;
    childExits_->Drain();
    queue_.WatchDescriptor(childExits_->Descriptor(), platform::Message{platform::kChildExitedMessage, 0, 0});
}
