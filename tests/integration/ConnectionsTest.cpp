// Many clients at once, and clients that stall, stay silent, half-close, flood, vanish or
// send bodies nothing will read; and a server left without descriptors.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

const std::string kBusyPage =
    ErrorPageBytes("503 Service Unavailable", "The server is busy serving other clients. Try again later.");
constexpr std::size_t kMebibyte = 1 << 20;

// Clock ticks of CPU time the process has used so far.
long CpuTicks(pid_t pid) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stol(field);
    }
    return ticks;
}

class Connections : public ServerFixture {
protected:
    void SetUp() override {
        drive.WriteFile("a.txt", "hello");
        settings.RootDir.Assign("c:\\web");
        chmod(
            drive.WriteFile("web/cgi-bin/count.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\nwc -c\n")
                .c_str(),
            0755);
    }
    std::string Body(const std::string& url) const { return SplitResponse(Get(url)).body; }
    // Clients taken one at a time, each in its slot before the next comes.
    std::vector<RawClient> Silent(int count, int baseline) const {
        std::vector<RawClient> clients;
        for (int i = 0; i < count; ++i) {
            clients.emplace_back(server->Port());
            Eventually([&] { return server->OpenDescriptors() >= baseline + i + 1; });
        }
        return clients;
    }

    struct Sending {
        std::string answer;
        std::size_t bodyBytesSent = 0;
        std::size_t temporaryFilesSeen = 0;
    };
    // The header part, then the body in pieces, looking for an answer after each piece.
    Sending SendUntilAnswered(const std::string& url, std::size_t bodySize) const {
        RawClient client(server->Port());
        Sending sending;
        client.Send("POST " + url + " HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=x\r\nContent-Length: " +
                    std::to_string(bodySize) + "\r\n\r\n");
        const std::string piece(64 * 1024, 'b');
        while (sending.answer.empty() && sending.bodyBytesSent < bodySize && client.Send(piece)) {
            sending.bodyBytesSent += piece.size();
            sending.temporaryFilesSeen = std::max(sending.temporaryFilesSeen, server->TemporaryFiles().size());
            sending.answer = client.ReadSome(std::string::npos, 5ms);
        }
        sending.answer += client.ReadAll(5s);
        return sending;
    }
};

TEST_F(Connections, SixteenClientsAreServedTogetherAndASeventeenthHearsWhyItIsTurnedAway) {
    StartServer();
    std::vector<RawClient> clients;
    for (int i = 0; i < 16; ++i) clients.emplace_back(server->Port());
    std::this_thread::sleep_for(200ms);
    RawClient extra(server->Port());
    // Its bytes, unread, would reset the connection at close: the 503 must have left whole.
    extra.Send(std::string(200 * 1024, 'x'));
    EXPECT_EQ(extra.ReadAll(5s), kBusyPage);
    for (RawClient& client : clients) client.Send("GET /c/a.txt HTTP/1.0\r\n\r\n");
    for (RawClient& client : clients) EXPECT_EQ(SplitResponse(client.ReadAll()).body, "hello");
    EXPECT_EQ(Body("/c/a.txt"), "hello");
    // A client that sends past its request, or half-closes, still gets its whole answer.
    const std::string bytes = PatternBytes(3 * kMebibyte + 11);
    drive.WriteFile("file.bin", bytes);
    drive.WriteFile("small.bin", bytes.substr(0, 10000));
    RawClient flooding(server->Port());
    flooding.Send("GET /c/small.bin HTTP/1.0\r\n\r\n" + std::string(200 * 1024, 'x'));
    EXPECT_TRUE(SplitResponse(flooding.ReadAll()).body == bytes.substr(0, 10000));
    RawClient halfClosed(server->Port());
    halfClosed.Send("GET /c/file.bin HTTP/1.0\r\n\r\n");
    halfClosed.ShutdownWrite();
    EXPECT_TRUE(SplitResponse(halfClosed.ReadAll()).body == bytes);
}

TEST_F(Connections, AStalledReaderHoldsUpNobodyAndGetsEveryByteWhenItReads) {
    const std::string bytes = PatternBytes(64 * kMebibyte);
    drive.WriteFile("big.bin", bytes);
    StartServer();
    RawClient stalled;
    stalled.Connect(server->Port(), true);
    stalled.Send("GET /c/big.bin HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(300ms);  // its socket fills up
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Body("/c/a.txt"), "hello");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(SplitResponse(stalled.ReadAll(60s)).body == bytes);
}

TEST_F(Connections, ClientsThatStallOrStaySilentAreLetGoAtTheIdleLimitWithWhatTheyHeld) {
    environment["PELLORA_IDLE_SECONDS"] = "1";
    std::filesystem::resize_file(drive.WriteFile("huge.bin", ""), std::uintmax_t{1} << 30);  // sparse
    StartServer();
    const int baseline = server->OpenDescriptors();
    std::vector<RawClient> silent = Silent(16, baseline);
    EXPECT_EQ(Get("/c/a.txt"), kBusyPage);
    for (RawClient& client : silent) EXPECT_TRUE(client.ClosedByServer(10s));
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 5s));
    std::vector<RawClient> later = Silent(16, baseline);
    for (RawClient& client : later) client.Send("GET /c/a.txt HTTP/1.0\r\n\r\n");
    for (RawClient& client : later) EXPECT_EQ(SplitResponse(client.ReadAll()).body, "hello");
    // A reader that stops after a piece of a gigabyte, a POST whose body never comes and
    // one whose header part never ends (bare LF) are closed too, their files with them.
    RawClient stalled;
    stalled.Connect(server->Port(), true);
    stalled.Send("GET /c/huge.bin HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(stalled.ReadSome(4096, 5s).starts_with("HTTP/1.0 200 OK\r\n"));
    RawClient partial(server->Port());
    partial.Send("POST /cgi-bin/count.sh HTTP/1.0\r\nContent-Length: 100\r\n\r\nonly part");
    RawClient endless(server->Port());
    endless.Send("POST /cgi-bin/count.sh HTTP/1.0\nContent-Length: 4\n\nbody");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Body("/c/a.txt"), "hello");
    EXPECT_TRUE(partial.ClosedByServer(10s));
    EXPECT_TRUE(endless.ClosedByServer(10s));
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 10s)) << server->OpenDescriptors() << " > " << baseline;
    EXPECT_LT(stalled.ReadAll(20s).size(), std::size_t{1} << 30);
}

TEST_F(Connections, AnIdleServerHoldingSilentClientsUsesNoCpu) {
    StartServer();
    std::vector<RawClient> silent;
    for (int i = 0; i < 16; ++i) silent.emplace_back(server->Port());
    std::this_thread::sleep_for(300ms);
    const long before = CpuTicks(server->Pid());
    std::this_thread::sleep_for(1500ms);
    EXPECT_LE(CpuTicks(server->Pid()) - before, 2) << "the loop spins while nothing can progress";
}

// Without a descriptor to accept it with, a client would wait in the listen queue, and
// keep the loop waking for it, until something else closed.
TEST_F(Connections, WithNoDescriptorLeftAClientIsToldTheServerIsBusy) {
    StartServer();
    ASSERT_TRUE(server->WaitForDescriptors(server->OpenDescriptors(), 1s));
    std::set<rlim_t> taken;
    for (const std::string& name : TestDirectory::List("/proc/" + std::to_string(server->Pid()) + "/fd")) {
        taken.insert(std::stoul(name));
    }
    rlim_t lowestFree = 0;
    while (taken.count(lowestFree) != 0) ++lowestFree;
    rlimit saved{};
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, nullptr, &saved), 0);
    // No descriptor to make, then one to spare: the client is taken, but the file it asks
    // for cannot be opened; it is there, so "not found" would be wrong.
    for (const rlim_t limit : {lowestFree, lowestFree, lowestFree + 1}) {
        const rlimit lowered{limit, saved.rlim_max};
        ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, &lowered, nullptr), 0);
        EXPECT_EQ(Get("/c/a.txt"), kBusyPage) << limit;
    }
    ASSERT_EQ(prlimit(server->Pid(), RLIMIT_NOFILE, &saved, nullptr), 0);
    EXPECT_EQ(Body("/c/a.txt"), "hello");
}

TEST_F(Connections, ClientsThatVanishLeaveNoDescriptorOrFileBehind) {
    drive.WriteFile("big.bin", PatternBytes(16 * kMebibyte));
    StartServer();
    const int baseline = server->OpenDescriptors();
    for (int i = 0; i < 5; ++i) {
        RawClient reader(server->Port());
        reader.Send("GET /c/big.bin HTTP/1.0\r\n\r\n");
        reader.ReadSome(100000, 5s);
        reader.Reset();
        RawClient poster(server->Port());
        poster.Send("POST /cgi-bin/count.sh HTTP/1.0\r\nContent-Length: 100000\r\n\r\n" + std::string(5000, 'x'));
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(Body("/c/a.txt"), "hello");
    EXPECT_TRUE(server->WaitForDescriptors(baseline, 5s)) << server->OpenDescriptors() << " > " << baseline;
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

TEST_F(Connections, APostsHeaderPartIsGatheredAcrossReadsAndABadOneRefused) {
    StartServer();
    RawClient slow(server->Port());
    for (const char* part : {"POST /cgi-bin/count.sh HTTP/1.0\r\n", "Content-Le", "ngth: 4\r\n", "\r", "\nab", "cd"}) {
        slow.Send(part);
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_EQ(SplitResponse(slow.ReadAll()).body, "4\n");
    const std::string malformed =
        ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format.");
    for (const std::string& request :
         {std::string("POST /cgi-bin/count.sh HTTP/1.0\r\nHost: x\r\n\r\nbody"),
          "POST /cgi-bin/count.sh HTTP/1.0\r\nX: " + std::string(5000, 'y'),
          std::string("POST /cgi-bin/count.sh HTTP/1.0\r\ncontent-length: 4\r\n\r\nbody")}) {
        EXPECT_EQ(Request(request), malformed) << request.substr(0, 60);
    }
    // A body longer than announced is cut at the announced length; a negative one counts as none.
    EXPECT_EQ(SplitResponse(Request("POST /cgi-bin/count.sh HTTP/1.0\r\nContent-Length: 2\r\n\r\nmore")).body, "2\n");
    EXPECT_EQ(SplitResponse(Request("POST /cgi-bin/count.sh HTTP/1.0\r\nContent-Length: -5\r\n\r\n")).body, "0\n");
}

// A body is stored only for a request that will run: a refused client, a URL nothing
// answers and uploads turned off are answered from the header part while the client is
// still sending, and nothing of the body is stored.
TEST_F(Connections, ABodyNothingWillReadIsAnsweredAtOnceAndNeverStored) {
    const std::string mismatch = "The cgi-bin request doesn't match Pellora configuration.";
    const struct {
        const char* name;
        std::int32_t ipOption;
        const char* rootDir;
        std::int32_t uploadOn;
        const char* url;
        std::string answer;
    } rows[] = {
        {"a refused client", kAccessSelective, "c:\\web", 1, "/@upload.exe",
         ErrorPageBytes("403 Forbidden", "Your ip address is not allowed by the server.")},
        {"not below the CGI directory", kAccessAll, "c:\\web", 1, "/c/a.txt",
         ErrorPageBytes("400 Bad Request", mismatch)},
        {"a program that is not there", kAccessAll, "c:\\web", 1, "/cgi-bin/none.sh",
         ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\none.sh not found")},
        {"no document root", kAccessAll, "", 1, "/cgi-bin/count.sh",
         ErrorPageBytes("500 Internal Server Error", "For cgi-bin to work, root document path has to be define.")},
        {"uploads off", kAccessAll, "c:\\web", 0, "/@upload.exe",
         ErrorPageBytes("500 Internal Server Error", "Pellora upload capability is currently disabled.")},
    };
    for (const auto& row : rows) {
        settings.IpOption = row.ipOption;
        settings.IpList[0].Assign("10.");
        settings.RootDir.Assign(row.rootDir);
        settings.UploadOn = row.uploadOn;
        StartServer();
        const Sending sending = SendUntilAnswered(row.url, 200 * kMebibyte);
        EXPECT_EQ(sending.answer, row.answer) << row.name;
        EXPECT_LT(sending.bodyBytesSent, kMebibyte) << row.name;
        EXPECT_EQ(sending.temporaryFilesSeen, 0u) << row.name;
        EXPECT_EQ(server->Stop(), 0) << row.name;
    }
    // A client that sends its whole body anyway has the rest read and dropped, then the
    // connection ends and the slot is free.
    settings.RootDir.Assign("c:\\web");
    StartServer();
    const int idle = server->OpenDescriptors();
    RawClient client(server->Port());
    client.Send("POST /c/a.txt HTTP/1.0\r\nContent-Length: 3145728\r\n\r\n" + std::string(3 * kMebibyte, 'b'));
    client.ShutdownWrite();
    EXPECT_EQ(client.ReadAll(10s), ErrorPageBytes("400 Bad Request", mismatch));
    EXPECT_TRUE(server->WaitForDescriptors(idle, 5s));
}

// A temporary directory on a small file system of the test's own.
TEST_F(Connections, ABodyTheTemporaryDirectoryCannotHoldIsRefusedAtOnce) {
    server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path());
    const std::string small = server->TempDirectory();
    if (mount("pellora-test", small.c_str(), "tmpfs", 0, "size=96m") != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs privileges this run does not have";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    ASSERT_TRUE(server->Start());
    // 96 MiB less the 64 MiB kept free leaves room for 32 MiB.
    const Sending refused = SendUntilAnswered("/cgi-bin/count.sh", 40 * kMebibyte);
    EXPECT_EQ(refused.answer,
              ErrorPageBytes("500 Internal Server Error", "The server wasn't able to create tmp file."));
    EXPECT_LT(refused.bodyBytesSent, kMebibyte);
    EXPECT_EQ(refused.temporaryFilesSeen, 0u);
    EXPECT_EQ(SplitResponse(SendUntilAnswered("/cgi-bin/count.sh", 8 * kMebibyte).answer).body,
              std::to_string(8 * kMebibyte) + "\n");
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

}  // namespace
