// The system calls the real server makes for static requests, traced with strace
// attached to it: the busiest path stays short, and no single send carries more than
// one 4,095-byte piece of a file.
#include <linux/tcp.h>  // its tcp_info counts the segments that carried data
#include <netinet/in.h>
#include <signal.h>
#include <sys/wait.h>

#include <sstream>
#include <thread>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

// The most system calls one 4 KiB GET may take, from the accept to the close of its
// connection (27 before the path was trimmed).
constexpr std::size_t kMostCallsPerRequest = 11;
constexpr std::size_t kPiece = 4095;

struct Call {
    std::string name;
    int descriptor = -1;  // the first argument
    long long result = 0;
};
using Calls = std::vector<Call>;

// strace's lines, one call each ("name(arguments) = result", perhaps after a pid),
// grouped by connection: from the accept of a client to the close of its socket.
std::vector<Calls> ByConnection(const std::string& trace) {
    std::vector<Calls> connections;
    std::istringstream lines(trace);
    int client = -1;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of("0123456789 ");
        const std::size_t open = line.find('(', start);
        const std::size_t equals = line.rfind(" = ");  // strace pads the result to a column
        const std::size_t close = equals == std::string::npos ? equals : line.find_last_not_of(' ', equals);
        if (open == std::string::npos || close == std::string::npos || close < open || line[close] != ')') continue;
        const Call call{line.substr(start, open - start), std::atoi(line.c_str() + open + 1),
                        std::atoll(line.c_str() + equals + 3)};
        if (client < 0 && call.name == "accept4" && call.result >= 0) {
            client = static_cast<int>(call.result);
            connections.emplace_back();
        }
        if (client < 0) continue;
        connections.back().push_back(call);
        if (call.name == "close" && call.descriptor == client) client = -1;
    }
    return connections;
}

class SystemCalls : public ServerFixture {
protected:
    void TearDown() override {
        if (tracer_ > 0) Detach();
        ServerFixture::TearDown();
    }

    // Attaches strace to the running server: false when strace may not trace here.
    bool Attach() {
        const std::string pid = std::to_string(server->Pid());
        ChildSetup trace;
        trace.argv = {"strace", "-qq", "-f", "-o", TracePath(), "-p", pid};
        tracer_ = StartChild(trace);
        const auto traced = [&pid] {
            const std::string status = ReadWholeFile("/proc/" + pid + "/status");
            const std::size_t at = status.find("TracerPid:");
            return at != std::string::npos && std::atoi(status.c_str() + at + 10) != 0;
        };
        return Eventually([&] { return traced() || ProcessGone(tracer_); }, 10s) && traced();
    }

    // Stops tracing and gives every call traced, by connection.
    std::vector<Calls> Detach() {
        kill(tracer_, SIGINT);
        waitpid(tracer_, nullptr, 0);
        tracer_ = -1;
        return ByConnection(ReadWholeFile(TracePath()));
    }

    // One GET whose bytes are all there before the server takes the connection, so
    // that the server's path through it is the same on every run.
    ReplyParts StoppedServerGet(const std::string& url) {
        server->Pause();
        RawClient client(server->Port());
        client.Send("GET " + url + " HTTP/1.0\r\n\r\n");
        server->Resume();
        return SplitResponse(client.ReadAll());
    }

    [[nodiscard]] std::string TracePath() const { return traceDirectory_ / "trace.txt"; }

    TestDirectory traceDirectory_;
    pid_t tracer_ = -1;
};

TEST_F(SystemCalls, SmallFilesTakeFewCallsAndLargeOnesGoOutAPieceAtATime) {
    const std::size_t large = 3 * 1024 * 1024 + 7;
    drive.WriteFile("4k.bin", PatternBytes(4096));
    drive.WriteFile("big.bin", PatternBytes(large));
    settings.LogOption = 0;
    StartServer();
    // The first request loads the machine's file types; the traced ones show the path.
    ASSERT_EQ(SplitResponse(Get("/c/4k.bin")).body, PatternBytes(4096));
    if (!Attach()) GTEST_SKIP() << "strace cannot trace the server here";
    const ReplyParts small = StoppedServerGet("/c/4k.bin");
    const ReplyParts big = StoppedServerGet("/c/big.bin");
    const std::vector<Calls> connections = Detach();
    ASSERT_EQ(small.body, PatternBytes(4096));
    ASSERT_TRUE(big.body == PatternBytes(large));
    ASSERT_EQ(connections.size(), 2u);

    // The header and the first 4,095 bytes go in one send, the last byte on its own;
    // one read of the file for that piece, and no seeking.
    std::map<std::string, int> counts;
    std::string names;
    for (const Call& call : connections[0]) {
        names += call.name + " ";
        ++counts[call.name];
    }
    EXPECT_LE(connections[0].size(), kMostCallsPerRequest) << names;
    EXPECT_EQ(counts["sendto"] + counts["sendmsg"] + counts["write"] + counts["writev"], 1) << names;
    EXPECT_EQ(counts["read"], 1) << names;
    EXPECT_EQ(counts["lseek"], 0) << names;

    const int client = static_cast<int>(connections[1].front().result);
    std::size_t fileBytes = 0;
    bool headerSeen = false;
    for (const Call& call : connections[1]) {
        if (call.descriptor != client || call.result <= 0) continue;
        std::size_t bytes = static_cast<std::size_t>(call.result);
        if (call.name == "sendto" && !headerSeen) {
            headerSeen = true;
            ASSERT_GE(bytes, big.head.size());
            bytes -= big.head.size();
        } else if (call.name != "sendfile" && call.name != "sendto") {
            continue;
        }
        EXPECT_LE(bytes, kPiece) << call.name << " = " << call.result;
        fileBytes += bytes;
    }
    EXPECT_EQ(fileBytes, large);
}

// Three pieces and a header are three calls, but the network carries them, and the
// end of the connection, as one segment.
TEST_F(SystemCalls, ASmallAnswerReachesTheClientInOneSegment) {
    drive.WriteFile("10k.bin", PatternBytes(10000));
    StartServer();
    RawClient client(server->Port());
    ASSERT_TRUE(client.Send("GET /c/10k.bin HTTP/1.0\r\n\r\n"));
    ASSERT_EQ(SplitResponse(client.ReadAll()).body, PatternBytes(10000));
    tcp_info info{};
    socklen_t length = sizeof info;
    ASSERT_EQ(getsockopt(client.Descriptor(), IPPROTO_TCP, TCP_INFO, &info, &length), 0);
    EXPECT_EQ(info.tcpi_data_segs_in, 1u);
}

}  // namespace
