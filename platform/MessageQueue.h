#pragma once
// The one queue of the one thread: posted messages, socket events and timers over
// epoll. Socket readiness is delivered as socket event messages. Once an event has
// been posted for a socket, that socket stays quiet until its owner watches it
// again, having acted on it (read, sent, accepted); so readiness that nobody acts on
// yet can neither flood the queue nor keep the loop from its idle work. epoll is
// asked only while the queue is empty.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/Message.h"
#include "platform/Readiness.h"

namespace platform {

enum class PeekMode { Remove, Keep };

class MessageQueue {
public:
    static std::unique_ptr<MessageQueue> Create();  // nullptr when epoll is not available
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Blocks until a message arrives: 1 for a message, 0 for the quit message, -1 on error.
    int Get(Message& message);
    // Does not block: true when a message waits, which `mode` takes or leaves.
    bool Peek(Message& message, PeekMode mode);
    // Takes a message already in the queue without asking epoll for more.
    bool TakeWaiting(Message& message);
    void Post(const Message& message);
    void PostQuit(int exitCode);

    // A periodic timer: a timer message every `milliseconds` until killed. At most one
    // message of a timer waits in the queue at a time.
    void SetTimer(std::uint32_t id, std::uint32_t milliseconds);
    void KillTimer(std::uint32_t id);

    // A listening socket: an accept event while clients wait. Call it again after
    // each accept.
    void WatchListener(int socket);
    // A connected socket: read and write events as wanted; a reset or hang-up is a
    // close event, after which the socket is no longer watched. Call it again after
    // acting on an event. A socket not watched yet that wants nothing is not added.
    void WatchSocket(int socket, Readiness wanted);
    // Forgets a socket or descriptor and drops its messages that wait in the queue.
    // Call it before the descriptor is closed.
    void StopWatching(int descriptor);
    // Any descriptor: `message` is posted once when it becomes readable, then the
    // descriptor is forgotten (signals, a child's exit).
    void WatchDescriptor(int descriptor, const Message& message);

    // The epoll descriptor, for joining another event loop: readable when a posted
    // message waits or a socket, timer or watched descriptor is ready. Before the other
    // loop waits on it, Peek once so that changed watches reach epoll.
    [[nodiscard]] int Descriptor() const { return epoll_; }

private:
    enum class WatchKind { Listener, Socket, Descriptor };
    struct Watch {
        WatchKind kind = WatchKind::Socket;
        Readiness wanted = Readiness::None;
        Readiness undelivered = Readiness::None;  // events posted but not yet taken
        std::uint32_t armed = 0;                  // what epoll watches now
        Message message;                          // for WatchKind::Descriptor
    };
    struct Timer {
        std::uint32_t interval = 0;
        std::uint64_t due = 0;
        bool waiting = false;  // its message is in the queue
    };

    MessageQueue(int epoll, int timerDescriptor, int wakeDescriptor);
    // Waits up to `timeoutMs` (-1: for ever) and posts what became ready.
    bool Collect(int timeoutMs);
    void ApplyInterest();
    void Add(int descriptor, Watch& watch);
    static std::uint32_t ArmedEvents(const Watch& watch);
    void Arm(int descriptor, Watch& watch);
    void Rearm(Watch& watch, Readiness wanted);
    void PostReady(int descriptor, std::uint32_t events);
    void PostDueTimers();
    void ScheduleTimerDescriptor();
    Message TakeFront();
    void ClearWake();
    void Forget(int descriptor);

    int epoll_;
    int timerDescriptor_;
    std::uint64_t timerDescriptorDue_ = 0;  // when the timer descriptor expires; 0: not set
    int wakeDescriptor_;                    // an eventfd: signalled while posted messages wait
    bool wakeSignalled_ = false;
    std::deque<Message> queue_;
    std::unordered_map<int, Watch> watches_;
    std::map<std::uint32_t, Timer> timers_;
    bool interestChanged_ = false;
};

}  // namespace platform
