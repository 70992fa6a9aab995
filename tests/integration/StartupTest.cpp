// Start-up from an options file, a taken port, and shutting down on a signal.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/OptionsFile.h"
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

// The one argument names the options file as a person would: in drive form, or as a
// host path relative to where the program was started.
TEST_F(Startup, TheOptionsFileIsFoundInDriveFormAndFromTheWorkingDirectory) {
    drive.WriteFile("a.txt", "hello");
    settings.Port = FreePort();
    drive.WriteFile("configs/home.opt", FormatOptionsFile(settings));
    const struct {
        const char* name;
        std::string argument;
        std::string workingDirectory;
    } rows[] = {
        {"drive form", "c:\\configs\\home.opt", ""},
        {"drive form, upper case letter", "C:\\configs\\home.opt", ""},
        {"relative host path", "configs/home.opt", drive.Path()},
        {"host path with dots", "../configs/home.opt", drive / "configs"},
    };
    for (const auto& row : rows) {
        ServerProcess started(settings, "C=" + drive.Path(), true);
        started.SetArguments({row.argument});
        started.SetWorkingDirectory(row.workingDirectory);
        ASSERT_TRUE(started.Start()) << row.name << "\n" << started.Stderr();
        EXPECT_EQ(started.Stderr(), "") << row.name;
        EXPECT_EQ(SplitResponse(Exchange(settings.Port, "GET /c/a.txt HTTP/1.0\r\n\r\n")).body, "hello") << row.name;
        EXPECT_EQ(started.Stop(), 0) << row.name;
    }
    ServerProcess missing(settings, "C=" + drive.Path(), true);
    missing.SetArguments({"c:\\configs\\none.opt"});
    ASSERT_TRUE(missing.StartAndWaitFor("\nPellora"));
    EXPECT_EQ(missing.Stderr().substr(0, missing.Stderr().find('\n') + 1),
              "Pellora Error: Couldn't open file c:\\configs\\none.opt for read.\n");
    EXPECT_EQ(missing.Stop(), 0);
}

// Retyped in an editor that ends lines with LF alone, the file still reads whole.
TEST_F(Startup, AnOptionsFileWithLinesEndedByLfAloneReadsWhole) {
    drive.WriteFile("public/a.txt", "public");
    drive.WriteFile("private/b.txt", "private");
    settings.Port = FreePort();
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("c:\\private");
    settings.UseTable = 1;
    std::string text = FormatOptionsFile(settings);
    const std::size_t dir0 = text.find("Dir0:");
    text.erase(text.find("\r\n", dir0), 1);  // this one line retyped
    const std::string edited = drive.WriteFile("edited.opt", text);
    ServerProcess started(settings, "C=" + drive.Path(), true);
    started.SetArguments({edited});
    ASSERT_TRUE(started.Start()) << started.Stderr();
    EXPECT_EQ(started.Stderr(), "");
    EXPECT_EQ(Exchange(settings.Port, "GET /c/private/b.txt HTTP/1.0\r\n\r\n"),
              ErrorPageBytes("403 Forbidden", "This directory is not allowed for access."));
    EXPECT_NE(Exchange(settings.Port, "GET /c/public/ HTTP/1.0\r\n\r\n").find("<table"), std::string::npos);
    EXPECT_EQ(started.Stop(), 0);
}

TEST_F(Startup, SigintStopsListeningClosesClientsAndExitsCleanly) {
    drive.WriteFile("web/cgi-bin/x", "#!/bin/sh\ncat\n");
    chmod((drive / "web/cgi-bin/x").c_str(), 0755);
    settings.RootDir.Assign("c:\\web");
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
