#include "ui/MainWindow.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "tests/support/ServerProcess.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MainMenu.h"

namespace {

using platform::Message;

class MainWindowTest : public UiTest {
protected:
    // The window of a program started with `options` as its options file.
    MainWindow& Create(ServerSettings options) {
        const std::string path = home_.WriteFile("start.opt", FormatOptionsFile(options));
        window_logic_ = std::make_unique<MainWindow>(server_, *queue_, window_, path, drive_.Path());
        window_logic_->OnCreate();
        return *window_logic_;
    }
    MainWindow& CreateOnFreePort() {
        ServerSettings options;
        options.Port = FreePort();
        return Create(options);
    }
    void Command(std::uint64_t id) { window_logic_->Handle(Message{platform::kCommandMessage, id, 0}); }
    [[nodiscard]] bool StopEnabled() const { return window_.menu.at(kCommandStopServer); }
    [[nodiscard]] bool StartEnabled() const { return window_.menu.at(kCommandStartServer); }
    std::string WriteOptions(int port, int ipOption) {
        ServerSettings options;
        options.Port = port;
        options.IpOption = ipOption;
        options.IpList[0].Assign("10.0.0.1");
        return home_.WriteFile("loaded.opt", FormatOptionsFile(options));
    }

    // Another program listening on the port; -1 when it could not be taken.
    static int HoldPort(int port) {
        const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(holder, 1) != 0) {
            close(holder);
            return -1;
        }
        return holder;
    }

    std::unique_ptr<MainWindow> window_logic_;
};

TEST_F(MainWindowTest, StartUpEnablesStopOnSuccess) {
    CreateOnFreePort();
    EXPECT_TRUE(window_logic_->ServerRunning());
    EXPECT_TRUE(StopEnabled());
    EXPECT_FALSE(StartEnabled());
    EXPECT_EQ(window_.picture, drive_ / "images/window.gif");
    EXPECT_EQ(window_.status[1], "All users allowed");
}

TEST_F(MainWindowTest, StartUpOnATakenPortLeavesTheServerOffLine) {
    const int taken = FreePort();
    const int holder = HoldPort(taken);
    ASSERT_GE(holder, 0);
    ServerSettings options;
    options.Port = taken;
    options.IpOption = kAccessSelective;
    Create(options);
    close(holder);
    EXPECT_EQ(window_.title, "Pellora - [Off-Line]");
    EXPECT_EQ(window_.status[0], "Server Off-Line");
    EXPECT_EQ(window_.status[1], "Users restricted");
    EXPECT_FALSE(StopEnabled());
    EXPECT_TRUE(StartEnabled());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MainWindowTest, StopAndStartMoveTheMenuTogether) {
    CreateOnFreePort();
    const int port = Settings().Port;
    Command(kCommandStopServer);
    EXPECT_FALSE(Accepts(port));
    EXPECT_EQ(window_.title, "Pellora - [Off-Line]");
    EXPECT_EQ(window_.status[0], "Server Off-Line");
    EXPECT_TRUE(StartEnabled());
    EXPECT_FALSE(StopEnabled());
    Command(kCommandStartServer);
    EXPECT_TRUE(Accepts(port));
    EXPECT_EQ(window_.title, "Pellora [Port:" + std::to_string(port) + "]");
    EXPECT_TRUE(StopEnabled());
    EXPECT_FALSE(StartEnabled());
}

TEST_F(MainWindowTest, LoadOptionsWhileStoppedChangesSettingsAndStoreOnly) {
    CreateOnFreePort();
    Command(kCommandStopServer);
    const int port = FreePort();
    nextChoice = WriteOptions(port, kAccessSelective);
    Command(kCommandLoadOptions);
    EXPECT_EQ(dialogTitles.back(), "Load Options");
    EXPECT_EQ(dialogFilters.front(), "Options file (*.opt)|*.opt");
    EXPECT_EQ(Settings().Port, port);
    EXPECT_FALSE(Accepts(port)) << "a stopped server stays stopped";
    EXPECT_EQ(StoredNumber(kStoreGlobal, "Port"), static_cast<std::uint32_t>(port));
    EXPECT_EQ(StoredText(kStoreIpAccess, "IP0"), "10.0.0.1");
    EXPECT_EQ(window_.status[1], "Users restricted");
}

TEST_F(MainWindowTest, LoadOptionsWhileRunningMovesTheListener) {
    CreateOnFreePort();
    const int oldPort = Settings().Port;
    const int port = FreePort();
    nextChoice = WriteOptions(port, kAccessAll);
    Command(kCommandLoadOptions);
    EXPECT_TRUE(Accepts(port));
    EXPECT_FALSE(Accepts(oldPort));
    EXPECT_TRUE(StopEnabled());
}

TEST_F(MainWindowTest, ARestartThatFailsLeavesStartServerToTryAgain) {
    CreateOnFreePort();
    const int taken = FreePort();
    const int holder = HoldPort(taken);
    ASSERT_GE(holder, 0);
    nextChoice = WriteOptions(taken, kAccessAll);
    Command(kCommandLoadOptions);
    close(holder);
    EXPECT_EQ(window_.title, "Pellora - [Off-Line]");
    EXPECT_FALSE(window_logic_->ServerRunning());
    EXPECT_TRUE(StartEnabled()) << "the menu agrees with the stopped server";
    EXPECT_FALSE(StopEnabled());
    Command(kCommandStartServer);
    EXPECT_TRUE(Accepts(taken)) << "the port came free and Start took it";
    EXPECT_TRUE(StopEnabled());
}

TEST_F(MainWindowTest, ACancelledDialogDoesNothing) {
    CreateOnFreePort();
    const std::vector<std::string> before = TestDirectory::List(home_.Path());
    Command(kCommandLoadOptions);
    Command(kCommandSaveOptionsAs);
    EXPECT_EQ(dialogTitles, (std::vector<std::string>{"Load Options", "Save Options"}));
    EXPECT_EQ(TestDirectory::List(home_.Path()), before);
    EXPECT_EQ(messages, std::vector<std::string>{});
}

TEST_F(MainWindowTest, SaveOptionsAsWritesTheFileWithItsExtension) {
    CreateOnFreePort();
    Settings().CgiDir.Assign("scripts");
    nextChoice = home_ / "mine";
    Command(kCommandSaveOptionsAs);
    EXPECT_EQ(dialogFilters.front(), "Options File (*.opt)|*.opt");
    ServerSettings read;
    ASSERT_EQ(ParseOptionsText(ReadWholeFile(home_ / "mine.opt"), read), OptionsParseResult::Complete);
    EXPECT_EQ(read.CgiDir.View(), "scripts");
}

TEST_F(MainWindowTest, HelpAndReadMeOpenTheirFilesOrSaySoWhenMissing) {
    CreateOnFreePort();
    Command(kCommandReadme);
    window_logic_->Handle(Message{platform::kHelpMessage, 0, 0});
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages.front(), "Pellora Error: Could not find Readme.Txt");
    EXPECT_EQ(openedDocuments, std::vector<std::string>{});

    drive_.WriteFile("readme.txt", "read me");
    drive_.WriteFile("help/window.html", "<p>help</p>");
    drive_.WriteFile("help/index.html", "<p>contents</p>");
    Command(kCommandReadme);
    window_logic_->Handle(Message{platform::kHelpMessage, 0, 0});
    Command(kCommandHelpTopics);
    EXPECT_EQ(openedDocuments, (std::vector<std::string>{drive_ / "readme.txt", drive_ / "help/window.html",
                                                         drive_ / "help/index.html"}));
}

TEST_F(MainWindowTest, TheContextMenuItemOpensTheSheetOnce) {
    MainWindow& window = CreateOnFreePort();
    window.Handle(Message{platform::kSystemCommandMessage, kSystemCommandOptions, 0});
    ASSERT_TRUE(window.Options().Sheet().IsOpen());
    window.Options().Sheet().Activate(3);
    Command(kCommandOptions);
    EXPECT_EQ(window.Options().Sheet().ActivePage(), 3) << "the open sheet is brought forward, not rebuilt";
    window.Handle(Message{platform::kSystemCommandMessage, 61536, 0});  // other system commands are not ours
    Command(kCommandAbout);
    EXPECT_EQ(window_.about, "About Pellora");
}

TEST_F(MainWindowTest, ExitStopsListeningClosesTheSheetAndQuits) {
    MainWindow& window = CreateOnFreePort();
    const int port = Settings().Port;
    Command(kCommandOptions);
    Command(kCommandExit);
    EXPECT_FALSE(Accepts(port));
    EXPECT_FALSE(window.Options().Sheet().IsOpen());
    Message message;
    ASSERT_TRUE(queue_->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message.id, platform::kQuitMessage);
    EXPECT_EQ(message.first, 0u);
}

}  // namespace
