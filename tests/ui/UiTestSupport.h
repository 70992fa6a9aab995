#pragma once
// What the window and Options tests share: their own store, drive C in a fresh
// directory, a real server and queue, and the desktop's services answered by the test.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "core/Server.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "tests/support/TestDirectory.h"

// The window as a person would read it: the last title and status texts.
class RecordingWindow : public platform::Window {
public:
    void SetTitle(std::string_view title) override { this->title = title; }
    bool HasStatusBar() const override { return true; }
    void SetStatusText(int part, std::string_view text) override { status[part] = text; }
    void CreateContents(const platform::WindowContents& contents) override { picture = contents.picturePath; }
    void EnableMenuItem(std::uint64_t id, bool enabled) override { menu[id] = enabled; }
    [[nodiscard]] bool MenuItemEnabled(std::uint64_t id) const override { return menu.at(id); }
    void ShowAbout(std::string_view title, std::string_view) override { about = title; }

    std::string title;
    std::map<int, std::string> status;
    std::map<std::uint64_t, bool> menu;
    std::string picture;
    std::string about;
};

// What the desktop was asked, and what the next file dialog answers (nothing: the
// user cancels).
struct DesktopAnswers {
    static std::optional<std::string> nextChoice;
    static std::vector<std::string> dialogTitles;
    static std::vector<std::string> dialogFilters;  // "name|pattern" of the last dialog
    static std::string defaultExtension;            // of the last dialog
    static std::vector<std::string> openedDocuments;
    static std::vector<std::string> messages;  // "<caption>: <text>"
    static int waitCursors;
    static void Clear();
};

class UiTest : public ::testing::Test, protected DesktopAnswers {
protected:
    void SetUp() override;
    void TearDown() override;

    // Listens on a free port of loopback, as start-up would.
    void StartServer();
    // The desktop's own file dialogs instead of the test's answers.
    void UseDesktopFileDialogs();
    [[nodiscard]] static bool Accepts(int port);

    TestDirectory home_;
    TestDirectory drive_;
    RecordingWindow window_;
    std::unique_ptr<platform::MessageQueue> queue_ = platform::MessageQueue::Create();
    Server server_;

private:
    std::optional<std::string> savedHome_;
    platform::MessageBoxHandler previousMessages_ = nullptr;
    platform::DesktopServices previousServices_;
};

// A value of the store, read afresh: nothing when the key or the value is missing.
std::optional<std::string> StoredText(std::string_view subkey, std::string_view name);
std::optional<std::uint32_t> StoredNumber(std::string_view subkey, std::string_view name);
