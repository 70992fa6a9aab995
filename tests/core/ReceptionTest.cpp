// Reception through a real socket pair: a request arriving in any split must be
// taken the same way. A POST's body is stored once its header part is admitted.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "config/ServerSettings.h"
#include "core/Server.h"
#include "tests/support/TestDirectory.h"

namespace {

class Reception : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("TMPDIR");
        if (previous != nullptr) savedTmpdir_ = previous;
        setenv("TMPDIR", temp_.Path().c_str(), 1);
        // Uploads on, so a POST to the upload program is admitted and its body stored.
        Settings().UploadOn = 1;
    }
    void TearDown() override {
        if (savedTmpdir_.empty()) {
            unsetenv("TMPDIR");
        } else {
            setenv("TMPDIR", savedTmpdir_.c_str(), 1);
        }
        if (peer_ >= 0) close(peer_);
        SetDefaultSettings();
    }

    // A connection in the server's table whose client end the test holds.
    Connection& Connect() {
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
        serverEnd_ = ends[0];
        peer_ = ends[1];
        server_.AddConnection(std::make_unique<Connection>(platform::Socket(serverEnd_), "127.0.0.1", 0));
        return *server_.FindConnection(serverEnd_);
    }

    // Sends bytes and lets the server read until it has taken them all; a POST's whole
    // header part that reception took is stepped once, which admits its body.
    void Deliver(std::string_view bytes) {
        ASSERT_EQ(write(peer_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        for (std::size_t read = 0; read < bytes.size() + 8192; read += 4096) {
            server_.OnReadable(serverEnd_);
            Connection* connection = server_.FindConnection(serverEnd_);
            if (connection != nullptr && connection->method == RequestMethod::Post &&
                connection->state == ConnectionState::RequestReceived &&
                connection->response.kind == ResponseKind::None) {
                server_.StepConnection(*connection, StepCause::Pass);
            }
        }
    }

    std::string BodyFile(const Connection& connection) const {
        return ReadWholeFile(std::string(connection.cgiRun->bodyFileName.Name()));
    }

    TestDirectory temp_;
    Server server_;
    int serverEnd_ = -1;
    int peer_ = -1;
    std::string savedTmpdir_;
};

const std::string kPostHeader =
    "POST /@upload.exe HTTP/1.0\r\nContent-Type: application/octet-stream\r\n"
    "Content-Length: 300\r\n\r\n";

std::string BinaryBody() {
    std::string body = PatternBytes(300, 7);
    body.replace(10, 4, "\r\n\r\n");  // a header end inside the body is only body
    body[20] = '\0';
    return body;
}

TEST_F(Reception, GetIsTakenFromItsFirstBlock) {
    Connection& connection = Connect();
    Deliver("get /c/a.txt HTTP/1.0\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(connection.state, ConnectionState::RequestReceived);
    EXPECT_EQ(connection.method, RequestMethod::Get);
    EXPECT_EQ(connection.request.View(), "get /c/a.txt HTTP/1.0\r\nAccept: */*\r\n\r\n");
    EXPECT_EQ(connection.bytesReceived, 38u);
}

TEST_F(Reception, PostArrivingInAnySplitIsStoredWhole) {
    const std::string body = BinaryBody();
    const std::string whole = kPostHeader + body;
    // The first block decides the method, so it holds at least the method's word.
    for (std::size_t split = 4; split < whole.size(); ++split) {
        Connection& connection = Connect();
        Deliver(whole.substr(0, split));
        Deliver(whole.substr(split));
        ASSERT_EQ(connection.state, ConnectionState::ReceivingBody) << "split at " << split;
        EXPECT_EQ(connection.request.View(), kPostHeader) << "split at " << split;
        EXPECT_EQ(connection.contentLength, 300);
        EXPECT_EQ(connection.bodyReceived, 300);
        connection.cgiRun->bodyFile.Close();
        EXPECT_TRUE(BodyFile(connection) == body) << "split at " << split;
        server_.OnPeerClosed(serverEnd_);
        close(peer_);
        peer_ = -1;
    }
    EXPECT_TRUE(TestDirectory::List(temp_.Path()).empty()) << "body files of dropped connections are deleted";
}

TEST_F(Reception, PostArrivingInRandomChunksIsStoredWhole) {
    const std::string body = PatternBytes(200000, 3);
    const std::string whole = "POST /@upload.exe HTTP/1.0\r\nContent-Length: 200000\r\n\r\n" + body;
    Connection& connection = Connect();
    std::mt19937 random(11);
    for (std::size_t at = 0; at < whole.size();) {
        const std::size_t chunk = std::min<std::size_t>(1 + random() % 9000, whole.size() - at);
        Deliver(whole.substr(at, chunk));
        at += chunk;
    }
    EXPECT_EQ(connection.bodyReceived, 200000);
    connection.cgiRun->bodyFile.Close();
    EXPECT_TRUE(BodyFile(connection) == body);
}

TEST_F(Reception, BodyBeyondItsAnnouncedLengthIsDropped) {
    Connection& connection = Connect();
    Deliver("POST /@upload.exe HTTP/1.0\r\nContent-Length: 4\r\n\r\nabcdefgh");
    EXPECT_EQ(connection.bodyReceived, 4);
    connection.cgiRun->bodyFile.Close();
    EXPECT_EQ(BodyFile(connection), "abcd");
}

TEST_F(Reception, HeaderPartsThatCanNeverBeAnsweredGetTheMalformedPage) {
    struct Row {
        const char* name;
        std::string bytes;
    };
    const Row rows[] = {
        {"no Content-Length", "POST /x HTTP/1.0\r\nHost: a\r\n\r\nbody"},
        {"lower-case Content-Length", "POST /x HTTP/1.0\r\ncontent-length: 4\r\n\r\nbody"},
        {"Content-Length only in the body", "POST /x HTTP/1.0\r\n\r\nContent-Length: 4\r\n"},
        {"header part longer than the request field", "POST /x HTTP/1.0\r\nX: " + std::string(5000, 'y')},
    };
    for (const Row& row : rows) {
        Connection& connection = Connect();
        Deliver(row.bytes);
        EXPECT_EQ(connection.response.kind, ResponseKind::ErrorPage) << row.name;
        EXPECT_TRUE(connection.response.text.View().starts_with("HTTP/1.0 400 Bad Request\r\n")) << row.name;
        EXPECT_NE(connection.state, ConnectionState::ReceivingBody) << row.name;
        EXPECT_EQ(WaitsFor(connection), Wait::Nothing) << row.name;
        server_.OnPeerClosed(serverEnd_);
        close(peer_);
        peer_ = -1;
    }
    EXPECT_TRUE(TestDirectory::List(temp_.Path()).empty());
}

TEST_F(Reception, AClientThatClosesBeforeItsRequestIsDropped) {
    Connect();
    close(peer_);
    peer_ = -1;
    server_.OnReadable(serverEnd_);
    EXPECT_EQ(server_.FindConnection(serverEnd_), nullptr);
}

}  // namespace
