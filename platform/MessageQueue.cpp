#include "platform/MessageQueue.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <ctime>
#include <initializer_list>

namespace platform {
namespace {

std::uint64_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

bool IsSocketEvent(const Message& message) {
    return message.id == kSocketEventMessage;
}

Readiness EventFlag(std::int64_t event) {
    return event == kSocketWrite ? Readiness::Write : Readiness::Read;
}

std::uint32_t LiveEvents(Readiness live) {
    std::uint32_t events = 0;
    if (Has(live, Readiness::Read)) events |= EPOLLIN;
    if (Has(live, Readiness::Write)) events |= EPOLLOUT;
    return events;
}

epoll_event EpollEvent(int descriptor, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.fd = descriptor;
    return event;
}

bool WatchReadable(int epoll, int descriptor) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = descriptor;
    return epoll_ctl(epoll, EPOLL_CTL_ADD, descriptor, &event) == 0;
}

void CloseAll(std::initializer_list<int> descriptors) {
    for (const int descriptor : descriptors) {
        if (descriptor >= 0) close(descriptor);
    }
}

}  // namespace

std::unique_ptr<MessageQueue> MessageQueue::Create() {
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    const int timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll < 0 || timer < 0 || wake < 0 || !WatchReadable(epoll, timer) || !WatchReadable(epoll, wake)) {
        CloseAll({wake, timer, epoll});
        return nullptr;
    }
    return std::unique_ptr<MessageQueue>(new MessageQueue(epoll, timer, wake));
}

MessageQueue::MessageQueue(int epoll, int timerDescriptor, int wakeDescriptor)
    : epoll_(epoll), timerDescriptor_(timerDescriptor), wakeDescriptor_(wakeDescriptor) {}

MessageQueue::~MessageQueue() {
    CloseAll({wakeDescriptor_, timerDescriptor_, epoll_});
}

int MessageQueue::Get(Message& message) {
    while (queue_.empty()) {
        if (!Collect(-1)) return -1;
    }
    message = TakeFront();
    return message.id == kQuitMessage ? 0 : 1;
}

bool MessageQueue::Peek(Message& message, PeekMode mode) {
    if (queue_.empty()) Collect(0);
    if (queue_.empty()) return false;
    message = mode == PeekMode::Remove ? TakeFront() : queue_.front();
    return true;
}

bool MessageQueue::TakeWaiting(Message& message) {
    if (queue_.empty()) return false;
    message = TakeFront();
    return true;
}

void MessageQueue::Post(const Message& message) {
    queue_.push_back(message);
    if (wakeSignalled_) return;
    const std::uint64_t one = 1;
    wakeSignalled_ = write(wakeDescriptor_, &one, sizeof one) == sizeof one;
}

void MessageQueue::ClearWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t ignored = read(wakeDescriptor_, &count, sizeof count);
    wakeSignalled_ = false;
}

void MessageQueue::PostQuit(int exitCode) {
    Post(Message{kQuitMessage, static_cast<std::uint64_t>(exitCode), 0});
}

void MessageQueue::SetTimer(std::uint32_t id, std::uint32_t milliseconds) {
    Timer& timer = timers_[id];
    timer.interval = milliseconds;
    timer.due = MonotonicMilliseconds() + milliseconds;
    ScheduleTimerDescriptor();
}

void MessageQueue::KillTimer(std::uint32_t id) {
    if (timers_.erase(id) > 0) ScheduleTimerDescriptor();
}

void MessageQueue::WatchListener(int socket) {
    auto found = watches_.find(socket);
    if (found != watches_.end()) {
        // It stays armed: only its next accept event is let through.
        found->second.undelivered = Readiness::None;
        return;
    }
    Watch watch;
    watch.kind = WatchKind::Listener;
    watch.wanted = Readiness::Read;
    watches_[socket] = watch;
    Add(socket, watches_[socket]);
}

void MessageQueue::WatchSocket(int socket, Readiness wanted) {
    auto found = watches_.find(socket);
    if (found == watches_.end()) {
        // A socket that waits for nothing yet joins epoll only once it has to wait, so
        // one that is answered at once costs no epoll_ctl at all.
        if (wanted == Readiness::None) return;
        Watch watch;
        watch.wanted = wanted;
        watches_[socket] = watch;
        Add(socket, watches_[socket]);
        return;
    }
    Rearm(found->second, wanted);
}

void MessageQueue::Rearm(Watch& watch, Readiness wanted) {
    if (watch.wanted == wanted && watch.undelivered == Readiness::None) return;
    watch.wanted = wanted;
    watch.undelivered = Readiness::None;
    interestChanged_ = true;
}

void MessageQueue::WatchDescriptor(int descriptor, const Message& message) {
    Watch watch;
    watch.kind = WatchKind::Descriptor;
    watch.wanted = Readiness::Read;
    watch.message = message;
    watches_[descriptor] = watch;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = descriptor;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, descriptor, &event);
    watches_[descriptor].armed = EPOLLIN;
}

void MessageQueue::StopWatching(int descriptor) {
    Forget(descriptor);
    std::erase_if(queue_, [descriptor](const Message& message) {
        return IsSocketEvent(message) && message.first == static_cast<std::uint64_t>(descriptor);
    });
}

void MessageQueue::Forget(int descriptor) {
    if (watches_.erase(descriptor) > 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, descriptor, nullptr);
}

bool MessageQueue::Collect(int timeoutMs) {
    ApplyInterest();
    std::array<epoll_event, 64> events{};
    const int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), timeoutMs);
    if (count < 0) return errno == EINTR;
    for (int i = 0; i < count; ++i) {
        if (events[i].data.fd == timerDescriptor_) {
            PostDueTimers();
        } else if (events[i].data.fd == wakeDescriptor_) {
            ClearWake();  // the posted messages are in the queue already
        } else {
            PostReady(events[i].data.fd, events[i].events);
        }
    }
    return true;
}

void MessageQueue::ApplyInterest() {
    if (!interestChanged_) return;
    interestChanged_ = false;
    for (auto& [descriptor, watch] : watches_) Arm(descriptor, watch);
}

// A listener stays armed: epoll is only asked while the queue is empty, so its
// waiting accept event is always taken before epoll can report it again, and keeping
// it armed saves a call per client. A connected socket is disarmed for what was
// posted until its owner has acted on it.
std::uint32_t MessageQueue::ArmedEvents(const Watch& watch) {
    if (watch.kind == WatchKind::Listener) return LiveEvents(watch.wanted);
    return LiveEvents(watch.wanted & ~watch.undelivered);
}

// A new watch goes into epoll with its events at once.
void MessageQueue::Add(int descriptor, Watch& watch) {
    watch.armed = ArmedEvents(watch);
    epoll_event event = EpollEvent(descriptor, watch.armed);
    epoll_ctl(epoll_, EPOLL_CTL_ADD, descriptor, &event);
}

void MessageQueue::Arm(int descriptor, Watch& watch) {
    if (watch.kind == WatchKind::Descriptor) return;
    const std::uint32_t events = ArmedEvents(watch);
    if (events == watch.armed) return;
    watch.armed = events;
    epoll_event event = EpollEvent(descriptor, watch.armed);
    epoll_ctl(epoll_, EPOLL_CTL_MOD, descriptor, &event);
}

void MessageQueue::PostReady(int descriptor, std::uint32_t events) {
    auto found = watches_.find(descriptor);
    if (found == watches_.end()) return;
    Watch& watch = found->second;
    const auto post = [&](std::int64_t event) {
        queue_.push_back(Message{kSocketEventMessage, static_cast<std::uint64_t>(descriptor), event});
        watch.undelivered = watch.undelivered | EventFlag(event);
    };
    switch (watch.kind) {
        case WatchKind::Descriptor:
            queue_.push_back(watch.message);
            Forget(descriptor);
            return;
        case WatchKind::Listener:
            if ((events & EPOLLIN) && !Has(watch.undelivered, Readiness::Read)) post(kSocketAccept);
            return;
        case WatchKind::Socket:
            if (events & (EPOLLERR | EPOLLHUP)) {
                // A reset or hang-up: the last event of this socket.
                queue_.push_back(Message{kSocketEventMessage, static_cast<std::uint64_t>(descriptor), kSocketClose});
                Forget(descriptor);
                return;
            }
            if ((events & EPOLLIN) && Has(watch.wanted, Readiness::Read)) post(kSocketRead);
            if ((events & EPOLLOUT) && Has(watch.wanted, Readiness::Write)) post(kSocketWrite);
            break;
    }
    Arm(descriptor, watch);
}

void MessageQueue::PostDueTimers() {
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t ignored = read(timerDescriptor_, &expirations, sizeof expirations);
    timerDescriptorDue_ = 0;  // it has expired
    const std::uint64_t now = MonotonicMilliseconds();
    for (auto& [id, timer] : timers_) {
        if (timer.due > now) continue;
        if (!timer.waiting) {
            queue_.push_back(Message{kTimerMessage, id, 0});
            timer.waiting = true;
        }
        timer.due = now + timer.interval;
    }
    ScheduleTimerDescriptor();
}

void MessageQueue::ScheduleTimerDescriptor() {
    std::uint64_t earliest = 0;
    for (const auto& [id, timer] : timers_) {
        if (earliest == 0 || timer.due < earliest) earliest = timer.due;
    }
    // An expiry already set no later than needed is kept, even with no timer left:
    // waking early costs one look at the timers, while setting the descriptor anew
    // would cost a call every time the server sets or kills its timer.
    if (earliest == 0 || (timerDescriptorDue_ != 0 && timerDescriptorDue_ <= earliest)) return;
    timerDescriptorDue_ = earliest;
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<time_t>(earliest / 1000);
    spec.it_value.tv_nsec = static_cast<long>(earliest % 1000) * 1000000L;
    timerfd_settime(timerDescriptor_, TFD_TIMER_ABSTIME, &spec, nullptr);
}

Message MessageQueue::TakeFront() {
    Message message = queue_.front();
    queue_.pop_front();
    if (message.id == kTimerMessage) {
        auto found = timers_.find(static_cast<std::uint32_t>(message.first));
        if (found != timers_.end()) found->second.waiting = false;
    }
    return message;
}

}  // namespace platform
