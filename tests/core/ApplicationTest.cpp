#include "core/Application.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "platform/DriveTable.h"
#include "platform/Window.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDirectory.h"

namespace {

struct RecordingLogic : WindowLogic {
    std::int64_t Handle(const platform::Message& message) override {
        handled.push_back(message.first);
        return 0;
    }
    std::vector<std::uint64_t> handled;
};

// Runs turns as the desktop's loop does: another turn while one is asked for, else a
// wait on the queue's descriptor. Stops at quit or when `done` says so.
template <typename Done>
Application::TurnResult RunTurns(Application& application, platform::MessageQueue& queue, int& exitCode, Done done) {
    for (int turns = 0; turns < 100000 && !done(); ++turns) {
        const Application::TurnResult result = application.Turn(exitCode);
        if (result == Application::TurnResult::Quit) return result;
        if (result == Application::TurnResult::Idle) {
            pollfd watch{queue.Descriptor(), POLLIN, 0};
            poll(&watch, 1, 20);
        }
    }
    return Application::TurnResult::Idle;
}

TEST(ApplicationTurnTest, HandlesWaitingMessagesThenQuitsWithTheExitCode) {
    auto queue = platform::MessageQueue::Create();
    Application application(*queue);
    platform::HeadlessWindow window;
    application.server.Attach(&window, queue.get());
    RecordingLogic logic;
    application.SetWindowLogic(&logic);
    int exitCode = -1;
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Idle);
    queue->Post(platform::Message{platform::kCommandMessage, 40014, 0});
    queue->Post(platform::Message{platform::kCommandMessage, 40015, 0});
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Idle);
    EXPECT_EQ(logic.handled, (std::vector<std::uint64_t>{40014, 40015}));
    queue->PostQuit(7);
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Quit);
    EXPECT_EQ(exitCode, 7);
}

TEST(ApplicationTurnTest, ServesAClientThroughTurnsOfAnotherLoop) {
    TestDirectory drive;
    drive.WriteFile("hello.txt", "hello through turns");
    platform::SetDriveTable(platform::DriveTable({platform::Drive{'C', drive.Path()}}));
    SetDefaultSettings();
    Settings().Port = FreePort();
    auto queue = platform::MessageQueue::Create();
    Application application(*queue);
    platform::HeadlessWindow window;
    application.server.Attach(&window, queue.get());
    ASSERT_EQ(application.server.StartListening(), 0);

    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(Settings().Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = "GET /c/hello.txt HTTP/1.0\r\n\r\n";
    ASSERT_EQ(send(client, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));

    std::string response;
    bool closed = false;
    int exitCode = 0;
    RunTurns(application, *queue, exitCode, [&] {
        char buffer[4096];
        const ssize_t got = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) response.append(buffer, static_cast<std::size_t>(got));
        closed = closed || got == 0;
        return closed;
    });
    close(client);
    application.server.StopListening();
    platform::SetDriveTable(platform::DriveTable::FromEnvironment());
    EXPECT_TRUE(closed);
    EXPECT_TRUE(response.starts_with("HTTP/1.0 200 OK\r\n")) << response;
    EXPECT_TRUE(response.ends_with("\r\n\r\nhello through turns")) << response;
}

}  // namespace
