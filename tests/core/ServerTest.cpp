// Reception through a real socket pair: a request arriving in any split is taken the
// same way, and a POST's body is stored once its header part is admitted. And turns of
// the loop as the desktop's own loop runs them.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "core/Application.h"
#include "core/Server.h"
#include "platform/Window.h"
#include "tests/support/Guards.h"
#include "tests/support/RawClient.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDirectory.h"

namespace {

// Uploads on, so a POST to the upload program is admitted and its body stored in $TMPDIR.
class Reception : public testing::Test {
protected:
    void SetUp() override {
        environment_.Set("TMPDIR", temp_.Path());
        Settings().UploadOn = 1;
    }
    void TearDown() override { SetDefaultSettings(); }
    // A connection in the server's table whose client end the test holds.
    Connection& Connect() {
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
        server_.AddConnection(std::make_unique<Connection>(platform::Socket(ends[0]), "127.0.0.1", 0));
        serverEnd_ = ends[0];
        peer_ = platform::Socket(ends[1]);
        return *server_.FindConnection(serverEnd_);
    }
    // Sends bytes and lets the server read them all; a POST's header part once taken is
    // stepped once, which admits its body.
    void Deliver(std::string_view bytes) {
        ASSERT_EQ(peer_.Send(bytes.data(), bytes.size()).count, bytes.size());
        for (std::size_t read = 0; read < bytes.size() + 8192; read += 4096) {
            server_.OnReadable(serverEnd_);
            Connection* c = server_.FindConnection(serverEnd_);
            if (c != nullptr && c->method == RequestMethod::Post && c->state == ConnectionState::RequestReceived &&
                c->response.kind == ResponseKind::None) {
                server_.StepConnection(*c, StepCause::Pass);
            }
        }
    }
    std::string Body(Connection& connection) {
        connection.cgiRun->bodyFile.Close();
        return ReadWholeFile(std::string(connection.cgiRun->bodyFileName.Name()));
    }
    void Drop() {
        server_.OnPeerClosed(serverEnd_);
        peer_.Close();
    }

    TestDirectory temp_;
    EnvironmentGuard environment_;
    Server server_;
    int serverEnd_ = -1;
    platform::Socket peer_;
};

TEST_F(Reception, AGetIsTakenFromItsFirstBlock) {
    Connection& connection = Connect();
    Deliver("get /c/a.txt HTTP/1.0\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(connection.state, ConnectionState::RequestReceived);
    EXPECT_EQ(connection.method, RequestMethod::Get);
    EXPECT_EQ(connection.request.View(), "get /c/a.txt HTTP/1.0\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(connection.bytesReceived, 38u);
}

TEST_F(Reception, APostArrivingInAnySplitIsStoredWholeAndNothingBeyondItsLength) {
    const std::string header = "POST /@upload.exe HTTP/1.0\r\nContent-Length: 300\r\n\r\n";
    std::string body = PatternBytes(300, 7);
    body.replace(10, 5, std::string("\r\n\r\n\0", 5));  // a header end and a NUL inside the body are only body
    // The first block decides the method, so it holds at least the method's word.
    for (std::size_t split = 4; split < header.size() + body.size(); ++split) {
        Connection& connection = Connect();
        Deliver((header + body).substr(0, split));
        Deliver((header + body + "beyond").substr(split));
        ASSERT_EQ(connection.state, ConnectionState::ReceivingBody) << "split at " << split;
        EXPECT_EQ(connection.request.View(), header) << "split at " << split;
        EXPECT_EQ(connection.bodyReceived, 300) << "split at " << split;
        EXPECT_TRUE(Body(connection) == body) << "split at " << split;
        Drop();
    }
    EXPECT_TRUE(TestDirectory::List(temp_.Path()).empty()) << "body files of dropped connections are deleted";

    const std::string big = PatternBytes(200000, 3);
    Connection& connection = Connect();
    Deliver("POST /@upload.exe HTTP/1.0\r\nContent-Length: 200000\r\n\r\n");
    for (std::size_t at = 0; at < big.size(); at += 7919) Deliver(big.substr(at, 7919));
    EXPECT_TRUE(Body(connection) == big) << "a body of many reads";
}

TEST_F(Reception, HeaderPartsThatCanNeverBeAnsweredGetTheMalformedPageAndNoBodyIsStored) {
    const std::string rows[] = {
        "POST /x HTTP/1.0\r\nHost: a\r\n\r\nbody", "POST /x HTTP/1.0\r\ncontent-length: 4\r\n\r\nbody",
        "POST /x HTTP/1.0\r\n\r\nContent-Length: 4\r\n",
        "POST /x HTTP/1.0\r\nX: " + std::string(5000, 'y'),  // longer than the request field
    };
    for (const std::string& bytes : rows) {
        Connection& connection = Connect();
        Deliver(bytes);
        EXPECT_TRUE(connection.response.text.View().starts_with("HTTP/1.0 400 Bad Request\r\n")) << bytes;
        EXPECT_EQ(connection.response.kind, ResponseKind::ErrorPage) << bytes;
        EXPECT_EQ(WaitsFor(connection), Wait::Nothing) << bytes;
        Drop();
    }
    EXPECT_TRUE(TestDirectory::List(temp_.Path()).empty());
    Connect();
    peer_.Close();
    server_.OnReadable(serverEnd_);
    EXPECT_EQ(server_.FindConnection(serverEnd_), nullptr) << "a client gone before its request is dropped";
}

struct RecordingLogic : WindowLogic {
    std::int64_t Handle(const platform::Message& message) override {
        handled.push_back(message.first);
        return 0;
    }
    std::vector<std::uint64_t> handled;
};

// The desktop's loop runs turns: every waiting message, then a short pump.
TEST(ApplicationTurns, HandleWaitingMessagesServeClientsAndQuitWithTheExitCode) {
    TestDirectory drive;
    drive.WriteFile("hello.txt", "hello through turns");
    DriveTableGuard drives({{'C', drive.Path()}});
    SetDefaultSettings();
    Settings().Port = FreePort();
    auto queue = platform::MessageQueue::Create();
    Application application(*queue);
    platform::HeadlessWindow window;
    application.server.Attach(&window, queue.get());
    RecordingLogic logic;
    application.SetWindowLogic(&logic);
    int exitCode = -1;
    queue->Post({platform::kCommandMessage, 40014, 0});
    queue->Post({platform::kCommandMessage, 40015, 0});
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Idle);
    EXPECT_EQ(logic.handled, (std::vector<std::uint64_t>{40014, 40015}));

    ASSERT_EQ(application.server.StartListening(), 0);
    RawClient client(Settings().Port);
    ASSERT_TRUE(client.Send("GET /c/hello.txt HTTP/1.0\r\n\r\n"));
    std::string response;
    for (ssize_t got = 1, turns = 0; got != 0 && turns < 1000; ++turns) {
        char buffer[4096];
        got = recv(client.Descriptor(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) response.append(buffer, static_cast<std::size_t>(got));
        if (application.Turn(exitCode) == Application::TurnResult::Idle) {
            pollfd watch{queue->Descriptor(), POLLIN, 0};
            poll(&watch, 1, 20);
        }
    }
    EXPECT_TRUE(response.starts_with("HTTP/1.0 200 OK\r\n") && response.ends_with("\r\n\r\nhello through turns"))
        << response;
    application.server.StopListening();
    queue->PostQuit(7);
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Quit);
    EXPECT_EQ(exitCode, 7);
    SetDefaultSettings();
}

}  // namespace
