// Start-up and what outlives a run: the options file named on the command line, the
// per-user store written and read across runs, the access log, and the ways a run ends.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "tests/support/Guards.h"
#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

// The pieces of `text` between separators; a trailing piece only when not empty.
std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    for (std::size_t start = 0, end = 0; start < text.size(); start = end + separator.size()) {
        end = std::min(text.find(separator, start), text.size());
        pieces.push_back(text.substr(start, end - start));
    }
    return pieces;
}

std::vector<std::string> LogLines(const std::string& path) {
    return Split(ReadWholeFile(path), "\r\n");
}

class Startup : public ServerFixture {
protected:
    // A server without an options file, over the test's drive.
    void MakeStoreServer() {
        server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path(), true);
        server->SetArguments({});
    }
    [[nodiscard]] std::string StoreDirectory() const { return server->ConfigDirectory() + "/pellora"; }
    [[nodiscard]] std::string StorePath() const { return StoreDirectory() + "/settings.store"; }
    void WriteStore(const ServerSettings& record) const {
        EnvironmentGuard environment;
        environment.Set("XDG_CONFIG_HOME", server->ConfigDirectory());
        SaveSettingsToRegistry(record);
    }
    // Listening on the default port 80 or off-line (taken or refused here): both put the
    // title after the status, and an off-line headless run ends by itself with 1.
    int StopOnDefaults() {
        const bool offLine = server->Stdout().find("Pellora - [Off-Line]") != std::string::npos;
        EXPECT_TRUE(offLine || server->Stdout().find("Pellora [Port:80]") != std::string::npos) << server->Stdout();
        return server->Stop() - (offLine ? 1 : 0);
    }
};

TEST_F(Startup, TheOptionsFileNamedOnTheCommandLineGovernsTheRunWhereverItIs) {
    drive.WriteFile("public/a.txt", "hello");
    drive.WriteFile("private/b.txt", "private");
    settings.Port = FreePort();
    settings.IpOption = kAccessRestrictive;
    settings.IpList[0].Assign("10.9");
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("c:\\private");
    std::string text = FormatOptionsFile(settings);
    drive.WriteFile("configs/home.opt", text);
    text.erase(text.find("\r\n", text.find("Dir0:")), 1);  // one line retyped in an editor that ends lines in LF
    drive.WriteFile("configs/edited.opt", text);
    const struct {
        const char* argument;
        std::string workingDirectory;
    } rows[] = {{"c:\\configs\\home.opt", ""},
                {"C:\\configs\\edited.opt", ""},
                {"configs/home.opt", drive.Path()},
                {"../configs/home.opt", drive / "public"}};
    const std::string port = std::to_string(settings.Port);
    for (const auto& row : rows) {
        ServerProcess started(settings, "C=" + drive.Path(), true);
        started.SetArguments({row.argument});
        started.SetWorkingDirectory(row.workingDirectory);
        ASSERT_TRUE(started.Start()) << row.argument << "\n" << started.Stderr();
        EXPECT_EQ(started.Stdout(),
                  "Users restricted\nPellora [Port:" + port + "]\nListening on Port: [" + port + "]\n");
        EXPECT_EQ(SplitResponse(Exchange(settings.Port, "GET /c/public/a.txt HTTP/1.0\r\n\r\n")).body, "hello");
        EXPECT_EQ(Exchange(settings.Port, "GET /c/private/b.txt HTTP/1.0\r\n\r\n"),
                  ErrorPageBytes("403 Forbidden", "This directory is not allowed for access."))
            << row.argument;
        EXPECT_EQ(started.Stop(), 0);
        EXPECT_EQ(started.Stderr(), "") << row.argument;
        EXPECT_FALSE(std::filesystem::exists(started.ConfigDirectory() + "/pellora")) << "the store is left alone";
    }
}

TEST_F(Startup, AServerThatCannotListenSaysWhyAndEndsWithAFailure) {
    const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    socklen_t length = sizeof address;
    getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    settings.Port = ntohs(address.sin_port);
    server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path(), true);
    ASSERT_TRUE(server->StartAndWaitFor("Server Off-Line"));
    EXPECT_EQ(server->Stdout(), "All users allowed\nPellora - [Off-Line]\nServer Off-Line\n");
    EXPECT_EQ(server->Stderr(), "Pellora Error: Server initialization failed:\nCould not bind to port " +
                                    std::to_string(settings.Port) + ".\n");
    EXPECT_TRUE(WaitUntilGone(server->Pid())) << "the off-line server stayed";
    EXPECT_EQ(server->Stop(), 1);
    close(holder);
}

TEST_F(Startup, SigintStopsListeningClosesClientsAndLeavesNothing) {
    settings.RootDir.Assign("c:\\web");
    chmod(drive.WriteFile("web/cgi-bin/x", "#!/bin/sh\ncat\n").c_str(), 0755);
    StartServer();
    RawClient waiting(server->Port());
    waiting.Send("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 10\r\n\r\nabc");
    ASSERT_TRUE(Eventually([&] { return server->TemporaryFiles().size() == 1; })) << "the body file is being written";
    kill(server->Pid(), SIGINT);
    EXPECT_TRUE(waiting.ClosedByServer(5s));
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

TEST_F(Startup, AFirstRunWritesTheDefaultsAndLaterRunsReadTheStoreWhole) {
    MakeStoreServer();
    ASSERT_TRUE(server->StartAndWaitFor("\nPellora")) << server->Stderr();
    EXPECT_TRUE(server->Stdout().starts_with("All users allowed\n")) << server->Stdout();
    EXPECT_EQ(StopOnDefaults(), 0);
    // The defaults are saved (their layout is the settings tests' matter).
    const std::string firstStore = ReadWholeFile(StorePath());
    EXPECT_TRUE(firstStore.find("@=\"PR2\"") != std::string::npos &&
                firstStore.find("\"Port\"=dword:80\n") != std::string::npos)
        << firstStore;
    drive.WriteFile("a.txt", "stored");
    ServerSettings stored;
    stored.Port = FreePort();
    stored.IpOption = kAccessRestrictive;
    stored.IpList[0].Assign("10.9");
    settings.Port = stored.Port;
    MakeStoreServer();
    WriteStore(stored);
    const std::string before = ReadWholeFile(StorePath());
    // An options file that cannot be read says so, and the store stands in for it.
    server->SetArguments({drive / "Missing Options.opt"});
    ASSERT_TRUE(server->Start()) << server->Stderr();
    EXPECT_EQ(server->Stderr(),
              "Pellora Error: Couldn't open file " + (drive / "Missing Options.opt") + " for read.\n");
    EXPECT_TRUE(server->Stdout().starts_with("Users restricted\n"));
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "stored");
    EXPECT_EQ(ReadWholeFile(StorePath()), before) << "a complete store is read, not rewritten";
}

TEST_F(Startup, ADamagedStoreIsKeptAsideAndAnUnwritableOneLeftAsItIs) {
    MakeStoreServer();
    std::filesystem::create_directories(StoreDirectory());
    std::ofstream(StorePath(), std::ios::binary)
        << "Pellora settings store, format 1\n[Software\\Tamsel\\Pellora\\Global]\n\"Port\"=dwo";
    ASSERT_TRUE(server->StartAndWaitFor("\nPellora")) << server->Stderr();
    EXPECT_EQ(StopOnDefaults(), 0);
    std::vector<std::string> names = TestDirectory::List(StoreDirectory());
    std::erase_if(names, [](const std::string& name) { return !name.starts_with("settings.store.corrupt-"); });
    ASSERT_EQ(names.size(), 1u);
    const std::string aside = StoreDirectory() + "/" + names[0];
    EXPECT_TRUE(ReadWholeFile(aside).ends_with("\"Port\"=dwo"));
    EXPECT_TRUE(server->Stderr().starts_with("Pellora Error: The settings store " + StorePath() +
                                             " was damaged. It has been kept as " + aside +
                                             " and the settings start afresh.\n"))
        << server->Stderr();
    EXPECT_NE(ReadWholeFile(StorePath()).find("\"Port\"=dword:80\n"), std::string::npos);
    // Only the port saved, in a directory that cannot be written (immutable, even to root):
    // the server starts from it and leaves it as it was.
    settings.Port = FreePort();
    MakeStoreServer();
    std::filesystem::create_directories(StoreDirectory());
    std::ofstream(StorePath())
        << "Pellora settings store, format 1\n\n[Software\\Tamsel\\Pellora\\Global]\n\"Port\"=dword:" << settings.Port
        << "\n\nEnd of store\n";
    const std::string saved = ReadWholeFile(StorePath());
    if (std::system(("chattr +i " + StoreDirectory() + " 2> /dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no way to make a directory read-only here";
    }
    struct Writable {
        std::string directory;
        ~Writable() { std::system(("chattr -i " + directory).c_str()); }
    } writable{StoreDirectory()};
    ASSERT_TRUE(server->Start()) << server->Stderr();
    EXPECT_EQ(ReadWholeFile(StorePath()), saved);
    EXPECT_EQ(TestDirectory::List(StoreDirectory()), std::vector<std::string>{"settings.store"});
}

TEST_F(Startup, EveryFinishedRequestAddsOneLineOfThirteenFieldsToTheLog) {
    drive.WriteFile("a.txt", "hello, log");
    drive.WriteFile("private/x.txt", "secret");
    drive.MakeDirectory("logs");
    settings.LogOption = 1;
    settings.LogFile.Assign("C:\\logs\\access.log");
    settings.RootDir.Assign("C:\\web");
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("C:\\private");
    StartServer();
    const struct {
        std::string request;
        const char* status;
        const char* method;
        const char* target;
    } rows[] = {
        {"GET /c/a.txt HTTP/1.0\r\nUser-Agent: test\r\n\r\n", "200", "GET", "/c/a.txt"},
        {"GET /index.htm HTTP/1.0\r\n\r\n", "302", "GET", "/index.htm"},
        {"GET /c/private/x.txt HTTP/1.0\r\n\r\n", "403", "GET", "/c/private/x.txt"},
        {"HEAD /c/missing.txt HTTP/1.0\r\n\r\n", "404", "HEAD", "/c/missing.txt"},
        {"GET /c/q.exe?name=x HTTP/1.0\r\n\r\n", "400", "GET", "/c/q.exe"},  // the query is not logged
        // A log shown in a terminal: no request can set its title or erase what it shows.
        {"GET /c/\x1b]0;owned\x07\x1b[2Ja\b\b.txt\x7f HTTP/1.0\r\n\r\n", "404", "GET",
         "/c/%1B]0;owned%07%1B[2Ja%08%08.txt%7F"},
    };
    std::vector<std::string> answers;
    for (const auto& row : rows) answers.push_back(Request(row.request));
    // The line is written before the client is let go, so it is there by now.
    const std::vector<std::string> lines = LogLines(drive / "logs/access.log");
    ASSERT_EQ(lines.size(), std::size(rows));
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string date =
        std::to_string(local.tm_mon + 1) + "/" + std::to_string(local.tm_mday) + "/" + std::to_string(local.tm_year);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> f = Split(lines[i], ", ");
        ASSERT_EQ(f.size(), 13u) << lines[i];
        EXPECT_EQ(f[0] + f[1] + f[5], "127.0.0.1-127.0.0.1") << lines[i];
        EXPECT_EQ(f[2], date) << lines[i];
        EXPECT_EQ(std::count(f[3].begin(), f[3].end(), ':'), 2) << lines[i];
        EXPECT_EQ(f[4], std::string(host).substr(0, std::string(host).find('.')).substr(0, 49));
        EXPECT_LT(std::stol(f[6]), 5000) << "elapsed ms";
        EXPECT_EQ(f[7] + "/" + f[8], std::to_string(rows[i].request.size()) + "/" + std::to_string(answers[i].size()));
        EXPECT_EQ(f[9] + f[10] + f[11] + " " + f[12],
                  std::string(rows[i].status) + "0" + rows[i].method + " " + rows[i].target);
    }
    // Opened for every line: a log moved away between requests is simply made anew; one in a
    // missing directory loses its lines and nothing else.
    std::filesystem::rename(drive / "logs/access.log", drive / "logs/old.log");
    Get("/c/a.txt");
    EXPECT_EQ(LogLines(drive / "logs/access.log").size(), 1u);
    std::filesystem::remove_all(drive / "logs");
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello, log");
    EXPECT_FALSE(std::filesystem::exists(drive / "logs"));
}

// Requests that finish in one pass are logged in the order of their slots, not in the
// order their bytes came in.
TEST_F(Startup, RequestsFinishedInOnePassAreLoggedInSlotOrder) {
    drive.WriteFile("a.txt", "a");
    drive.WriteFile("b.txt", "b");
    settings.LogOption = 1;
    settings.LogFile.Assign("C:\\access.log");
    StartServer();
    const int idle = server->OpenDescriptors();
    RawClient first(server->Port());
    ASSERT_TRUE(Eventually([&] { return server->OpenDescriptors() == idle + 1; }));
    RawClient second(server->Port());
    ASSERT_TRUE(Eventually([&] { return server->OpenDescriptors() == idle + 2; }));
    ASSERT_TRUE(server->Pause());
    second.Send("GET /c/b.txt HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(50ms);
    first.Send("GET /c/a.txt HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(server->Resume());
    EXPECT_EQ(SplitResponse(first.ReadAll()).body, "a");
    EXPECT_EQ(SplitResponse(second.ReadAll()).body, "b");
    const std::vector<std::string> lines = LogLines(drive / "access.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(", GET, /c/a.txt") && lines[1].ends_with(", GET, /c/b.txt")) << lines[0];
}

}  // namespace
