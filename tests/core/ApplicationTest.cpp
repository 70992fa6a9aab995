// Turns of the loop as the desktop's own loop runs them; the headless loop is the real
// server's, which the integration tests drive.
#include <gtest/gtest.h>

#include <vector>

#include "core/Application.h"
#include "core/Server.h"
#include "platform/Window.h"

namespace {

struct RecordingLogic : WindowLogic {
    std::int64_t Handle(const platform::Message& message) override {
        handled.push_back(message.first);
        return 0;
    }
    std::vector<std::uint64_t> handled;
};

// The desktop's loop runs turns: every waiting message, then a short pump of the server,
// which the headless loop runs the same way under the integration tests.
TEST(ApplicationTurns, HandleEveryWaitingMessageAndQuitWithTheExitCode) {
    auto queue = platform::MessageQueue::Create();
    Application application(*queue);
    platform::HeadlessWindow window;
    application.server.Attach(&window, queue.get());
    RecordingLogic logic;
    application.SetWindowLogic(&logic);
    int exitCode = -1;
    queue->Post({platform::kCommandMessage, 40014, 0});
    queue->Post({platform::kCommandMessage, 40015, 0});
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Idle);
    EXPECT_EQ(logic.handled, (std::vector<std::uint64_t>{40014, 40015}));
    queue->PostQuit(7);
    EXPECT_EQ(application.Turn(exitCode), Application::TurnResult::Quit);
    EXPECT_EQ(exitCode, 7);
}

}  // namespace
