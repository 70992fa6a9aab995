#pragma once
// What the window and Options tests share: their own store, drive C in a fresh
// directory, a real server and queue, and the desktop's services answered by the test.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "core/Server.h"
#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/UserStore.h"
#include "platform/Window.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"
#include "ui/OptionsSheet.h"

// The window as a person would read it: the last title and status texts.
class RecordingWindow : public platform::HeadlessWindow {
public:
    void SetTitle(std::string_view text) override { title = text; }
    void SetStatusText(int part, std::string_view text) override { status[part] = text; }

    std::string title;
    std::map<int, std::string> status;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment_.Set("XDG_CONFIG_HOME", home_.Path());
        SetDefaultSettings();
        nextChoice.reset(), opened.clear(), messages.clear(), waitCursors = 0;
        previousMessages_ =
            platform::SetMessageBoxHandler([](std::string_view caption, std::string_view text, platform::MessageIcon) {
                messages.push_back(std::string(caption) + ": " + std::string(text));
            });
        previousServices_ = platform::SetDesktopServices(
            {[](const platform::FileDialogRequest&) { return std::exchange(nextChoice, std::nullopt); },
             [](std::string_view path) { return opened.emplace_back(path), true; },
             [](bool shown) { waitCursors += shown ? 1 : 0; }});
        server_.Attach(&window_, queue_.get());
    }
    void TearDown() override {
        server_.StopListening(), platform::SetDesktopServices(previousServices_);
        platform::SetMessageBoxHandler(previousMessages_);
    }

    // A setting by its options-file key, as "the record's value|the store's value".
    static std::string Setting(std::string_view key) {
        for (const SettingRow& row : SettingRows()) {
            if (row.fileKey != key) continue;
            const FieldValue value = ReadField(row, Settings());
            const platform::UserStore store = platform::UserStore::Open();
            const platform::StoreKey key =
                store.OpenKey(std::string(kStoreMainKey) + "\\" + std::string(row.storeSubkey));
            const auto stored = key ? key.Query(row.storeValueName) : std::nullopt;
            const auto text = [&](auto number, auto text) {
                return row.type == SettingType::Integer ? std::to_string(number) : std::string(text);
            };
            return text(value.number, value.text) + "|" + (stored ? text(stored->number, stored->text) : "(none)");
        }
        return "(no such setting)";
    }

    // What the desktop was asked, and what the next file dialog answers (nothing: cancel).
    inline static std::optional<std::string> nextChoice;
    inline static std::vector<std::string> opened;
    inline static std::vector<std::string> messages;  // caption: text
    inline static int waitCursors = 0;

    EnvironmentGuard environment_;
    TestDirectory home_;
    TestDirectory drive_;
    DriveTableGuard drives_{{platform::Drive{'C', drive_.Path()}}};
    RecordingWindow window_;
    std::unique_ptr<platform::MessageQueue> queue_ = platform::MessageQueue::Create();
    Server server_;
    platform::MessageBoxHandler previousMessages_ = nullptr;
    platform::DesktopServices previousServices_;
    ServerControl control_{server_, window_};
    OptionsSheet sheet_{control_, window_, drive_.Path()};  // the Options command's own, for the page tests
};
