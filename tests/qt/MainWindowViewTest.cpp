#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include "config/OptionsFile.h"
#include "platform/qt/QtMainWindow.h"
#include "tests/qt/QtDesktopTest.h"
#include "tests/support/ServerProcess.h"
#include "ui/MainMenu.h"
#include "ui/MainWindow.h"

namespace {

using platform::Message;

class MainWindowViewTest : public QtDesktopTest {
protected:
    void SetUp() override {
        QtDesktopTest::SetUp();
        window = dynamic_cast<platform::QtMainWindow*>(&desktop->MainWindow());
        ASSERT_NE(window, nullptr);
        ServerSettings options;
        options.Port = FreePort();
        options.IpOption = kAccessRestrictive;
        const std::string path = home_.WriteFile("start.opt", FormatOptionsFile(options));
        logic = std::make_unique<MainWindow>(server_, *queue, *window, path, PELLORA_BUILD_DIR);
        logic->OnCreate();
        Drain();
    }
    void TearDown() override {
        server_.StopListening();
        Drain();
        QtDesktopTest::TearDown();
    }
    // The messages the window posted since the last look.
    static std::vector<Message> Drain() {
        std::vector<Message> posted;
        Message message;
        while (queue->Peek(message, platform::PeekMode::Remove)) posted.push_back(message);
        return posted;
    }
    [[nodiscard]] QString MenuText(std::uint64_t id) const {
        auto* action = window->findChild<QAction*>(QString("menu-%1").arg(id));
        return action != nullptr ? action->text() : QString("(missing)");
    }

    platform::QtMainWindow* window = nullptr;
    std::unique_ptr<MainWindow> logic;
};

TEST_F(MainWindowViewTest, ShowsPictureStatusAndMenuAsDesigned) {
    const int port = Settings().Port;
    EXPECT_EQ(window->windowTitle().toStdString(), "Pellora [Port:" + std::to_string(port) + "]");
    auto* picture = window->findChild<QLabel*>("control-100");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->size(), QSize(300, 200));
    EXPECT_FALSE(picture->pixmap().isNull()) << "the window's picture is found beside the program";
    auto* part0 = window->findChild<QLabel*>("status-0");
    auto* part1 = window->findChild<QLabel*>("status-1");
    ASSERT_NE(part0, nullptr);
    EXPECT_EQ(part0->text().toStdString(), "Listening on Port: [" + std::to_string(port) + "]");
    EXPECT_EQ(part1->text(), "Users restricted");
    EXPECT_EQ(part0->width(), window->width() / 5 * 3);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed frame";

    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Help");
    EXPECT_EQ(menus[0]->menu()->actions().size(), 9) << "six items and three separators";
    const std::pair<std::uint64_t, const char*> items[] = {
        {kCommandOptions, "&Options..."},
        {kCommandLoadOptions, "&Load Options ..."},
        {kCommandSaveOptionsAs, "&Save Options As..."},
        {kCommandStopServer, "S&top Server"},
        {kCommandStartServer, "St&art Server"},
        {kCommandExit, "E&xit"},
        {kCommandHelpTopics, "&Help Topics \tF1"},
        {kCommandReadme, "&Read me..."},
        {kCommandAbout, "&About Pellora..."},
        {kSystemCommandOptions, "&Options..."},
    };
    for (const auto& [id, text] : items) EXPECT_EQ(MenuText(id), QString(text)) << id;
    EXPECT_TRUE(window->MenuItemEnabled(kCommandStopServer));
    EXPECT_FALSE(window->MenuItemEnabled(kCommandStartServer));
    const QImage shot = Screenshot(window, "main-window");
    EXPECT_EQ(shot.size(), window->size());
}

TEST_F(MainWindowViewTest, MenuContextMenuF1AndCloseBoxPostTheirCommands) {
    window->TriggerMenuItem(kCommandStopServer);
    window->TriggerMenuItem(kCommandStartServer);  // grayed: nothing happens
    window->findChild<QAction*>(QString("menu-%1").arg(kSystemCommandOptions))->trigger();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F1);
    window->close();
    const std::vector<Message> posted = Drain();
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[0].id, platform::kCommandMessage);
    EXPECT_EQ(posted[0].first, kCommandStopServer);
    EXPECT_EQ(posted[1].id, platform::kSystemCommandMessage);
    EXPECT_EQ(posted[1].first, kSystemCommandOptions);
    EXPECT_EQ(posted[2].id, platform::kHelpMessage);
    EXPECT_EQ(posted[3].id, platform::kCommandMessage);
    EXPECT_EQ(posted[3].first, kCommandExit) << "the close box is the Exit command";

    logic->Handle(posted[0]);
    EXPECT_EQ(window->windowTitle(), "Pellora - [Off-Line]");
    EXPECT_FALSE(window->MenuItemEnabled(kCommandStopServer));
    EXPECT_TRUE(window->MenuItemEnabled(kCommandStartServer));
}

}  // namespace
