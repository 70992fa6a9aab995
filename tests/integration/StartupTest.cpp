// Start-up from an options file, a taken port, and shutting down on a signal.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/ServerFixture.h"

namespace {

class Startup : public ServerFixture {};

TEST_F(Startup, ListensOnThePortOfItsOptionsFileAndReportsItsState) {
    drive.WriteFile("a.txt", "hello");
    settings.IpOption = kAccessRestrictive;
    settings.IpList[0].Assign("10.9");
    StartServer();
    const std::string port = std::to_string(server->Port());
    EXPECT_EQ(server->Stdout(), "Users restricted\nPellora [Port:" + port + "]\nListening on Port: [" + port + "]\n");
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello");
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_EQ(server->Stderr(), "");
}

// Headless, nothing could start the server later: the run ends with a failure status.
TEST_F(Startup, ATakenPortEndsTheHeadlessServerAfterTheBindMessage) {
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    socklen_t length = sizeof address;
    getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    settings.Port = ntohs(address.sin_port);

    ServerProcess offLine(settings, "C=" + drive.Path(), true);
    ASSERT_TRUE(offLine.StartAndWaitFor("Server Off-Line"));
    EXPECT_EQ(offLine.Stdout(), "All users allowed\nPellora - [Off-Line]\nServer Off-Line\n");
    EXPECT_EQ(offLine.Stderr(), "Pellora Error: Server initialization failed:\nCould not bind to port " +
                                    std::to_string(settings.Port) + ".\n");
    EXPECT_TRUE(WaitUntilGone(offLine.Pid())) << "the off-line server stayed";
    EXPECT_EQ(offLine.Stop(), 1);
    close(holder);
}

TEST_F(Startup, AnUnreadableOptionsFileIsReportedAndTheDefaultsStand) {
    ServerProcess defaults(settings, "C=" + drive.Path());
    defaults.SetArguments({drive / "Missing Options.opt"});
    ASSERT_TRUE(defaults.StartAndWaitFor("\nPellora"));  // listening on port 80, or off-line when it is taken
    EXPECT_EQ(defaults.Stderr().substr(0, defaults.Stderr().find('\n') + 1),
              "Pellora Error: Couldn't open file " + (drive / "Missing Options.opt") + " for read.\n");
    // The defaults listen on port 80, which may or may not be free here; off-line, the
    // headless run has ended by itself.
    const std::string out = defaults.Stdout();
    const bool offLine = out.find("Pellora - [Off-Line]") != std::string::npos;
    EXPECT_TRUE(offLine || out.find("Pellora [Port:80]") != std::string::npos) << out;
    EXPECT_EQ(defaults.Stop(), offLine ? 1 : 0);
}

TEST_F(Startup, SigintStopsListeningClosesClientsAndExitsCleanly) {
    drive.WriteFile("a.txt", "hello");
    StartServer();
    RawClient waiting(server->Port());
    waiting.Send("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 10\r\n\r\nabc");
    for (int i = 0; i < 500 && server->TemporaryFiles().empty(); ++i) usleep(10000);
    ASSERT_EQ(server->TemporaryFiles().size(), 1u) << "the body file is being written";
    kill(server->Pid(), SIGINT);
    EXPECT_TRUE(waiting.ClosedByServer(std::chrono::seconds(5)));
    EXPECT_EQ(server->Stop(), 0);  // already gone: Stop only reaps it
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

}  // namespace
