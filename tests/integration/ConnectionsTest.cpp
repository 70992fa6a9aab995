// Many clients at once, and clients that stall, stay silent, half-close or vanish.
#include <chrono>
#include <sstream>
#include <thread>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

class Connections : public ServerFixture {};

TEST_F(Connections, SixteenClientsAreServedTogetherAndASeventeenthIsTurnedAway) {
    drive.WriteFile("a.txt", "hello");
    StartServer();
    std::vector<RawClient> clients;
    for (int i = 0; i < 16; ++i) clients.emplace_back(server->Port());
    // Let the server take all sixteen into its table before the extra client comes.
    std::this_thread::sleep_for(200ms);
    RawClient extra(server->Port());
    EXPECT_EQ(extra.ReadAll(5s),
              ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later."));
    for (RawClient& client : clients) client.Send("GET /c/a.txt HTTP/1.0\r\n\r\n");
    for (RawClient& client : clients) EXPECT_EQ(SplitResponse(client.ReadAll()).body, "hello");
    // The slots are free again.
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello");
}

TEST_F(Connections, AStalledReaderDoesNotHoldUpOtherClients) {
    drive.WriteFile("big.bin", PatternBytes(64 * 1024 * 1024));
    drive.WriteFile("small.txt", "small");
    StartServer();
    RawClient stalled;
    stalled.Connect(server->Port(), true);
    stalled.Send("GET /c/big.bin HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(300ms);  // its socket fills up
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SplitResponse(Get("/c/small.txt")).body, "small");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    // The stalled client still gets every byte when it reads at last.
    const Response late = SplitResponse(stalled.ReadAll(60s));
    EXPECT_EQ(late.body.size(), 64u * 1024 * 1024);
    EXPECT_TRUE(late.body == PatternBytes(64 * 1024 * 1024));
}

TEST_F(Connections, SilentClientsAreClosedAfterTheIdleLimitAndOthersAreServedMeanwhile) {
    environment["PELLORA_IDLE_SECONDS"] = "1";
    drive.WriteFile("a.txt", "hello");
    StartServer();
    std::vector<RawClient> silent;
    for (int i = 0; i < 15; ++i) silent.emplace_back(server->Port());
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello");
    for (RawClient& client : silent) EXPECT_TRUE(client.ClosedByServer(10s));
    // A POST whose body never comes is closed the same way, its body file deleted.
    RawClient partial(server->Port());
    partial.Send("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 100\r\n\r\nonly part");
    EXPECT_TRUE(partial.ClosedByServer(10s));
}

// Clock ticks of CPU time the process has used so far.
long CpuTicks(pid_t pid) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long user = 0;
    long system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stol(field);
        if (i == 15) system = std::stol(field);
    }
    return user + system;
}

TEST_F(Connections, AnIdleServerHoldingSilentClientsUsesNoCpu) {
    drive.WriteFile("a.txt", "hello");
    StartServer();
    std::vector<RawClient> silent;
    for (int i = 0; i < 16; ++i) silent.emplace_back(server->Port());
    std::this_thread::sleep_for(300ms);
    const long before = CpuTicks(server->Pid());
    std::this_thread::sleep_for(1500ms);
    EXPECT_LE(CpuTicks(server->Pid()) - before, 2) << "the loop spins while nothing can progress";
}

TEST_F(Connections, AClientThatHalfClosesStillGetsTheWholeResponse) {
    const std::string bytes = PatternBytes(3 * 1024 * 1024 + 11);
    drive.WriteFile("file.bin", bytes);
    StartServer();
    RawClient client(server->Port());
    client.Send("GET /c/file.bin HTTP/1.0\r\n\r\n");
    client.ShutdownWrite();
    EXPECT_TRUE(SplitResponse(client.ReadAll()).body == bytes);
}

TEST_F(Connections, ClientsThatVanishLeaveNoDescriptorOrFileBehind) {
    drive.WriteFile("big.bin", PatternBytes(16 * 1024 * 1024));
    drive.WriteFile("a.txt", "hello");
    StartServer();
    const int baseline = server->OpenDescriptors();
    for (int i = 0; i < 5; ++i) {
        RawClient client(server->Port());
        client.Send("GET /c/big.bin HTTP/1.0\r\n\r\n");
        client.ReadSome(100000, 5s);
        client.Reset();
    }
    for (int i = 0; i < 5; ++i) {
        RawClient client(server->Port());
        client.Send("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'x'));
        std::this_thread::sleep_for(50ms);
        client.Close();
    }
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello");
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 5s)) << server->OpenDescriptors() << " > " << baseline;
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

TEST_F(Connections, PostHeadersAreGatheredAcrossReadsAndBadOnesRefused) {
    StartServer();
    // Without a document root no program runs: the answer shows the whole request was taken.
    const std::string cgiUnavailable =
        ErrorPageBytes("500 Internal Server Error", "For cgi-bin to work, root document path has to be define.");
    RawClient slow(server->Port());
    for (const char* part : {"POST /cgi-bin/x HTTP/1.0\r\n", "Content-Le", "ngth: 4\r\n", "\r", "\nab", "cd"}) {
        slow.Send(part);
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_EQ(slow.ReadAll(), cgiUnavailable);

    const std::string malformed =
        ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format.");
    EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\nHost: x\r\n\r\nbody"), malformed);
    EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\nX: " + std::string(5000, 'y')), malformed);
    EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\ncontent-length: 4\r\n\r\nbody"), malformed);
    // A body longer than announced is cut at the announced length; a negative length counts as none.
    EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 2\r\n\r\nmore than two"), cgiUnavailable);
    EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: -5\r\n\r\n"), cgiUnavailable);
}

}  // namespace
