// The system calls the real server makes for one static request, traced with strace
// attached to it: a guard that the busiest path stays short, and that no single send
// carries more than one 4,095-byte piece of a file.
#include <fcntl.h>
#include <linux/tcp.h>  // its tcp_info counts the segments that carried data
#include <netinet/in.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

// The most system calls one 4 KiB GET may take, from the accept to the close of its
// connection: 11 (27 before the path was trimmed).
constexpr std::size_t kMostCallsPerRequest = 11;
constexpr std::size_t kPiece = 4095;

struct Call {
    std::string name;
    std::string arguments;
    long long result = 0;
};

// strace's lines, one call each: "name(arguments) = result ...", perhaps after a pid.
std::vector<Call> ParseTrace(const std::string& text) {
    static const std::regex kLine(R"(^(?:\d+ +)?([a-z0-9_]+)\((.*)\) += (-?\d+)(?: .*)?$)");
    std::vector<Call> calls;
    std::istringstream lines(text);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, match, kLine)) calls.push_back({match[1], match[2], std::stoll(match[3])});
    }
    return calls;
}

// The first argument of a call: the descriptor it works on.
int FirstDescriptor(const Call& call) {
    return std::atoi(call.arguments.c_str());
}

// The calls from the accept of a client to the close of its socket, both included.
std::vector<Call> CallsOfOneConnection(const std::vector<Call>& calls) {
    std::vector<Call> connection;
    int client = -1;
    for (const Call& call : calls) {
        if (client < 0 && call.name == "accept4" && call.result >= 0) client = static_cast<int>(call.result);
        if (client < 0) continue;
        connection.push_back(call);
        if (call.name == "close" && FirstDescriptor(call) == client) break;
    }
    return connection;
}

std::string Names(const std::vector<Call>& calls) {
    std::string names;
    for (const Call& call : calls) names += call.name + " ";
    return names;
}

class SystemCalls : public ServerFixture {
protected:
    void TearDown() override {
        if (tracer_ > 0) Detach();
        ServerFixture::TearDown();
    }

    // Attaches strace to the running server: false when strace is missing or may not
    // trace here.
    bool Attach() {
        const std::string pid = std::to_string(server->Pid());
        const std::string output = TracePath();
        tracer_ = fork();
        if (tracer_ == 0) {
            const int nothing = open("/dev/null", O_WRONLY | O_CLOEXEC);
            dup2(nothing, 1);
            dup2(nothing, 2);
            execlp("strace", "strace", "-qq", "-f", "-o", output.c_str(), "-p", pid.c_str(), nullptr);
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string status = ReadWholeFile("/proc/" + pid + "/status");
            const std::size_t at = status.find("TracerPid:");
            if (at != std::string::npos && std::atoi(status.c_str() + at + 10) != 0) return true;
            if (waitpid(tracer_, nullptr, WNOHANG) == tracer_) {
                tracer_ = -1;
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Stops tracing and gives every call traced.
    std::vector<Call> Detach() {
        kill(tracer_, SIGINT);
        waitpid(tracer_, nullptr, 0);
        tracer_ = -1;
        return ParseTrace(ReadWholeFile(TracePath()));
    }

    // One GET whose bytes are all there before the server takes the connection, so
    // that the server's path through it is the same on every run.
    std::string StoppedServerGet(const std::string& url) {
        server->Pause();
        RawClient client(server->Port());
        client.Send("GET " + url + " HTTP/1.0\r\n\r\n");
        server->Resume();
        return client.ReadAll();
    }

    [[nodiscard]] std::string TracePath() const { return traceDirectory_ / "trace.txt"; }

    TestDirectory traceDirectory_;
    pid_t tracer_ = -1;
};

TEST_F(SystemCalls, OneSmallFileTakesFewCallsAndOneSendForHeaderAndFirstPiece) {
    drive.WriteFile("4k.bin", PatternBytes(4096));
    settings.LogOption = 0;
    StartServer();
    // The first request loads the machine's file types; the second shows the path.
    ASSERT_EQ(SplitResponse(Get("/c/4k.bin")).body, PatternBytes(4096));
    if (!Attach()) GTEST_SKIP() << "strace cannot trace the server here";
    const Response response = SplitResponse(StoppedServerGet("/c/4k.bin"));
    const std::vector<Call> calls = CallsOfOneConnection(Detach());
    ASSERT_EQ(response.body, PatternBytes(4096));
    ASSERT_FALSE(calls.empty()) << "no accept traced";

    EXPECT_LE(calls.size(), kMostCallsPerRequest) << Names(calls);
    std::size_t sends = 0;
    for (const Call& call : calls) {
        if (call.name == "sendto" || call.name == "sendmsg" || call.name == "write" || call.name == "writev") ++sends;
    }
    // The header and the first 4,095 bytes together; the last byte goes on its own.
    EXPECT_EQ(sends, 1u) << Names(calls);
    // One read of the file, for the piece that goes with the header; no seeking.
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const Call& call) { return call.name == "read"; }), 1)
        << Names(calls);
    EXPECT_EQ(Names(calls).find("lseek "), std::string::npos) << Names(calls);
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

TEST_F(SystemCalls, NoSendCarriesMoreThanOnePieceOfAFile) {
    const std::size_t size = 3 * 1024 * 1024 + 7;
    drive.WriteFile("big.bin", PatternBytes(size));
    settings.LogOption = 0;
    StartServer();
    if (!Attach()) GTEST_SKIP() << "strace cannot trace the server here";
    const Response response = SplitResponse(StoppedServerGet("/c/big.bin"));
    const std::vector<Call> calls = CallsOfOneConnection(Detach());
    ASSERT_EQ(response.body.size(), size);
    ASSERT_TRUE(response.body == PatternBytes(size));
    ASSERT_FALSE(calls.empty()) << "no accept traced";

    const int client = static_cast<int>(calls.front().result);
    std::size_t fileBytes = 0;
    bool headerSeen = false;
    for (const Call& call : calls) {
        if (FirstDescriptor(call) != client || call.result <= 0) continue;
        std::size_t bytes = static_cast<std::size_t>(call.result);
        if (call.name == "sendto" && !headerSeen) {
            headerSeen = true;
            ASSERT_GE(bytes, response.head.size());
            bytes -= response.head.size();
        } else if (call.name != "sendfile" && call.name != "sendto") {
            continue;
        }
        EXPECT_LE(bytes, kPiece) << call.name << "(" << call.arguments << ") = " << call.result;
        fileBytes += bytes;
    }
    EXPECT_TRUE(headerSeen);
    EXPECT_EQ(fileBytes, size);
}

}  // namespace
