// Many clients at once, and clients that stall, stay silent, half-close or vanish.
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

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

bool WaitForMoreDescriptors(const ServerProcess& server, int count) {
    for (int i = 0; i < 500; ++i) {
        if (server.OpenDescriptors() >= count) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST_F(Connections, SixteenSilentClientsHoldEverySlotOnlyUntilTheIdleLimit) {
    environment["PELLORA_IDLE_SECONDS"] = "1";
    drive.WriteFile("a.txt", "hello");
    StartServer();
    const int baseline = server->OpenDescriptors();
    std::vector<RawClient> silent;
    // One at a time, each taken before the next comes: the listen backlog is only five,
    // and a client left waiting in it longer than this short idle limit would be closed
    // as silent the moment it is taken.
    for (int i = 0; i < 16; ++i) {
        silent.emplace_back(server->Port());
        ASSERT_TRUE(WaitForMoreDescriptors(*server, baseline + i + 1)) << i;
    }
    EXPECT_EQ(Get("/c/a.txt"),
              ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later."));
    for (RawClient& client : silent) EXPECT_TRUE(client.ClosedByServer(10s));
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 5s));
    std::vector<RawClient> later;
    for (int i = 0; i < 16; ++i) {
        later.emplace_back(server->Port());
        ASSERT_TRUE(WaitForMoreDescriptors(*server, baseline + i + 1)) << i;
    }
    for (RawClient& client : later) client.Send("GET /c/a.txt HTTP/1.0\r\n\r\n");
    for (RawClient& client : later) EXPECT_EQ(SplitResponse(client.ReadAll()).body, "hello");
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 5s));
}

TEST_F(Connections, AStalledReaderOfAGibibyteFileIsClosedAtTheIdleLimitWhileOthersAreServed) {
    environment["PELLORA_IDLE_SECONDS"] = "2";
    // Sparse: a gibibyte of zeros that takes no room on disk.
    std::filesystem::resize_file(drive.WriteFile("huge.bin", ""), std::uintmax_t{1} << 30);
    drive.WriteFile("small.txt", "small");
    StartServer();
    const int baseline = server->OpenDescriptors();
    RawClient stalled;
    stalled.Connect(server->Port(), true);
    stalled.Send("GET /c/huge.bin HTTP/1.0\r\n\r\n");
    const std::string first = stalled.ReadSome(4096, 5s);
    EXPECT_TRUE(first.starts_with("HTTP/1.0 200 OK\r\n")) << first.substr(0, 100);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(SplitResponse(Get("/c/small.txt")).body, "small");
    // Reading nothing more, it is let go: its socket is shut, its file closed.
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 10s)) << server->OpenDescriptors() << " > " << baseline;
    EXPECT_LT(stalled.ReadAll(20s).size(), std::size_t{1} << 30);
}

TEST_F(Connections, RequestsAtAndPastEveryBoundAreServedOrRefusedWhole) {
    drive.WriteFile("a.txt", "hello");
    // The longest name whose drive path still fits ("c:\" and 252 bytes), and one byte more.
    drive.WriteFile(std::string(252, 'n'), "longest");
    drive.WriteFile(std::string(253, 'n'), "too long");
    StartServer();
    const std::string malformed =
        ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format.");
    const std::string line = "GET /c/a.txt HTTP/1.0\r\n";
    // Headers filling the request block to 4095, 4096 and 4097 bytes and far past it.
    for (const std::size_t total : {4095u, 4096u, 4097u, 20000u}) {
        const std::string header = "X-Pad: " + std::string(total - line.size() - 11, 'p') + "\r\n\r\n";
        ASSERT_EQ((line + header).size(), total);
        EXPECT_EQ(SplitResponse(Request(line + header)).body, "hello") << total;
    }
    // A request line longer than the block never finds its end there.
    EXPECT_EQ(Request("GET /c/" + std::string(5000, 'u') + " HTTP/1.0\r\n\r\n"), malformed);
    EXPECT_EQ(SplitResponse(Get("/c/" + std::string(252, 'n'))).body, "longest");
    EXPECT_EQ(Get("/c/" + std::string(253, 'n')), malformed);
    // A header value longer than 256 bytes is cut, not overrun: the host of a redirect.
    const std::string longHost = std::string(300, 'h');
    EXPECT_TRUE(Request("GET /c/a.txt HTTP/1.0\r\nHost: " + longHost + "\r\n\r\n").ends_with("hello"));
    // NUL bytes end the request text; bare LF line ends are line ends.
    EXPECT_EQ(Request("GET /c/a.txt\0 HTTP/1.0\r\n\r\n"s), malformed);
    EXPECT_EQ(SplitResponse(Request("GET /c/a.txt HTTP/1.0\nX: \0\n\n"s)).body, "hello");
    EXPECT_EQ(SplitResponse(Request("GET /c/a.txt\n\n")).body, "hello");
}

TEST_F(Connections, APostWhoseHeaderNeverEndsIsClosedAtTheIdleLimit) {
    environment["PELLORA_IDLE_SECONDS"] = "1";
    drive.WriteFile("a.txt", "hello");
    StartServer();
    // Bare LF line ends never make the empty line a POST header part ends with.
    RawClient client(server->Port());
    client.Send("POST /cgi-bin/x HTTP/1.0\nContent-Length: 4\n\nbody");
    EXPECT_TRUE(client.ClosedByServer(10s));
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello");
    EXPECT_TRUE(server->TemporaryFiles().empty());
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

// Bytes the server never reads make closing reset the connection; the answer, and
// the 503 of a client turned away, must have left whole before that.
TEST_F(Connections, AClientThatSendsMoreThanItsRequestStillGetsTheWholeAnswer) {
    const std::string bytes = PatternBytes(10000);
    drive.WriteFile("file.bin", bytes);
    StartServer();
    const std::string flood(200 * 1024, 'x');
    RawClient client(server->Port());
    client.Send("GET /c/file.bin HTTP/1.0\r\n\r\n" + flood);
    EXPECT_TRUE(SplitResponse(client.ReadAll()).body == bytes);

    std::vector<RawClient> holders;
    for (int i = 0; i < 16; ++i) holders.emplace_back(server->Port());
    std::this_thread::sleep_for(200ms);
    RawClient extra(server->Port());
    extra.Send(flood);
    EXPECT_EQ(extra.ReadAll(5s),
              ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later."));
}

// Without a descriptor to accept it with, a client would wait in the listen queue,
// and keep the loop busy waking for it, until something else closed.
TEST_F(Connections, WithNoDescriptorLeftAClientIsToldTheServerIsBusy) {
    drive.WriteFile("a.txt", "hello");
    StartServer();
    ASSERT_TRUE(server->WaitForDescriptors(server->OpenDescriptors(), 1s));
    // A limit at the lowest free number leaves no descriptor to make.
    std::set<rlim_t> taken;
    for (const std::string& name : TestDirectory::List("/proc/" + std::to_string(server->Pid()) + "/fd")) {
        taken.insert(std::stoul(name));
    }
    rlim_t lowestFree = 0;
    while (taken.count(lowestFree) != 0) ++lowestFree;
    rlimit saved{};
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, nullptr, &saved), 0);
    const rlimit none{lowestFree, saved.rlim_max};
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, &none, nullptr), 0);
    EXPECT_EQ(Exchange(server->Port(), "GET /c/a.txt HTTP/1.0\r\n\r\n"),
              ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later."));
    EXPECT_EQ(Exchange(server->Port(), "GET /c/a.txt HTTP/1.0\r\n\r\n"),
              ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later."));
    // One descriptor to spare: the client is taken, but the file it asks for cannot be
    // opened; it is there, so "not found" would be wrong.
    const rlimit one{lowestFree + 1, saved.rlim_max};
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, &one, nullptr), 0);
    EXPECT_EQ(Exchange(server->Port(), "GET /c/a.txt HTTP/1.0\r\n\r\n"),
              ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later."));
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, &saved, nullptr), 0);
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello");
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
