// The one queue over a real socket pair; listeners, clients over TCP, timers, signals and
// child ends are the integration tests' daily fare.
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/Socket.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Text(const Message& m) {
    return "{" + std::to_string(m.id) + ", " + std::to_string(m.first) + ", " + std::to_string(m.second) + "}";
}
std::string EventOf(const Socket& socket, std::int64_t event) {
    return Text({kSocketEventMessage, static_cast<std::uint64_t>(socket.Descriptor()), event});
}

// A queue and a connected pair of sockets: `local` is the server's end, `peer` the client's.
class MessageQueueTest : public testing::Test {
protected:
    void SetUp() override {
        int ends[2] = {-1, -1};
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
        local = Socket(ends[0]);
        peer = Socket(ends[1]);
    }
    void Watch(Readiness wanted) { queue->WatchSocket(local.Descriptor(), wanted); }
    // The next message, waited for on the descriptor as the desktop's loop waits.
    std::string Next(Clock::duration limit = 2s) {
        Message message;
        for (const auto deadline = Clock::now() + limit; !queue->Peek(message, PeekMode::Remove);) {
            if (Clock::now() >= deadline) return "nothing";
            pollfd watch{queue->Descriptor(), POLLIN, 0};
            poll(&watch, 1, 5);
        }
        return Text(message);
    }
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
    queue->Post({kCommandMessage, 1, 0});
    queue->PostQuit(3);
    ASSERT_TRUE(queue->Peek(message, PeekMode::Keep) && queue->Peek(message, PeekMode::Remove));
    EXPECT_EQ(Text(message), Text({kCommandMessage, 1, 0})) << "a kept message is still first";
    EXPECT_EQ(poll(&watch, 1, 0), 1) << "a message still waits";
    EXPECT_EQ(queue->Get(message), 0) << "the quit message";
    EXPECT_EQ(Text(message), Text({kQuitMessage, 3, 0}));
    EXPECT_FALSE(queue->Peek(message, PeekMode::Keep));
    EXPECT_EQ(poll(&watch, 1, 0), 0) << "an emptied queue, once asked, lets the other loop sleep";
}

// Readiness nobody acts on can neither flood the queue nor keep the loop busy.
TEST_F(MessageQueueTest, AReadinessEventComesOnceUntilTheSocketIsWatchedAgainAndOnlyWhileWanted) {
    Watch(Readiness::Read);
    ASSERT_EQ(peer.Send("GET /", 5).count, 5u);
    ASSERT_EQ(Next(), EventOf(local, kSocketRead));
    ASSERT_EQ(peer.Send("more", 4).count, 4u);
    EXPECT_TRUE(Quiet()) << "more data, and data left unread, add nothing";
    Watch(Readiness::None);
    EXPECT_TRUE(Quiet()) << "data waits, but nothing is wanted";
    Watch(Readiness::Read | Readiness::Write);
    EXPECT_EQ(Next(), EventOf(local, kSocketRead)) << "watched again, the unread data is reported again";
    EXPECT_EQ(Next(), EventOf(local, kSocketWrite)) << "a writable socket gives a write event only when asked";
    EXPECT_TRUE(Quiet());
    char block[64];
    while (local.Receive(block, sizeof block).status == IoStatus::Done) {
    }
    Watch(Readiness::Read);
    EXPECT_TRUE(Quiet()) << "everything was read";
    Watch(Readiness::None);
    peer.Close();
    EXPECT_EQ(Next(), EventOf(local, kSocketClose)) << "a socket that wants nothing still hears its client go";
    EXPECT_TRUE(Quiet()) << "once";
}

}  // namespace
}  // namespace platform
