#include "platform/MessageQueue.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>

namespace platform {

// Outside the unnamed namespace so that lookups from std::optional and GoogleTest find them.
void PrintTo(const Message& message, std::ostream* out) {
    *out << "{id " << message.id << ", first " << message.first << ", second " << message.second << "}";
}

bool operator==(const Message& a, const Message& b) {
    return a.id == b.id && a.first == b.first && a.second == b.second;
}

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

Message SocketEvent(int socket, std::int64_t event) {
    return Message{kSocketEventMessage, static_cast<std::uint64_t>(socket), event};
}

// Closes on scope exit so a failing test leaks nothing.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~Descriptor() { Close(); }
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor&&) = delete;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const { return descriptor_; }
    void Close() {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = -1;
    }

private:
    int descriptor_;
};

std::pair<Descriptor, Descriptor> SocketPair() {
    std::array<int, 2> ends{-1, -1};
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()), 0);
    return {Descriptor(ends[0]), Descriptor(ends[1])};
}

void WriteBytes(int socket, const std::string& bytes) {
    ASSERT_EQ(send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

// Reads whatever waits, without blocking.
std::string DrainBytes(int socket) {
    std::string all;
    std::array<char, 4096> block{};
    for (;;) {
        const ssize_t count = recv(socket, block.data(), block.size(), MSG_DONTWAIT);
        if (count <= 0) return all;
        all.append(block.data(), static_cast<std::size_t>(count));
    }
}

struct Listener {
    Descriptor socket;
    std::uint16_t port = 0;
};

Listener ListenOnLoopback() {
    Listener listener{Descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)), 0};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    EXPECT_EQ(bind(listener.socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listener.socket.Get(), 4), 0);
    socklen_t length = sizeof address;
    EXPECT_EQ(getsockname(listener.socket.Get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    listener.port = ntohs(address.sin_port);
    return listener;
}

Descriptor ConnectTo(std::uint16_t port) {
    Descriptor client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    EXPECT_EQ(connect(client.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return client;
}

Descriptor AcceptFrom(const Listener& listener) {
    for (int tries = 0; tries < 200; ++tries) {
        const int accepted = accept4(listener.socket.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (accepted >= 0) return Descriptor(accepted);
        std::this_thread::sleep_for(5ms);
    }
    ADD_FAILURE() << "no client to accept";
    return Descriptor();
}

class MessageQueueTest : public testing::Test {
protected:
    void SetUp() override {
        queue = MessageQueue::Create();
        ASSERT_NE(queue, nullptr);
    }

    // The next message taken from the queue, or nothing within `limit`.
    std::optional<Message> Next(Clock::duration limit = 2s) {
        const auto deadline = Clock::now() + limit;
        Message message;
        for (;;) {
            if (queue->Peek(message, platform::PeekMode::Remove)) return message;
            if (Clock::now() >= deadline) return std::nullopt;
            pollfd watch{queue->Descriptor(), POLLIN, 0};
            poll(&watch, 1, 5);
        }
    }

    // True when nothing at all arrives for `span`, however often the queue is asked.
    bool StaysQuiet(Clock::duration span = 150ms) {
        const auto deadline = Clock::now() + span;
        Message message;
        while (Clock::now() < deadline) {
            if (queue->Peek(message, platform::PeekMode::Keep)) {
                ADD_FAILURE() << "unexpected message " << testing::PrintToString(message);
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    std::unique_ptr<MessageQueue> queue;
};

// ---------------------------------------------------------------------------
// Posted messages

TEST_F(MessageQueueTest, PostedMessagesComeInOrder) {
    const Message first{kCommandMessage, 1, 0};
    const Message second{kCommandMessage, 2, 5};
    const Message third{kDestroyMessage, 0, 0};
    queue->Post(first);
    queue->Post(second);
    queue->Post(third);
    Message message;
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message, first);
    ASSERT_EQ(queue->Get(message), 1);
    EXPECT_EQ(message, second);
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message, third);
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Remove));
}

// Another loop (the desktop's) waits on the descriptor: a posted message must wake it,
// and an empty queue must let it sleep.
TEST_F(MessageQueueTest, DescriptorIsReadableWhilePostedMessagesWait) {
    const auto readable = [this] {
        pollfd watch{queue->Descriptor(), POLLIN, 0};
        return poll(&watch, 1, 0) == 1;
    };
    Message message;
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Keep));
    EXPECT_FALSE(readable());
    queue->Post(Message{kCommandMessage, 1, 0});
    queue->Post(Message{kCommandMessage, 2, 0});
    EXPECT_TRUE(readable());
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_TRUE(readable()) << "one message still waits";
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Keep));
    EXPECT_FALSE(readable()) << "an emptied queue lets the other loop sleep";
    queue->Post(Message{kCommandMessage, 3, 0});
    EXPECT_TRUE(readable());
}

TEST_F(MessageQueueTest, PeekWithoutRemovalLeavesMessage) {
    const Message posted{kCommandMessage, 40001, 0};
    queue->Post(posted);
    Message message;
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Keep));
    EXPECT_EQ(message, posted);
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Keep));
    EXPECT_EQ(message, posted);
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message, posted);
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Keep));
}

TEST_F(MessageQueueTest, TakeWaitingTakesOnlyWhatIsQueuedAlready) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    WriteBytes(peer.Get(), "x");
    const Message posted{kCommandMessage, 5, 0};
    queue->Post(posted);
    Message message;
    ASSERT_TRUE(queue->TakeWaiting(message));
    EXPECT_EQ(message, posted);
    // The socket is ready, but only asking epoll brings its event.
    EXPECT_FALSE(queue->TakeWaiting(message));
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message, SocketEvent(local.Get(), kSocketRead));
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, EmptyPeekReturnsAtOnce) {
    Message message;
    const auto start = Clock::now();
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Keep));
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_LT(Clock::now() - start, 500ms);
}

TEST_F(MessageQueueTest, GetReturnsZeroForQuitWithExitCode) {
    queue->Post(Message{kCommandMessage, 9, 0});
    queue->PostQuit(3);
    Message message;
    ASSERT_EQ(queue->Get(message), 1);
    EXPECT_EQ(message.id, kCommandMessage);
    ASSERT_EQ(queue->Get(message), 0);
    EXPECT_EQ(message.id, kQuitMessage);
    EXPECT_EQ(message.first, 3u);
}

TEST_F(MessageQueueTest, GetBlocksUntilSocketEvent) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    std::thread writer([&peer = peer] {
        std::this_thread::sleep_for(50ms);
        WriteBytes(peer.Get(), "x");
    });
    Message message;
    const int result = queue->Get(message);
    writer.join();
    ASSERT_EQ(result, 1);
    EXPECT_EQ(message, SocketEvent(local.Get(), kSocketRead));
    queue->StopWatching(local.Get());
}

// ---------------------------------------------------------------------------
// Connected sockets

TEST_F(MessageQueueTest, ReadEventOnceUntilWatchedAgain) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    EXPECT_TRUE(StaysQuiet(50ms)) << "no data, no event";

    WriteBytes(peer.Get(), "GET / HTTP/1.0\r\n\r\n");
    const auto event = SocketEvent(local.Get(), kSocketRead);
    Message message;
    for (int tries = 0; tries < 400 && !queue->Peek(message, platform::PeekMode::Keep); ++tries)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(message, event);
    // More data while the event waits adds no second event behind it.
    WriteBytes(peer.Get(), "more");
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(Next(), event);
    // Taken but not acted on: the unread data does not keep the loop busy.
    EXPECT_TRUE(StaysQuiet());
    // Watched again: the data still waits, so the event comes again.
    queue->WatchSocket(local.Get(), Readiness::Read);
    ASSERT_EQ(Next(), event);
    EXPECT_EQ(DrainBytes(local.Get()), "GET / HTTP/1.0\r\n\r\nmore");
    queue->WatchSocket(local.Get(), Readiness::Read);
    EXPECT_TRUE(StaysQuiet()) << "everything was read";

    WriteBytes(peer.Get(), "again");
    EXPECT_EQ(Next(), event);
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, NoReadEventWhenNothingWanted) {
    auto [local, peer] = SocketPair();
    WriteBytes(peer.Get(), "pending");
    queue->WatchSocket(local.Get(), Readiness::None);
    EXPECT_TRUE(StaysQuiet());
    // Wanting it later brings the event for the data that waited.
    queue->WatchSocket(local.Get(), Readiness::Read);
    EXPECT_EQ(Next(), SocketEvent(local.Get(), kSocketRead));
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, ReadEventStopsWhenNoLongerWanted) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    WriteBytes(peer.Get(), "x");
    ASSERT_EQ(Next(), SocketEvent(local.Get(), kSocketRead));
    queue->WatchSocket(local.Get(), Readiness::None);
    EXPECT_TRUE(StaysQuiet());
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, WriteEventWhenWanted) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    EXPECT_TRUE(StaysQuiet(50ms)) << "a writable socket gives no write event unless asked";

    queue->WatchSocket(local.Get(), Readiness::Read | Readiness::Write);
    const auto event = SocketEvent(local.Get(), kSocketWrite);
    ASSERT_EQ(Next(), event);
    EXPECT_TRUE(StaysQuiet()) << "nothing sent yet: no second event";
    queue->WatchSocket(local.Get(), Readiness::Read | Readiness::Write);
    EXPECT_EQ(Next(), event) << "still writable when watched again";
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, ReadAndWriteEventsTogether) {
    auto [local, peer] = SocketPair();
    WriteBytes(peer.Get(), "x");
    queue->WatchSocket(local.Get(), Readiness::Read | Readiness::Write);
    std::optional<Message> a = Next();
    std::optional<Message> b = Next();
    ASSERT_TRUE(a && b);
    const auto read = SocketEvent(local.Get(), kSocketRead);
    const auto write = SocketEvent(local.Get(), kSocketWrite);
    EXPECT_TRUE((*a == read && *b == write) || (*a == write && *b == read));
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, WriteEventOnlyWhenSocketTakesDataAgain) {
    auto [local, peer] = SocketPair();
    const int size = 4096;
    setsockopt(local.Get(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    const std::string chunk(1024, 'f');
    while (send(local.Get(), chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
    }
    ASSERT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);

    queue->WatchSocket(local.Get(), Readiness::Write);
    EXPECT_TRUE(StaysQuiet()) << "a full socket is not writable";
    EXPECT_FALSE(DrainBytes(peer.Get()).empty());
    EXPECT_EQ(Next(), SocketEvent(local.Get(), kSocketWrite));
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, ClosedPeerGivesOneCloseEvent) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    peer.Close();
    EXPECT_EQ(Next(), SocketEvent(local.Get(), kSocketClose));
    // The socket is no longer watched: no read event for its end of file, no second close.
    EXPECT_TRUE(StaysQuiet());
    queue->StopWatching(local.Get());
}

TEST_F(MessageQueueTest, CloseEventEvenWhenNothingWanted) {
    // A connection that wants nothing more still learns that the client went away.
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    queue->WatchSocket(local.Get(), Readiness::None);
    peer.Close();
    EXPECT_EQ(Next(), SocketEvent(local.Get(), kSocketClose));
    EXPECT_TRUE(StaysQuiet());
}

TEST_F(MessageQueueTest, ASocketThatNeverWaitedIsNotWatched) {
    // Answered at once, a connection costs epoll nothing: wanting nothing before it
    // ever waited adds no watch, so its end brings no event either.
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::None);
    peer.Close();
    EXPECT_TRUE(StaysQuiet());
}

TEST_F(MessageQueueTest, ResetTcpPeerGivesOneCloseEvent) {
    Listener listener = ListenOnLoopback();
    Descriptor client = ConnectTo(listener.port);
    Descriptor served = AcceptFrom(listener);
    queue->WatchSocket(served.Get(), Readiness::Read);
    EXPECT_TRUE(StaysQuiet(50ms));

    const linger abort{1, 0};  // close with a reset instead of an orderly end
    ASSERT_EQ(setsockopt(client.Get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
    client.Close();
    EXPECT_EQ(Next(), SocketEvent(served.Get(), kSocketClose));
    EXPECT_TRUE(StaysQuiet());
    queue->StopWatching(served.Get());
}

TEST_F(MessageQueueTest, TcpRequestThenOrderlyCloseIsReadFirst) {
    // A client that sends its request and closes at once must still be heard.
    Listener listener = ListenOnLoopback();
    Descriptor client = ConnectTo(listener.port);
    Descriptor served = AcceptFrom(listener);
    WriteBytes(client.Get(), "GET / HTTP/1.0\r\n\r\n");
    client.Close();
    std::this_thread::sleep_for(20ms);
    queue->WatchSocket(served.Get(), Readiness::Read);
    EXPECT_EQ(Next(), SocketEvent(served.Get(), kSocketRead));
    EXPECT_EQ(DrainBytes(served.Get()), "GET / HTTP/1.0\r\n\r\n");
    queue->StopWatching(served.Get());
}

TEST_F(MessageQueueTest, StopWatchingDropsOnlyThatSocketsMessages) {
    auto [first, firstPeer] = SocketPair();
    auto [second, secondPeer] = SocketPair();
    queue->WatchSocket(first.Get(), Readiness::Read);
    queue->WatchSocket(second.Get(), Readiness::Read);
    WriteBytes(firstPeer.Get(), "1");
    WriteBytes(secondPeer.Get(), "2");
    std::this_thread::sleep_for(20ms);
    Message message;
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Keep));  // both events are queued now
    const Message command{kCommandMessage, 77, 0};
    queue->Post(command);

    queue->StopWatching(first.Get());
    EXPECT_EQ(Next(), SocketEvent(second.Get(), kSocketRead));
    EXPECT_EQ(Next(), command);
    // The second socket goes on being watched; the first one never reports again.
    queue->WatchSocket(second.Get(), Readiness::Read);
    EXPECT_EQ(Next(), SocketEvent(second.Get(), kSocketRead));
    WriteBytes(firstPeer.Get(), "more");
    queue->WatchSocket(second.Get(), Readiness::None);
    EXPECT_TRUE(StaysQuiet());
    queue->StopWatching(second.Get());
}

TEST_F(MessageQueueTest, StopWatchingDropsWaitingCloseEvent) {
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    peer.Close();
    std::this_thread::sleep_for(20ms);
    Message message;
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Keep));
    ASSERT_EQ(message, SocketEvent(local.Get(), kSocketClose));
    queue->StopWatching(local.Get());
    EXPECT_TRUE(StaysQuiet(50ms));
}

TEST_F(MessageQueueTest, NumberOfClosedSocketCanBeWatchedAgain) {
    auto pair = SocketPair();
    const int number = pair.first.Get();
    queue->WatchSocket(number, Readiness::Read);
    queue->StopWatching(number);
    pair.first.Close();
    pair.second.Close();
    // The next socket usually gets the same number; it is watched afresh.
    auto [local, peer] = SocketPair();
    queue->WatchSocket(local.Get(), Readiness::Read);
    WriteBytes(peer.Get(), "x");
    EXPECT_EQ(Next(), SocketEvent(local.Get(), kSocketRead));
    queue->StopWatching(local.Get());
}

// ---------------------------------------------------------------------------
// Listening sockets

TEST_F(MessageQueueTest, AcceptEventWhileClientWaits) {
    Listener listener = ListenOnLoopback();
    queue->WatchListener(listener.socket.Get());
    EXPECT_TRUE(StaysQuiet(50ms)) << "no client, no event";

    Descriptor client = ConnectTo(listener.port);
    const auto event = SocketEvent(listener.socket.Get(), kSocketAccept);
    ASSERT_EQ(Next(), event);
    EXPECT_TRUE(StaysQuiet()) << "one event until the listener is watched again";
    // Not accepted yet: the client still waits, so watching again brings the event again.
    queue->WatchListener(listener.socket.Get());
    ASSERT_EQ(Next(), event);
    Descriptor served = AcceptFrom(listener);
    queue->WatchListener(listener.socket.Get());
    EXPECT_TRUE(StaysQuiet()) << "no client waits";

    Descriptor another = ConnectTo(listener.port);
    EXPECT_EQ(Next(), event);
    queue->StopWatching(listener.socket.Get());
    EXPECT_TRUE(StaysQuiet(50ms));
}

// ---------------------------------------------------------------------------
// Timers

TEST_F(MessageQueueTest, TimerMessageAfterItsInterval) {
    const auto start = Clock::now();
    queue->SetTimer(7, 100);
    const std::optional<Message> message = Next(3s);
    const auto elapsed = Clock::now() - start;
    ASSERT_TRUE(message);
    EXPECT_EQ(*message, (Message{kTimerMessage, 7, 0}));
    EXPECT_GE(elapsed, 95ms);
    EXPECT_LT(elapsed, 2s);
    // Periodic: it comes again.
    EXPECT_EQ(Next(3s), (Message{kTimerMessage, 7, 0}));
    queue->KillTimer(7);
}

TEST_F(MessageQueueTest, MissedIntervalsLeaveOneTimerMessage) {
    queue->SetTimer(3, 50);
    std::this_thread::sleep_for(400ms);
    Message message;
    ASSERT_TRUE(queue->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message, (Message{kTimerMessage, 3, 0}));
    EXPECT_FALSE(queue->Peek(message, platform::PeekMode::Remove)) << "many intervals passed but one message waits";
    queue->KillTimer(3);
}

TEST_F(MessageQueueTest, TimersKeepTheirIds) {
    queue->SetTimer(1, 30);
    queue->SetTimer(2, 60);
    bool seenOne = false;
    bool seenTwo = false;
    const auto deadline = Clock::now() + 2s;
    while (!(seenOne && seenTwo) && Clock::now() < deadline) {
        const std::optional<Message> message = Next(2s);
        ASSERT_TRUE(message);
        ASSERT_EQ(message->id, kTimerMessage);
        seenOne = seenOne || message->first == 1;
        seenTwo = seenTwo || message->first == 2;
        ASSERT_TRUE(message->first == 1 || message->first == 2);
    }
    EXPECT_TRUE(seenOne && seenTwo);
    queue->KillTimer(1);
    queue->KillTimer(2);
}

TEST_F(MessageQueueTest, KillTimerStopsIt) {
    queue->SetTimer(5, 30);
    queue->KillTimer(5);
    EXPECT_TRUE(StaysQuiet(200ms));
}

TEST_F(MessageQueueTest, KillingOneTimerKeepsTheOther) {
    queue->SetTimer(5, 30);
    queue->SetTimer(6, 40);
    queue->KillTimer(5);
    EXPECT_EQ(Next(), (Message{kTimerMessage, 6, 0}));
    queue->KillTimer(6);
}

TEST_F(MessageQueueTest, SetTimerAgainRestartsInterval) {
    queue->SetTimer(9, 2000);
    queue->SetTimer(9, 30);
    const auto start = Clock::now();
    EXPECT_EQ(Next(3s), (Message{kTimerMessage, 9, 0}));
    EXPECT_LT(Clock::now() - start, 1500ms);
    queue->KillTimer(9);
}

// ---------------------------------------------------------------------------
// Other descriptors

TEST_F(MessageQueueTest, WatchDescriptorPostsOnceThenForgets) {
    Descriptor wakeUp(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    ASSERT_GE(wakeUp.Get(), 0);
    const Message wake{kChildExitedMessage, 12, 34};
    queue->WatchDescriptor(wakeUp.Get(), wake);
    EXPECT_TRUE(StaysQuiet(50ms)) << "not readable yet";

    const std::uint64_t one = 1;
    ASSERT_EQ(write(wakeUp.Get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    EXPECT_EQ(Next(), wake);
    // Still readable (never read), and written again: the queue has forgotten it.
    ASSERT_EQ(write(wakeUp.Get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    EXPECT_TRUE(StaysQuiet());

    // Forgotten means free to be watched again.
    queue->WatchDescriptor(wakeUp.Get(), wake);
    EXPECT_EQ(Next(), wake);
}

TEST_F(MessageQueueTest, WatchDescriptorOnPipe) {
    std::array<int, 2> ends{-1, -1};
    ASSERT_EQ(pipe2(ends.data(), O_CLOEXEC), 0);
    Descriptor reader(ends[0]);
    Descriptor writer(ends[1]);
    const Message ended{kCommandMessage, 40002, 0};
    queue->WatchDescriptor(reader.Get(), ended);
    EXPECT_TRUE(StaysQuiet(50ms));
    writer.Close();  // end of file makes the read end readable
    EXPECT_EQ(Next(), ended);
    EXPECT_TRUE(StaysQuiet());
}

}  // namespace
}  // namespace platform
