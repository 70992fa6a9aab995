// The one queue over a real socket pair, loopback TCP, an eventfd and timers.
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "platform/FileHandle.h"
#include "platform/Socket.h"
#include "tests/support/RawClient.h"

namespace platform {

// Outside the unnamed namespace, so that GoogleTest and std::optional find them.
bool operator==(const Message& a, const Message& b) {
    return a.id == b.id && a.first == b.first && a.second == b.second;
}
void PrintTo(const Message& m, std::ostream* out) {
    *out << "{" << m.id << ", " << m.first << ", " << m.second << "}";
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr Readiness kRead = Readiness::Read;
constexpr Readiness kWrite = Readiness::Write;

Message EventOf(const Socket& socket, std::int64_t event) {
    return {kSocketEventMessage, static_cast<std::uint64_t>(socket.Descriptor()), event};
}
std::string Drain(Socket& socket) {
    std::string all;
    char block[4096];
    for (IoResult got; (got = socket.Receive(block, sizeof block)).status == IoStatus::Done;)
        all.append(block, got.count);
    return all;
}

// A queue and a connected pair of sockets: `local` is the server's end, `peer` the client's.
class MessageQueueTest : public testing::Test {
protected:
    MessageQueueTest() {
        int ends[2] = {-1, -1};
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends);
        local = Socket(ends[0]);
        peer = Socket(ends[1]);
    }
    void SetUp() override { ASSERT_TRUE(queue != nullptr && local.IsOpen()); }
    Message Event(std::int64_t event) const { return EventOf(local, event); }
    void Watch(Readiness wanted) { queue->WatchSocket(local.Descriptor(), wanted); }
    void Send(std::string_view bytes) { EXPECT_EQ(peer.Send(bytes.data(), bytes.size()).count, bytes.size()); }
    // The next message, waited for on the descriptor as the desktop's loop waits.
    std::optional<Message> Next(Clock::duration limit = 2s) {
        Message message;
        for (const auto deadline = Clock::now() + limit; !queue->Peek(message, PeekMode::Remove);) {
            if (Clock::now() >= deadline) return std::nullopt;
            pollfd watch{queue->Descriptor(), POLLIN, 0};
            poll(&watch, 1, 5);
        }
        return message;
    }
    // True when nothing arrives for `span`, however often the queue is asked.
    bool Quiet(Clock::duration span = 150ms) {
        Message message;
        for (const auto deadline = Clock::now() + span; Clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
            if (queue->Peek(message, PeekMode::Keep)) return false;
        }
        return true;
    }

    std::unique_ptr<MessageQueue> queue = MessageQueue::Create();
    Socket local, peer;
};

// Another loop (the desktop's) sleeps on the descriptor: posted messages must wake it.
TEST_F(MessageQueueTest, PostedMessagesComeInOrderAndKeepTheDescriptorReadableWhileTheyWait) {
    pollfd watch{queue->Descriptor(), POLLIN, 0};
    Message message;
    EXPECT_FALSE(queue->Peek(message, PeekMode::Keep)) << "an empty peek returns at once";
    EXPECT_EQ(poll(&watch, 1, 0), 0);
    queue->Post({kCommandMessage, 1, 0});
    queue->Post({kCommandMessage, 2, 0});
    queue->PostQuit(3);
    ASSERT_TRUE(queue->Peek(message, PeekMode::Keep) && queue->Peek(message, PeekMode::Remove));
    EXPECT_EQ(message, (Message{kCommandMessage, 1, 0})) << "a kept message is still first";
    EXPECT_EQ(poll(&watch, 1, 0), 1) << "two messages still wait";
    EXPECT_EQ(queue->Get(message), 1);
    EXPECT_EQ(message, (Message{kCommandMessage, 2, 0}));
    EXPECT_EQ(queue->Get(message), 0) << "the quit message";
    EXPECT_EQ(message, (Message{kQuitMessage, 3, 0}));
    EXPECT_FALSE(queue->Peek(message, PeekMode::Keep));
    EXPECT_EQ(poll(&watch, 1, 0), 0) << "an emptied queue lets the other loop sleep";
}

// Readiness nobody acts on can neither flood the queue nor keep the loop busy.
TEST_F(MessageQueueTest, AReadEventComesOnceUntilTheSocketIsWatchedAgainAndOnlyWhileWanted) {
    Watch(kRead);
    EXPECT_TRUE(Quiet(50ms)) << "no data, no event";
    Send("GET / HTTP/1.0\r\n\r\n");
    Message message;
    for (int tries = 0; tries < 400 && !queue->Peek(message, PeekMode::Keep); ++tries) std::this_thread::sleep_for(5ms);
    Send("more");
    ASSERT_EQ(Next(), Event(kSocketRead));
    EXPECT_TRUE(Quiet()) << "more data while the event waited, and data left unread, add nothing";
    Watch(kRead);
    ASSERT_EQ(Next(), Event(kSocketRead)) << "watched again, the unread data is reported again";
    EXPECT_EQ(Drain(local), "GET / HTTP/1.0\r\n\r\nmore");
    Watch(kRead);
    EXPECT_TRUE(Quiet()) << "everything was read";
    Send("again");
    EXPECT_EQ(Next(), Event(kSocketRead));
    Watch(Readiness::None);
    EXPECT_TRUE(Quiet()) << "data waits, but nothing is wanted";
    Watch(kRead);
    EXPECT_EQ(Next(), Event(kSocketRead));
}

TEST_F(MessageQueueTest, WriteEventsComeOnlyWhenWanted) {
    Send("x");
    Watch(kRead);
    ASSERT_EQ(Next(), Event(kSocketRead));
    EXPECT_TRUE(Quiet(50ms)) << "a writable socket gives no write event unless asked";
    Watch(kRead | kWrite);
    EXPECT_EQ(Next(), Event(kSocketRead));
    EXPECT_EQ(Next(), Event(kSocketWrite));
    EXPECT_TRUE(Quiet()) << "nothing was acted on: no second event";
    Watch(kWrite);
    EXPECT_EQ(Next(), Event(kSocketWrite)) << "still writable when watched again";
}

// A client that sends its request and closes at once must still be heard; one that
// resets is gone; one that wants nothing more still hears its client go, while one
// answered at once never joined epoll, so it costs nothing and hears nothing.
TEST_F(MessageQueueTest, OverTcpAWaitingClientIsReportedOnceARequestBeforeACloseIsReadAndACloseOnce) {
    Socket listener = Socket::CreateStream();
    ASSERT_TRUE(listener.Bind(0) && listener.Listen(4));
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(listener.Descriptor(), reinterpret_cast<sockaddr*>(&address), &length);
    queue->WatchListener(listener.Descriptor());
    EXPECT_TRUE(Quiet(50ms)) << "no client, no event";
    RawClient polite(ntohs(address.sin_port));
    ASSERT_EQ(Next(), EventOf(listener, kSocketAccept));
    EXPECT_TRUE(Quiet());
    queue->WatchListener(listener.Descriptor());
    ASSERT_EQ(Next(), EventOf(listener, kSocketAccept)) << "not accepted yet: the client still waits";
    std::string client;
    Socket served = listener.Accept(client);
    EXPECT_EQ(client, "127.0.0.1");
    queue->WatchListener(listener.Descriptor());
    EXPECT_TRUE(Quiet()) << "no client waits";
    ASSERT_TRUE(polite.Send("GET / HTTP/1.0\r\n\r\n"));
    polite.Close();
    std::this_thread::sleep_for(20ms);
    queue->WatchSocket(served.Descriptor(), kRead);
    EXPECT_EQ(Next(), EventOf(served, kSocketRead));
    EXPECT_EQ(Drain(served), "GET / HTTP/1.0\r\n\r\n");
    queue->WatchSocket(served.Descriptor(), kRead);  // its end waits to be read
    std::this_thread::sleep_for(20ms);
    Message message;
    ASSERT_TRUE(queue->Peek(message, PeekMode::Keep));
    queue->Post({kCommandMessage, 77, 0});
    queue->StopWatching(served.Descriptor());
    EXPECT_EQ(Next(), (Message{kCommandMessage, 77, 0})) << "a stopped socket's waiting event goes with it";

    RawClient rude(ntohs(address.sin_port));
    ASSERT_EQ(Next(), EventOf(listener, kSocketAccept));
    Socket servedRude = listener.Accept(client);
    queue->WatchSocket(servedRude.Descriptor(), kRead);
    Watch(kRead);
    Watch(Readiness::None);
    rude.Reset();
    peer.Close();
    std::set<std::uint64_t> closed;
    for (int event = 0; event < 2; ++event) {
        const std::optional<Message> close = Next();
        ASSERT_TRUE(close && close->second == kSocketClose);
        closed.insert(close->first);
    }
    EXPECT_EQ(closed,
              (std::set<std::uint64_t>{std::uint64_t(local.Descriptor()), std::uint64_t(servedRude.Descriptor())}));
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    Socket never(ends[0]);
    queue->WatchSocket(never.Descriptor(), Readiness::None);
    close(ends[1]);
    EXPECT_TRUE(Quiet()) << "no read event for an end, no second close, nothing of a socket never watched";
}

TEST_F(MessageQueueTest, TimersRepeatWithOneMessageWaitingAtMostRestartWhenSetAgainAndStopWhenKilled) {
    const auto start = Clock::now();
    queue->SetTimer(7, 100);
    ASSERT_EQ(Next(3s), (Message{kTimerMessage, 7, 0}));
    EXPECT_GE(Clock::now() - start, 95ms);
    std::this_thread::sleep_for(350ms);
    Message message;
    ASSERT_TRUE(queue->Peek(message, PeekMode::Remove));
    EXPECT_EQ(message, (Message{kTimerMessage, 7, 0})) << "it comes again";
    EXPECT_FALSE(queue->Peek(message, PeekMode::Remove)) << "several intervals passed but one message waited";
    queue->SetTimer(2, 5000);
    queue->SetTimer(2, 40);  // set again: restarted at the shorter interval
    queue->KillTimer(7);
    EXPECT_EQ(Next(1s), (Message{kTimerMessage, 2, 0})) << "timers keep their ids; a killed one is quiet";
    queue->KillTimer(2);
    EXPECT_TRUE(Quiet(200ms));
}

// Signals and a child's end are watched so: once, then forgotten.
TEST_F(MessageQueueTest, AWatchedDescriptorPostsItsMessageOnceThenIsForgotten) {
    FileHandle wakeUp(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    const std::uint64_t one = 1;
    const std::string_view signal(reinterpret_cast<const char*>(&one), sizeof one);
    const Message wake{kChildExitedMessage, 12, 34};
    queue->WatchDescriptor(wakeUp.Descriptor(), wake);
    EXPECT_TRUE(Quiet(50ms)) << "not readable yet";
    ASSERT_TRUE(wakeUp.WriteAll(signal));
    EXPECT_EQ(Next(), wake);
    ASSERT_TRUE(wakeUp.WriteAll(signal) && Quiet()) << "still readable, but forgotten";
    queue->WatchDescriptor(wakeUp.Descriptor(), wake);
    EXPECT_EQ(Next(), wake);
}

}  // namespace
}  // namespace platform
